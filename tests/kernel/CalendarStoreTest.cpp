// The stores under load: heap growth, a seeded mix against a reference model, memory failures.
#include <algorithm>
#include <map>
#include <memory>
#include <random>

#include "kernel/EventRandomGenerator.h"
#include "tests/kernel/KernelTestSupport.h"

template <class C>
class CalendarStore : public CalendarTest<C> {
 protected:
  void ExpectRefused(DesEvent* e) {
    host::failAllocationsFrom(1);
    EXPECT_EQ(ErrorCode([&] { this->calendar->AddEvt(e); }), kMemoryError);
    host::failAllocationsFrom(0);
    EXPECT_FALSE(this->calendar->IsWaiting(e) || e->GetInTq());
  }
};
TYPED_TEST_SUITE(CalendarStore, CalendarTypes);

namespace {

// What the calendar should do, the slow and obvious way.
struct ReferenceCalendar {
  static bool Due(const DesEvent* e, double now) { return EventCalendarBase::timeTolerance * now >= e->GetTime(); }
  void Add(DesEvent* e, double now) { (Due(e, now) ? current : future).push_back(e); }
  void Cancel(DesEvent* e) {
    for (auto* v : {&current, &future}) v->erase(std::remove(v->begin(), v->end(), e), v->end());
  }
  void Promote(double t) {
    auto due = std::stable_partition(future.begin(), future.end(), [t](DesEvent* e) { return !Due(e, t); });
    current.insert(current.end(), due, future.end());
    future.erase(due, future.end());
  }
  DesEvent* TakeNext() {
    std::sort(current.begin(), current.end(), EventRankPrecedes());
    std::size_t k = 0;
    if (randomized && current.front()->GetPriority() >= 0) {
      std::size_t n = 1;
      while (n < current.size() && IdentOrder(current.front(), current[n])) ++n;
      k = std::min(n - 1, static_cast<std::size_t>(static_cast<double>(n) * generator.Draw()));
    }
    DesEvent* e = current[k];
    current.erase(current.begin() + static_cast<long>(k));
    return e;
  }
  double NextTime() const {
    if (!current.empty()) return current.front()->GetTime();
    if (future.empty()) return kNever;
    return (*std::min_element(future.begin(), future.end(), EventPrecedes()))->GetTime();
  }

  bool randomized;
  EventRandomGenerator generator;
  std::vector<DesEvent*> current, future;
};

}  // namespace

TYPED_TEST(CalendarStore, IndexedHeapGrowsPastItsFirstArray) {
  for (int i = 0; i < 1025; ++i) this->Add(1.0 + (i * 7919) % 1000, i % 5);
  auto* store = this->calendar->GetFutureEvents();
  EXPECT_TRUE(store->Size() == 1025u && store->IsConsistent());
  if constexpr (TestFixture::kIndexedHeap) {
    EXPECT_EQ(store->Capacity(), 2048);
    for (int i = 0; i < store->Size(); ++i) ASSERT_EQ(store->At(i)->heapIndex, static_cast<uint32_t>(i));
  }
  this->calendar->ExecuteEvents(2000.0, false);
  ASSERT_EQ(this->Executed().size(), 1025u);
  for (std::size_t i = 1; i < 1025; ++i) EXPECT_GE(this->Executed()[i]->GetTime(), this->Executed()[i - 1]->GetTime());
}

// A seeded mix heavy on ties (system ones too); handlers schedule into the running step and later, and
// cancel from the current set and the future store. Returns the run order as creation numbers.
template <class C>
std::vector<int> RunSeededMix(Des* engine, RecordingBlock* block, int* mismatches) {
  std::unique_ptr<C> calendar(new C(1000000, engine));
  calendar->InitCalendar(11);
  ReferenceCalendar reference;
  reference.randomized = C::kHandling == EVENT_HDL_RANDOMIZED;
  reference.generator.Seed(11);
  std::mt19937 script(2024);
  std::vector<DesEvent*> made;
  std::vector<int> sequence;
  auto rnd = [&](int n) { return static_cast<int>(script() % static_cast<uint32_t>(n)); };
  auto schedule = [&](double now) {
    const int priorities[] = {-2, -1, 0, 0, 0, 1, 1, 2};
    const double delays[] = {0.0, 0.0, 1.0, 1.0, 1.0, 2.0, 3.0, 0.5};
    made.push_back(new DesEvent(now + delays[rnd(8)], priorities[rnd(8)], block, nullptr));
    calendar->AddEvt(made.back());
    reference.Add(made.back(), now);
  };
  auto cancelOne = [&]() {
    std::vector<DesEvent*> waiting(reference.current);
    waiting.insert(waiting.end(), reference.future.begin(), reference.future.end());
    if (waiting.empty()) return;
    DesEvent* victim = waiting[static_cast<std::size_t>(rnd(static_cast<int>(waiting.size())))];
    calendar->DeleteEvt(victim);
    reference.Cancel(victim);
  };
  block->onEvent = [&](DesEvent* e) {
    if (reference.TakeNext() != e) ++*mismatches;
    sequence.push_back(static_cast<int>(e->GetInstanceCount() - made[0]->GetInstanceCount()));
    if (rnd(3) == 0) schedule(calendar->GetTimeNow());
    if (rnd(5) == 0) cancelOne();
    if (rnd(7) == 0) calendar->DeleteEvt(e);  // already executed: ignored
  };
  double now = 0.0;
  for (int round = 0; round < 400; ++round) {
    for (int i = rnd(6); i > 0; --i) schedule(now);
    if (rnd(3) == 0) cancelOne();
    if (!calendar->GetFutureEvents()->IsConsistent() || calendar->GetNextEventTime(0.0) != reference.NextTime()) ++*mismatches;
    now = calendar->GetNextEventTime(0.0);
    if (now == kNever) now = round;
    reference.Promote(now);
    calendar->ExecuteEvents(now, true);
    if (!reference.current.empty()) ++*mismatches;
  }
  block->onEvent = nullptr;
  for (DesEvent* e : made) calendar->DeleteEvtWithoutLogging(e);
  for (DesEvent* e : made) delete e;
  return sequence;
}

TYPED_TEST(CalendarStore, SeededMixMatchesTheReferenceModel) {
  int mismatches = 0;
  std::vector<int> first = RunSeededMix<TypeParam>(&this->engine, this->block, &mismatches);
  EXPECT_GT(first.size(), 1000u);
  // Same seeds, same order; every node goes back to the host (pool warm).
  const std::size_t liveBefore = host::liveAllocations();
  EXPECT_EQ(RunSeededMix<TypeParam>(&this->engine, this->block, &mismatches), first);
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(host::liveAllocations(), liveBefore);

  // All storage types of this handling type agree with one another.
  static std::map<int, std::vector<int>> byHandling;
  EXPECT_EQ(byHandling.emplace(static_cast<int>(TypeParam::kHandling), first).first->second, first);
}

// Memory failures in the growing current set and future store refuse only the event being added.
TYPED_TEST(CalendarStore, FailedInsertionLeavesTheCalendarIntact) {
  this->Run(1.0);
  DesEvent* first = this->Make(1.0, 0);
  this->ExpectRefused(first);
  EXPECT_TRUE(this->calendar->GetEventsAtTimeStep() == 0u && this->Waiting() == 0u);
  this->calendar->AddEvt(first);
  this->Run(1.0);  // the current set now has room for one event
  DesEvent* a = this->Make(1.0, 0);
  DesEvent* b = this->Make(1.0, 1);
  host::failAllocationsFrom(1);
  this->calendar->AddEvt(a);  // from the stock
  this->ExpectRefused(b);
  EXPECT_TRUE(this->calendar->IsWaiting(a));
  this->calendar->AddEvt(b);
  this->Run(1.0);
  EXPECT_EQ(this->Executed(), std::vector<DesEvent*>({first, a, b}));

  // Fill the future store to the point where the next insertion must allocate.
  const int fill = TestFixture::kIndexedHeap ? IndexedEventHeap::kInitialCapacity : 0;
  for (int i = 0; i < fill; ++i) this->Add(2.0 + i % 17, i % 3);
  DesEvent* extra = this->Make(1.5, 0);
  this->ExpectRefused(extra);
  EXPECT_EQ(this->calendar->GetFutureEvents()->Size(), static_cast<std::size_t>(fill));
  EXPECT_TRUE(this->calendar->GetFutureEvents()->IsConsistent());
  this->calendar->AddEvt(extra);
  this->Run(1.5);
  EXPECT_EQ(this->Executed().back(), extra);
}

// Two events due together need the current set's first storage.
TYPED_TEST(CalendarStore, FailedPromotionKeepsTheEventWaiting) {
  DesEvent* a = this->Add(2.0, 0);
  DesEvent* a2 = this->Add(2.0, 0);
  DesEvent* b = this->Add(3.0, 0);
  host::failAllocationsFrom(1);
  EXPECT_EQ(ErrorCode([&] { this->Run(2.0); }), kMemoryError);
  host::failAllocationsFrom(0);
  EXPECT_TRUE(this->calendar->IsWaiting(a) && !a->GetInTq() && this->Waiting() == 3u);
  EXPECT_TRUE(this->calendar->GetFutureEvents()->IsConsistent());
  this->Run(3.0);
  EXPECT_EQ(this->Executed(), std::vector<DesEvent*>({a, a2, b}));
}
