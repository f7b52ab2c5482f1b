// Which event runs when: order by time, priority and creation, the due-time
// tolerance and re-stamping, events added while a step runs, internal
// events, and the next-event time, for every calendar type.
#include <cmath>
#include <limits>

#include "tests/kernel/KernelTestSupport.h"

template <class C>
class CalendarOrder : public CalendarTest<C> {};
TYPED_TEST_SUITE(CalendarOrder, CalendarTypes, CalendarTypeNames);

TYPED_TEST(CalendarOrder, EmptyCalendarOnlyMovesTheClock) {
  this->calendar->ExecuteEvents(4.0, true);
  EXPECT_EQ(this->calendar->GetTimeNow(), 4.0);
  EXPECT_EQ(this->calendar->GetNextEventTime(0.0), std::numeric_limits<double>::infinity());
  EXPECT_TRUE(this->block->executed.empty());
}

TYPED_TEST(CalendarOrder, TimeThenPriorityThenCreation) {
  DesEvent* a = this->Add(5.0, 2);
  DesEvent* b = this->Add(5.0, 1);
  DesEvent* c = this->Add(5.0, 1);
  DesEvent* d = this->Add(3.0, 9);
  DesEvent* e = this->Add(7.0, 0);
  EXPECT_EQ(this->calendar->GetNextEventTime(0.0), 3.0);

  this->calendar->ExecuteEvents(3.0, true);
  ASSERT_EQ(this->block->executed, std::vector<DesEvent*>({d}));
  EXPECT_EQ(this->calendar->GetNextEventTime(0.0), 5.0);

  this->calendar->ExecuteEvents(5.0, true);
  ASSERT_EQ(this->block->executed.size(), 4u);
  if (!TestFixture::kRandomized) {
    EXPECT_EQ(this->block->executed, std::vector<DesEvent*>({d, b, c, a}));
  } else {
    // B and C may swap; A (lower priority) always comes last.
    EXPECT_EQ(this->block->executed[3], a);
    EXPECT_EQ(std::set<DesEvent*>(this->block->executed.begin() + 1, this->block->executed.end()),
              std::set<DesEvent*>({a, b, c}));
  }
  this->calendar->ExecuteEvents(7.0, true);
  EXPECT_EQ(this->block->executed.back(), e);
  EXPECT_EQ(this->Waiting(), 0u);
  EXPECT_FALSE(e->GetInTq());
}

TYPED_TEST(CalendarOrder, ToleranceRestampsPromotedEvents) {
  const double late = 1.0 + 1e-15;
  DesEvent* first = this->Add(1.0, 0);
  DesEvent* second = this->Add(late, 0);
  this->calendar->ExecuteEvents(1.0, true);
  ASSERT_EQ(this->block->executed, std::vector<DesEvent*>({first, second}));
  EXPECT_EQ(this->block->times, std::vector<double>({1.0, 1.0}));
  EXPECT_EQ(second->GetTime(), 1.0);
}

TYPED_TEST(CalendarOrder, IntolerantStepLeavesTheNearlyDueEvent) {
  const double late = 1.0 + 1e-15;
  DesEvent* first = this->Add(1.0, 0);
  DesEvent* second = this->Add(late, 0);
  this->calendar->ExecuteEvents(1.0, false);
  ASSERT_EQ(this->block->executed, std::vector<DesEvent*>({first}));
  EXPECT_EQ(second->GetTime(), late);
  EXPECT_EQ(this->calendar->GetNextEventTime(0.0), late);
}

TYPED_TEST(CalendarOrder, AddingWithinToleranceKeepsTheOwnTime) {
  this->calendar->ExecuteEvents(2.0, true);
  const double near = 2.0 * (1.0 + 1e-15);
  DesEvent* e = this->Add(near, 0);
  EXPECT_TRUE(e->GetInTq());
  EXPECT_EQ(this->calendar->GetCurrentEvents()->size(), 1u);
  EXPECT_EQ(this->calendar->GetNextEventTime(0.0), near);
  this->calendar->ExecuteEvents(2.0, true);
  EXPECT_EQ(this->block->times, std::vector<double>({near}));
}

TYPED_TEST(CalendarOrder, EventsAddedDuringAStepRunInThatStep) {
  DesEvent* later = this->Add(3.0, 5);
  DesEvent* trigger = this->Add(3.0, 1);
  DesEvent* future = nullptr;
  DesEvent* now = nullptr;
  DesEvent* urgent = nullptr;
  this->block->onEvent = [&](DesEvent* e) {
    if (e != trigger) return;
    now = this->Add(3.0, 7);     // after `later`
    urgent = this->Add(3.0, 2);  // before `later`
    future = this->Add(4.0, 0);  // not promoted again in this call
  };
  this->calendar->ExecuteEvents(3.0, true);
  ASSERT_EQ(this->block->executed, std::vector<DesEvent*>({trigger, urgent, later, now}));
  EXPECT_EQ(this->calendar->GetNextEventTime(0.0), 4.0);
  EXPECT_FALSE(future->GetInTq());
}

TYPED_TEST(CalendarOrder, PastEventsRunAtTheCurrentTime) {
  this->calendar->ExecuteEvents(10.0, true);
  DesEvent* e = this->Add(4.0, 0);
  EXPECT_TRUE(e->GetInTq());
  this->calendar->ExecuteEvents(10.0, true);
  EXPECT_EQ(this->block->executed, std::vector<DesEvent*>({e}));
}

TYPED_TEST(CalendarOrder, InternalEventsRunFirstInArrivalOrder) {
  DesEvent* ordinary = this->Add(2.0, -2);
  DesEvent* i1 = this->Make(2.0, 9);
  DesEvent* i2 = this->Make(2.0, 0);
  DesEvent* i3 = this->Make(2.0, 5);
  this->block->onEvent = [&](DesEvent* e) {
    if (e == i1) this->calendar->AddIntEvt(i3);  // queued behind i2, same step
  };
  this->calendar->AddIntEvt(i1);
  this->calendar->AddIntEvt(i2);
  EXPECT_EQ(this->calendar->GetNextEventTime(0.0), 2.0);
  this->calendar->ExecuteEvents(2.0, true);
  EXPECT_EQ(this->block->executed, std::vector<DesEvent*>({i1, i2, i3, ordinary}));
  EXPECT_EQ(this->calendar->GetInternalEventCount(), 0u);
}

TYPED_TEST(CalendarOrder, NextEventTimePrefersInternalThenCurrentThenFuture) {
  this->calendar->ExecuteEvents(1.0, true);
  this->Add(6.0, 0);
  EXPECT_EQ(this->calendar->GetNextEventTime(0.0), 6.0);
  this->Add(1.0, 0);
  EXPECT_EQ(this->calendar->GetNextEventTime(0.0), 1.0);
  this->calendar->AddIntEvt(this->Make(0.5, 0));
  EXPECT_EQ(this->calendar->GetNextEventTime(0.0), 0.5);
}

TYPED_TEST(CalendarOrder, SystemPrioritiesRunFirstAndAreNeverDrawn) {
  std::vector<DesEvent*> sys1, sys2, normal;
  for (int i = 0; i < 6; ++i) {
    normal.push_back(this->Add(1.0, 0));
    sys2.push_back(this->Add(1.0, -1));
    sys1.push_back(this->Add(1.0, -2));
  }
  this->calendar->ExecuteEvents(1.0, true);
  const std::vector<DesEvent*>& run = this->block->executed;
  ASSERT_EQ(run.size(), 18u);
  EXPECT_EQ(std::vector<DesEvent*>(run.begin(), run.begin() + 6), sys1);
  EXPECT_EQ(std::vector<DesEvent*>(run.begin() + 6, run.begin() + 12), sys2);
  EXPECT_EQ(std::set<DesEvent*>(run.begin() + 12, run.end()),
            std::set<DesEvent*>(normal.begin(), normal.end()));
}

TYPED_TEST(CalendarOrder, StopRequestDropsTheRestOfTheStep) {
  int destroyed = 0;
  DesEvent* stopper = this->Add(1.0, 0);
  auto* dropped1 = new CountingEvent(1.0, 5, this->block, &destroyed);
  auto* dropped2 = new CountingEvent(1.0, 6, this->block, &destroyed);
  this->calendar->AddEvt(dropped1);
  this->calendar->AddEvt(dropped2);
  DesEvent* future = this->Add(2.0, 0);
  this->block->onEvent = [&](DesEvent*) { this->engine.SetStopRequestedByDebugger(true); };
  this->calendar->ExecuteEvents(1.0, true);
  EXPECT_EQ(this->block->executed, std::vector<DesEvent*>({stopper}));
  EXPECT_EQ(destroyed, 2);
  EXPECT_TRUE(this->calendar->GetCurrentEvents()->empty());
  EXPECT_TRUE(this->calendar->IsWaiting(future));
  this->engine.SetStopRequestedByDebugger(false);
}

TYPED_TEST(CalendarOrder, CopyOfTheExecutingEventExistsOnlyWhileItRuns) {
  this->calendar->InitCalendarLoggers();
  DesEvent* e = this->Add(1.0, 0);
  bool sawCopy = false;
  this->block->onEvent = [&](DesEvent* running) {
    DesEvent* copy = this->calendar->GetEventBeingExecuted();
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, running);
    EXPECT_TRUE(copy->GetIsExecuting());
    EXPECT_TRUE(copy->IsTempEvent());
    EXPECT_EQ(copy->GetId(), running->GetId());
    sawCopy = true;
  };
  this->calendar->ExecuteEvents(1.0, true);
  EXPECT_TRUE(sawCopy);
  EXPECT_EQ(this->calendar->GetEventBeingExecuted(), nullptr);
  EXPECT_EQ(this->block->executed, std::vector<DesEvent*>({e}));
}

TYPED_TEST(CalendarOrder, TemporaryEventsGetNoCopy) {
  this->calendar->InitCalendarLoggers();
  DesEvent* temp = DesEvent::NewTemporaryEvent(1.0, 0, this->block, nullptr);
  this->owned.insert(temp);
  this->calendar->AddEvt(temp);
  bool sawCopy = true;
  this->block->onEvent = [&](DesEvent*) { sawCopy = this->calendar->GetEventBeingExecuted() != nullptr; };
  this->calendar->ExecuteEvents(1.0, true);
  EXPECT_FALSE(sawCopy);
}

TYPED_TEST(CalendarOrder, HandlerExceptionLeavesTheRestOfTheCalendar) {
  DesEvent* thrower = this->Add(1.0, 0);
  DesEvent* next = this->Add(1.0, 1);
  DesEvent* future = this->Add(5.0, 0);
  this->block->onEvent = [&](DesEvent* e) {
    if (e == thrower) throw new DesExcept(DES_GenericInternalErr, "handler failed");
  };
  EXPECT_EQ(CodeOfThrown([&] { this->calendar->ExecuteEvents(1.0, true); }),
            static_cast<uint32_t>(DES_GenericInternalErr));
  EXPECT_FALSE(this->calendar->IsWaiting(thrower));
  EXPECT_FALSE(thrower->GetInTq());
  EXPECT_TRUE(this->calendar->IsWaiting(next));
  EXPECT_TRUE(this->calendar->IsWaiting(future));
  EXPECT_EQ(this->Waiting(), 2u);
  EXPECT_TRUE(this->calendar->GetFutureEvents()->IsConsistent());
  this->calendar->ExecuteEvents(1.0, true);
  EXPECT_EQ(this->block->executed, std::vector<DesEvent*>({thrower, next}));
}

TYPED_TEST(CalendarOrder, TerminateDestroysOnlyFutureEvents) {
  int destroyed = 0;
  this->calendar->ExecuteEvents(1.0, true);
  auto* due = new CountingEvent(1.0, 0, this->block, &destroyed);
  auto* f1 = new CountingEvent(3.0, 0, this->block, &destroyed);
  auto* f2 = new CountingEvent(2.0, 0, this->block, &destroyed);
  this->calendar->AddEvt(due);
  this->calendar->AddEvt(f1);
  this->calendar->AddEvt(f2);
  this->calendar->TerminateCalendar();
  this->calendar = nullptr;
  EXPECT_EQ(destroyed, 2);
  delete due;
  EXPECT_EQ(destroyed, 3);
}
