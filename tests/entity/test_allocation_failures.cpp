// Host memory running out at every allocation point of the data values: the
// memory error, no leak, the objects involved as they were.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "entity/DesData.h"
#include "tests/entity/MemoryChecks.h"

using namespace entity_test;

namespace {

// Takes slots of the fresh object pools (three free each), so that the next
// object of a full class needs a new chunk.
struct FullObjectPools {
  explicit FullObjectPools(int infoCount = 3, int valueCount = 3, int dataCount = 3) {
    // One shared shape (counted among the shapes) without numbers.
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

// 32 KiB values: a first chunk of 64 KiB holds two blocks, one its header.
constexpr int kWideWidth = 4096;

}  // namespace

TEST_F(AllocationFailureTest, ConstructorsWithNewValuePools) {
  RCPtr<DesDataInfo> shared(new DesDataInfo(5));
  const double re[] = {1, 2, 3, 4}, im[] = {4, 5, 6};
  // The argument shape's dimensions, the copy's, the value pool's chunk and
  // map node; a scalar has no dimensions, a shared shape needs none.
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

// Object pools full, so a chunk of each must be made on the way; a chunk
// made before a refusal stays with its pool (later runs get past it).
TEST_F(AllocationFailureTest, ValueOfASharedShapeWhenEverythingMustGrow) {
  RCPtr<DesDataInfo> shared(new DesDataInfo(3));
  FullObjectPools full(2, 3, 3);
  const double v[] = {7, 8, 9};
  // The value pool (chunk and map node), a chunk of stores.
  EXPECT_EQ(SweepAllocationFailures([&] { DesData d(shared, v); },
                                    [&] { EXPECT_EQ(shared->GetRefCount(), 1); }),
            3u);
}

TEST_F(AllocationFailureTest, ShapeOperationsLeaveTheShapeUnchangedWhenTheyFail) {
  DesDataInfo target;
  const DesDataInfo source = Shape(8, {2, 2, 2});
  const int dims[] = {4, 4};
  int tagDims[] = {9};
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
  // A new chunk of 8 slots, then the dimensions (inside the constructor).
  EXPECT_EQ(
      SweepAllocationFailures([&] { made.emplace_back(new DesDataInfo(9, 0, 0, 0, 2, dims)); }),
      2u);
  ASSERT_EQ(made.size(), 1u);
  // The other seven slots of the new chunk are still there to be served.
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
    EXPECT_TRUE(copy.GetValuePtr().get() == store && original.GetValuePtr().get() == store);
    EXPECT_EQ(store->GetRefCount(), 2);
    EXPECT_EQ(original[0], 1.0);
  };
  EXPECT_EQ(SweepAllocationFailures([&] { copy[0] = 5.0; }, stillShared), 1u);
  EXPECT_EQ((std::vector<double>{copy[0], original[0], 1.0 * store->GetRefCount()}),
            (std::vector<double>{5, 1, 1}));
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
  EXPECT_EQ(SweepAllocationFailures([&] { made = matrix.GetDataValueAsHvArray(); },
                                    [&] { EXPECT_EQ(host::liveArrays(), arrays); }),
            1u);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(hvGetPr(made)[5], 6);
  hvDestroyArray(made);
}

// Values of several sizes built, shared, written, converted and let go, with
// fresh value pools in every run.
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
