// Data values: construction from shapes and numbers, sharing and copy on
// write, the change and edge tests, and conversion to host arrays.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "entity/DesData.h"
#include "tests/entity/MemoryChecks.h"

namespace {

class DataValueTest : public entity_test::DataPoolsTest {};

DesDataInfo Shape(int width, std::initializer_list<int> dims, int complexity = 0) {
  const int* d = dims.size() ? dims.begin() : nullptr;
  return DesDataInfo(width, 0, complexity, 0, static_cast<int>(dims.size()), d);
}

RCPtr<DesDataInfo> SharedShape(int width, std::initializer_list<int> dims, int complexity = 0) {
  return RCPtr<DesDataInfo>(new DesDataInfo(Shape(width, dims, complexity)));
}

std::vector<double> Numbers(const DesData& d) {
  std::vector<double> out(d.GetSize() / sizeof(double));
  d.GetData(out.data());
  return out;
}

DesData Real(std::initializer_list<double> v) {
  const int width = static_cast<int>(v.size());
  return DesData(Shape(width, {width}), v.begin());
}

}  // namespace

// ---------------------------------------------------------------- construction

TEST_F(DataValueTest, DefaultValueIsTheRealScalarZero) {
  DesData d;
  EXPECT_EQ(d.GetDataInfo().GetDimStr(), "a scalar");
  EXPECT_EQ(d.GetSize(), 8u);
  EXPECT_EQ(d[0], 0.0);
  EXPECT_EQ(d.GetPool(), DesDataPool::GetInstance(8));
  EXPECT_EQ(d.GetDataValue().GetPool(), d.GetPool());

  DesData v(2.5);
  EXPECT_EQ(v[0], 2.5);
  EXPECT_EQ(v.GetDataInfo().GetWidth(), 1);
}

TEST_F(DataValueTest, FillConstructorSetsEveryDoubleImaginaryPartsIncluded) {
  DesData d(Shape(3, {3}, 1), -1.5);
  EXPECT_EQ(d.GetSize(), 48u);
  EXPECT_EQ(Numbers(d), std::vector<double>(6, -1.5));
  DesData zero(SharedShape(2, {1, 2}), 0.0);
  EXPECT_EQ(Numbers(zero), std::vector<double>(2, 0.0));
}

TEST_F(DataValueTest, ShapeIsCopiedOrSharedAsAsked) {
  DesDataInfo local = Shape(2, {2});
  DesData copied(local, 1.0);
  EXPECT_NE(copied.GetInfoPtr().get(), &local);
  EXPECT_EQ(copied.GetInfoPtr()->GetRefCount(), 1);

  RCPtr<DesDataInfo> shared = SharedShape(2, {2});
  DesData a(shared, 1.0);
  DesData b(shared, std::vector<double>{1, 2});
  EXPECT_EQ(a.GetInfoPtr().get(), shared.get());
  EXPECT_EQ(b.GetInfoPtr().get(), shared.get());
  EXPECT_EQ(shared->GetRefCount(), 3);
}

TEST_F(DataValueTest, ComplexNumbersAreInterleaved) {
  const double re[] = {1, 2, 3};
  const double im[] = {-1, -2, -3};
  DesData d(Shape(3, {3}, 1), re, im);
  EXPECT_EQ(Numbers(d), (std::vector<double>{1, -1, 2, -2, 3, -3}));
  EXPECT_EQ(d[4], 3);
  EXPECT_EQ(d[5], -3);

  const double interleaved[] = {5, 6, 7, 8};
  DesData p(SharedShape(2, {2}, 1), interleaved);
  EXPECT_EQ(Numbers(p), (std::vector<double>{5, 6, 7, 8}));

  DesData real(Shape(2, {2}), re, im);  // a real shape takes only the real parts
  EXPECT_EQ(Numbers(real), (std::vector<double>{1, 2}));
}

TEST_F(DataValueTest, InheritedShapeHasNoNumbers) {
  DesData d(Shape(-1, {}), 3.0);
  EXPECT_EQ(d.GetSize(), 0u);
  EXPECT_FALSE(d.GetValuePtr());
  EXPECT_EQ(d.GetPool(), nullptr);
  EXPECT_EQ(d.GetDataValueAsHvArray(), nullptr);
  EXPECT_TRUE(DesDataPool::mapMemPool.empty());
  DesData c(Shape(2, {2}, -1), 3.0);
  EXPECT_EQ(c.GetSize(), 0u);
  d.SetData(nullptr);  // nothing to write
  DesData copy(d);
  EXPECT_FALSE(d.TriggerRaisingFrom(copy)) << "no numbers, no edge";
}

TEST_F(DataValueTest, ValuesOfOneSizeShareAPool) {
  DesData a(Shape(3, {3}), 1.0);
  DesData b(Shape(3, {1, 3}), 2.0);
  DesData c(Shape(2, {2}), 3.0);
  EXPECT_EQ(a.GetSize(), 24u);
  EXPECT_EQ(a.GetPool(), b.GetPool());
  EXPECT_NE(a.GetPool(), c.GetPool());
  EXPECT_EQ(c.GetPool(), DesDataPool::GetInstance(16));
  EXPECT_EQ(DesDataPool::mapMemPool.size(), 2u);
}

TEST_F(DataValueTest, NullShapeIsAnInternalError) {
  EXPECT_EQ(entity_test::RunCatching([] { DesData d(RCPtr<DesDataInfo>(), 1.0); }),
            entity_test::Outcome::OtherError);
}

// ---------------------------------------------------------------- number stores

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
    const double* d = static_cast<const double*>(v.GetDataPtr());
    EXPECT_EQ(d[0], 1);
    EXPECT_EQ(d[1], 2);
  }
  EXPECT_EQ(guardBlock[0], 42);
  EXPECT_EQ(guardBlock[1], 43);
  pool.free(guardBlock);

  DesData viaShape(SharedShape(2, {2}), std::vector<double>{9, 8, 7, 6, 5});
  EXPECT_EQ(Numbers(viaShape), (std::vector<double>{9, 8}));
}

TEST_F(DataValueTest, VectorShorterThanTheBlockLeavesNoOldNumbers) {
  {
    DesData old(Shape(3, {3}), 7.0);  // its block is recycled next
  }
  DesData d(SharedShape(3, {3}), std::vector<double>{1});
  EXPECT_EQ(Numbers(d), (std::vector<double>{1, 0, 0}));
}

TEST_F(DataValueTest, ValueCopyTakesANewBlockFromTheSamePool) {
  DesDataPool* pool = DesDataPool::GetInstance(24);
  const double src[] = {1, 2, 3};
  DesDataValue a(24, src, pool);
  DesDataValue b(a);
  EXPECT_NE(b.GetDataPtr(), a.GetDataPtr());
  EXPECT_EQ(b.GetPool(), pool);
  EXPECT_EQ(b.GetRefCount(), 0);
  EXPECT_EQ(std::memcmp(a.GetDataPtr(), b.GetDataPtr(), 24), 0);

  DesDataValue zero(24, pool);
  double out[3] = {9, 9, 9};
  zero.GetData(out);
  EXPECT_EQ(out[2], 0.0);
  zero = a;
  zero.GetData(out);
  EXPECT_EQ(out[2], 3.0);
  DesDataValue& alias = zero;
  zero = alias;
  zero.GetData(out);
  EXPECT_EQ(out[1], 2.0);
}

TEST_F(DataValueTest, ValueAssignmentNeverReadsBeyondTheSmallerStore) {
  const double big[] = {1, 2, 3, 4};
  const double small[] = {7, 8};
  DesDataValue a(32, big, DesDataPool::GetInstance(32));
  DesDataValue b(16, small, DesDataPool::GetInstance(16));
  a = b;  // only the 16 bytes b has
  double out[4];
  a.GetData(out);
  EXPECT_EQ(out[0], 7);
  EXPECT_EQ(out[1], 8);
  EXPECT_EQ(out[2], 3);
  b = a;  // only the 16 bytes b holds
  b.GetData(out);
  EXPECT_EQ(out[1], 8);
}

TEST_F(DataValueTest, PoolWithBlocksTooSmallIsRefused) {
  EXPECT_EQ(entity_test::RunCatching(
                [] { DesDataValue v(64, DesDataPool::GetInstance(16)); }),
            entity_test::Outcome::OtherError);
}

TEST_F(DataValueTest, ValueReturnsItsBlockToThePool) {
  DesDataPool* pool = DesDataPool::GetInstance(24);
  void* block = nullptr;
  {
    DesDataValue v(24, pool);
    block = v.GetDataPtr();
  }
  EXPECT_EQ(pool->alloc(), block);
  pool->free(block);
}

// ---------------------------------------------------------------- copy on write

TEST_F(DataValueTest, CopiesShareShapeAndNumbers) {
  DesData a = Real({1, 2, 3});
  DesData b(a);
  DesData c;
  c = a;
  EXPECT_EQ(b.GetValuePtr().get(), a.GetValuePtr().get());
  EXPECT_EQ(c.GetInfoPtr().get(), a.GetInfoPtr().get());
  EXPECT_EQ(a.GetValuePtr()->GetRefCount(), 3);
  EXPECT_EQ(c.GetSize(), 24u);
  EXPECT_EQ(c.GetPool(), a.GetPool());
}

TEST_F(DataValueTest, WritingACopyLeavesTheOriginalUnchanged) {
  DesData a = Real({1, 2, 3});
  DesData b(a);
  const DesDataValue* shared = a.GetValuePtr().get();
  b[0] = 10;
  EXPECT_EQ(a[0], 1) << "a write through a copy must not reach the shared store";
  EXPECT_EQ(b[0], 10);
  EXPECT_EQ(b[2], 3);
  EXPECT_EQ(a.GetValuePtr().get(), shared);
  EXPECT_NE(b.GetValuePtr().get(), shared);
  EXPECT_EQ(shared->GetRefCount(), 1);
  EXPECT_EQ(b.GetValuePtr()->GetPool(), a.GetPool());
}

TEST_F(DataValueTest, WritingTheOnlyHolderChangesTheStoreInPlace) {
  DesData a = Real({1, 2});
  const DesDataValue* store = a.GetValuePtr().get();
  a[1] = 5;
  EXPECT_EQ(a.GetValuePtr().get(), store);
  const double src[] = {7, 8};
  a.SetData(src);
  EXPECT_EQ(a.GetValuePtr().get(), store);
  EXPECT_EQ(Numbers(a), (std::vector<double>{7, 8}));
}

TEST_F(DataValueTest, ReadingASharedValueNeverCopies) {
  DesData a = Real({1, 2});
  DesData b(a);
  const DesData& readOnly = b;
  EXPECT_EQ(readOnly[1], 2);
  EXPECT_EQ(b.GetValuePtr().get(), a.GetValuePtr().get());
}

TEST_F(DataValueTest, SetDataOnASharedValueGivesANewStore) {
  DesData a = Real({1, 2});
  DesData b(a);
  const double src[] = {3, 4};
  b.SetData(src);
  EXPECT_EQ(Numbers(a), (std::vector<double>{1, 2}));
  EXPECT_EQ(Numbers(b), (std::vector<double>{3, 4}));
  EXPECT_NE(a.GetValuePtr().get(), b.GetValuePtr().get());
  EXPECT_EQ(b.GetValuePtr()->GetPool(), a.GetPool());
}

TEST_F(DataValueTest, StoreSharedThroughAHandleIsAlsoProtected) {
  DesData a = Real({1, 2});
  RCPtr<DesDataValue> outside = a.GetValuePtr();
  a[0] = 9;
  const double* kept = static_cast<const double*>(outside->GetDataPtr());
  EXPECT_EQ(kept[0], 1);
}

TEST_F(DataValueTest, SettersReplaceOnlyTheirPointer) {
  DesData a = Real({1, 2});
  DesData b = Real({5, 6, 7});
  a.SetValuePtr(b.GetValuePtr());
  EXPECT_EQ(a.GetSize(), 16u) << "size and pool stay";
  EXPECT_EQ(a.GetPool(), DesDataPool::GetInstance(16));
  EXPECT_EQ(Numbers(a), (std::vector<double>{5, 6}));
  a.SetInfoPtr(b.GetInfoPtr());
  EXPECT_EQ(a.GetDataInfo().GetWidth(), 3);
  EXPECT_EQ(a.GetSize(), 16u);
}

TEST_F(DataValueTest, SetDataAfterInstallingALargerStoreWritesOnlyTheOwnSize) {
  DesData small = Real({1});
  DesData large = Real({5, 6, 7});
  small.SetValuePtr(large.GetValuePtr());
  const double one = 9;
  small.SetData(&one);  // shared: a new 8-byte store, the large one untouched
  EXPECT_EQ(Numbers(large), (std::vector<double>{5, 6, 7}));
  EXPECT_EQ(small[0], 9);
  EXPECT_EQ(small.GetValuePtr()->GetSize(), 8u);
}

// ---------------------------------------------------------------- change tests

TEST_F(DataValueTest, TriggerRaisingFollowsTheZeroCrossingRule) {
  EXPECT_TRUE(DesData(0.0).TriggerRaisingFrom(DesData(-1.0)));
  EXPECT_TRUE(DesData(1.0).TriggerRaisingFrom(DesData(0.0)));
  EXPECT_TRUE(DesData(1.0).TriggerRaisingFrom(DesData(-1.0)));
  EXPECT_FALSE(DesData(0.0).TriggerRaisingFrom(DesData(0.0)));
  EXPECT_FALSE(DesData(2.0).TriggerRaisingFrom(DesData(1.0)));
  EXPECT_FALSE(DesData(-1.0).TriggerRaisingFrom(DesData(1.0)));
}

TEST_F(DataValueTest, TriggerFallingFollowsTheZeroCrossingRule) {
  EXPECT_TRUE(DesData(0.0).TriggerFallingFrom(DesData(1.0)));
  EXPECT_TRUE(DesData(-1.0).TriggerFallingFrom(DesData(0.0)));
  EXPECT_FALSE(DesData(0.0).TriggerFallingFrom(DesData(0.0)));
  EXPECT_FALSE(DesData(-2.0).TriggerFallingFrom(DesData(-1.0)));
  EXPECT_FALSE(DesData(1.0).TriggerFallingFrom(DesData(-1.0)));
}

TEST_F(DataValueTest, EnablingAndDisabling) {
  EXPECT_TRUE(DesData(1.0).EnablingFrom(DesData(0.0)));
  EXPECT_FALSE(DesData(0.0).EnablingFrom(DesData(-1.0)));
  EXPECT_FALSE(DesData(2.0).EnablingFrom(DesData(1.0)));
  EXPECT_TRUE(DesData(0.0).DisablingFrom(DesData(1.0)));
  EXPECT_TRUE(DesData(-3.0).DisablingFrom(DesData(0.5)));
  EXPECT_FALSE(DesData(-1.0).DisablingFrom(DesData(0.0)));
}

TEST_F(DataValueTest, ValueChangesLookAtEveryDouble) {
  DesData before = Real({1, 2, 3});
  DesData after = Real({1, 2, 4});
  EXPECT_TRUE(after.ValueChangeRaisingFrom(before));
  EXPECT_FALSE(after.ValueChangeFallingFrom(before));
  EXPECT_TRUE(before.ValueChangeFallingFrom(after));
  EXPECT_FALSE(before.ValueChangeRaisingFrom(before));

  const double re[] = {1, 1};
  const double imBefore[] = {0, 0};
  const double imAfter[] = {0, 5};
  DesData cBefore(Shape(2, {2}, 1), re, imBefore);
  DesData cAfter(Shape(2, {2}, 1), re, imAfter);
  EXPECT_TRUE(cAfter.ValueChangeRaisingFrom(cBefore)) << "imaginary parts count too";
}

TEST_F(DataValueTest, ChangeTestsNeedEqualShapes) {
  DesData scalar(5.0);
  DesData vector = Real({0});
  EXPECT_TRUE(scalar.ValueChangeRaisingFrom(vector)) << "[1] as a vector equals the scalar shape";
  DesData row(Shape(2, {1, 2}), -1.0);
  DesData column(Shape(2, {2, 1}), 1.0);
  EXPECT_FALSE(column.ValueChangeRaisingFrom(row));
  DesData complexZero(Shape(1, {1}, 1), 0.0);
  EXPECT_FALSE(scalar.ValueChangeRaisingFrom(complexZero));
  DesDataInfo otherType(1, 7, 0, 0, 1, std::array<int, 1>{1}.data());
  EXPECT_TRUE(scalar.ValueChangeRaisingFrom(DesData(otherType, 0.0)))
      << "the typeCode does not make shapes different";
}

// ---------------------------------------------------------------- host arrays

TEST_F(DataValueTest, RealScalarBecomesAHostScalar) {
  const std::size_t arrays = host::liveArrays();
  hvArray* a = DesData(4.5).GetDataValueAsHvArray();
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(hvGetNumberOfElements(a), 1u);
  EXPECT_FALSE(hvIsComplex(a));
  EXPECT_EQ(hvGetPr(a)[0], 4.5);
  hvDestroyArray(a);
  EXPECT_EQ(host::liveArrays(), arrays);
}

TEST_F(DataValueTest, ComplexScalarBecomesAOneByOneComplexMatrix) {
  const double re = 1.5, im = -2.5;
  hvArray* a = DesData(Shape(1, {1}, 1), &re, &im).GetDataValueAsHvArray();
  ASSERT_NE(a, nullptr);
  EXPECT_TRUE(hvIsComplex(a));
  EXPECT_EQ(hvGetM(a), 1u);
  EXPECT_EQ(hvGetN(a), 1u);
  EXPECT_EQ(hvGetPr(a)[0], 1.5);
  EXPECT_EQ(hvGetPi(a)[0], -2.5);
  hvDestroyArray(a);
}

TEST_F(DataValueTest, RealMatrixKeepsItsDimensionsAndNumbers) {
  const double v[] = {1, 2, 3, 4, 5, 6};
  hvArray* a = DesData(Shape(6, {2, 3}), v).GetDataValueAsHvArray();
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(hvGetClassID(a), hvDOUBLE_CLASS);
  EXPECT_FALSE(hvIsComplex(a));
  ASSERT_EQ(hvGetNumberOfDimensions(a), 2u);
  EXPECT_EQ(hvGetDimensions(a)[0], 2u);
  EXPECT_EQ(hvGetDimensions(a)[1], 3u);
  EXPECT_EQ(std::vector<double>(hvGetPr(a), hvGetPr(a) + 6), std::vector<double>(v, v + 6));
  hvDestroyArray(a);
}

TEST_F(DataValueTest, ComplexVectorIsSplitIntoRealAndImaginaryData) {
  const double re[] = {1, 2, 3};
  const double im[] = {4, 5, 6};
  hvArray* a = DesData(Shape(3, {1, 3}, 1), re, im).GetDataValueAsHvArray();
  ASSERT_NE(a, nullptr);
  EXPECT_TRUE(hvIsComplex(a));
  EXPECT_EQ(hvGetNumberOfElements(a), 3u);
  EXPECT_EQ(std::vector<double>(hvGetPr(a), hvGetPr(a) + 3), (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(std::vector<double>(hvGetPi(a), hvGetPi(a) + 3), (std::vector<double>{4, 5, 6}));
  hvDestroyArray(a);
}

TEST_F(DataValueTest, HostArrayCreationFailureIsTheMemoryError) {
  DesData scalar(1.0);
  DesData matrix(Shape(4, {2, 2}), 1.0);
  const std::size_t arrays = host::liveArrays();
  host::failArrayCreationsFrom(1);
  for (const DesData* d : {&scalar, &matrix}) {
    bool caught = false;
    try {
      hvDestroyArray(d->GetDataValueAsHvArray());
    } catch (ErrExcept* e) {
      caught = e->getErrCode() == DES_MemoryAllocErr;
      delete e;
    }
    EXPECT_TRUE(caught);
  }
  host::failArrayCreationsFrom(0);
  EXPECT_EQ(host::liveArrays(), arrays);
}
