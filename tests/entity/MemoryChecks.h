// Helpers shared by the entity tests: host-memory accounting, the memory
// error as the library throws it, and a sweep that makes each allocation of
// an operation fail in turn.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <initializer_list>
#include <string>
#include <vector>

#include "entity/DesData.h"
#include "entity/DesDataInfo.h"
#include "entity/DesDataPool.h"
#include "entity/DesDataValue.h"
#include "host/HostControl.h"
#include "support/ErrExcept.h"
#include "support/MessageCatalogue.h"
#include "support/PMMallocError.h"

namespace entity_test {

// A shape of the given width and dimensions.
inline DesDataInfo Shape(int width, std::initializer_list<int> dims, int complexity = 0,
                         int frameness = 0, int typeCode = 0) {
  const int* d = dims.size() ? dims.begin() : nullptr;
  return DesDataInfo(width, typeCode, complexity, frameness, static_cast<int>(dims.size()), d);
}

// The numbers of a value, imaginary parts interleaved.
inline std::vector<double> Numbers(const DesData& d) {
  std::vector<double> out(d.GetSize() / sizeof(double));
  d.GetData(out.data());
  return out;
}

// Host blocks that stay with the pools of the data values until the pools
// are destroyed: chunks of the three object pools and, per value pool, its
// chunks and its node in the pool map.
inline long PoolHeldBlocks() {
  long n = 0;
  if (DesData::memPool) n += static_cast<long>(DesData::memPool->ChunksMade());
  if (DesDataInfo::memPool) n += static_cast<long>(DesDataInfo::memPool->ChunksMade());
  if (DesDataValue::memPool) n += static_cast<long>(DesDataValue::memPool->ChunksMade());
  for (const auto& entry : DesDataPool::mapMemPool)
    n += 1 + static_cast<long>(entry.second->GetChunkCount());
  return n;
}

// Host blocks in use, corrected for the memory error's emergency reserve:
// every memory error thrown while the host refuses memory lives in a
// reserve block that was counted as live and is released with the error.
// With excludePools, blocks that pools took and keep do not count either: a
// pool that grew is not a leak.
class HostMemoryMark {
 public:
  explicit HostMemoryMark(bool excludePools = false)
      : live(host::liveAllocations()),
        reserve(pmMemoryReserveLeft()),
        pooled(excludePools ? PoolHeldBlocks() : 0),
        excludePoolBlocks(excludePools) {}
  // Blocks allocated since the mark and not yet released.
  long Growth() const {
    const std::size_t reserveUsed = reserve - pmMemoryReserveLeft();
    long now = static_cast<long>(host::liveAllocations() + reserveUsed);
    if (excludePoolBlocks) now -= PoolHeldBlocks();
    return now - (static_cast<long>(live) - pooled);
  }

 private:
  std::size_t live;
  std::size_t reserve;
  long pooled;
  bool excludePoolBlocks;
};

enum class Outcome { Succeeded, MemoryError, OtherError };

// Runs op and classifies how it ended. The memory error may be the
// library's PMMallocError or an ErrExcept carrying DES_MemoryAllocErr; both
// are deleted here.
template <class Op>
Outcome RunCatching(Op&& op, std::string* detail = nullptr) {
  try {
    op();
    return Outcome::Succeeded;
  } catch (PMMallocError* e) {
    delete e;
    return Outcome::MemoryError;
  } catch (ErrExcept* e) {
    const bool memory = e->getErrCode() == DES_MemoryAllocErr;
    if (!memory && detail != nullptr) *detail = e->getString(0) ? e->getString(0) : "";
    delete e;
    return memory ? Outcome::MemoryError : Outcome::OtherError;
  }
}

// For n = 1, 2, ...: makes the n-th host allocation from now (and all later
// ones) fail and runs op, until op gets through. Every run that fails must
// end in the memory error and leave the host memory as it found it; `check`
// runs after each failed run (to look at the objects involved). Blocks that
// a pool took on the way and keeps are not counted as lost. Returns the
// number of runs that failed: one per allocation point, less the points
// that a chunk kept from an earlier run made unnecessary.
template <class Op, class Check>
std::size_t SweepAllocationFailures(Op&& op, Check&& check) {
  for (std::size_t n = 1; n <= 1000; ++n) {
    HostMemoryMark mark(true);
    host::failAllocationsFrom(n);
    std::string detail;
    Outcome outcome = RunCatching(op, &detail);
    host::failAllocationsFrom(0);
    if (outcome == Outcome::Succeeded) return n - 1;
    EXPECT_EQ(outcome, Outcome::MemoryError) << "allocation " << n << ": " << detail;
    EXPECT_EQ(mark.Growth(), 0) << "host blocks leaked when allocation " << n << " failed";
    check();
    if (::testing::Test::HasFailure()) return n;
  }
  ADD_FAILURE() << "the operation never succeeded";
  return 0;
}

template <class Op>
std::size_t SweepAllocationFailures(Op&& op) {
  return SweepAllocationFailures(op, [] {});
}

// The object pools of the data-value classes, created as the engine creates
// them and destroyed after each test together with the value pools. The
// test's own host blocks must all be back by then.
class DataPoolsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::failAllocationsFrom(0);
    beforePools = HostMemoryMark();
    DesData::newMemPool(4, 2.0);
    DesDataInfo::newMemPool(4, 2.0);
    DesDataValue::newMemPool(4, 2.0);
  }
  void TearDown() override {
    host::failAllocationsFrom(0);
    host::failArrayCreationsFrom(0);
    DesDataPool::deleteMemPool();
    DesData::deleteMemPool();
    DesDataInfo::deleteMemPool();
    DesDataValue::deleteMemPool();
    EXPECT_EQ(beforePools.Growth(), 0) << "host blocks still held after the test";
  }

  HostMemoryMark beforePools;
};

}  // namespace entity_test
