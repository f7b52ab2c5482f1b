// Running out of host memory at every allocation point of the data values:
// each failure must come out as the memory error, leak nothing, and leave
// the objects involved as they were.
#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <vector>

#include "entity/DesData.h"
#include "tests/entity/MemoryChecks.h"

using entity_test::SweepAllocationFailures;

using entity_test::Numbers;
using entity_test::Shape;

namespace {

// Takes the given number of slots of each object pool and keeps them, so
// that, on freshly created pools (three free slots each), the next object
// of a class whose slots are all taken needs a new chunk.
class FullObjectPools {
 public:
  explicit FullObjectPools(int infoCount = 3, int valueCount = 3, int dataCount = 3) {
    // The DesData objects share one shape without numbers: they take no
    // slot of the other two pools.
    RCPtr<DesDataInfo> noNumbers(new DesDataInfo(-1));
    for (int i = 0; i < dataCount; ++i) data.push_back(new DesData(noNumbers, 0.0));
    for (int i = 1; i < infoCount; ++i) infos.push_back(new DesDataInfo(-1));
    for (int i = 0; i < valueCount; ++i) values.push_back(new DesDataValue(0, nullptr));
    if (infoCount < 1) ADD_FAILURE() << "the shared shape takes one slot";
  }
  ~FullObjectPools() {
    for (DesDataInfo* p : infos) delete p;
    for (DesDataValue* p : values) delete p;
    for (DesData* p : data) delete p;
  }
  FullObjectPools(const FullObjectPools&) = delete;
  FullObjectPools& operator=(const FullObjectPools&) = delete;

 private:
  std::vector<DesDataInfo*> infos;
  std::vector<DesDataValue*> values;
  std::vector<DesData*> data;
};

class AllocationFailureTest : public entity_test::DataPoolsTest {};

// The size of a value whose pool hands out one block per chunk at first:
// 4096 doubles make 32 KiB, and a first chunk of about 64 KiB holds two
// blocks, the first of them the chunk's header.
constexpr int kWideWidth = 4096;

}  // namespace

TEST_F(AllocationFailureTest, ConstructorsWithNewValuePools) {
  // The argument shape's dimensions, the copy's dimensions, the value
  // pool's first chunk and its map node.
  EXPECT_EQ(SweepAllocationFailures([] { DesData d(Shape(3, {3}), 1.0); }), 4u);
  EXPECT_EQ(SweepAllocationFailures([] {
              const double v[] = {1, 2, 3, 4};
              DesData d(Shape(2, {1, 2}, 1), v);
            }),
            4u);
  EXPECT_EQ(SweepAllocationFailures([] {
              const double re[] = {1, 2, 3}, im[] = {4, 5, 6};
              DesData d(Shape(3, {3, 1}, 1), re, im);
            }),
            4u);
  // The scalar's own shape, then the pool of 8-byte stores.
  EXPECT_EQ(SweepAllocationFailures([] { DesData d(4.0); }), 3u);
  RCPtr<DesDataInfo> shared(new DesDataInfo(5));
  EXPECT_EQ(SweepAllocationFailures([&] { DesData d(shared, std::vector<double>{1, 2}); },
                                    [&] { EXPECT_EQ(shared->GetRefCount(), 1); }),
            2u)
      << "a shared shape allocates nothing";
  EXPECT_EQ(shared->GetRefCount(), 1);
}

TEST_F(AllocationFailureTest, ValueWhenItsObjectPoolsMustGrow) {
  FullObjectPools full;
  DesDataPool::GetInstance(24);
  // The argument shape's dimensions, a chunk of shapes, the copy's
  // dimensions, a chunk of number stores; the chunk of shapes made in the
  // run that failed at the copy's dimensions stays, so the last run to fail
  // is the one whose chunk of stores is refused.
  EXPECT_EQ(SweepAllocationFailures([] { DesData d(Shape(3, {3}), 1.0); }), 3u);
}

TEST_F(AllocationFailureTest, PooledValueWhenItsObjectPoolsMustGrow) {
  FullObjectPools full;
  DesDataPool::GetInstance(8);
  // A chunk of DesData objects, then of shapes, the dimensions, a chunk of
  // number stores; each chunk made before a refusal stays with its pool.
  EXPECT_EQ(SweepAllocationFailures([] { delete new DesData(2.0); }), 3u);
}

TEST_F(AllocationFailureTest, ValueOfASharedShapeWhenEverythingMustGrow) {
  RCPtr<DesDataInfo> shared(new DesDataInfo(3));
  FullObjectPools full(2, 3, 3);
  const double v[] = {7, 8, 9};
  // The pool of 24-byte stores (chunk and map node), a chunk of stores.
  EXPECT_EQ(SweepAllocationFailures([&] { DesData d(shared, v); },
                                    [&] { EXPECT_EQ(shared->GetRefCount(), 1); }),
            3u);
}

TEST_F(AllocationFailureTest, ShapeOperationsLeaveTheShapeUnchangedWhenTheyFail) {
  DesDataInfo target = Shape(6, {2, 3}, 1);
  const DesDataInfo source = Shape(8, {2, 2, 2});
  auto unchanged = [&] {
    EXPECT_EQ(target.GetDimStr(), "a [2x3] matrix");
    EXPECT_EQ(target.GetCplx(), 1);
    EXPECT_EQ(target.GetWidth(), 6);
  };
  EXPECT_EQ(SweepAllocationFailures([&] { target = source; }, unchanged), 1u);
  EXPECT_EQ(target.GetDimStr(), "a [2x2x2] matrix");
  EXPECT_EQ(target.GetCplx(), 0);

  target = Shape(6, {2, 3}, 1);
  const int dims[] = {4, 4};
  EXPECT_EQ(SweepAllocationFailures([&] { target.Assign(16, 0, 0, 0, 2, dims); }, unchanged),
            1u);
  EXPECT_EQ(target.GetDimStr(), "a [4x4] matrix");

  target = Shape(6, {2, 3}, 1);
  int tagDims[] = {9};
  EXPECT_EQ(SweepAllocationFailures([&] { target.SetDims(DimsInfo_tag{9, 1, tagDims, nullptr}); },
                                    unchanged),
            1u);
  EXPECT_EQ(target.GetWidth(), 9);

  target = Shape(6, {2, 3}, 1);
  EXPECT_EQ(SweepAllocationFailures([&] { target.SetDims(source); }, unchanged), 1u);
  EXPECT_EQ(SweepAllocationFailures([&] { DesDataInfo copy(source); }), 1u);
}

TEST_F(AllocationFailureTest, SlotOfAShapeWhoseConstructorFailedGoesBackToThePool) {
  FullObjectPools full;
  std::vector<DesDataInfo*> made;
  const int dims[] = {3, 3};
  // First the new chunk of 8 shape slots, then the dimensions: the second
  // failure happens inside the constructor, in a slot of the new chunk.
  EXPECT_EQ(SweepAllocationFailures(
                [&] { made.push_back(new DesDataInfo(9, 0, 0, 0, 2, dims)); }),
            2u);
  ASSERT_EQ(made.size(), 1u);
  EXPECT_EQ(made[0]->GetDim(1), 3);
  // All seven slots of the new chunk are still there to be served.
  const std::size_t chunks = DesDataInfo::memPool->ChunksMade();
  for (int i = 0; i < 6; ++i) made.push_back(new DesDataInfo(-1));
  EXPECT_EQ(DesDataInfo::memPool->ChunksMade(), chunks);
  for (DesDataInfo* p : made) delete p;
}

TEST_F(AllocationFailureTest, CopyOnWriteThatCannotGetANewBlockChangesNothing) {
  DesData original(Shape(kWideWidth, {kWideWidth}), 1.0);
  DesData copy(original);
  ASSERT_EQ(DesDataPool::GetInstance(original.GetSize())->GetCount(), 2u);
  const DesDataValue* store = original.GetValuePtr().get();
  auto stillShared = [&] {
    EXPECT_EQ(copy.GetValuePtr().get(), store);
    EXPECT_EQ(original.GetValuePtr().get(), store);
    EXPECT_EQ(store->GetRefCount(), 2);
    EXPECT_EQ(original[0], 1.0);
  };
  // The pool has no free block: the private copy needs a new chunk.
  EXPECT_EQ(SweepAllocationFailures([&] { copy[0] = 5.0; }, stillShared), 1u);
  EXPECT_EQ(copy[0], 5.0);
  EXPECT_EQ(original[0], 1.0);
  EXPECT_EQ(store->GetRefCount(), 1);
}

TEST_F(AllocationFailureTest, SetDataOnASharedValueThatCannotGetANewBlockChangesNothing) {
  DesData original(Shape(kWideWidth, {kWideWidth}), 1.0);
  DesData copy(original);
  FullObjectPools full(2, 2, 3);  // the new number store also needs a new object chunk
  std::vector<double> src(kWideWidth, 3.0);
  auto unchanged = [&] {
    EXPECT_EQ(copy.GetValuePtr().get(), original.GetValuePtr().get());
    EXPECT_EQ(Numbers(copy), std::vector<double>(kWideWidth, 1.0));
  };
  EXPECT_EQ(SweepAllocationFailures([&] { copy.SetData(src.data()); }, unchanged), 2u);
  EXPECT_EQ(Numbers(copy), src);
  EXPECT_EQ(Numbers(original), std::vector<double>(kWideWidth, 1.0));
}

TEST_F(AllocationFailureTest, HostArrayConversionFailureLeaksNoArray) {
  const double v[] = {1, 2, 3, 4, 5, 6};
  DesData matrix(Shape(6, {3, 2}), v);
  const std::size_t arrays = host::liveArrays();
  hvArray* made = nullptr;
  // The widened dimensions are the only host block the conversion takes.
  EXPECT_EQ(SweepAllocationFailures([&] { made = matrix.GetDataValueAsHvArray(); },
                                    [&] { EXPECT_EQ(host::liveArrays(), arrays); }),
            1u);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(hvGetPr(made)[5], 6);
  hvDestroyArray(made);
}

TEST_F(AllocationFailureTest, AWholeWorkloadSurvivesAFailureAnywhere) {
  // Builds values of several sizes from nothing, shares, writes and
  // converts them, then lets everything go; the value pools are discarded
  // before each run so their creation is part of every run.
  auto workload = [] {
    DesDataPool::deleteMemPool();
    std::vector<DesData*> values;
    try {
      for (int w = 1; w <= 4; ++w) {
        values.push_back(new DesData(Shape(w, {w}), static_cast<double>(w)));
        values.push_back(new DesData(*values.back()));
        (*values.back())[0] = -1.0;
        const std::vector<double> numbers(static_cast<std::size_t>(w), 2.0);
        values.push_back(new DesData(RCPtr<DesDataInfo>(new DesDataInfo(Shape(w, {1, w}, 1))),
                                     numbers));
      }
      for (DesData* d : values) hvDestroyArray(d->GetDataValueAsHvArray());
    } catch (...) {
      for (DesData* d : values) delete d;
      throw;
    }
    for (DesData* d : values) delete d;
  };
  const std::size_t points = SweepAllocationFailures(workload);
  EXPECT_GT(points, 15u);
}
