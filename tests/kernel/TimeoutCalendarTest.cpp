// The timeout calendars on their own: order, removal, termination, the factories.
#include <algorithm>
#include <memory>
#include <random>
#include <tuple>
#include <utility>

#include "kernel/TimeoutCalendarFactory.h"
#include "tests/kernel/TimeoutTestSupport.h"

namespace {

// Timeouts scheduled by the fixture's block, owned by the test.
template <class C>
class TimeoutCalendarTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    calendar->InitCalendar(5);
  }
  void TearDown() override {
    delete calendar;
    for (TimeoutData* td : made) delete td;
    EngineTest::TearDown();
  }
  TimeoutData* Make(const std::string& tag, double t, int p, bool add = true) {
    made.push_back(new TimeoutData(tag.c_str(), t, p, nullptr, block, 1));
    if (add) calendar->AddToTimeoutCollection(made.back());
    return made.back();
  }

  C* calendar = new C();
  std::vector<TimeoutData*> made;
};

TYPED_TEST_SUITE(TimeoutCalendarTest, TimeoutCalendarTypes);

// Ties, removals from the middle and of strangers: every storage drains as a sort would.
TYPED_TEST(TimeoutCalendarTest, EveryStorageGivesTheOrderOfASortOfTheDeadlines) {
  std::mt19937 random(42);
  std::vector<TimeoutData*> live;
  for (int i = 0; i < 300; ++i) {
    live.push_back(this->Make("t" + std::to_string(i), random() % 7, static_cast<int>(random() % 3)));
    if (i % 5 == 4) {
      const std::size_t k = random() % live.size();
      this->calendar->RemoveFromTimeoutCollection(live[k]);
      live.erase(live.begin() + static_cast<long>(k));
    }
  }
  this->calendar->RemoveFromTimeoutCollection(this->Make("stranger", 0.5, 0, false));
  this->calendar->RemoveFromTimeoutCollection(nullptr);
  auto key = [](const TimeoutData* td) {
    return std::make_tuple(td->GetTimeOfTimeoutEvent(), td->GetPriorityOfTimeoutEvent(), td->GetInstanceCount());
  };
  std::sort(live.begin(), live.end(), [&](const TimeoutData* a, const TimeoutData* b) { return key(a) < key(b); });
  std::vector<TimeoutData*> drained;
  while (TimeoutData* td = this->calendar->topTimeout()) {
    drained.push_back(td);
    this->calendar->RemoveFromTimeoutCollection(td);
  }
  EXPECT_EQ(drained, live);
  EXPECT_TRUE(this->calendar->IsEmpty());
}

// Termination resets the timeouts, leaving them to their owners; uninitialised, none are taken.
TYPED_TEST(TimeoutCalendarTest, TerminationInitialisationAndSeed) {
  TimeoutData* a = this->Make("a", 1.0, 0);
  TimeoutData* b = this->Make("b", 2.0, 3);
  TimeoutData* outside = this->Make("c", 3.0, 0, false);
  const bool randomized = TypeParam::kHandling == TIMEOUT_HDL_RANDOMIZED;
  std::exchange(this->calendar, nullptr)->TerminateCalendar();
  for (TimeoutData* td : {a, b})
    EXPECT_TRUE(td->IsCancelled() && td->GetPriorityOfTimeoutEvent() == TimeoutData::kResetPriority &&
                td->GetTimeOfTimeoutEvent() == 0.0);
  EXPECT_FALSE(outside->IsCancelled());
  TypeParam fresh;
  EXPECT_EQ(ErrorCode([&] { fresh.AddToTimeoutCollection(outside); }), DES_GenericInternalErr);
  fresh.RemoveFromTimeoutCollection(outside);
  EXPECT_EQ(ErrorCode([&] { fresh.InitCalendar(-1); }), randomized ? DES_RngNegSeedInEvntHndlr : 0u);
  EXPECT_TRUE(fresh.IsEmpty());
}

// Heap and list drop every copy of a duplicate; the set removes only the exact timeout.
class TimeoutStores : public TimeoutCalendarTest<TimeoutCalendar<TIMEOUT_HDL_DETERMINISTIC, TIMEOUT_STORAGE_HEAP>> {};
TEST_F(TimeoutStores, DuplicatesAndChangedValues) {
  TimeoutData* a = Make("a", 1.0, 0, false);
  TimeoutData* b = Make("b", 1.0, 0, false);
  *b = *a;  // same deadline, priority and number
  b->SetTag("b");
  TimeoutHeapStore heap;
  TimeoutListStore list;
  TimeoutSetStore set;
  for (TimeoutData* td : {a, a, b}) heap.Insert(td), list.Insert(td), set.Insert(td);
  for (int i = 0; i < 40; ++i) heap.Insert(Make("n", (i * 7) % 11, i % 3, false));
  EXPECT_EQ(std::vector<std::size_t>({heap.Size(), list.Size(), set.Size()}), std::vector<std::size_t>({43, 3, 2}));
  heap.Remove(a);
  list.Remove(a);
  EXPECT_TRUE(heap.Size() == 41u && heap.IsConsistent() && list.Top() == b);
  a->SetTimeOfTimeoutEvent(5.0);
  set.Remove(a);
  EXPECT_TRUE(set.Size() == 1u && set.Top() == b);
  set.Remove(b);
  EXPECT_TRUE(set.Empty());
}

TEST(TimeoutCalendarFactories, MakeEverySixCombinationsAndNothingElse) {
  for (int storage = 0; storage < 3; ++storage) {
    std::unique_ptr<TimeoutCalendarBase> d(NewDeterministicTimeoutCalendar(storage)), r(NewRandomizedTimeoutCalendar(storage));
    EXPECT_TRUE(d != nullptr && r != nullptr);
    EXPECT_TRUE((storage != 1 || dynamic_cast<TimeoutCalendar<TIMEOUT_HDL_DETERMINISTIC, TIMEOUT_STORAGE_LIST>*>(d.get())));
    EXPECT_TRUE((storage != 2 || dynamic_cast<TimeoutCalendar<TIMEOUT_HDL_RANDOMIZED, TIMEOUT_STORAGE_SET>*>(r.get())));
  }
  EXPECT_EQ(NewDeterministicTimeoutCalendar(3), nullptr);
  EXPECT_EQ(NewRandomizedTimeoutCalendar(-1), nullptr);
}

}  // namespace
