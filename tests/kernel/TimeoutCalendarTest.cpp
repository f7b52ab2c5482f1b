// The timeout calendars on their own: every handling and storage
// combination keeps the timeouts earliest first (deadline, then priority
// number, then creation), removes them, terminates, and is made by the
// factories.
#include <algorithm>
#include <memory>
#include <random>

#include "kernel/TimeoutCalendarFactory.h"
#include "tests/kernel/KernelTestSupport.h"
#include "tests/kernel/TimeoutTestSupport.h"

namespace {

template <class C>
class TimeoutCalendarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    engine.Initialize();
    block = new HoldingBlock(&engine, "model/Schedule");
    calendar = new C();
    calendar->InitCalendar(5);
  }
  void TearDown() override {
    delete calendar;
    for (TimeoutData* td : made) delete td;
    delete block;
    engine.Terminate();
  }

  TimeoutData* Make(const char* tag, double t, int p) {
    TimeoutData* td = new TimeoutData(tag, t, p, nullptr, block, 1);
    made.push_back(td);
    return td;
  }
  TimeoutData* Add(const char* tag, double t, int p) {
    TimeoutData* td = Make(tag, t, p);
    calendar->AddToTimeoutCollection(td);
    return td;
  }
  // Takes the timeouts out earliest first, as the engine would fire them.
  std::vector<std::string> Drain() {
    std::vector<std::string> order;
    while (TimeoutData* td = calendar->topTimeout()) {
      order.push_back(td->GetTag());
      calendar->RemoveFromTimeoutCollection(td);
    }
    return order;
  }

  Des engine;
  HoldingBlock* block = nullptr;
  C* calendar = nullptr;
  std::vector<TimeoutData*> made;
};

TYPED_TEST_SUITE(TimeoutCalendarTest, TimeoutCalendarTypes, TimeoutCalendarTypeNames);

TYPED_TEST(TimeoutCalendarTest, EarliestDeadlineThenPriorityThenCreation) {
  this->Add("late", 9.0, 0);
  this->Add("p2", 4.0, 2);
  this->Add("first", 4.0, 1);
  this->Add("second", 4.0, 1);
  this->Add("early", 1.0, 50);
  EXPECT_EQ(this->calendar->topTimeout()->GetTag(), "early");
  EXPECT_EQ(this->Drain(), (std::vector<std::string>{"early", "first", "second", "p2", "late"}));
  EXPECT_TRUE(this->calendar->IsEmpty());
  EXPECT_EQ(this->calendar->topTimeout(), nullptr);
}

TYPED_TEST(TimeoutCalendarTest, EveryStorageGivesTheSameOrderAsASortOfTheDeadlines) {
  // Few distinct deadlines and priorities, so that ties are common, and
  // removals from the middle between additions.
  std::mt19937 random(42);
  std::vector<TimeoutData*> live;
  for (int i = 0; i < 300; ++i) {
    const std::string tag = "t" + std::to_string(i);
    live.push_back(this->Add(tag.c_str(), static_cast<double>(random() % 7),
                             static_cast<int>(random() % 3)));
    if (i % 5 == 4) {
      const std::size_t k = random() % live.size();
      this->calendar->RemoveFromTimeoutCollection(live[k]);
      live.erase(live.begin() + static_cast<long>(k));
    }
  }
  std::sort(live.begin(), live.end(), [](const TimeoutData* a, const TimeoutData* b) {
    if (a->GetTimeOfTimeoutEvent() != b->GetTimeOfTimeoutEvent())
      return a->GetTimeOfTimeoutEvent() < b->GetTimeOfTimeoutEvent();
    if (a->GetPriorityOfTimeoutEvent() != b->GetPriorityOfTimeoutEvent())
      return a->GetPriorityOfTimeoutEvent() < b->GetPriorityOfTimeoutEvent();
    return a->GetInstanceCount() < b->GetInstanceCount();
  });
  std::vector<std::string> expected;
  for (TimeoutData* td : live) expected.push_back(td->GetTag());
  EXPECT_EQ(this->Drain(), expected);
}

TYPED_TEST(TimeoutCalendarTest, RemovingATimeoutThatIsNotThereChangesNothing) {
  this->Add("a", 1.0, 0);
  this->Add("b", 2.0, 0);
  TimeoutData* stranger = this->Make("x", 0.5, 0);
  this->calendar->RemoveFromTimeoutCollection(stranger);
  this->calendar->RemoveFromTimeoutCollection(nullptr);
  EXPECT_EQ(this->Drain(), (std::vector<std::string>{"a", "b"}));
}

TYPED_TEST(TimeoutCalendarTest, TerminationResetsEveryTimeoutAndLeavesItToItsOwner) {
  TimeoutData* a = this->Add("a", 1.0, 0);
  TimeoutData* b = this->Add("b", 2.0, 3);
  TimeoutData* outside = this->Make("c", 3.0, 0);
  TypeParam* calendar = this->calendar;
  this->calendar = nullptr;  // TerminateCalendar destroys the calendar itself
  calendar->TerminateCalendar();
  for (TimeoutData* td : {a, b}) {
    EXPECT_TRUE(td->IsCancelled());
    EXPECT_EQ(td->GetPriorityOfTimeoutEvent(), TimeoutData::kResetPriority);
    EXPECT_EQ(td->GetTimeOfTimeoutEvent(), 0.0);
  }
  EXPECT_FALSE(outside->IsCancelled());
  // The timeouts themselves are still the test's (deleted in TearDown).
  EXPECT_EQ(a->GetTag(), "a");
}

TYPED_TEST(TimeoutCalendarTest, ReinitialisingEmptiesTheCalendar) {
  this->Add("a", 1.0, 0);
  this->calendar->InitCalendar(6);
  EXPECT_TRUE(this->calendar->IsEmpty());
  this->Add("b", 2.0, 0);
  EXPECT_EQ(this->Drain(), std::vector<std::string>{"b"});
}

TYPED_TEST(TimeoutCalendarTest, HandlingTypesDifferOnlyInWhatInitialisationSetsUp) {
  if (TypeParam::kHandling == TIMEOUT_HDL_RANDOMIZED) {
    EXPECT_NE(this->calendar->GetGenerator(), nullptr);
    ASSERT_NE(this->calendar->GetList(), nullptr);
    EXPECT_TRUE(this->calendar->GetList()->empty());
    TypeParam fresh;
    EXPECT_EQ(CodeOfThrown([&] { fresh.InitCalendar(-1); }),
              static_cast<uint32_t>(DES_RngNegSeedInEvntHndlr));
    EXPECT_TRUE(fresh.IsEmpty());
  } else {
    EXPECT_EQ(this->calendar->GetGenerator(), nullptr);
    TypeParam fresh;
    fresh.InitCalendar(-1);  // the seed is not used
    EXPECT_TRUE(fresh.IsEmpty());
  }
}

TYPED_TEST(TimeoutCalendarTest, AnUninitialisedCalendarHoldsNothingAndRefusesTimeouts) {
  TypeParam fresh;
  EXPECT_TRUE(fresh.IsEmpty());
  EXPECT_EQ(fresh.topTimeout(), nullptr);
  TimeoutData* td = this->Make("a", 1.0, 0);
  EXPECT_EQ(CodeOfThrown([&] { fresh.AddToTimeoutCollection(td); }),
            static_cast<uint32_t>(DES_GenericInternalErr));
  fresh.RemoveFromTimeoutCollection(td);
}

// ---------------------------------------------------------------- storages

class TimeoutStorageTest : public TimeoutCalendarTest<TimeoutCalendar<TIMEOUT_HDL_DETERMINISTIC, TIMEOUT_STORAGE_HEAP>> {};

TEST_F(TimeoutStorageTest, TheHeapDropsEveryCopyOfARemovedTimeoutAndStaysAHeap) {
  TimeoutData* twice = Add("twice", 2.0, 0);
  calendar->AddToTimeoutCollection(twice);
  for (int i = 0; i < 40; ++i) Add(("n" + std::to_string(i)).c_str(), (i * 7) % 11, i % 3);
  EXPECT_EQ(calendar->GetTimeouts()->Size(), 42u);
  calendar->RemoveFromTimeoutCollection(twice);
  EXPECT_EQ(calendar->GetTimeouts()->Size(), 40u);
  EXPECT_TRUE(calendar->GetTimeouts()->IsConsistent());
  const std::vector<std::string> order = Drain();
  EXPECT_EQ(std::count(order.begin(), order.end(), "twice"), 0);
}

TEST(TimeoutStores, TheListKeepsEveryCopyTheSetOnlyOne) {
  Des engine;
  engine.Initialize();
  {
    HoldingBlock block(&engine, "b");
    std::unique_ptr<TimeoutData> a(new TimeoutData("a", 1.0, 0, nullptr, &block, 1));
    std::unique_ptr<TimeoutData> b(new TimeoutData("b", 1.0, 0, nullptr, &block, 1));
    // Same deadline, priority and number: only the address tells them apart.
    *b = *a;
    b->SetTag("b");
    TimeoutListStore list;
    list.Insert(a.get());
    list.Insert(a.get());
    list.Insert(b.get());
    EXPECT_EQ(list.Size(), 3u);
    EXPECT_TRUE(list.IsConsistent());
    list.Remove(a.get());
    EXPECT_EQ(list.Size(), 1u);
    EXPECT_EQ(list.Top(), b.get());

    TimeoutSetStore set;
    set.Insert(a.get());
    set.Insert(a.get());
    set.Insert(b.get());
    EXPECT_EQ(set.Size(), 2u);
    // The lower address is the earlier of two otherwise equal timeouts.
    EXPECT_EQ(set.Top(), std::less<TimeoutData*>()(a.get(), b.get()) ? a.get() : b.get());
    set.Remove(a.get());
    set.Remove(b.get());
    EXPECT_TRUE(set.Empty());
  }
  engine.Terminate();
}

TEST(TimeoutStores, TheSetFindsATimeoutWhoseValuesChangedWhileStored) {
  Des engine;
  engine.Initialize();
  {
    HoldingBlock block(&engine, "b");
    std::unique_ptr<TimeoutData> a(new TimeoutData("a", 1.0, 0, nullptr, &block, 1));
    std::unique_ptr<TimeoutData> b(new TimeoutData("b", 2.0, 0, nullptr, &block, 1));
    TimeoutSetStore set;
    set.Insert(a.get());
    set.Insert(b.get());
    a->SetTimeOfTimeoutEvent(5.0);
    set.Remove(a.get());
    EXPECT_EQ(set.Size(), 1u);
    EXPECT_EQ(set.Top(), b.get());
  }
  engine.Terminate();
}

// ---------------------------------------------------------------- factories

TEST(TimeoutCalendarFactories, MakeEverySixCombinationsAndNothingElse) {
  for (int storage = 0; storage < 3; ++storage) {
    std::unique_ptr<TimeoutCalendarBase> d(NewDeterministicTimeoutCalendar(storage));
    std::unique_ptr<TimeoutCalendarBase> r(NewRandomizedTimeoutCalendar(storage));
    ASSERT_NE(d, nullptr);
    ASSERT_NE(r, nullptr);
    EXPECT_TRUE(d->IsEmpty());
    EXPECT_EQ(d->topTimeout(), nullptr);
  }
  typedef TimeoutCalendar<TIMEOUT_HDL_DETERMINISTIC, TIMEOUT_STORAGE_LIST> DeterministicList;
  typedef TimeoutCalendar<TIMEOUT_HDL_RANDOMIZED, TIMEOUT_STORAGE_SET> RandomizedSet;
  std::unique_ptr<TimeoutCalendarBase> list(NewDeterministicTimeoutCalendar(1));
  std::unique_ptr<TimeoutCalendarBase> set(NewRandomizedTimeoutCalendar(2));
  EXPECT_NE(dynamic_cast<DeterministicList*>(list.get()), nullptr);
  EXPECT_NE(dynamic_cast<RandomizedSet*>(set.get()), nullptr);
  EXPECT_EQ(NewDeterministicTimeoutCalendar(3), nullptr);
  EXPECT_EQ(NewRandomizedTimeoutCalendar(-1), nullptr);
}

TEST(TimeoutCalendarFactories, TheBaseCalendarHoldsNothing) {
  TimeoutCalendarBase base;
  EXPECT_TRUE(base.IsEmpty());
  EXPECT_EQ(base.topTimeout(), nullptr);
}

}  // namespace
