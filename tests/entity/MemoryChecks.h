// Host-memory accounting, the memory error as the library throws it, and a
// sweep that makes each allocation of an operation fail in turn.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
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

using Args = std::vector<std::string>;

// How an operation ended: nothing thrown (code 0), a library error with its
// texts (up to the last non-null one) and objects, or PMMallocError.
struct Thrown {
  uint32_t code = 0;
  bool mallocError = false;
  Args args;
  std::vector<void*> objects;
  bool Memory() const { return mallocError || code == DES_MemoryAllocErr; }
};

// Code and texts, compared at once.
using Error = std::pair<uint32_t, Args>;

template <class F>
Thrown Catch(F&& f) {
  Thrown t;
  try {
    f();
  } catch (PMMallocError* e) {
    t.mallocError = true;
    delete e;
  } catch (ErrExcept* e) {
    t.code = e->getErrCode();
    for (unsigned i = 0; i < 8; ++i) t.args.push_back(e->getString(i) ? e->getString(i) : "(null)");
    while (!t.args.empty() && t.args.back() == "(null)") t.args.pop_back();
    for (std::size_t i = 0; i < e->objectCount(); ++i) t.objects.push_back(e->object(i));
    delete e;
  }
  return t;
}
inline Error Err(const Thrown& t) { return {t.code, t.args}; }

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

// Host blocks the data-value pools keep until destroyed: object-pool chunks
// and, per value pool, its chunks and its map node.
inline long PoolHeldBlocks() {
  long n = 0;
  if (DesData::memPool) n += static_cast<long>(DesData::memPool->ChunksMade());
  if (DesDataInfo::memPool) n += static_cast<long>(DesDataInfo::memPool->ChunksMade());
  if (DesDataValue::memPool) n += static_cast<long>(DesDataValue::memPool->ChunksMade());
  for (const auto& entry : DesDataPool::mapMemPool)
    n += 1 + static_cast<long>(entry.second->GetChunkCount());
  return n;
}

// Host blocks in use since the mark, less the memory error's emergency
// reserve (live until the error is deleted) and, with excludePools, less
// what pools took and keep: a pool that grew is not a leak.
class HostMemoryMark {
 public:
  explicit HostMemoryMark(bool excludePools = false) : excludePools(excludePools), base(Now()) {}
  long Growth() const { return Now() - base; }

 private:
  long Now() const {
    return static_cast<long>(host::liveAllocations()) - static_cast<long>(pmMemoryReserveLeft()) -
           (excludePools ? PoolHeldBlocks() : 0);
  }
  bool excludePools;
  long base;
};

// For n = 1, 2, ...: fails the n-th host allocation from now on and runs op
// until it gets through. Every failed run must end in the memory error and
// leak nothing; `check` then inspects the objects. Returns the number of
// failed runs (chunks kept from an earlier run can make points vanish).
template <class Op, class Check = void (*)()>
std::size_t SweepAllocationFailures(Op&& op, Check check = [] {}) {
  for (std::size_t n = 1; n <= 1000; ++n) {
    HostMemoryMark mark(true);
    host::failAllocationsFrom(n);
    const Thrown t = Catch(op);
    host::failAllocationsFrom(0);
    if (t.code == 0 && !t.mallocError) return n - 1;
    EXPECT_TRUE(t.Memory()) << "allocation " << n << ": error " << t.code;
    EXPECT_EQ(mark.Growth(), 0) << "host blocks leaked when allocation " << n << " failed";
    check();
    if (::testing::Test::HasFailure()) return n;
  }
  ADD_FAILURE() << "the operation never succeeded";
  return 0;
}

// The data-value object pools as the engine makes them; after the test the
// pools are destroyed and every host block must be back.
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
