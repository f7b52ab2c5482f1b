// The handling layer of the event calendar: adding, cancelling and choosing
// events, the run loop, and the simultaneous-event limit. H decides only
// which event of the current set runs next.
//
// Where an event is: its in-current-set flag says whether it waits in the
// current set (due now) or not; while it waits in the future store the
// store knows it (for the indexed heap, in constant time through heapIndex).
// Both are checked before any change, so cancelling an event that is not
// waiting, or cancelling it twice, leaves the calendar untouched, and adding
// an event that is already waiting is refused instead of storing it twice.
// The flag is cleared whenever an event leaves the current set.
#pragma once

#include <cstdint>
#include <cstdio>
#include <iterator>
#include <limits>
#include <memory>
#include <vector>

#include "kernel/CurrentEventSet.h"
#include "kernel/Des.h"
#include "kernel/DesEvent.h"
#include "kernel/EventStoragePolicy.h"
#include "kernel/RandomizedEventSet.h"
#include "kernel/TimeoutData.h"
#include "support/DesExcept.h"
#include "support/PMAssertion.h"
#include "support/PMMallocError.h"

template <int N>
class _EventLogger;
template <int N>
class _Logger;

template <EventHdlPolicyType H>
struct CurrentSetOf {
  typedef CurrentEventSet type;
};
template <>
struct CurrentSetOf<EVENT_HDL_RANDOMIZED> {
  typedef RandomizedEventSet type;
};

// Shared, non-template pieces of the handling layer.
class EventHdlSupport {
 public:
  typedef void (*PreExecuteHook)(EventCalendarBase* calendar, DesEvent* e);
  static void NoPreExecute(EventCalendarBase*, DesEvent*) {}
  [[noreturn]] static void ReportAlreadyWaiting(const DesEvent* e);
  [[noreturn]] static void ReportNoCalendar();

  // The calendar's loggers. They are defined with the tracing code; these
  // keep its headers out of every calendar instantiation.
  struct Loggers {
    _EventLogger<0>* schedule;
    _EventLogger<1>* execution;
    _EventLogger<2>* cancel;
    _Logger<3>* calendar;
  };
  // Null loggers when the engine has no debugger (loggers need one).
  static Loggers CreateLoggers(Des* engine);
  static void DestroyLoggers(const Loggers& loggers);
  static void Log(_EventLogger<0>* logger, DesEvent* e);
  static void Log(_EventLogger<1>* logger, DesEvent* e);
  static void Log(_EventLogger<2>* logger, DesEvent* e);
  // Whether a printed dump can reach anyone now: the calendar switch is on,
  // or a break waits to be shown with the next record. The dump is built
  // only then, since it visits every waiting event.
  static bool WantsPrintedDump(_Logger<3>* logger);
  // Puts events[first...] in execution order.
  static void SortFrom(std::vector<DesEvent*>& events, std::size_t first);
  // Header and one row per event (those that have one).
  static void Dump(_Logger<3>* logger, const std::vector<DesEvent*>& events, bool print);
};

template <EventHdlPolicyType H, EventStoragePolicyType S>
class EventHdlPolicy : public EventStoragePolicy<S> {
  typedef EventStoragePolicy<S> Storage;

 public:
  typedef typename CurrentSetOf<H>::type CurrentSet;
  static const EventHdlPolicyType kHandling = H;

  // -------------------------------------------------------------- slots 4-11

  // What ran out of the general allocator in a handler leaves the
  // engine's loop as the library's memory error.
  void ExecuteEvents(double t, bool tolerant) override {
    try {
      ExecuteDueEvents(t, tolerant);
    } catch (const std::bad_alloc&) {
      pmThrowMemoryException();
    }
  }

 private:
  void ExecuteDueEvents(double t, bool tolerant) {
    // The simultaneous-event limit is about one time step: the count starts
    // again with every new time, however the events were scheduled.
    if (!(t == this->timeNow)) eventsAtTimeStep = 0;
    this->timeNow = t;
    DesEvent* lone = TakeLoneDueEvent(t, tolerant);
    if (lone == nullptr) PromoteDueEvents(t, tolerant);
    CurrentSet& current = *currentEvents;
    for (;;) {
      DesEvent* e = lone;
      lone = nullptr;
      if (e == nullptr) {
        if (current.empty() && this->internalEvents.empty()) return;
        if (!this->internalEvents.empty()) RunInternalEvents();
        if (current.empty()) return;
        if (!(*current.begin())->IsTempEvent()) EventHdlPolicy::LogCalendar(true);
        e = TakeNextEvent(current);
      }
      if (!e->IsTempEvent()) {
        if (preExecuteHook != &EventHdlSupport::NoPreExecute) preExecuteHook(this, e);
        if (executionLogger != nullptr) LogExecution(e);
      }
      e->Process();
      if (eventBeingExecuted != nullptr) {
        delete eventBeingExecuted;
        eventBeingExecuted = nullptr;
      }
      if (EventHdlPolicy::IsStopRequested()) DropCurrentEvents();
    }
  }

 public:
  void AddEvt(DesEvent* e) override {
    RefuseIfWaiting(e);
    if (scheduleLogger != nullptr) LogSchedule(e);
    if (EventCalendarBase::timeTolerance * this->timeNow >= e->GetTime()) {
      InsertCurrent(e);
      ++eventsAtTimeStep;
    } else {
      InsertFuture(e);
      eventsAtTimeStep = 0;
    }
    if (eventsAtTimeStep > maxEventsAtTimeStep) ThrowLimitExceeded();
  }

  void AddEvtWithoutLogging(DesEvent* e) override {
    RefuseIfWaiting(e);
    if (EventCalendarBase::timeTolerance * this->timeNow >= e->GetTime())
      InsertCurrent(e);
    else
      InsertFuture(e);
  }

  void DeleteEvt(DesEvent* e) override {
    if (!IsWaiting(e)) return;
    if (cancelLogger != nullptr) LogCancel(e);
    RemoveWaiting(e);
  }

  void DeleteEvtWithoutLogging(DesEvent* e) override {
    if (IsWaiting(e)) RemoveWaiting(e);
  }

  // With combined calendars every timeout has an event of its own here,
  // made when the timeout is filed and released when it leaves: on
  // cancellation once it is off the calendar, on firing when it is the
  // event being handled (the run loop does not touch an executed event
  // again). After the end of the simulation the event is left alone: the
  // calendar destroys what still waits at termination, and events a stop
  // request dropped are gone already.
  //
  // The calendar also knows which timeouts it holds, so that termination
  // can reset them (their events are then destroyed or gone) and no
  // timeout keeps pointing to an event that no longer exists.
  void AddToTimeoutCollection(TimeoutData* td) override {
    if (td == nullptr) return;
    // Filing a timeout again replaces its event instead of leaving the old
    // one behind.
    if (DesEvent* old = td->GetTimeoutEventPtr()) {
      DeleteEvtWithoutLogging(old);
      td->SetTimeoutEventPtr(nullptr);
      delete old;
    }
    DesEvent* e = td->CreateTimeoutDesEvent();
    try {
      filedTimeouts.insert(td);
    } catch (...) {
      delete e;
      throw;
    }
    td->SetTimeoutEventPtr(e);
    // Over the simultaneous-event limit the event is filed all the same.
    EventHdlPolicy::AddEvt(e);
  }

  void RemoveFromTimeoutCollection(TimeoutData* td) override {
    if (td == nullptr) return;
    filedTimeouts.erase(td);
    DesEvent* e = td->GetTimeoutEventPtr();
    bool release = false;
    if (e != nullptr) {
      if (td->IsExecuting()) {
        release = true;
      } else if (engine == nullptr || !engine->IsEndOfSim()) {
        DeleteEvtWithoutLogging(e);
        release = true;
      }
    }
    td->ResetTimeoutData();
    if (release) delete e;
  }

  void PrintTimeoutDeletion(TimeoutData* td) override {
    if (cancelLogger != nullptr && td != nullptr && td->GetTimeoutEventPtr() != nullptr)
      LogCancel(td->GetTimeoutEventPtr());
  }

  // ------------------------------------------------------------- slots 15-19

  // The event being executed, the current set, then the future store, each
  // in execution order. The events are listed before anything is logged,
  // so whatever the logging does (the prompt may run) finds the calendar as
  // it was. The indexed heap is read in place and its list sorted; the
  // other stores are emptied in order and filled again. What can live out
  // of line does, to keep this template (and the run loop's inlining)
  // small.
  void LogCalendar(bool print) override {
    if (calendarLogger != nullptr) DumpCalendar(print);
  }

  bool IsStopRequested() override {
    return engine != nullptr && engine->IsStopRequestedByDebugger();
  }

  double GetNextEventTime(double) override {
    if (!this->internalEvents.empty()) return this->internalEvents.front()->GetTime();
    if (currentEvents != nullptr && !currentEvents->empty())
      return (*currentEvents->begin())->GetTime();
    if (this->futureEvents != nullptr && !this->futureEvents->Empty())
      return this->futureEvents->EarliestTime();
    return std::numeric_limits<double>::infinity();
  }

  DesEvent* GetEventBeingExecuted() override { return eventBeingExecuted; }

  // Installs the copying hook and the loggers of the engine's debugger
  // (replacing earlier ones); without a debugger there is nothing to log to
  // and only the hook is installed.
  void InitCalendarLoggers() override {
    preExecuteHook = &KeepCopyOfExecutingEvent;
    EventHdlSupport::Loggers made = EventHdlSupport::CreateLoggers(engine);
    if (made.schedule == nullptr) return;
    EventHdlSupport::DestroyLoggers(
        EventHdlSupport::Loggers{scheduleLogger, executionLogger, cancelLogger, calendarLogger});
    scheduleLogger = made.schedule;
    executionLogger = made.execution;
    cancelLogger = made.cancel;
    calendarLogger = made.calendar;
  }

  // ------------------------------------------------------------ inspection

  CurrentSet* GetCurrentEvents() const { return currentEvents; }
  uint64_t GetEventsAtTimeStep() const { return eventsAtTimeStep; }
  uint64_t GetMaxEventsAtTimeStep() const { return maxEventsAtTimeStep; }
  Des* GetEngine() const { return engine; }
  // True when e waits in this calendar (current set or future store).
  bool IsWaiting(DesEvent* e) const {
    if (e->GetInTq() && currentEvents != nullptr && currentEvents->FindExactly(e) != currentEvents->end())
      return true;
    return this->futureEvents != nullptr && this->futureEvents->Holds(e);
  }

 protected:
  EventHdlPolicy(uint64_t maxEvents, Des* des)
      : currentEvents(nullptr),
        eventsAtTimeStep(0),
        maxEventsAtTimeStep(maxEvents),
        engine(des),
        scheduleLogger(nullptr),
        executionLogger(nullptr),
        cancelLogger(nullptr),
        calendarLogger(nullptr),
        eventBeingExecuted(nullptr),
        preExecuteHook(&EventHdlSupport::NoPreExecute) {}

  ~EventHdlPolicy() override {
    delete currentEvents;
    delete eventBeingExecuted;
    EventHdlSupport::DestroyLoggers(
        EventHdlSupport::Loggers{scheduleLogger, executionLogger, cancelLogger, calendarLogger});
  }

  // Replaces both containers with new empty ones, made before the old ones
  // go so that a failure changes nothing. Events in the old containers are
  // not destroyed.
  void ReplaceContainers(uint32_t seed) {
    std::unique_ptr<typename Storage::Store> store(new typename Storage::Store());
    CurrentSet* set = MakeCurrentSet(seed);
    delete this->futureEvents;
    this->futureEvents = store.release();
    delete currentEvents;
    currentEvents = set;
  }

  // Resets the timeouts filed here, then releases the current set (its
  // events stay the blocks') and destroys every event still in the future
  // store, in execution order.
  void ReleaseContents() {
    pmset<TimeoutData*> filed;
    filed.swap(filedTimeouts);
    for (TimeoutData* td : filed) td->ResetTimeoutData();
    delete currentEvents;
    currentEvents = nullptr;
    if (this->futureEvents != nullptr) {
      while (DesEvent* e = this->futureEvents->Earliest()) {
        this->futureEvents->RemoveEarliest();
        delete e;
      }
      delete this->futureEvents;
      this->futureEvents = nullptr;
    }
  }

 private:
  static CurrentSet* MakeCurrentSet(uint32_t seed) {
    if constexpr (H == EVENT_HDL_RANDOMIZED)
      return new RandomizedEventSet(seed);
    else
      return (static_cast<void>(seed), new CurrentEventSet());
  }

  static void KeepCopyOfExecutingEvent(EventCalendarBase* calendar, DesEvent* e) {
    EventHdlPolicy* self = static_cast<EventHdlPolicy*>(calendar);
    DesEvent* copy = e->cloneTemp();
    if (copy != nullptr) copy->SetIsExecuting(true);
    // A handler that threw leaves its copy behind; it goes now.
    delete self->eventBeingExecuted;
    self->eventBeingExecuted = copy;
  }

  void RefuseIfWaiting(DesEvent* e) {
    TW_ENSURE(e != nullptr);
    if (currentEvents == nullptr) EventHdlSupport::ReportNoCalendar();
    if (e->GetInTq() && currentEvents->FindExactly(e) != currentEvents->end())
      EventHdlSupport::ReportAlreadyWaiting(e);
    // Only the indexed heap can tell in constant time; the other stores
    // accept an event twice (and cancel every copy of it).
    if constexpr (S == EVENT_STORAGE_INDEXED_HEAP) {
      if (this->futureEvents->Holds(e)) EventHdlSupport::ReportAlreadyWaiting(e);
    }
  }

  // Flags are set only after the insertion succeeded: a failed allocation
  // leaves both the calendar and the event as they were.
  void InsertCurrent(DesEvent* e) {
    currentEvents->insert(e);
    e->SetInTq(true);
  }
  void InsertFuture(DesEvent* e) {
    this->futureEvents->Insert(e);
    e->SetInTq(false);
  }

  void RemoveWaiting(DesEvent* e) {
    if (e->GetInTq()) {
      auto it = currentEvents->FindExactly(e);
      if (it != currentEvents->end()) {
        currentEvents->erase(it);
        e->SetInTq(false);
        return;
      }
    }
    this->futureEvents->Remove(e);
  }

  // Run-loop step 2. The event joins the current set before it leaves the
  // future store: if the set cannot allocate, the event is still waiting.
  // The common case of one event due alone: with deterministic handling,
  // nothing else due (current set, internal list, the rest of the future
  // store) and no calendar dump to show it in the current set, the event
  // would go into the current set only to come straight out again. It is
  // taken off the store and run directly instead, re-stamped as promotion
  // would. Randomised handling always goes through the set, because its
  // draw is part of the reproducible random stream.
  // Whether the earliest event is alone is known once it is off the store
  // (the new earliest is not due): asking before would search the heap's
  // top twice. When it is not alone it leads the current set, as promotion
  // would have put it there, and promotion goes on with the rest; if the
  // set cannot take it, it goes back to the store, which has room for it.
  DesEvent* TakeLoneDueEvent(double t, bool tolerant) {
    if constexpr (H != EVENT_HDL_DETERMINISTIC || S != EVENT_STORAGE_INDEXED_HEAP) {
      static_cast<void>(t);
      static_cast<void>(tolerant);
      return nullptr;
    } else {
      if (!currentEvents->empty() || !this->internalEvents.empty() || calendarLogger != nullptr)
        return nullptr;
      typename Storage::Store& future = *this->futureEvents;
      if (future.Empty()) return nullptr;
      const double dueLimit = tolerant ? EventCalendarBase::timeTolerance * t : t;
      if (!(dueLimit >= future.EarliestTime())) return nullptr;
      DesEvent* e = future.Earliest();
      future.RemoveEarliest();
      if (!future.Empty() && dueLimit >= future.EarliestTime()) {
        try {
          currentEvents->insert(e);
        } catch (...) {
          future.Insert(e);
          throw;
        }
        e->SetTime(t);
        e->SetInTq(true);
        return nullptr;
      }
      future.PrefetchEarliest();
      e->SetTime(t);
      return e;
    }
  }

  void PromoteDueEvents(double t, bool tolerant) {
    typename Storage::Store& future = *this->futureEvents;
    const double dueLimit = tolerant ? EventCalendarBase::timeTolerance * t : t;
    while (DesEvent* e = future.Earliest()) {
      if (!(dueLimit >= e->GetTime())) break;
      currentEvents->insert(e);
      future.RemoveEarliest();
      e->SetTime(t);
      e->SetInTq(true);
    }
  }

  // Run-loop step 4: every internal event, those they add included, in
  // arrival order; not logged and not destroyed. The clock moves to the
  // first one's time only when that is later: simulation time never goes
  // back, so an internal event queued for an earlier time runs now.
  void RunInternalEvents() {
    const double first = this->internalEvents.front()->GetTime();
    if (first > this->timeNow) {
      this->timeNow = first;
      eventsAtTimeStep = 0;
    }
    while (!this->internalEvents.empty()) {
      DesEvent* e = this->internalEvents.front();
      this->internalEvents.pop_front();
      e->Process();
    }
  }

  // Run-loop step 7.
  DesEvent* TakeNextEvent(CurrentSet& current) {
    auto chosen = current.begin();
    if constexpr (H == EVENT_HDL_RANDOMIZED) {
      DesEvent* first = *chosen;
      // System priorities are never drawn.
      if (first->GetPriority() >= 0) {
        std::size_t n = 1;
        for (auto it = std::next(chosen); it != current.end() && IdentOrder(first, *it); ++it) ++n;
        const double u = current.GetGenerator().Draw();
        std::size_t k = static_cast<std::size_t>(static_cast<double>(n) * u);
        if (k >= n) k = n - 1;
        std::advance(chosen, static_cast<long>(k));
      }
    }
    DesEvent* e = *chosen;
    current.erase(chosen);
    e->SetInTq(false);
    return e;
  }

  // Run-loop step 11: the debugger's quit drops the rest of the step.
  // Run-loop step 11. A dropped event may be a timeout's event (its own with
  // combined calendars, or the engine's shared one with separate calendars):
  // the timeout and the engine must not keep pointing at it once it is gone.
  void DropCurrentEvents() {
    while (!currentEvents->empty()) {
      DesEvent* e = *currentEvents->begin();
      currentEvents->erase(currentEvents->begin());
      DropEvent(e);
    }
  }
  void DropEvent(DesEvent* e) {
    e->SetInTq(false);
    bool blocksOwn = engine != nullptr && engine->GetDroppedEventsStayWithBlocks();
    if (auto* td = dynamic_cast<TimeoutData*>(e->GetDstObj())) {
      if (td->GetTimeoutEventPtr() == e) td->SetTimeoutEventPtr(nullptr);
      blocksOwn = false;
    }
    if (engine != nullptr) engine->ForgetDroppedEvent(e);
    if (!blocksOwn) delete e;
  }

  [[noreturn]] void ThrowLimitExceeded() const {
    char limit[16];
    std::snprintf(limit, sizeof limit, "%u", static_cast<unsigned>(maxEventsAtTimeStep & 0xFFFFFFFFu));
    EventCalendarBase::ThrowMaxEventsAtTimeStep(limit, this->timeNow);
  }

  __attribute__((noinline)) void DumpCalendar(bool print) {
    if (print && !EventHdlSupport::WantsPrintedDump(calendarLogger)) return;
    std::vector<DesEvent*> rows;
    if (eventBeingExecuted != nullptr) rows.push_back(eventBeingExecuted);
    if (currentEvents != nullptr)
      for (DesEvent* e : *currentEvents) rows.push_back(e);
    if (this->futureEvents != nullptr) {
      typename Storage::Store& store = *this->futureEvents;
      const std::size_t firstFuture = rows.size();
      if constexpr (S == EVENT_STORAGE_INDEXED_HEAP) {
        for (int i = 0; i < store.Size(); ++i) rows.push_back(store.At(i));
        EventHdlSupport::SortFrom(rows, firstFuture);
      } else {
        while (DesEvent* e = store.Earliest()) {
          rows.push_back(e);
          store.RemoveEarliest();
        }
        for (std::size_t i = firstFuture; i < rows.size(); ++i) store.Insert(rows[i]);
      }
    }
    EventHdlSupport::Dump(calendarLogger, rows, print);
  }

  // The loggers' calls stay out of line: the run loop and scheduling are
  // the hot path, and are inlined as if tracing did not exist.
  __attribute__((noinline)) void LogSchedule(DesEvent* e) { EventHdlSupport::Log(scheduleLogger, e); }
  // The user may quit at the prompt of the execution record, before the
  // event runs: the event is then off the calendar and in nobody's hands,
  // so it is dropped with the rest of the step, as a quit after an event
  // drops them, instead of being lost.
  __attribute__((noinline)) void LogExecution(DesEvent* e) {
    try {
      EventHdlSupport::Log(executionLogger, e);
    } catch (...) {
      if (EventHdlPolicy::IsStopRequested()) {
        delete eventBeingExecuted;
        eventBeingExecuted = nullptr;
        DropCurrentEvents();
        DropEvent(e);
      }
      throw;
    }
  }
  __attribute__((noinline)) void LogCancel(DesEvent* e) { EventHdlSupport::Log(cancelLogger, e); }

 protected:
  CurrentSet* currentEvents;
  uint64_t eventsAtTimeStep;
  uint64_t maxEventsAtTimeStep;
  Des* engine;
  _EventLogger<0>* scheduleLogger;
  _EventLogger<1>* executionLogger;
  _EventLogger<2>* cancelLogger;
  _Logger<3>* calendarLogger;
  DesEvent* eventBeingExecuted;
  EventHdlSupport::PreExecuteHook preExecuteHook;
  // Combined calendars: the scheduled timeouts whose events are here.
  pmset<TimeoutData*> filedTimeouts;
};
