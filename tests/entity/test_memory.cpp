// Object pools (growth, reuse order, oversized derived objects, refused
// chunks), intrusive reference counting, the container allocator.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "entity/Pointee.h"
#include "entity/Pool.h"
#include "entity/RCPtr.h"
#include "entity/pmallocator.h"
#include "support/DesExcept.h"
#include "tests/entity/MemoryChecks.h"

using namespace entity_test;

namespace {

class Probe {
  TW_POOLED_CLASS(Probe)

 public:
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
    Probe::destroyed = 0;
    Probe::newMemPool(4, 2.0);
  }
  void TearDown() override {
    host::failAllocationsFrom(0);
    DeleteAll();
    Probe::deleteMemPool();
    EXPECT_EQ(mark.Growth(), 0) << "pool chunks or objects not returned to the host";
  }
  void MakeUpTo(std::size_t n) {
    while (objects.size() < n) objects.push_back(new Probe);
  }
  void DeleteAll() {
    for (Probe* p : objects) delete p;
    objects.clear();
  }

  HostMemoryMark mark;  // taken before SetUp makes the pool
  std::vector<Probe*> objects;
};

}  // namespace

TW_POOLED_CLASS_DEFINE(Probe)

TEST_F(PoolTest, LastFreedSlotIsServedFirstAndFreshlyConstructed) {
  Probe* a = new Probe;
  Probe* b = new Probe;
  a->payload[0] = 42;
  delete a;
  delete b;
  MakeUpTo(2);
  EXPECT_EQ(objects, (std::vector<Probe*>{b, a}));
  EXPECT_EQ(objects[1]->payload[0], 1);
}

// Freed slots first; then the chunk's slots never served, in address
// order; a new chunk only when both are used up.
TEST_F(PoolTest, FreedSlotsFirstThenUnservedOnesInAddressOrder) {
  MakeUpTo(2);
  Probe* freed = objects[0];
  objects.erase(objects.begin());
  delete freed;
  MakeUpTo(3);  // the freed slot, then the chunk's third
  const auto at = [&](std::size_t i) { return reinterpret_cast<char*>(objects[i]); };
  EXPECT_EQ(objects[1], freed);
  EXPECT_EQ(at(2), at(0) + Pool<Probe>::kSlotSize);
  EXPECT_EQ(Probe::memPool->ChunksMade(), 1u);
  MakeUpTo(3 + 7);  // the whole second chunk
  EXPECT_EQ(Probe::memPool->ChunksMade(), 2u);
  for (std::size_t i = 3; i + 1 < objects.size(); ++i)
    EXPECT_EQ(at(i + 1), at(i) + Pool<Probe>::kSlotSize) << i;
}

TEST_F(PoolTest, OversizedDerivedObjectComesFromTheHostAndGoesBackThere) {
  ASSERT_GT(sizeof(BigProbe), Pool<Probe>::kSlotSize);
  Probe* pooled = new Probe;
  delete pooled;
  const long before = mark.Growth();
  Probe* big = new BigProbe;
  EXPECT_EQ(mark.Growth(), before + 1);
  EXPECT_NE(big, pooled) << "the free slot is too small for the derived object";
  EXPECT_EQ(static_cast<BigProbe*>(big)->bytes[199], 0x5A);
  MakeUpTo(1);
  EXPECT_EQ(objects[0], pooled) << "the free list is untouched by the oversized object";
  DeleteAll();
  delete big;  // through the base: back to the host, not onto the free list
  EXPECT_EQ(mark.Growth(), before);
  EXPECT_EQ(Probe::destroyed, 3);
  MakeUpTo(1);
  EXPECT_EQ(objects[0], pooled);
}

// Chunks of 4, 8, 16, 32 slots (one of each the chunk's link) hold 3 + 7 +
// 15 + 31 objects; every growth step is refused first and made next time.
TEST_F(PoolTest, ChunksGrowByTheFactorAndRefusedChunksDoNotCount) {
  const std::size_t calls = host::allocationCalls();
  MakeUpTo(3);
  EXPECT_EQ(host::allocationCalls(), calls) << "the first three objects must not allocate";
  host::failAllocationsFrom(1);
  EXPECT_TRUE(Catch([&] { objects.push_back(new Probe); }).mallocError);
  host::failAllocationsFrom(0);
  std::vector<std::size_t> slots;
  for (std::size_t i = 3; i < 56; ++i) {
    const std::size_t points = SweepAllocationFailures(
        [&] { objects.push_back(new Probe); }, [&] { EXPECT_EQ(objects.size(), i); });
    EXPECT_EQ(points, (i == 3 || i == 10 || i == 25) ? 1u : 0u) << i;
    if (points) slots.push_back(Probe::memPool->ChunkSlotCount());
  }
  EXPECT_EQ(slots, (std::vector<std::size_t>{8, 16, 32}));
  EXPECT_EQ(Probe::memPool->ChunksMade(), 4u);
  for (Probe* p : objects) EXPECT_EQ(p->payload[2], 3);
  DeleteAll();
  EXPECT_EQ(Probe::destroyed, 56);
  EXPECT_EQ(mark.Growth(), 4) << "chunks stay with the pool until it is destroyed";
}

TEST_F(PoolTest, WithoutItsPoolAnObjectIsRefusedAndAFailedPoolIsNone) {
  Probe::deleteMemPool();
  EXPECT_EQ(Catch([] { delete new Probe; }).code, DES_GenericInternalErr);
  EXPECT_EQ(SweepAllocationFailures([] { Probe::newMemPool(4, 2.0); },
                                    [] { EXPECT_EQ(Probe::memPool, nullptr); }),
            1u);
  ASSERT_NE(Probe::memPool, nullptr);
  EXPECT_EQ(Probe::memPool->ChunkSlotCount(), 4u);
}

namespace {

class Named : public Pointee {
 public:
  explicit Named(int* destroyedCount) : destroyed(destroyedCount) {}
  ~Named() override { ++*destroyed; }
  int* destroyed;
};

typedef RCPtr<Named> NamedPtr;

class ContainerTest : public ::testing::Test {
 protected:
  void TearDown() override {
    host::failAllocationsFrom(0);
    EXPECT_EQ(mark.Growth(), 0);
  }
  HostMemoryMark mark;
};

}  // namespace

TEST(RefCount, TheLastHandleDeletesAndSelfAssignmentReleasesNothing) {
  int destroyedA = 0, destroyedB = 0;
  NamedPtr p(new Named(&destroyedA)), q(p);
  q = NamedPtr(new Named(&destroyedB));
  NamedPtr& alias = p;
  p = alias;
  EXPECT_EQ(p->GetRefCount(), 1);
  p = q;
  EXPECT_EQ((std::vector<int>{destroyedA, destroyedB, q->GetRefCount()}),
            (std::vector<int>{1, 0, 2}));
  p = NamedPtr();
  q = p;
  EXPECT_TRUE(!q && destroyedB == 1);
}

TEST_F(ContainerTest, EveryAllocationOfContainersMayFailWithoutLeaking) {
  // 6 set nodes, 6 map nodes, 12 vector growths (1, then 2 elements), 6 list nodes.
  EXPECT_EQ(SweepAllocationFailures([] {
    pmset<int> set;
    pmmap<int, pmvector<int>> map;
    pmlist<int> list;
    for (int i = 0; i < 6; ++i) {
      set.insert(i);
      map[i].push_back(i);
      map[i].push_back(i + 1);
      list.push_back(i);
    }
  }), 30u);
  pmallocator<std::uint64_t> alloc;
  EXPECT_TRUE(Catch([&] { alloc.allocate(SIZE_MAX / 4); }).Memory()) << "a size that overflows";
}
