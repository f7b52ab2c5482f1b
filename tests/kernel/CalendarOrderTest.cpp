// Which event runs when, for every calendar type.
#include <memory>
#include <utility>

#include "tests/kernel/KernelTestSupport.h"

template <class C>
class CalendarOrder : public CalendarTest<C> {};
TYPED_TEST_SUITE(CalendarOrder, CalendarTypes);

// System priorities (SYS1 -2, SYS2 -1) run first in creation order, never drawn.
TYPED_TEST(CalendarOrder, TimeThenPriorityThenCreation) {
  DesEvent* a = this->Add(5.0, 2);
  DesEvent* b = this->Add(5.0, 1);
  DesEvent* c = this->Add(5.0, 1);
  std::vector<DesEvent*> sys;
  for (int p : {-1, -1, -1, -2, -2, -2}) sys.push_back(this->Add(5.0, p));
  DesEvent* d = this->Add(3.0, 9);
  DesEvent* e = this->Add(7.0, 0);
  EXPECT_EQ(this->calendar->GetNextEventTime(0.0), 3.0);
  this->Run(3.0);
  ASSERT_EQ(this->Executed(), std::vector<DesEvent*>({d}));
  EXPECT_EQ(this->calendar->GetNextEventTime(0.0), 5.0);
  this->Run(5.0);
  ASSERT_EQ(this->Executed().size(), 10u);
  // Randomised handling may swap b and c; a (lower priority) always comes last.
  if (TestFixture::kRandomized && this->Executed()[7] == c) std::swap(this->Executed()[7], this->Executed()[8]);
  EXPECT_EQ(this->Executed(), std::vector<DesEvent*>({d, sys[3], sys[4], sys[5], sys[0], sys[1], sys[2], b, c, a}));
  this->Run(7.0);
  EXPECT_TRUE(this->Executed().back() == e && this->Waiting() == 0u && !e->GetInTq());
  // An empty calendar only moves the clock.
  this->Run(8.0);
  EXPECT_EQ(this->calendar->GetTimeNow(), 8.0);
  EXPECT_EQ(this->calendar->GetNextEventTime(0.0), kNever);
}

TYPED_TEST(CalendarOrder, ToleranceAndRestamping) {
  const double late = 1.0 + 1e-15;
  DesEvent* first = this->Add(1.0, 0);
  DesEvent* second = this->Add(late, 0);
  this->calendar->ExecuteEvents(1.0, false);  // without tolerance it waits
  ASSERT_EQ(this->Executed(), std::vector<DesEvent*>({first}));
  EXPECT_EQ(this->calendar->GetNextEventTime(0.0), late);
  // With it, the event is promoted and re-stamped with the step's time.
  this->Run(1.0);
  EXPECT_EQ(second->GetTime(), 1.0);
  // Within tolerance of now, or in the past: due now, e keeping its time.
  this->Run(2.0);
  const double near = 2.0 * (1.0 + 1e-15);
  DesEvent* e = this->Add(near, 0);
  DesEvent* past = this->Add(0.5, 1);
  EXPECT_TRUE(e->GetInTq() && past->GetInTq());
  EXPECT_EQ(this->calendar->GetNextEventTime(0.0), near);
  this->Run(2.0);
  EXPECT_EQ(this->Executed(), std::vector<DesEvent*>({first, second, e, past}));
  EXPECT_EQ(e->GetTime(), near);
}

// Internal events run first, in arrival order (ordinary additions: the seeded mix).
TYPED_TEST(CalendarOrder, InternalEventsRunFirstInArrivalOrder) {
  DesEvent* ordinary = this->Add(5.0, -2);
  DesEvent* due = this->Add(3.0, 0);
  this->Run(3.0);
  DesEvent* i1 = this->Make(4.5, 9);
  DesEvent* i2 = this->Make(4.5, 0);
  DesEvent* i3 = this->Make(4.5, 5);
  this->block->onEvent = [&](DesEvent* e) {
    if (e == i1) this->calendar->AddIntEvt(i3);  // queued behind i2, same step
  };
  this->calendar->AddIntEvt(i1);
  this->calendar->AddIntEvt(i2);
  EXPECT_EQ(this->calendar->GetNextEventTime(0.0), 4.5);
  this->Run(5.0);
  EXPECT_EQ(this->Executed(), std::vector<DesEvent*>({due, i1, i2, i3, ordinary}));
  EXPECT_EQ(this->calendar->GetInternalEventCount(), 0u);
}

// A stop destroys the rest of the step; a temporary copy stands for a non-temporary event running.
TYPED_TEST(CalendarOrder, StopRequestAndTheCopyOfTheExecutingEvent) {
  this->calendar->InitCalendarLoggers();
  int destroyed = 0;
  DesEvent* e = this->Add(1.0, 0);
  DesEvent* temp = *this->owned.insert(DesEvent::NewTemporaryEvent(1.0, 1, this->block, nullptr)).first;
  this->calendar->AddEvt(temp);
  this->calendar->AddEvt(new CountingEvent(1.0, 5, this->block, &destroyed));
  this->calendar->AddEvt(new CountingEvent(1.0, 6, this->block, &destroyed));
  DesEvent* future = this->Add(2.0, 0);
  std::vector<DesEvent*> copies;
  this->block->onEvent = [&](DesEvent* running) {
    DesEvent* copy = this->calendar->GetEventBeingExecuted();
    copies.push_back(copy);
    if (running == temp) this->engine.SetStopRequestedByDebugger(true);
    if (copy == nullptr) return;
    EXPECT_TRUE(copy->GetIsExecuting() && copy->IsTempEvent());
    EXPECT_EQ(copy->GetId(), running->GetId());
  };
  this->Run(1.0);
  ASSERT_EQ(this->Executed(), std::vector<DesEvent*>({e, temp}));
  EXPECT_TRUE(copies[0] != nullptr && copies[0] != e && copies[1] == nullptr);
  EXPECT_EQ(this->calendar->GetEventBeingExecuted(), nullptr);
  EXPECT_TRUE(destroyed == 2 && this->calendar->GetCurrentEvents()->empty() && this->calendar->IsWaiting(future));
  this->engine.SetStopRequestedByDebugger(false);
}

// A handler's exception changes nothing else; termination destroys only future events.
TYPED_TEST(CalendarOrder, HandlerExceptionAndTermination) {
  DesEvent* thrower = this->Add(1.0, 0);
  DesEvent* next = this->Add(1.0, 1);
  DesEvent* future = this->Add(5.0, 0);
  this->block->onEvent = [&](DesEvent* e) {
    if (e == thrower) throw new DesExcept(DES_GenericInternalErr, "handler failed");
  };
  EXPECT_EQ(ErrorCode([&] { this->Run(1.0); }), DES_GenericInternalErr);
  EXPECT_FALSE(this->calendar->IsWaiting(thrower) || thrower->GetInTq());
  EXPECT_TRUE(this->calendar->IsWaiting(next) && this->calendar->IsWaiting(future) && this->Waiting() == 2u);
  EXPECT_TRUE(this->calendar->GetFutureEvents()->IsConsistent());
  this->Run(1.0);
  EXPECT_EQ(this->Executed(), std::vector<DesEvent*>({thrower, next}));

  int destroyed = 0;
  this->calendar->DeleteEvt(future);
  std::unique_ptr<CountingEvent> due(new CountingEvent(1.0, 0, this->block, &destroyed));
  for (double t : {1.0, 3.0, 2.0}) this->calendar->AddEvt(t == 1.0 ? due.get() : new CountingEvent(t, 0, this->block, &destroyed));
  std::exchange(this->calendar, nullptr)->TerminateCalendar();
  EXPECT_EQ(destroyed, 2);
}

// Two events may share an instance count after DesEvent::operator=: both
// run, promoted together or added while due, in an order that a calendar of
// the same type and seed repeats.
TYPED_TEST(CalendarOrder, EventsSharingAnInstanceCountBothRun) {
  auto scenario = [&](bool promoted, bool copyAfterAdding) {
    TypeParam calendar(1000000, &this->engine);
    calendar.InitCalendar(7);
    if (!promoted) calendar.ExecuteEvents(5.0, true);
    this->Executed().clear();
    DesEvent* a = this->Make(5.0, 0);
    DesEvent* b = this->Make(1.0, 0);
    if (copyAfterAdding) {
      calendar.AddEvt(a);  // b then also takes a's place marks
      *b = *a;
    } else {
      *b = *a;
      calendar.AddEvt(a);
    }
    EXPECT_FALSE(calendar.IsWaiting(b));
    calendar.AddEvt(b);
    EXPECT_TRUE(calendar.IsWaiting(a) && calendar.IsWaiting(b));
    // Each can be cancelled and added again without touching the other.
    calendar.DeleteEvt(b);
    EXPECT_TRUE(calendar.IsWaiting(a) && !calendar.IsWaiting(b));
    calendar.AddEvt(b);
    EXPECT_EQ(calendar.GetNextEventTime(0.0), 5.0);
    calendar.ExecuteEvents(5.0, true);
    std::vector<DesEvent*> ran = this->Executed();
    EXPECT_EQ(std::set<DesEvent*>(ran.begin(), ran.end()), std::set<DesEvent*>({a, b}));
    EXPECT_EQ(ran.size(), 2u);
    EXPECT_EQ(calendar.GetNextEventTime(0.0), kNever);
    EXPECT_FALSE(calendar.IsWaiting(a) || calendar.IsWaiting(b));
    return !ran.empty() && ran[0] == a;
  };
  for (bool promoted : {true, false}) {
    for (bool copyAfterAdding : {false, true}) {
      SCOPED_TRACE(std::string(promoted ? "promoted" : "added while due") +
                   (copyAfterAdding ? ", copied after adding" : ""));
      const bool aFirst = scenario(promoted, copyAfterAdding);
      EXPECT_EQ(scenario(promoted, copyAfterAdding), aFirst) << "the order is not fixed";
    }
  }
}

// Internal events never move the clock backwards: the step's handlers see
// its time, and what they schedule "now + 1" lands after it.
TYPED_TEST(CalendarOrder, InternalEventsDoNotTurnTheClockBack) {
  this->Run(40.0);
  DesEvent* e = this->Add(50.0, 0);
  DesEvent* internal = this->Make(45.0, 0);
  std::vector<double> seen;
  DesEvent* next = nullptr;
  this->block->onEvent = [&](DesEvent* running) {
    seen.push_back(this->calendar->GetTimeNow());
    if (running == e) {
      next = this->Make(this->calendar->GetTimeNow() + 1.0, 0);
      this->calendar->AddEvt(next);
    }
  };
  this->calendar->AddIntEvt(internal);
  this->Run(50.0);
  EXPECT_EQ(this->Executed(), std::vector<DesEvent*>({internal, e}));
  EXPECT_EQ(seen, std::vector<double>({50.0, 50.0}));
  EXPECT_EQ(this->calendar->GetTimeNow(), 50.0);
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(next->GetTime(), 51.0);
  EXPECT_EQ(this->calendar->GetNextEventTime(0.0), 51.0);
}
