// Cancelling, cancelling or re-adding what is (not) waiting, simultaneous-event limits.
#include "tests/kernel/KernelTestSupport.h"

template <class C>
class CalendarCancel : public CalendarTest<C> {};
TYPED_TEST_SUITE(CalendarCancel, CalendarTypes);

// Cancelling what is not waiting (twice, run, never added, elsewhere) changes nothing.
TYPED_TEST(CalendarCancel, CancellingWaitingAndOtherEvents) {
  std::vector<DesEvent*> kept;
  for (int i = 0; i < 20; ++i) kept.push_back(this->Add(5.0 + i % 4, i % 3));
  DesEvent* early = this->Add(2.0, 0);
  DesEvent* a = this->Add(3.0, 0);
  DesEvent* b = this->Add(3.0, 1);
  DesEvent* twice = this->Add(6.0, 1);
  TypeParam other(100, &this->engine);
  other.InitCalendar(1);
  DesEvent* theirs = this->Make(3.0, 0);
  other.AddEvt(theirs);  // its position 0 points at kept[0]'s slot here
  this->calendar->DeleteEvt(early);
  EXPECT_FALSE(this->calendar->IsWaiting(early));
  EXPECT_EQ(this->calendar->GetNextEventTime(0.0), 3.0);
  this->block->onEvent = [&](DesEvent* e) {
    if (e == a) this->calendar->DeleteEvt(b);  // from the current set
  };
  this->Run(3.0);
  EXPECT_FALSE(b->GetInTq());
  for (DesEvent* e : {twice, twice, a, b, this->Make(6.0, 1), theirs}) this->calendar->DeleteEvt(e);
  this->calendar->DeleteEvtWithoutLogging(twice);
  EXPECT_TRUE(other.IsWaiting(theirs) && this->Waiting() == kept.size());
  for (DesEvent* e : kept) EXPECT_TRUE(this->calendar->IsWaiting(e));
  EXPECT_TRUE(this->calendar->GetFutureEvents()->IsConsistent());
  early->SetTime(4.0);
  this->calendar->AddEvtWithoutLogging(early);
  this->Run(4.0);
  EXPECT_EQ(this->Executed(), std::vector<DesEvent*>({a, early}));
  this->Run(10.0);
  EXPECT_EQ(this->Executed().size(), kept.size() + 2);
}

TYPED_TEST(CalendarCancel, AddingAWaitingEvent) {
  this->Run(1.0);
  DesEvent* due = this->Add(1.0, 0);
  const uint64_t counted = this->calendar->GetEventsAtTimeStep();
  EXPECT_EQ(ErrorCode([&] { this->calendar->AddEvt(due); }), DES_GenericInternalErr);
  EXPECT_EQ(this->calendar->GetEventsAtTimeStep(), counted);
  // Moved to the future while still in the current set: refused as well.
  due->SetTime(9.0);
  EXPECT_EQ(ErrorCode([&] { this->calendar->AddEvtWithoutLogging(due); }), DES_GenericInternalErr);
  due->SetTime(1.0);

  DesEvent* a = this->Add(4.0, 0);
  DesEvent* b = this->Add(3.0, 0);
  if (TestFixture::kIndexedHeap) {
    EXPECT_EQ(ErrorCode([&] { this->calendar->AddEvt(a); }), DES_GenericInternalErr);
    EXPECT_EQ(ErrorCode([&] { this->calendar->AddEvtWithoutLogging(b); }), DES_GenericInternalErr);
    EXPECT_EQ(this->Waiting(), 3u);
  } else {
    // The other stores hold duplicates and cancel every copy at once.
    this->calendar->AddEvt(a);
    EXPECT_EQ(this->Waiting(), 4u);
    this->calendar->DeleteEvt(a);
    EXPECT_EQ(this->Waiting(), 2u);
  }
  EXPECT_TRUE(this->calendar->GetFutureEvents()->IsConsistent());
  this->Run(1.0);
  EXPECT_EQ(this->Executed(), std::vector<DesEvent*>({due}));
}

TYPED_TEST(CalendarCancel, LimitsOfSimultaneousEvents) {
  TypeParam limited(3, &this->engine);
  limited.InitCalendar(0);
  limited.ExecuteEvents(2.5, true);
  for (int i = 0; i < 3; ++i) limited.AddEvt(this->Make(2.5, 0));
  DesEvent* fourth = this->Make(2.5, 0);
  ThrownError t = CatchError([&] { limited.AddEvt(fourth); });
  EXPECT_TRUE(t.code == DES_MaxEventsAtTimeStep && t.args == std::vector<std::string>({"3", "2.500000"}));
  EXPECT_TRUE(limited.IsWaiting(fourth));
  limited.ExecuteEvents(2.5, true);
  EXPECT_TRUE(this->Executed().size() == 4u && limited.GetCurrentEvents()->empty());
  // Unlogged additions are not counted, and a future event resets the count.
  limited.AddEvt(this->Make(7.0, 0));
  EXPECT_EQ(limited.GetEventsAtTimeStep(), 0u);
  for (int i = 0; i < 3; ++i) limited.AddEvt(this->Make(2.5, 0));
  limited.AddEvtWithoutLogging(this->Make(2.5, 0));
  EXPECT_EQ(limited.GetEventsAtTimeStep(), 3u);

  // Internal events: the first at a time counts 0, so 100001 share a time.
  for (int i = 0; i < 100001; ++i) this->calendar->AddIntEvt(this->Make(1.0, 0));
  t = CatchError([&] { this->calendar->AddIntEvt(this->Make(1.0, 0)); });
  EXPECT_TRUE(t.code == DES_MaxEventsAtTimeStep && t.args == std::vector<std::string>({"100000", "1.000000"}));
  // Appended before the check; a new time starts a new count.
  EXPECT_EQ(this->calendar->GetInternalEventCount(), 100002u);
  for (int i = 0; i < 60000; ++i) this->calendar->AddIntEvt(this->Make(3.0, 0));
  this->Run(3.0);
  EXPECT_EQ(this->Executed().size(), 4u + 160002u);
}

// The limit is about one time step: the count starts again whenever the
// time advances, however the step's events were scheduled, and a step that
// exceeded it leaves the next ones unaffected.
TYPED_TEST(CalendarCancel, TheLimitCountsEachTimeStepAfresh) {
  TypeParam limited(3, &this->engine);
  limited.InitCalendar(0);
  std::set<DesEvent*> unlogged;
  for (int t = 1; t <= 6; ++t) {
    DesEvent* e = this->Make(t, 0);
    unlogged.insert(e);
    limited.AddEvtWithoutLogging(e);
  }
  this->block->onEvent = [&](DesEvent* e) {
    if (unlogged.count(e) != 0) limited.AddEvt(this->Make(limited.GetTimeNow(), 1));
  };
  for (int t = 1; t <= 6; ++t)
    EXPECT_EQ(ErrorCode([&] { limited.ExecuteEvents(t, true); }), 0u) << "at time " << t;
  EXPECT_EQ(this->Executed().size(), 12u);

  this->block->onEvent = nullptr;
  limited.ExecuteEvents(7.0, true);
  for (int i = 0; i < 3; ++i) limited.AddEvt(this->Make(7.0, 0));
  EXPECT_EQ(ErrorCode([&] { limited.AddEvt(this->Make(7.0, 0)); }), DES_MaxEventsAtTimeStep);
  limited.ExecuteEvents(7.0, true);  // the same step: the count goes on
  EXPECT_EQ(ErrorCode([&] { limited.AddEvt(this->Make(7.0, 0)); }), DES_MaxEventsAtTimeStep);
  limited.ExecuteEvents(7.0, true);
  limited.ExecuteEvents(8.0, true);
  EXPECT_EQ(limited.GetEventsAtTimeStep(), 0u);
  for (int i = 0; i < 3; ++i) limited.AddEvt(this->Make(8.0, 0));
  EXPECT_EQ(this->Executed().size(), 12u + 5u);
  limited.ExecuteEvents(8.0, true);
  EXPECT_EQ(this->Executed().size(), 12u + 8u);
}
