// Block pools of the number stores: one pool per byte size, chunk layout
// and growth, reuse order and chunk allocation failure.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <vector>

#include "entity/DesDataPool.h"
#include "tests/entity/MemoryChecks.h"

using entity_test::HostMemoryMark;

namespace {

class DataPoolTest : public entity_test::DataPoolsTest {};

std::uintptr_t Address(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

}  // namespace

TEST_F(DataPoolTest, OnePoolPerExactByteSize) {
  DesDataPool* p24 = DesDataPool::GetInstance(24);
  EXPECT_EQ(DesDataPool::GetInstance(24), p24);
  DesDataPool* p16 = DesDataPool::GetInstance(16);
  EXPECT_NE(p16, p24);
  EXPECT_EQ(DesDataPool::mapMemPool.size(), 2u);
  EXPECT_EQ(DesDataPool::mapMemPool.at(24), p24);
  EXPECT_EQ(p24->GetBlockSize(), 24u);
}

TEST_F(DataPoolTest, FirstChunkIsAbout64KiBAndChunksAreCappedAbout64MiB) {
  DesDataPool* p = DesDataPool::GetInstance(24);
  EXPECT_EQ(p->GetCount(), 65536u / 24);
  EXPECT_EQ(p->GetMaxCount(), 67108864u / 24);
  EXPECT_EQ(p->GetGrowth(), 2.0);

  DesDataPool* huge = DesDataPool::GetInstance(1 << 20);
  EXPECT_EQ(huge->GetCount(), 2u) << "never fewer than two blocks per chunk";
  EXPECT_EQ(huge->GetMaxCount(), 64u);

  DesDataPool* tiny = DesDataPool::GetInstance(4);
  EXPECT_EQ(tiny->GetBlockSize(), 8u) << "a block must hold the free-list link";
}

TEST_F(DataPoolTest, FirstChunkIsMadeOnceWhenThePoolIsCreated) {
  const std::size_t calls = host::allocationCalls();
  DesDataPool* p = DesDataPool::GetInstance(32768);  // 2 blocks per chunk: 1 usable
  EXPECT_EQ(host::allocationCalls(), calls + 2) << "the chunk and the map node";
  void* a = p->alloc();
  EXPECT_EQ(host::allocationCalls(), calls + 2);
  void* b = p->alloc();  // grows to 4 blocks
  EXPECT_EQ(host::allocationCalls(), calls + 3);
  EXPECT_EQ(p->GetCount(), 4u);
  p->free(a);
  p->free(b);
}

TEST_F(DataPoolTest, ChunksGrowByTheFactorUpToTheMaximum) {
  HostMemoryMark mark;
  {
    DesDataPool pool(16, 2, 8, 2.0);
    std::vector<void*> blocks;
    // Chunks of 4, 8, 8, 8 blocks: 3 + 7 + 7 + 7 usable.
    std::vector<std::size_t> counts;
    for (int i = 0; i < 24; ++i) {
      blocks.push_back(pool.alloc());
      counts.push_back(pool.GetCount());
    }
    EXPECT_EQ(counts[0], 4u);
    EXPECT_EQ(counts[2], 4u);
    EXPECT_EQ(counts[3], 8u);
    EXPECT_EQ(counts[9], 8u);
    EXPECT_EQ(counts[10], 8u);
    EXPECT_EQ(mark.Growth(), 4);
    EXPECT_EQ(std::set<void*>(blocks.begin(), blocks.end()).size(), blocks.size());
    // Blocks of one chunk follow each other in address order.
    EXPECT_EQ(Address(blocks[1]), Address(blocks[0]) + 16);
    EXPECT_EQ(Address(blocks[4]), Address(blocks[3]) + 16);
  }
  EXPECT_EQ(mark.Growth(), 0) << "the destructor releases every chunk";
}

TEST_F(DataPoolTest, BlocksDoNotOverlapAndKeepTheirBytes) {
  DesDataPool* p = DesDataPool::GetInstance(24);
  std::vector<unsigned char*> blocks;
  for (int i = 0; i < 10; ++i) {
    auto* b = static_cast<unsigned char*>(p->alloc());
    std::memset(b, i + 1, 24);
    blocks.push_back(b);
  }
  for (int i = 0; i < 10; ++i)
    for (int j = 0; j < 24; ++j) ASSERT_EQ(blocks[i][j], i + 1) << "block " << i;
  for (unsigned char* b : blocks) p->free(b);
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

TEST_F(DataPoolTest, OddBlockSizesWork) {
  DesDataPool pool(13, 3, 6, 1.5);
  std::vector<void*> blocks;
  for (int i = 0; i < 12; ++i) blocks.push_back(pool.alloc());
  EXPECT_EQ(Address(blocks[1]), Address(blocks[0]) + 13);
  for (void* b : blocks) pool.free(b);
  EXPECT_EQ(pool.alloc(), blocks.back());
}

TEST_F(DataPoolTest, GrowthBelowTwoBlocksStillGivesAUsableBlock) {
  DesDataPool pool(8, 2, 100, 0.5);  // 2 x 0.5 would be a chunk of one header block
  void* a = pool.alloc();
  void* b = pool.alloc();
  EXPECT_NE(a, nullptr);
  EXPECT_NE(a, b);
  EXPECT_EQ(pool.GetCount(), 2u);
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
  EXPECT_NE(fourth, nullptr);
  for (void* b : {first, second, third, fourth}) pool.free(b);
}

TEST_F(DataPoolTest, PoolCreationFailuresLeaveTheMapUnchanged) {
  DesDataPool* other = DesDataPool::GetInstance(8);
  // The first chunk, then the map node.
  const std::size_t points = entity_test::SweepAllocationFailures(
      [] { DesDataPool::GetInstance(48); },
      [&] {
        EXPECT_EQ(DesDataPool::mapMemPool.size(), 1u);
        EXPECT_EQ(DesDataPool::mapMemPool.count(48), 0u);
      });
  EXPECT_EQ(points, 2u);
  EXPECT_EQ(DesDataPool::mapMemPool.size(), 2u);
  EXPECT_EQ(DesDataPool::GetInstance(8), other);
}

TEST_F(DataPoolTest, DeleteMemPoolEmptiesTheMapAndReleasesEverything) {
  HostMemoryMark mark;
  DesDataPool* p = DesDataPool::GetInstance(24);
  for (int i = 0; i < 5000; ++i) p->alloc();  // blocks left out are released with the pool
  DesDataPool::GetInstance(16);
  EXPECT_GT(mark.Growth(), 0);
  DesDataPool::deleteMemPool();
  EXPECT_TRUE(DesDataPool::mapMemPool.empty());
  EXPECT_EQ(mark.Growth(), 0);
  DesDataPool::deleteMemPool();  // nothing left to do
}
