// Running out of host memory at every allocation point of the data values:
// each failure must come out as the memory error, leak nothing, and leave
// the objects involved as they were.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "entity/DesData.h"
#include "tests/entity/MemoryChecks.h"

using namespace entity_test;

namespace {

// Takes slots of each object pool and keeps them, so that, on fresh pools
// (three free slots each), the next object of a class whose slots are all
// taken needs a new chunk.
struct FullObjectPools {
  explicit FullObjectPools(int infoCount = 3, int valueCount = 3, int dataCount = 3) {
    // The DesData objects share one shape (its slot counts among the
    // shapes) without numbers: they take no slot of the other two pools.
    RCPtr<DesDataInfo> noNumbers(new DesDataInfo(-1));
    for (int i = 0; i < dataCount; ++i) data.emplace_back(new DesData(noNumbers, 0.0));
    for (int i = 1; i < infoCount; ++i) infos.emplace_back(new DesDataInfo(-1));
    for (int i = 0; i < valueCount; ++i) values.emplace_back(new DesDataValue(0, nullptr));
  }
  std::vector<std::unique_ptr<DesDataInfo>> infos;
  std::vector<std::unique_ptr<DesDataValue>> values;
  std::vector<std::unique_ptr<DesData>> data;
};

class AllocationFailureTest : public DataPoolsTest {};

// 4096 doubles make 32 KiB: a first chunk of about 64 KiB holds two
// blocks, the first of them the chunk's header, so the pool has no free one.
constexpr int kWideWidth = 4096;

}  // namespace

TEST_F(AllocationFailureTest, ConstructorsWithNewValuePools) {
  RCPtr<DesDataInfo> shared(new DesDataInfo(5));
  const double re[] = {1, 2, 3, 4}, im[] = {4, 5, 6};
  // The argument shape's dimensions, the copy's dimensions, the value
  // pool's first chunk and its map node; a scalar has only its own shape,
  // a shared shape allocates nothing.
  const struct {
    std::function<void()> make;
    std::size_t points;
  } rows[] = {
      {[] { DesData d(Shape(3, {3}), 1.0); }, 4},
      {[&] { DesData d(Shape(2, {1, 2}, 1), re); }, 4},
      {[&] { DesData d(Shape(3, {3, 1}, 1), re, im); }, 4},
      {[] { DesData d(4.0); }, 3},
      {[&] { DesData d(shared, std::vector<double>{1, 2}); }, 2},
  };
  for (const auto& r : rows)
    EXPECT_EQ(SweepAllocationFailures(r.make, [&] { EXPECT_EQ(shared->GetRefCount(), 1); }),
              r.points)
        << &r - rows;
  EXPECT_EQ(shared->GetRefCount(), 1);
}

// Each chunk made before a refusal stays with its pool, so a later run gets
// past that point: the argument shape's dimensions, a chunk of shapes, the
// copy's dimensions, a chunk of number stores.
TEST_F(AllocationFailureTest, ValueWhenItsObjectPoolsMustGrow) {
  FullObjectPools full;
  DesDataPool::GetInstance(24);
  EXPECT_EQ(SweepAllocationFailures([] { DesData d(Shape(3, {3}), 1.0); }), 3u);
}

// A chunk of DesData objects, of shapes, the dimensions, a chunk of stores.
TEST_F(AllocationFailureTest, PooledValueWhenItsObjectPoolsMustGrow) {
  FullObjectPools full;
  DesDataPool::GetInstance(8);
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
  DesDataInfo target;
  const DesDataInfo source = Shape(8, {2, 2, 2});
  const int dims[] = {4, 4};
  int tagDims[] = {9};
  // The dimensions text, complexity and width.
  auto state = [&] {
    return target.GetDimStr() + ", " + std::to_string(target.GetCplx()) + ", " +
           std::to_string(target.GetWidth());
  };
  const struct {
    std::function<void()> op;
    std::string after;
  } rows[] = {
      {[&] { target = source; }, "a [2x2x2] matrix, 0, 8"},
      {[&] { target.Assign(16, 0, 0, 0, 2, dims); }, "a [4x4] matrix, 0, 16"},
      {[&] { target.SetDims(DimsInfo_tag{9, 1, tagDims, nullptr}); },
       "an one dimensional vector with 9 elements, 1, 9"},
      {[&] { target.SetDims(source); }, "a [2x2x2] matrix, 1, 8"},
      {[&] { DesDataInfo copy(source); }, "a [2x3] matrix, 1, 6"},
  };
  for (const auto& r : rows) {
    target = Shape(6, {2, 3}, 1);
    EXPECT_EQ(SweepAllocationFailures(r.op, [&] { EXPECT_EQ(state(), "a [2x3] matrix, 1, 6"); }),
              1u);
    EXPECT_EQ(state(), r.after);
  }
}

TEST_F(AllocationFailureTest, SlotOfAShapeWhoseConstructorFailedGoesBackToThePool) {
  FullObjectPools full;
  std::vector<std::unique_ptr<DesDataInfo>> made;
  const int dims[] = {3, 3};
  // The new chunk of 8 slots, then the dimensions: the second failure
  // happens inside the constructor, in a slot of the new chunk.
  EXPECT_EQ(
      SweepAllocationFailures([&] { made.emplace_back(new DesDataInfo(9, 0, 0, 0, 2, dims)); }),
      2u);
  ASSERT_EQ(made.size(), 1u);
  EXPECT_EQ(made[0]->GetDim(1), 3);
  // All seven slots of the new chunk are still there to be served.
  const std::size_t chunks = DesDataInfo::memPool->ChunksMade();
  for (int i = 0; i < 6; ++i) made.emplace_back(new DesDataInfo(-1));
  EXPECT_EQ(DesDataInfo::memPool->ChunksMade(), chunks);
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

// Values of several sizes built from nothing, shared, written and
// converted, then let go; the value pools are discarded before each run so
// that their creation is part of every run.
TEST_F(AllocationFailureTest, AWholeWorkloadSurvivesAFailureAnywhere) {
  auto workload = [] {
    DesDataPool::deleteMemPool();
    std::vector<std::unique_ptr<DesData>> values;
    for (int w = 1; w <= 4; ++w) {
      values.emplace_back(new DesData(Shape(w, {w}), static_cast<double>(w)));
      values.emplace_back(new DesData(*values.back()));
      (*values.back())[0] = -1.0;
      const std::vector<double> numbers(static_cast<std::size_t>(w), 2.0);
      values.emplace_back(
          new DesData(RCPtr<DesDataInfo>(new DesDataInfo(Shape(w, {1, w}, 1))), numbers));
    }
    for (const auto& d : values) hvDestroyArray(d->GetDataValueAsHvArray());
  };
  EXPECT_GT(SweepAllocationFailures(workload), 15u);
}
