#include "kernel/EventCalendarBase.h"

#include <cstdio>

#include "kernel/DesEvent.h"
#include "support/DesExcept.h"

constexpr double EventCalendarBase::timeTolerance;

EventCalendarBase::EventCalendarBase()
    : timeNow(-1.0), lastInternalEventTime(-1.0), endTime(-1.0), internalEventsAtTime(0) {}

// Internal events are never the calendar's to destroy.
EventCalendarBase::~EventCalendarBase() = default;

void EventCalendarBase::CalendarReserved() {}
void EventCalendarBase::LogCalendar(bool) {}
bool EventCalendarBase::IsStopRequested() { return false; }
double EventCalendarBase::GetNextEventTime(double) {
  return std::numeric_limits<double>::infinity();
}
DesEvent* EventCalendarBase::GetEventBeingExecuted() { return nullptr; }
void EventCalendarBase::InitCalendarLoggers() {}

void EventCalendarBase::AddIntEvt(DesEvent* e) {
  internalEvents.push_back(e);
  const double t = e->GetTime();
  if (timeTolerance * lastInternalEventTime >= t) {
    if (++internalEventsAtTime > kMaxInternalEventsAtTime) {
      lastInternalEventTime = t;
      char limit[16];
      std::snprintf(limit, sizeof limit, "%d", kMaxInternalEventsAtTime);
      ThrowMaxEventsAtTimeStep(limit, t);
    }
  } else {
    internalEventsAtTime = 0;
  }
  lastInternalEventTime = t;
}

void EventCalendarBase::ThrowMaxEventsAtTimeStep(const char* limitText, double time) {
  char timeText[400];  // "%f" of the largest double needs 316 characters
  std::snprintf(timeText, sizeof timeText, "%f", time);
  throw new DesExcept(DES_MaxEventsAtTimeStep, limitText, timeText);
}
