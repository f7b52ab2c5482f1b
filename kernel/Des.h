// The engine: one per model. It owns the event calendar, the timeout
// calendar, the entity registry and, while the user debugs, the debugger;
// nearly every run-time operation forwards to the event calendar.
//
// Lifecycle: construct -> Initialize (pools shared by all engines of the
// process, registry) -> blocks register -> Start (ids restart at 1) ->
// StartCalendar (events may be scheduled from here on) -> repeated
// GetDesNextTime / ExecuteEvents -> optionally DisableOutputForEndOfSim ->
// Terminate.
#pragma once

#include <cstdint>

#include "kernel/EventCalendarBase.h"

class DesCalendarBase;
class DesEvent;
class EntityList;
class TWDebugger;
class TimeoutData;

class Des {
 public:
  Des();
  Des(const Des&) = delete;
  Des& operator=(const Des&) = delete;

  virtual void Pause(double t);
  // An engine destroyed without Terminate still releases what it owns.
  virtual ~Des();

  // Registers the library's message catalogue with the host; returns 0.
  static int InitMsgContext();

  void Initialize();
  void Compile() {}
  void Start();
  // handling: 0 deterministic, anything else randomised. The second argument
  // is not used. combined != 0 (or calendars policy 1) lets the event
  // calendar hold the timeouts too. A failure (a negative seed with
  // randomised handling) leaves the engine without calendars.
  void StartCalendar(int handling, uint64_t unused, int seed, int combined,
                     uint64_t maxEventsAtTimeStep);

  // Runs every event due at t; returns the time of the next one (+inf when
  // none).
  double ExecuteEvents(double t, double t2, bool tolerant) {
    EventCalendarBase* calendar = RequireCalendar();
    calendar->ExecuteEvents(t, tolerant);
    return calendar->GetNextEventTime(t2);
  }
  double GetDesNextTime(double unused) {
    return eventCalendar != nullptr ? eventCalendar->GetNextEventTime(unused)
                                    : std::numeric_limits<double>::infinity();
  }

  void AddEvt(DesEvent* e) { RequireCalendar()->AddEvt(e); }
  void pushEvt(DesEvent* e) { RequireCalendar()->AddEvt(e); }
  void AddEvtWithoutLogging(DesEvent* e) { RequireCalendar()->AddEvtWithoutLogging(e); }
  void DeleteEvt(DesEvent* e) { RequireCalendar()->DeleteEvt(e); }
  void DeleteEvtWithoutLogging(DesEvent* e) { RequireCalendar()->DeleteEvtWithoutLogging(e); }
  void AddIntEvt(DesEvent* e) { RequireCalendar()->AddIntEvt(e); }

  // Timeout bookkeeping. With separate calendars one event on the event
  // calendar stands for the earliest scheduled timeout and is retargeted as
  // that changes; with combined calendars every timeout has its own event.
  //
  // Files a scheduled timeout. It must have a scheduling block and an event
  // carrying its entity (DES_GenericInternalErr otherwise, with nothing
  // changed).
  void ProcessTimeoutDataAddition(TimeoutData* td);
  // Takes a scheduled timeout out of the collection and resets it; a
  // timeout that is not scheduled is left alone. The event that stood for
  // it is retargeted to the next timeout or released.
  void ProcessTimeoutDataRemoval(TimeoutData* td);
  // Logs the cancellation of a scheduled timeout.
  void PrintTimeoutDeletion(TimeoutData* td);
  // The event standing for the earliest timeout (separate calendars), or
  // null.
  DesEvent* GetCurrentTimeoutEvent() const { return currentTimeoutEvent; }
  // Told by the event calendar just before it destroys an event it drops
  // (a stop requested by the debugger): when that event stands for the
  // earliest timeout, the engine stops pointing at it.
  void ForgetDroppedEvent(const DesEvent* e) {
    if (e == currentTimeoutEvent) currentTimeoutEvent = nullptr;
  }

  // The clock lives in the event calendar; before StartCalendar it reads
  // -1.0 and writes are ignored.
  double GetTimeNow() const { return eventCalendar != nullptr ? eventCalendar->GetTimeNow() : -1.0; }
  double GetTimeNowEx() const { return GetTimeNow(); }
  void SetTimeNow(double t) {
    if (eventCalendar != nullptr) eventCalendar->SetTimeNow(t);
  }
  double GetEndTime() const { return eventCalendar != nullptr ? eventCalendar->GetEndTime() : -1.0; }
  void SetEndTime(double t) {
    if (eventCalendar != nullptr) eventCalendar->SetEndTime(t);
  }

  bool GetEventIsBeingExecuted() const {
    return eventCalendar != nullptr && eventCalendar->GetEventBeingExecuted() != nullptr;
  }
  bool IsEndOfSim() const { return outputDisabledForEndOfSim || stopRequestedByDebugger; }
  void DisableOutputForEndOfSim();
  bool IsStopRequestedByDebugger() const { return stopRequestedByDebugger; }
  void SetStopRequestedByDebugger(bool flag) { stopRequestedByDebugger = flag; }
  // A quit at the debugger's prompt drops the events of the time step from
  // the calendar. By default the calendar deletes them; an engine whose
  // blocks keep and release their own events (as a block framework's do)
  // asks for them to be only taken off the calendar, so that no block is
  // left holding a deleted event. Timeout events are the engine's and are
  // deleted either way.
  void SetDroppedEventsStayWithBlocks(bool flag) { droppedEventsStayWithBlocks = flag; }
  bool GetDroppedEventsStayWithBlocks() const { return droppedEventsStayWithBlocks; }
  void SetCalendarsPolicy(int policy) { calendarsPolicy = policy; }
  int GetCalendarsPolicy() const { return calendarsPolicy; }

  void StartDebugger(const char* arg);
  void Terminate();
  void DestroyEntitylist();

  EntityList* GetEntityList() const { return entityList; }
  EventCalendarBase* GetEventCalendar() const { return eventCalendar; }
  DesCalendarBase* GetTimeoutCalendar() const { return timeoutCalendar; }
  TWDebugger* GetDebugger() const { return debugger; }

  // Engines initialised and not yet terminated in this process; the shared
  // pools exist while it is non-zero.
  static uint32_t number_of_instances;

 protected:
  void TerminateDebugger();
  void TerminateCalendar();

 private:
  EventCalendarBase* RequireCalendar() const {
    if (eventCalendar == nullptr) ThrowNoCalendar();
    return eventCalendar;
  }
  [[noreturn]] static void ThrowNoCalendar();
  static void CreateSharedPools();
  static void DestroySharedPools();
  // Gives up this engine's share of the pools; the last engine destroys them.
  void ReleaseSharedPools();

  EventCalendarBase* eventCalendar;
  DesCalendarBase* timeoutCalendar;
  DesEvent* currentTimeoutEvent;
  EntityList* entityList;
  int calendarsPolicy;
  bool outputDisabledForEndOfSim;
  TWDebugger* debugger;
  // Set while this engine is counted in number_of_instances, so that a
  // repeated Initialize or Terminate cannot unbalance the count.
  bool countedInstance;
  bool stopRequestedByDebugger;
  bool droppedEventsStayWithBlocks;
};
