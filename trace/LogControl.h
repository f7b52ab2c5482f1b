// The switchboard of operation tracing: one switch per family of log
// records. Every logger reads its switch on every call (no caching), so a
// change made at the debugger's prompt applies to the very next record.
// One per debugger, which owns it.
#pragma once

class TWDebugger;

class LogControl {
 public:
  // All three switches start off; the host applies SetDefaultLogging.
  explicit LogControl(TWDebugger* owner);

  TWDebugger* GetDebugger() const { return debugger; }

  bool GetEventLoggingEnabled() const { return eventLogging; }
  bool GetEntityLoggingEnabled() const { return entityLogging; }
  bool GetCalendarLoggingEnabled() const { return calendarLogging; }
  void SetEventLoggingEnabled(bool on) { eventLogging = on; }
  void SetEntityLoggingEnabled(bool on) { entityLogging = on; }
  void SetCalendarLoggingEnabled(bool on) { calendarLogging = on; }

  bool IsAnyLoggingEnabled() const { return eventLogging || entityLogging || calendarLogging; }
  void DisableAllLogging();
  // Events and entities on, calendar dumps off.
  void SetDefaultLogging();

 private:
  TWDebugger* debugger;
  bool eventLogging;     // scheduling, execution, cancellation; signal updates
  bool entityLogging;    // entity and block operations
  bool calendarLogging;  // the event-calendar dump
};
