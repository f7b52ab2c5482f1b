// The timeout heap against the heap it replaced, which carried no positions
// and removed a timeout by rebuilding itself: over a long random mix of
// additions, cancellations and firings both must agree on every earliest
// timeout and every size. Equal deadlines and priorities are frequent, and
// some timeouts share an instance count (assignment copies it), so the
// address decides.
#include <random>
#include <vector>

#include "host/HostControl.h"
#include "kernel/TimeoutData.h"
#include "kernel/TimeoutHeapStore.h"
#include "tests/kernel/KernelTestSupport.h"

namespace {

bool Less(const TimeoutData* a, const TimeoutData* b) { return *a < *b; }

// The former store, kept here as the reference.
class RebuildingHeap {
 public:
  void Insert(TimeoutData* td) { Push(heap, td); }
  void RemoveTop() {
    if (!heap.empty()) Pop(heap);
  }
  void Remove(TimeoutData* td) {
    std::vector<TimeoutData*> rebuilt;
    while (!heap.empty()) {
      TimeoutData* next = Pop(heap);
      if (next != td) Push(rebuilt, next);
    }
    heap.swap(rebuilt);
  }
  TimeoutData* Top() const { return heap.empty() ? nullptr : heap.front(); }
  std::size_t Size() const { return heap.size(); }

 private:
  static void Push(std::vector<TimeoutData*>& h, TimeoutData* td) {
    h.push_back(td);
    std::size_t i = h.size() - 1;
    for (; i > 0 && Less(h[(i - 1) / 2], td); i = (i - 1) / 2) h[i] = h[(i - 1) / 2];
    h[i] = td;
  }
  static TimeoutData* Pop(std::vector<TimeoutData*>& h) {
    TimeoutData* top = h.front();
    TimeoutData* moving = h.back();
    h.pop_back();
    const std::size_t n = h.size();
    if (n == 0) return top;
    std::size_t i = 0;
    for (;;) {
      std::size_t child = 2 * i + 1;
      if (child >= n) break;
      if (child + 1 < n && Less(h[child], h[child + 1])) ++child;
      if (!Less(moving, h[child])) break;
      h[i] = h[child];
      i = child;
    }
    h[i] = moving;
    return top;
  }
  std::vector<TimeoutData*> heap;
};

class TimeoutHeapStoreTest : public EngineTest {
 protected:
  void TearDown() override {
    for (TimeoutData* td : made) delete td;
    EngineTest::TearDown();
  }
  std::vector<TimeoutData*> made;
};

TEST_F(TimeoutHeapStoreTest, AgreesWithTheRebuildingHeapOverALongRandomMix) {
  std::mt19937 random(2024);
  for (int i = 0; i < 600; ++i) made.push_back(new TimeoutData("t", 0.0, 0, nullptr, block, 1));
  std::vector<int> copiesIn(made.size(), 0);  // additions currently filed, per timeout
  TimeoutHeapStore store;
  RebuildingHeap reference;
  double now = 0.0;
  std::size_t fired = 0, cancelled = 0, duplicates = 0, twins = 0;
  for (int step = 0; step < 200000; ++step) {
    const std::size_t k = random() % made.size();
    TimeoutData* td = made[k];
    const unsigned what = random() % 10;
    if (what < 4) {  // schedule: a free timeout gets a new deadline, a filed one is added again
      if (copiesIn[k] == 0) {
        if (random() % 8 == 0) {  // the same instance count as another timeout
          *td = *made[random() % made.size()];
          ++twins;
        } else {
          td->SetTimeOfTimeoutEvent(now + static_cast<double>(random() % 16));
          td->SetPriorityOfTimeoutEvent(static_cast<int>(random() % 3));
        }
      } else if (random() % 16 != 0) {
        continue;
      } else {
        ++duplicates;
      }
      store.Insert(td);
      reference.Insert(td);
      ++copiesIn[k];
    } else if (what < 7) {  // cancel, also timeouts that are not filed
      cancelled += copiesIn[k] > 0;
      store.Remove(td);
      reference.Remove(td);
      copiesIn[k] = 0;
    } else if (reference.Top() != nullptr) {  // fire the earliest
      TimeoutData* top = reference.Top();
      ASSERT_EQ(store.Top(), top) << "step " << step;
      now = top->GetTimeOfTimeoutEvent();
      store.RemoveTop();
      reference.RemoveTop();
      for (std::size_t j = 0; j < made.size(); ++j)
        if (made[j] == top) --copiesIn[j];
      ++fired;
    }
    ASSERT_EQ(store.Top(), reference.Top()) << "step " << step;
    ASSERT_EQ(store.Size(), reference.Size()) << "step " << step;
    if (step % 997 == 0) {
      ASSERT_TRUE(store.IsConsistent()) << "step " << step;
    }
  }
  // Enough of every kind for the comparison to mean something.
  EXPECT_GT(fired, 20000u);
  EXPECT_GT(cancelled, 5000u);
  EXPECT_GT(duplicates, 100u);
  EXPECT_GT(twins, 1000u);
  while (reference.Top() != nullptr) {
    ASSERT_EQ(store.Top(), reference.Top());
    store.RemoveTop();
    reference.RemoveTop();
  }
  EXPECT_TRUE(store.Empty());
  EXPECT_EQ(store.Size(), 0u);
}

// Cleanup after a memory error relies on this: taking timeouts out, from
// anywhere in the heap, asks the host for no memory.
TEST_F(TimeoutHeapStoreTest, RemovalAsksForNoMemory) {
  TimeoutHeapStore store;
  for (int i = 0; i < 1000; ++i) {
    made.push_back(new TimeoutData("t", (i * 7919) % 1000, i % 3, nullptr, block, 1));
    store.Insert(made.back());
  }
  const std::size_t before = host::allocationCalls();
  for (std::size_t i = 0; i < made.size(); i += 2) store.Remove(made[i]);
  for (int i = 0; i < 100; ++i) store.RemoveTop();
  EXPECT_EQ(host::allocationCalls(), before);
  EXPECT_EQ(store.Size(), 400u);
  EXPECT_TRUE(store.IsConsistent());
}

// A store that goes away leaves its timeouts free to be filed elsewhere.
TEST_F(TimeoutHeapStoreTest, ATimeoutOutlivesItsStore) {
  made.push_back(new TimeoutData("t", 1.0, 0, nullptr, block, 1));
  {
    TimeoutHeapStore first;
    first.Insert(made[0]);
    first.Insert(made[0]);
  }
  TimeoutHeapStore second;
  second.Insert(made[0]);
  EXPECT_EQ(second.Size(), 1u);
  second.Remove(made[0]);
  EXPECT_TRUE(second.Empty());
}

}  // namespace
