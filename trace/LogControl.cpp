#include "trace/LogControl.h"

LogControl::LogControl(TWDebugger* owner)
    : debugger(owner), eventLogging(false), entityLogging(false), calendarLogging(false) {}

void LogControl::DisableAllLogging() {
  eventLogging = false;
  entityLogging = false;
  calendarLogging = false;
}

void LogControl::SetDefaultLogging() {
  eventLogging = true;
  entityLogging = true;
  calendarLogging = false;
}
