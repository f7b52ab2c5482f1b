// Block pools of the number stores: one pool per byte size, chunk sizes and
// growth, reuse order, and chunk allocation failure.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <vector>

#include "entity/DesDataPool.h"
#include "tests/entity/MemoryChecks.h"

using entity_test::HostMemoryMark;

namespace {

class DataPoolTest : public entity_test::DataPoolsTest {};

std::uintptr_t Address(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

}  // namespace

TEST_F(DataPoolTest, OnePoolPerByteSizeWithChunksOfAbout64KiBUpTo64MiB) {
  DesDataPool* p24 = DesDataPool::GetInstance(24);
  EXPECT_EQ(DesDataPool::GetInstance(24), p24);
  EXPECT_NE(DesDataPool::GetInstance(16), p24);
  EXPECT_EQ(DesDataPool::mapMemPool.size(), 2u);
  EXPECT_EQ(p24->GetCount(), 65536u / 24);
  EXPECT_EQ(p24->GetMaxCount(), 67108864u / 24);

  DesDataPool* huge = DesDataPool::GetInstance(1 << 20);
  EXPECT_EQ(huge->GetCount(), 2u) << "never fewer than two blocks per chunk";
  EXPECT_EQ(huge->GetMaxCount(), 64u);
  EXPECT_EQ(DesDataPool::GetInstance(4)->GetBlockSize(), 8u)
      << "a block must hold the free-list link";
}

TEST_F(DataPoolTest, ChunksGrowByTheFactorUpToTheMaximum) {
  HostMemoryMark mark;
  {
    DesDataPool pool(16, 2, 8, 2.0);
    std::vector<void*> blocks;
    std::vector<std::size_t> counts;
    // Chunks of 4, 8, 8, 8 blocks, the first block of each its header.
    for (int i = 0; i < 24; ++i) {
      blocks.push_back(pool.alloc());
      counts.push_back(pool.GetCount());
    }
    EXPECT_EQ(counts[2], 4u);
    EXPECT_EQ(counts[3], 8u);
    EXPECT_EQ(counts[10], 8u);
    EXPECT_EQ(mark.Growth(), 4);
    EXPECT_EQ(std::set<void*>(blocks.begin(), blocks.end()).size(), blocks.size());
    EXPECT_EQ(Address(blocks[4]), Address(blocks[3]) + 16);
  }
  EXPECT_EQ(mark.Growth(), 0) << "the destructor releases every chunk";

  DesDataPool odd(13, 3, 6, 1.5);
  void* a = odd.alloc();
  EXPECT_EQ(Address(odd.alloc()), Address(a) + 13);
  DesDataPool tiny(8, 2, 100, 0.5);  // 2 x 0.5 would be a chunk of only the header
  void* b = tiny.alloc();
  EXPECT_NE(tiny.alloc(), b);
  EXPECT_EQ(tiny.GetCount(), 2u);
}

TEST_F(DataPoolTest, LastFreedBlockIsServedFirst) {
  DesDataPool* p = DesDataPool::GetInstance(40);
  void* a = p->alloc();
  void* b = p->alloc();
  p->free(a);
  p->free(b);
  EXPECT_EQ(p->alloc(), b);
  EXPECT_EQ(p->alloc(), a);
  p->free(nullptr);  // ignored
  p->free(a);
  p->free(b);
}

TEST_F(DataPoolTest, ChunkFailureIsErrExceptWithMemoryAllocErrAndThePoolStaysUsable) {
  DesDataPool pool(16, 2, 64, 2.0);
  void* first = pool.alloc();
  void* second = pool.alloc();
  void* third = pool.alloc();  // the chunk of 4 is used up
  const std::size_t count = pool.GetCount();
  host::failAllocationsFrom(1);
  bool caught = false;
  try {
    pool.alloc();
  } catch (PMMallocError* e) {
    delete e;
    ADD_FAILURE() << "a value pool reports exhaustion with its own error";
  } catch (ErrExcept* e) {
    caught = e->getErrCode() == DES_MemoryAllocErr;
    EXPECT_EQ(e->getString(0), nullptr) << "the error has no arguments";
    delete e;
  }
  host::failAllocationsFrom(0);
  EXPECT_TRUE(caught);
  EXPECT_EQ(pool.GetCount(), count) << "a failed growth step must not count";
  void* fourth = pool.alloc();
  EXPECT_EQ(pool.GetCount(), 2 * count);
  for (void* b : {first, second, third, fourth}) pool.free(b);
}

TEST_F(DataPoolTest, PoolCreationFailuresLeaveTheMapUnchanged) {
  DesDataPool* other = DesDataPool::GetInstance(8);
  // The first chunk, then the map node.
  const std::size_t points = entity_test::SweepAllocationFailures(
      [] { DesDataPool::GetInstance(48); },
      [&] { EXPECT_EQ(DesDataPool::mapMemPool.count(48), 0u); });
  EXPECT_EQ(points, 2u);
  EXPECT_EQ(DesDataPool::mapMemPool.size(), 2u);
  EXPECT_EQ(DesDataPool::GetInstance(8), other);
}

TEST_F(DataPoolTest, DeleteMemPoolEmptiesTheMapAndReleasesEverything) {
  HostMemoryMark mark;
  DesDataPool* p = DesDataPool::GetInstance(24);
  for (int i = 0; i < 5000; ++i) p->alloc();  // blocks left out are released with the pool
  DesDataPool::deleteMemPool();
  EXPECT_TRUE(DesDataPool::mapMemPool.empty());
  EXPECT_EQ(mark.Growth(), 0);
  DesDataPool::deleteMemPool();  // nothing left to do
}
