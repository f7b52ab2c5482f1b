// Object pools of pooled classes: chunk growth, slot reuse order, oversized
// derived objects and chunk allocation failures.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "entity/Pool.h"
#include "support/DesExcept.h"
#include "tests/entity/MemoryChecks.h"

namespace {

using entity_test::HostMemoryMark;

class Probe {
  TW_POOLED_CLASS(Probe)

 public:
  Probe() = default;
  virtual ~Probe() { ++destroyed; }
  long payload[3] = {1, 2, 3};
  static int destroyed;
};
int Probe::destroyed = 0;

// Bigger than a Probe slot: must not be squeezed into one.
class BigProbe : public Probe {
 public:
  BigProbe() { for (auto& b : bytes) b = 0x5A; }
  unsigned char bytes[200];
};

class PoolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::failAllocationsFrom(0);
    Probe::destroyed = 0;
    Probe::newMemPool(4, 2.0);
  }
  void TearDown() override {
    host::failAllocationsFrom(0);
    Probe::deleteMemPool();
    EXPECT_EQ(mark.Growth(), 0) << "pool chunks or objects not returned to the host";
  }

  std::vector<Probe*> Make(std::size_t n) {
    std::vector<Probe*> made;
    for (std::size_t i = 0; i < n; ++i) made.push_back(new Probe);
    return made;
  }
  static void Destroy(std::vector<Probe*>& objects) {
    for (Probe* p : objects) delete p;
    objects.clear();
  }

  HostMemoryMark mark;  // taken before SetUp makes the pool
};

}  // namespace

TW_POOLED_CLASS_DEFINE(Probe)

TEST_F(PoolTest, FreshPoolServesThreeObjectsFromItsFirstChunk) {
  EXPECT_EQ(Probe::memPool->ChunkSlotCount(), 4u);
  const std::size_t calls = host::allocationCalls();
  std::vector<Probe*> objects = Make(3);
  EXPECT_EQ(host::allocationCalls(), calls) << "the first three objects must not allocate";
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(objects[2]),
            reinterpret_cast<std::uintptr_t>(objects[1]) + Pool<Probe>::kSlotSize);
  Destroy(objects);
}

TEST_F(PoolTest, ChunksGrowByTheFactorAndServeOneObjectLessThanTheirSlots) {
  std::vector<Probe*> objects = Make(3);
  struct Step {
    std::size_t objectsAfter;  // total objects once the chunk is full
    std::size_t slots;
  };
  // 3 + 7 + 15 + 31 objects from chunks of 4, 8, 16, 32 slots.
  for (Step step : {Step{10, 8}, Step{25, 16}, Step{56, 32}}) {
    const std::size_t chunks = Probe::memPool->ChunksMade();
    objects.push_back(new Probe);  // the first object of a new chunk
    EXPECT_EQ(Probe::memPool->ChunksMade(), chunks + 1);
    EXPECT_EQ(Probe::memPool->ChunkSlotCount(), step.slots);
    while (objects.size() < step.objectsAfter) objects.push_back(new Probe);
    EXPECT_EQ(Probe::memPool->ChunksMade(), chunks + 1) << "chunk of " << step.slots << " slots";
  }
  EXPECT_EQ(mark.Growth(), 4) << "chunks of 4, 8, 16 and 32 slots";
  Destroy(objects);
  EXPECT_EQ(Probe::destroyed, 56);
  EXPECT_EQ(mark.Growth(), 4) << "chunks stay with the pool until it is destroyed";
}

TEST_F(PoolTest, LastFreedSlotIsServedFirstAndFreshlyConstructed) {
  Probe* a = new Probe;
  Probe* b = new Probe;
  a->payload[0] = 42;
  delete a;
  delete b;
  Probe* first = new Probe;
  Probe* second = new Probe;
  EXPECT_EQ(first, b);
  EXPECT_EQ(second, a);
  EXPECT_EQ(second->payload[0], 1);
  delete first;
  delete second;
}

TEST_F(PoolTest, OversizedDerivedObjectComesFromTheHostAndGoesBackThere) {
  ASSERT_GT(sizeof(BigProbe), Pool<Probe>::kSlotSize);
  Probe* pooled = new Probe;
  delete pooled;  // now the head of the free list

  const long before = mark.Growth();
  Probe* big = new BigProbe;
  EXPECT_EQ(mark.Growth(), before + 1);
  EXPECT_NE(big, pooled) << "the free slot is too small for the derived object";
  BigProbe* asBig = static_cast<BigProbe*>(big);
  EXPECT_EQ(asBig->bytes[199], 0x5A);
  EXPECT_EQ(asBig->payload[2], 3);

  // The pool's free list is untouched by the oversized object.
  Probe* next = new Probe;
  EXPECT_EQ(next, pooled);
  delete next;

  delete big;  // through the base: released by the host, not pushed on the free list
  EXPECT_EQ(mark.Growth(), before);
  EXPECT_EQ(Probe::destroyed, 3);
  Probe* again = new Probe;
  EXPECT_EQ(again, pooled);
  delete again;
}

TEST_F(PoolTest, ChunkAllocationFailureIsTheMemoryErrorAndThePoolStaysUsable) {
  std::vector<Probe*> objects = Make(3);
  host::failAllocationsFrom(1);
  bool caught = false;
  try {
    objects.push_back(new Probe);
  } catch (PMMallocError* e) {
    caught = true;
    delete e;
  }
  host::failAllocationsFrom(0);
  EXPECT_TRUE(caught);
  EXPECT_EQ(objects.size(), 3u);
  EXPECT_EQ(Probe::memPool->ChunksMade(), 1u);
  EXPECT_EQ(Probe::memPool->ChunkSlotCount(), 4u) << "a failed growth step must not count";

  // The next growth makes the chunk of 8 slots that failed before.
  objects.push_back(new Probe);
  EXPECT_EQ(Probe::memPool->ChunkSlotCount(), 8u);
  objects.push_back(new Probe);
  EXPECT_EQ(objects[3]->payload[2], 3);
  Destroy(objects);
}

TEST_F(PoolTest, PoolCreationFailureLeavesNoPool) {
  Probe::deleteMemPool();
  const std::size_t points = entity_test::SweepAllocationFailures(
      [] { Probe::newMemPool(4, 2.0); }, [] { EXPECT_EQ(Probe::memPool, nullptr); });
  EXPECT_EQ(points, 1u);
  ASSERT_NE(Probe::memPool, nullptr);
  EXPECT_EQ(Probe::memPool->ChunkSlotCount(), 4u);
}

TEST_F(PoolTest, EveryGrowthStepSurvivesFailure) {
  // Fill the pool through three growth steps with each step's chunk failing
  // first; the objects made so far stay intact.
  std::vector<Probe*> objects;
  for (int i = 0; i < 30; ++i) {
    entity_test::SweepAllocationFailures([&] { objects.push_back(new Probe); });
  }
  EXPECT_EQ(objects.size(), 30u);
  for (Probe* p : objects) EXPECT_EQ(p->payload[1], 2);
  Destroy(objects);
}

TEST(PoolWithoutPool, CreatingAnObjectWithoutItsPoolIsAnInternalError) {
  ASSERT_EQ(Probe::memPool, nullptr);
  bool caught = false;
  try {
    Probe* p = new Probe;
    delete p;
  } catch (DesExcept* e) {
    caught = e->getErrCode() == DES_GenericInternalErr;
    delete e;
  }
  EXPECT_TRUE(caught);
}
