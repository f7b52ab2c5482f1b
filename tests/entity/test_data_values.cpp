// Data values: construction from shapes and numbers, number stores that
// never overrun their block, copy on write, the change tests, and
// conversion to host arrays.
#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <string>
#include <vector>

#include "entity/DesData.h"
#include "tests/entity/MemoryChecks.h"

using entity_test::Numbers;
using entity_test::Shape;

namespace {

class DataValueTest : public entity_test::DataPoolsTest {};

RCPtr<DesDataInfo> SharedShape(int width, std::initializer_list<int> dims, int complexity = 0) {
  return RCPtr<DesDataInfo>(new DesDataInfo(Shape(width, dims, complexity)));
}

DesData Real(std::initializer_list<double> v) {
  const int width = static_cast<int>(v.size());
  return DesData(Shape(width, {width}), v.begin());
}

}  // namespace

TEST_F(DataValueTest, ConstructionFromShapesAndNumbers) {
  DesData zero;
  EXPECT_EQ(zero.GetDataInfo().GetDimStr(), "a scalar");
  EXPECT_EQ(zero[0], 0.0);
  EXPECT_EQ(zero.GetPool(), DesDataPool::GetInstance(8));
  EXPECT_EQ(Numbers(DesData(Shape(3, {3}, 1), -1.5)), std::vector<double>(6, -1.5));

  const double re[] = {1, 2, 3}, im[] = {-1, -2, -3};
  EXPECT_EQ(Numbers(DesData(Shape(3, {3}, 1), re, im)), (std::vector<double>{1, -1, 2, -2, 3, -3}));
  EXPECT_EQ(Numbers(DesData(Shape(2, {2}), re, im)), (std::vector<double>{1, 2}))
      << "a real shape takes only the real parts";

  RCPtr<DesDataInfo> shared = SharedShape(2, {2});
  DesData a(shared, 1.0);
  DesData b(shared, std::vector<double>{1, 2});
  EXPECT_EQ(b.GetInfoPtr().get(), shared.get());
  EXPECT_EQ(shared->GetRefCount(), 3);

  // Values of one size share a pool.
  EXPECT_EQ(DesData(Shape(3, {1, 3}), 2.0).GetPool(), DesDataPool::GetInstance(24));

  DesData inherited(Shape(-1, {}), 3.0);
  EXPECT_EQ(inherited.GetSize(), 0u);
  EXPECT_EQ(inherited.GetPool(), nullptr);
  EXPECT_EQ(inherited.GetDataValueAsHvArray(), nullptr);
  inherited.SetData(nullptr);  // nothing to write
  EXPECT_FALSE(inherited.TriggerRaisingFrom(DesData(inherited))) << "no numbers, no edge";

  EXPECT_EQ(entity_test::RunCatching([] { DesData d(RCPtr<DesDataInfo>(), 1.0); }),
            entity_test::Outcome::OtherError);
  EXPECT_EQ(entity_test::RunCatching([] { DesDataValue v(64, DesDataPool::GetInstance(16)); }),
            entity_test::Outcome::OtherError)
      << "a pool with blocks too small is refused";
}

TEST_F(DataValueTest, VectorLongerThanTheBlockIsCutToTheBlock) {
  // Two neighbouring blocks of 16 bytes: the second must survive a value
  // built into the first from a longer vector.
  DesDataPool pool(16, 2, 8, 2.0);
  void* valueBlock = pool.alloc();
  auto* guardBlock = static_cast<double*>(pool.alloc());
  ASSERT_EQ(static_cast<char*>(valueBlock) + 16, reinterpret_cast<char*>(guardBlock));
  pool.free(valueBlock);  // served next, to the value below
  guardBlock[0] = 42;
  guardBlock[1] = 43;
  {
    DesDataValue v(16, std::vector<double>{1, 2, 3, 4, 5}, &pool);
    ASSERT_EQ(v.GetDataPtr(), valueBlock);
    EXPECT_EQ(static_cast<const double*>(v.GetDataPtr())[1], 2);
  }
  EXPECT_EQ(guardBlock[0], 42);
  EXPECT_EQ(guardBlock[1], 43);
  pool.free(guardBlock);

  DesData viaShape(SharedShape(2, {2}), std::vector<double>{9, 8, 7, 6, 5});
  EXPECT_EQ(Numbers(viaShape), (std::vector<double>{9, 8}));
  {
    DesData old(Shape(3, {3}), 7.0);  // its block is recycled next
  }
  DesData shorter(SharedShape(3, {3}), std::vector<double>{1});
  EXPECT_EQ(Numbers(shorter), (std::vector<double>{1, 0, 0})) << "no old numbers left";
}

TEST_F(DataValueTest, StoreCopiesAndAssignmentsNeverReadBeyondTheSmallerStore) {
  DesDataPool* pool = DesDataPool::GetInstance(24);
  const double src[] = {1, 2, 3};
  DesDataValue a(24, src, pool);
  DesDataValue b(a);
  EXPECT_NE(b.GetDataPtr(), a.GetDataPtr());
  EXPECT_EQ(b.GetRefCount(), 0);
  DesDataValue& alias = b;
  b = alias;
  double out[4];
  b.GetData(out);
  EXPECT_EQ(out[2], 3.0);

  const double big[] = {1, 2, 3, 4};
  const double small[] = {7, 8};
  DesDataValue large(32, big, DesDataPool::GetInstance(32));
  DesDataValue little(16, small, DesDataPool::GetInstance(16));
  large = little;  // only the 16 bytes little has
  large.GetData(out);
  EXPECT_EQ(out[1], 8);
  EXPECT_EQ(out[2], 3);
  little = large;  // only the 16 bytes little holds
  little.GetData(out);
  EXPECT_EQ(out[1], 8);
}

TEST_F(DataValueTest, CopyOnWriteNeverWritesThroughASharedStore) {
  DesData a = Real({1, 2, 3});
  DesData b(a);
  DesData c;
  c = a;
  const DesDataValue* shared = a.GetValuePtr().get();
  EXPECT_EQ(c.GetValuePtr().get(), shared);
  EXPECT_EQ(shared->GetRefCount(), 3);
  const DesData& readOnly = b;
  EXPECT_EQ(readOnly[1], 2);
  EXPECT_EQ(b.GetValuePtr().get(), shared) << "reading never copies";

  b[0] = 10;
  EXPECT_EQ(readOnly[0], 10);
  EXPECT_EQ(static_cast<const DesData&>(a)[0], 1)
      << "a write through a copy must not reach the shared store";
  EXPECT_EQ(b[2], 3);
  EXPECT_NE(b.GetValuePtr().get(), shared);
  EXPECT_EQ(b.GetValuePtr()->GetPool(), a.GetPool());
  const double src[] = {4, 5, 6};
  c.SetData(src);
  EXPECT_EQ(Numbers(a), (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(Numbers(c), (std::vector<double>{4, 5, 6}));
  EXPECT_EQ(shared->GetRefCount(), 1);

  // The only holder writes in place.
  a[1] = 5;
  a.SetData(src);
  EXPECT_EQ(a.GetValuePtr().get(), shared);

  // A store shared through a handle is protected too.
  RCPtr<DesDataValue> outside = a.GetValuePtr();
  a[0] = 9;
  EXPECT_EQ(static_cast<const double*>(outside->GetDataPtr())[0], 4);

  // A larger store installed by hand: SetData writes only the own size.
  DesData one = Real({1});
  one.SetValuePtr(c.GetValuePtr());
  EXPECT_EQ(one.GetSize(), 8u) << "size and pool stay";
  const double nine = 9;
  one.SetData(&nine);
  EXPECT_EQ(Numbers(c), (std::vector<double>{4, 5, 6}));
  EXPECT_EQ(one.GetValuePtr()->GetSize(), 8u);
}

TEST_F(DataValueTest, ChangeTestsFollowTheZeroCrossingRules) {
  struct Row {
    double before, after;
    bool raising, falling, enabling, disabling;
  };
  const Row rows[] = {
      {-1, 0, true, false, false, false}, {0, 1, true, false, true, false},
      {-1, 1, true, false, true, false},  {0, 0, false, false, false, false},
      {1, 2, false, false, false, false}, {1, -1, false, true, false, true},
      {1, 0, false, true, false, true},   {0, -1, false, true, false, false},
      {-1, -2, false, false, false, false}, {0.5, -3, false, true, false, true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::to_string(r.before) + " -> " + std::to_string(r.after));
    const DesData before(r.before), after(r.after);
    EXPECT_EQ(after.TriggerRaisingFrom(before), r.raising);
    EXPECT_EQ(after.TriggerFallingFrom(before), r.falling);
    EXPECT_EQ(after.EnablingFrom(before), r.enabling);
    EXPECT_EQ(after.DisablingFrom(before), r.disabling);
  }

  DesData before = Real({1, 2, 3});
  DesData after = Real({1, 2, 4});
  EXPECT_TRUE(after.ValueChangeRaisingFrom(before));
  EXPECT_FALSE(after.ValueChangeFallingFrom(before));
  EXPECT_TRUE(before.ValueChangeFallingFrom(after));
  const double re[] = {1, 1}, imBefore[] = {0, 0}, imAfter[] = {0, 5};
  EXPECT_TRUE(DesData(Shape(2, {2}, 1), re, imAfter)
                  .ValueChangeRaisingFrom(DesData(Shape(2, {2}, 1), re, imBefore)))
      << "imaginary parts count too";

  // Only equal shapes compare; [1] equals the scalar shape, the typeCode
  // plays no part.
  DesData scalar(5.0);
  EXPECT_TRUE(scalar.ValueChangeRaisingFrom(Real({0})));
  EXPECT_FALSE(DesData(Shape(2, {2, 1}), 1.0).ValueChangeRaisingFrom(DesData(Shape(2, {1, 2}), -1.0)));
  EXPECT_FALSE(scalar.ValueChangeRaisingFrom(DesData(Shape(1, {1}, 1), 0.0)));
  DesDataInfo otherType(1, 7, 0, 0, 1, std::array<int, 1>{1}.data());
  EXPECT_TRUE(scalar.ValueChangeRaisingFrom(DesData(otherType, 0.0)));
}

TEST_F(DataValueTest, HostArraysKeepDimensionsAndSplitComplexParts) {
  const std::size_t arrays = host::liveArrays();
  hvArray* a = DesData(4.5).GetDataValueAsHvArray();
  EXPECT_EQ(hvGetNumberOfElements(a), 1u);
  EXPECT_FALSE(hvIsComplex(a));
  EXPECT_EQ(hvGetPr(a)[0], 4.5);
  hvDestroyArray(a);

  const double c[] = {1.5}, ci[] = {-2.5};
  a = DesData(Shape(1, {1}, 1), c, ci).GetDataValueAsHvArray();
  EXPECT_TRUE(hvIsComplex(a));
  EXPECT_EQ(hvGetPi(a)[0], -2.5);
  hvDestroyArray(a);

  const double v[] = {1, 2, 3, 4, 5, 6};
  a = DesData(Shape(6, {2, 3}), v).GetDataValueAsHvArray();
  EXPECT_EQ(hvGetClassID(a), hvDOUBLE_CLASS);
  ASSERT_EQ(hvGetNumberOfDimensions(a), 2u);
  EXPECT_EQ(hvGetDimensions(a)[0], 2u);
  EXPECT_EQ(hvGetDimensions(a)[1], 3u);
  EXPECT_EQ(std::vector<double>(hvGetPr(a), hvGetPr(a) + 6), std::vector<double>(v, v + 6));
  hvDestroyArray(a);

  const double re[] = {1, 2, 3}, im[] = {4, 5, 6};
  a = DesData(Shape(3, {1, 3}, 1), re, im).GetDataValueAsHvArray();
  EXPECT_EQ(std::vector<double>(hvGetPr(a), hvGetPr(a) + 3), (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(std::vector<double>(hvGetPi(a), hvGetPi(a) + 3), (std::vector<double>{4, 5, 6}));
  hvDestroyArray(a);
  EXPECT_EQ(host::liveArrays(), arrays);
}

TEST_F(DataValueTest, HostArrayCreationFailureIsTheMemoryError) {
  DesData scalar(1.0);
  DesData matrix(Shape(4, {2, 2}), 1.0);
  const std::size_t arrays = host::liveArrays();
  host::failArrayCreationsFrom(1);
  for (const DesData* d : {&scalar, &matrix}) {
    EXPECT_EQ(entity_test::RunCatching([&] { hvDestroyArray(d->GetDataValueAsHvArray()); }),
              entity_test::Outcome::MemoryError);
  }
  host::failArrayCreationsFrom(0);
  EXPECT_EQ(host::liveArrays(), arrays);
}
