// Cancelling events from the current set and the future store, the
// simultaneous-event limits, and the guards against cancelling an event that
// is not waiting or adding one that already is.
#include "tests/kernel/KernelTestSupport.h"

template <class C>
class CalendarCancel : public CalendarTest<C> {};
TYPED_TEST_SUITE(CalendarCancel, CalendarTypes, CalendarTypeNames);

TYPED_TEST(CalendarCancel, CancelFromTheFutureStore) {
  DesEvent* early = this->Add(2.0, 0);
  DesEvent* late = this->Add(3.0, 0);
  EXPECT_EQ(this->calendar->GetNextEventTime(0.0), 2.0);
  this->calendar->DeleteEvt(early);
  EXPECT_FALSE(this->calendar->IsWaiting(early));
  EXPECT_EQ(this->calendar->GetNextEventTime(0.0), 3.0);
  this->calendar->ExecuteEvents(3.0, true);
  EXPECT_EQ(this->block->executed, std::vector<DesEvent*>({late}));
}

TYPED_TEST(CalendarCancel, CancelAPromotedEventFromTheCurrentSet) {
  DesEvent* a = this->Add(2.0, 0);
  DesEvent* b = this->Add(2.0, 1);
  this->block->onEvent = [&](DesEvent* e) {
    if (e == a) {
      EXPECT_TRUE(b->GetInTq());
      this->calendar->DeleteEvt(b);
      EXPECT_FALSE(b->GetInTq());
    }
  };
  this->calendar->ExecuteEvents(2.0, true);
  EXPECT_EQ(this->block->executed, std::vector<DesEvent*>({a}));
  EXPECT_EQ(this->Waiting(), 0u);
}

TYPED_TEST(CalendarCancel, CancelledEventCanBeScheduledAgain) {
  DesEvent* e = this->Add(2.0, 0);
  this->calendar->DeleteEvtWithoutLogging(e);
  e->SetTime(4.0);
  this->calendar->AddEvtWithoutLogging(e);
  EXPECT_EQ(this->calendar->GetNextEventTime(0.0), 4.0);
  this->calendar->ExecuteEvents(4.0, true);
  EXPECT_EQ(this->block->executed, std::vector<DesEvent*>({e}));
}

TYPED_TEST(CalendarCancel, CancellingTwiceOrAfterExecutionChangesNothing) {
  std::vector<DesEvent*> kept;
  for (int i = 0; i < 20; ++i) kept.push_back(this->Add(5.0 + i % 4, i % 3));
  DesEvent* twice = this->Add(6.0, 1);
  DesEvent* ran = this->Add(1.0, 0);
  DesEvent* never = this->Make(6.0, 1);
  this->calendar->ExecuteEvents(1.0, true);
  this->calendar->DeleteEvt(twice);
  this->calendar->DeleteEvt(twice);
  this->calendar->DeleteEvtWithoutLogging(twice);
  this->calendar->DeleteEvt(ran);
  this->calendar->DeleteEvt(never);
  EXPECT_EQ(this->Waiting(), kept.size());
  for (DesEvent* e : kept) EXPECT_TRUE(this->calendar->IsWaiting(e));
  EXPECT_TRUE(this->calendar->GetFutureEvents()->IsConsistent());
  this->calendar->ExecuteEvents(10.0, true);
  EXPECT_EQ(this->block->executed.size(), kept.size() + 1);
}

TYPED_TEST(CalendarCancel, CancellingAnEventOfAnotherCalendarChangesNothing) {
  TypeParam other(100, &this->engine);
  other.InitCalendar(1);
  DesEvent* mine = this->Add(3.0, 0);
  DesEvent* theirs = this->Make(3.0, 0);
  other.AddEvt(theirs);
  // The stale position of `theirs` (0) points at `mine` in this calendar.
  this->calendar->DeleteEvt(theirs);
  EXPECT_TRUE(this->calendar->IsWaiting(mine));
  EXPECT_TRUE(other.IsWaiting(theirs));
  EXPECT_TRUE(this->calendar->GetFutureEvents()->IsConsistent());
}

TYPED_TEST(CalendarCancel, AddingAWaitingEventIsRefused) {
  this->calendar->ExecuteEvents(1.0, true);
  DesEvent* due = this->Add(1.0, 0);
  const uint64_t counted = this->calendar->GetEventsAtTimeStep();
  EXPECT_EQ(CodeOfThrown([&] { this->calendar->AddEvt(due); }),
            static_cast<uint32_t>(DES_GenericInternalErr));
  EXPECT_EQ(this->calendar->GetEventsAtTimeStep(), counted);
  // Moved to the future while still in the current set: refused as well.
  due->SetTime(9.0);
  EXPECT_EQ(CodeOfThrown([&] { this->calendar->AddEvtWithoutLogging(due); }),
            static_cast<uint32_t>(DES_GenericInternalErr));
  due->SetTime(1.0);
  EXPECT_EQ(this->Waiting(), 1u);
  this->calendar->ExecuteEvents(1.0, true);
  EXPECT_EQ(this->block->executed, std::vector<DesEvent*>({due}));
}

TYPED_TEST(CalendarCancel, AddingAWaitingFutureEventTwice) {
  DesEvent* a = this->Add(4.0, 0);
  DesEvent* b = this->Add(3.0, 0);
  if (TestFixture::kIndexedHeap) {
    EXPECT_EQ(CodeOfThrown([&] { this->calendar->AddEvt(a); }),
              static_cast<uint32_t>(DES_GenericInternalErr));
    EXPECT_EQ(CodeOfThrown([&] { this->calendar->AddEvtWithoutLogging(b); }),
              static_cast<uint32_t>(DES_GenericInternalErr));
    EXPECT_EQ(this->Waiting(), 2u);
  } else {
    // The other stores hold duplicates and cancel every copy at once.
    this->calendar->AddEvt(a);
    EXPECT_EQ(this->Waiting(), 3u);
    this->calendar->DeleteEvt(a);
    EXPECT_EQ(this->Waiting(), 1u);
  }
  EXPECT_TRUE(this->calendar->GetFutureEvents()->IsConsistent());
}

TYPED_TEST(CalendarCancel, LimitOfSimultaneousEvents) {
  TypeParam limited(3, &this->engine);
  limited.InitCalendar(0);
  limited.ExecuteEvents(2.5, true);
  DesEvent* events[5];
  for (int i = 0; i < 3; ++i) limited.AddEvt(events[i] = this->Make(2.5, 0));
  std::vector<std::string> args;
  EXPECT_EQ(CodeOfThrown([&] { limited.AddEvt(events[3] = this->Make(2.5, 0)); }, &args),
            static_cast<uint32_t>(DES_MaxEventsAtTimeStep));
  EXPECT_EQ(args, std::vector<std::string>({"3", "2.500000"}));
  // The event that broke the limit is in the calendar.
  EXPECT_TRUE(limited.IsWaiting(events[3]));
  EXPECT_EQ(limited.GetCurrentEvents()->size(), 4u);
  limited.ExecuteEvents(2.5, true);
  EXPECT_EQ(this->block->executed.size(), 4u);
  EXPECT_TRUE(limited.GetCurrentEvents()->empty());
  // Unlogged additions are not counted, and a future event resets the count.
  limited.AddEvt(events[4] = this->Make(7.0, 0));
  EXPECT_EQ(limited.GetEventsAtTimeStep(), 0u);
  for (int i = 0; i < 3; ++i) limited.AddEvt(this->Make(2.5, 0));
  limited.AddEvtWithoutLogging(this->Make(2.5, 0));
  EXPECT_EQ(limited.GetEventsAtTimeStep(), 3u);
}

TYPED_TEST(CalendarCancel, LimitOfInternalEventsAtOneTime) {
  // The first event at a time starts the count at 0, so 100001 events share
  // one time before the next one breaks the limit.
  for (int i = 0; i < 100001; ++i) this->calendar->AddIntEvt(this->Make(1.0, 0));
  std::vector<std::string> args;
  EXPECT_EQ(CodeOfThrown([&] { this->calendar->AddIntEvt(this->Make(1.0, 0)); }, &args),
            static_cast<uint32_t>(DES_MaxEventsAtTimeStep));
  EXPECT_EQ(args, std::vector<std::string>({"100000", "1.000000"}));
  // The list was appended to before the check.
  EXPECT_EQ(this->calendar->GetInternalEventCount(), 100002u);
  // A new time starts a new count.
  for (int i = 0; i < 60000; ++i) this->calendar->AddIntEvt(this->Make(3.0, 0));
  EXPECT_EQ(this->calendar->GetInternalEventCount(), 160002u);
  this->calendar->ExecuteEvents(3.0, true);
  EXPECT_EQ(this->block->executed.size(), 160002u);
}
