// The future stores under load: growth of the indexed heap, a long seeded
// mix of additions, cancellations and steps checked against a reference
// model, reproducibility, and memory failures in the middle of it all.
#include <algorithm>
#include <limits>
#include <map>
#include <memory>
#include <random>

#include "kernel/EventRandomGenerator.h"
#include "tests/kernel/KernelTestSupport.h"

template <class C>
class CalendarStore : public CalendarTest<C> {};
TYPED_TEST_SUITE(CalendarStore, CalendarTypes, CalendarTypeNames);

namespace {

// What the calendar should do, computed the slow and obvious way with the
// same order: waiting events in plain vectors, the next one found by search.
class ReferenceCalendar {
 public:
  ReferenceCalendar(bool randomized, uint32_t seed) : randomized(randomized) { generator.Seed(seed); }

  void Add(DesEvent* e, double now) {
    (EventCalendarBase::timeTolerance * now >= e->GetTime() ? current : future).push_back(e);
  }
  void Cancel(DesEvent* e) {
    current.erase(std::remove(current.begin(), current.end(), e), current.end());
    future.erase(std::remove(future.begin(), future.end(), e), future.end());
  }
  void Promote(double t) {
    for (auto it = future.begin(); it != future.end();) {
      if (EventCalendarBase::timeTolerance * t >= (*it)->GetTime()) {
        current.push_back(*it);
        it = future.erase(it);
      } else {
        ++it;
      }
    }
  }
  // The event that must run next; removes it.
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
    if (future.empty()) return std::numeric_limits<double>::infinity();
    return (*std::min_element(future.begin(), future.end(), EventPrecedes()))->GetTime();
  }
  std::vector<DesEvent*> Waiting() const {
    std::vector<DesEvent*> all(current);
    all.insert(all.end(), future.begin(), future.end());
    return all;
  }

  bool randomized;
  EventRandomGenerator generator;
  std::vector<DesEvent*> current;
  std::vector<DesEvent*> future;
};

}  // namespace

TYPED_TEST(CalendarStore, IndexedHeapGrowsPastItsFirstArray) {
  for (int i = 0; i < 1025; ++i) this->Add(1.0 + (i * 7919) % 1000, i % 5);
  auto* store = this->calendar->GetFutureEvents();
  EXPECT_EQ(store->Size(), 1025u);
  EXPECT_TRUE(store->IsConsistent());
  if constexpr (TestFixture::kIndexedHeap) {
    EXPECT_EQ(store->Capacity(), 2048);
    for (int i = 0; i < store->Size(); ++i) ASSERT_EQ(store->At(i)->heapIndex, static_cast<uint32_t>(i));
  }
  double last = 0.0;
  this->block->onEvent = [&](DesEvent* e) {
    EXPECT_GE(e->GetTime(), last);
    last = e->GetTime();
  };
  this->calendar->ExecuteEvents(2000.0, false);
  EXPECT_EQ(this->Executed().size(), 1025u);
}

// Once the current set has held an event, a due event's pass through it
// asks the host for nothing, and its nodes go back to the host with it.
TYPED_TEST(CalendarStore, CurrentSetReusesItsNodes) {
  const std::size_t liveBefore = host::liveAllocations();
  {
    TypeParam calendar(1000000, &this->engine);
    calendar.InitCalendar(3);
    DesEvent* e = this->Make(1.0, 0);
    int runs = 0;
    this->block->onEvent = [&](DesEvent* ev) {
      if (++runs < 50) calendar.AddEvt(ev);  // due again at once
    };
    for (int pass = 0; pass < 2; ++pass) {
      const std::size_t calls = host::allocationCalls();
      runs = 0;
      calendar.AddEvt(e);
      calendar.ExecuteEvents(1.0, true);
      EXPECT_EQ(runs, 50);
      if (pass == 1) {
        EXPECT_EQ(host::allocationCalls(), calls);
      }
    }
    this->block->onEvent = nullptr;
  }
  EXPECT_EQ(host::liveAllocations(), liveBefore);
}

// Memory failures adding to the current set, with no node in stock and
// beyond the stock: the refused event is not waiting, the rest run.
TYPED_TEST(CalendarStore, FailedCurrentSetInsertionLeavesTheCalendarIntact) {
  this->Run(1.0);
  DesEvent* first = this->Make(1.0, 0);
  host::failAllocationsFrom(1);
  EXPECT_TRUE(ThrowsMemoryError([&] { this->calendar->AddEvt(first); }));
  host::failAllocationsFrom(0);
  EXPECT_FALSE(first->GetInTq());
  EXPECT_EQ(this->calendar->GetEventsAtTimeStep(), 0u);
  EXPECT_EQ(this->Waiting(), 0u);
  this->calendar->AddEvt(first);
  this->Run(1.0);  // one node now in stock
  DesEvent* a = this->Make(1.0, 0);
  DesEvent* b = this->Make(1.0, 1);
  host::failAllocationsFrom(1);
  this->calendar->AddEvt(a);  // from the stock
  EXPECT_TRUE(ThrowsMemoryError([&] { this->calendar->AddEvt(b); }));
  host::failAllocationsFrom(0);
  EXPECT_TRUE(this->calendar->IsWaiting(a));
  EXPECT_FALSE(this->calendar->IsWaiting(b));
  EXPECT_FALSE(b->GetInTq());
  this->calendar->AddEvt(b);
  this->Run(1.0);
  EXPECT_EQ(this->Executed(), std::vector<DesEvent*>({first, a, b}));
}

// One seeded mix per calendar type, heavy on equal times and priorities,
// with handlers that schedule and cancel while the step runs. Every event
// that runs must be the one the reference model picks, so all storage types
// of one handling type produce the same sequence.
template <class C>
std::vector<int> RunSeededMix(Des* engine, RecordingBlock* block, uint32_t scriptSeed,
                              uint32_t calendarSeed, int* mismatches) {
  const bool randomized = C::kHandling == EVENT_HDL_RANDOMIZED;
  std::unique_ptr<C> calendar(new C(1000000, engine));
  calendar->InitCalendar(static_cast<int>(calendarSeed));
  ReferenceCalendar reference(randomized, calendarSeed);
  std::mt19937 script(scriptSeed);
  std::map<DesEvent*, int> serial;
  std::vector<DesEvent*> made;
  std::vector<int> sequence;
  auto rnd = [&](int n) { return static_cast<int>(script() % static_cast<uint32_t>(n)); };
  auto schedule = [&](double now) {
    const int priorities[] = {-2, -1, 0, 0, 0, 1, 1, 2};
    const double delays[] = {0.0, 0.0, 1.0, 1.0, 1.0, 2.0, 3.0, 0.5};
    DesEvent* e = new DesEvent(now + delays[rnd(8)], priorities[rnd(8)], block, nullptr);
    serial[e] = static_cast<int>(made.size());
    made.push_back(e);
    calendar->AddEvt(e);
    reference.Add(e, now);
  };
  auto cancelOne = [&]() {
    std::vector<DesEvent*> waiting = reference.Waiting();
    if (waiting.empty()) return;
    DesEvent* victim = waiting[static_cast<std::size_t>(rnd(static_cast<int>(waiting.size())))];
    calendar->DeleteEvt(victim);
    reference.Cancel(victim);
  };
  block->onEvent = [&](DesEvent* e) {
    DesEvent* expected = reference.TakeNext();
    if (expected != e) ++*mismatches;
    sequence.push_back(serial[e]);
    const double now = calendar->GetTimeNow();
    if (rnd(3) == 0) schedule(now);
    if (rnd(5) == 0) cancelOne();
    if (rnd(7) == 0) calendar->DeleteEvt(e);  // already executed: ignored
  };
  double now = 0.0;
  for (int round = 0; round < 400; ++round) {
    const int additions = rnd(6);
    for (int i = 0; i < additions; ++i) schedule(now);
    if (rnd(3) == 0) cancelOne();
    if (!calendar->GetFutureEvents()->IsConsistent()) ++*mismatches;
    if (calendar->GetNextEventTime(0.0) != reference.NextTime()) ++*mismatches;
    now = calendar->GetNextEventTime(0.0);
    if (now == std::numeric_limits<double>::infinity()) now = round;
    reference.Promote(now);
    calendar->ExecuteEvents(now, true);
    if (!reference.current.empty()) ++*mismatches;
  }
  block->onEvent = nullptr;
  for (DesEvent* e : made) {
    calendar->DeleteEvtWithoutLogging(e);
    delete e;
  }
  return sequence;
}

TYPED_TEST(CalendarStore, SeededMixMatchesTheReferenceModel) {
  int mismatches = 0;
  std::vector<int> first = RunSeededMix<TypeParam>(&this->engine, this->block, 2024, 11, &mismatches);
  EXPECT_EQ(mismatches, 0);
  EXPECT_GT(first.size(), 1000u);
  // A second run with the same seeds gives the same order.
  std::vector<int> second = RunSeededMix<TypeParam>(&this->engine, this->block, 2024, 11, &mismatches);
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(first, second);

  // All storage types of this handling type agree with one another.
  static std::map<int, std::vector<int>> byHandling;
  auto known = byHandling.find(TypeParam::kHandling);
  if (known == byHandling.end())
    byHandling[TypeParam::kHandling] = first;
  else
    EXPECT_EQ(known->second, first);
}

TYPED_TEST(CalendarStore, FailedHeapGrowthLeavesTheCalendarIntact) {
  // Fill the store to the point where the next insertion must allocate.
  const int fill = TestFixture::kIndexedHeap ? IndexedEventHeap::kInitialCapacity : 0;
  for (int i = 0; i < fill; ++i) this->Add(2.0 + i % 17, i % 3);
  DesEvent* extra = this->Make(1.5, 0);
  host::failAllocationsFrom(1);
  EXPECT_TRUE(ThrowsMemoryError([&] { this->calendar->AddEvt(extra); }));
  host::failAllocationsFrom(0);
  EXPECT_FALSE(this->calendar->IsWaiting(extra));
  EXPECT_FALSE(extra->GetInTq());
  EXPECT_EQ(this->calendar->GetFutureEvents()->Size(), static_cast<std::size_t>(fill));
  EXPECT_TRUE(this->calendar->GetFutureEvents()->IsConsistent());
  this->calendar->AddEvt(extra);
  this->Run(1.5);
  EXPECT_EQ(this->Executed(), std::vector<DesEvent*>({extra}));
}

// Two events due together go through the current set, whose first node
// needs memory.
TYPED_TEST(CalendarStore, FailedPromotionKeepsTheEventWaiting) {
  DesEvent* a = this->Add(2.0, 0);
  DesEvent* a2 = this->Add(2.0, 0);
  DesEvent* b = this->Add(3.0, 0);
  host::failAllocationsFrom(1);
  EXPECT_TRUE(ThrowsMemoryError([&] { this->Run(2.0); }));
  host::failAllocationsFrom(0);
  EXPECT_TRUE(this->calendar->IsWaiting(a));
  EXPECT_FALSE(a->GetInTq());
  EXPECT_EQ(this->Waiting(), 3u);
  EXPECT_TRUE(this->calendar->GetFutureEvents()->IsConsistent());
  this->Run(3.0);
  EXPECT_EQ(this->Executed(), std::vector<DesEvent*>({a, a2, b}));
}

// An event due alone skips the current set: with deterministic handling on
// the engine's store it needs no memory at all, and either way it runs (and
// is re-stamped) exactly as it would through the set.
TYPED_TEST(CalendarStore, AnEventDueAloneRunsLikeAnyOther) {
  DesEvent* a = this->Add(2.0 - 1e-15, 0);
  DesEvent* b = this->Add(3.0, 0);
  if (!TestFixture::kRandomized && TestFixture::kIndexedHeap) host::failAllocationsFrom(1);
  this->Run(2.0);
  host::failAllocationsFrom(0);
  EXPECT_EQ(this->Executed(), std::vector<DesEvent*>({a}));
  EXPECT_EQ(a->GetTime(), 2.0);
  EXPECT_FALSE(a->GetInTq());
  EXPECT_FALSE(this->calendar->IsWaiting(a));
  EXPECT_TRUE(this->calendar->IsWaiting(b));
}
