// Shapes of data values: construction, sizes, comparisons, the vector
// matching rule and the texts that describe a shape in messages.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <initializer_list>
#include <string>

#include "entity/DesDataInfo.h"
#include "tests/entity/MemoryChecks.h"

namespace {

class DataInfoTest : public entity_test::DataPoolsTest {};

DesDataInfo Shape(int width, std::initializer_list<int> dims, int complexity = 0,
                  int frameness = 0, int typeCode = 0) {
  const int* d = dims.size() ? dims.begin() : nullptr;
  return DesDataInfo(width, typeCode, complexity, frameness, static_cast<int>(dims.size()), d);
}

}  // namespace

TEST_F(DataInfoTest, DefaultShapeIsARealSampleBasedScalar) {
  DesDataInfo s;
  EXPECT_EQ(s.GetWidth(), 1);
  EXPECT_EQ(s.GetTypeCode(), 0);
  EXPECT_EQ(s.GetCplx(), 0);
  EXPECT_EQ(s.GetFrm(), 0);
  EXPECT_EQ(s.GetNumDims(), 1);
  EXPECT_EQ(s.GetDim(0), 1);
  EXPECT_EQ(s.GetNumElem(), 1u);
  EXPECT_EQ(s.GetSize(), 8u);
  EXPECT_EQ(s.GetDimStr(), "a scalar");
  EXPECT_EQ(s.GetCplxStr(), "a signal of numeric type real");
  EXPECT_EQ(s.GetFrmStr(), "a sample-based signal");
  EXPECT_FALSE(s.isVector());
}

TEST_F(DataInfoTest, WidthConstructorMakesAOneDimensionalVector) {
  DesDataInfo v(5);
  EXPECT_EQ(v.GetNumDims(), 1);
  EXPECT_EQ(v.GetDim(0), 5);
  EXPECT_TRUE(v.isVector());
  EXPECT_EQ(v.GetSize(), 40u);

  DesDataInfo unknown(-1);
  EXPECT_EQ(unknown.GetNumDims(), 0);
  EXPECT_TRUE(unknown.isDimsInherited());
  EXPECT_EQ(unknown.GetSize(), 0u);
}

TEST_F(DataInfoTest, ComplexVectorHoldsTwoDoublesPerElement) {
  DesDataInfo c = Shape(3, {3}, 1);
  EXPECT_EQ(c.GetNumElem(), 6u);
  EXPECT_EQ(c.GetSize(), 48u);
  EXPECT_EQ(c.GetDimStr(), "an one dimensional vector with 3 elements");
  EXPECT_EQ(c.GetCplxStr(), "a signal of numeric type complex");
}

TEST_F(DataInfoTest, UnknownWidthOrComplexityHasNoNumbers) {
  EXPECT_EQ(Shape(-1, {2, 3}).GetSize(), 0u);
  EXPECT_EQ(Shape(0, {}).GetSize(), 0u);
  DesDataInfo cplxUnknown = Shape(4, {4}, -1);
  EXPECT_TRUE(cplxUnknown.isCplxInherited());
  EXPECT_EQ(cplxUnknown.GetNumElem(), 0u);
  DesDataInfo frmUnknown = Shape(4, {4}, 0, -1);
  EXPECT_TRUE(frmUnknown.isFrmInherited());
  EXPECT_EQ(frmUnknown.GetSize(), 32u);
}

TEST_F(DataInfoTest, DimensionsAreKeptOnlyForAKnownWidth) {
  DesDataInfo unknown = Shape(-1, {2, 3});
  EXPECT_EQ(unknown.GetNumDims(), 2);
  EXPECT_EQ(unknown.GetDim(0), 0) << "no dimensions stored for an inherited width";
  DimsInfo_tag out{7, 7, reinterpret_cast<int*>(&out), &out};
  unknown.GetDims(out);
  EXPECT_EQ(out.width, -1);
  EXPECT_EQ(out.numDims, 2);
  EXPECT_EQ(out.dims, nullptr);
  EXPECT_EQ(out.reserved, nullptr);
}

TEST_F(DataInfoTest, TextsDescribeMatrices) {
  EXPECT_EQ(Shape(6, {2, 3}).GetDimStr(), "a [2x3] matrix");
  EXPECT_EQ(Shape(24, {2, 3, 4}).GetDimStr(), "a [2x3x4] matrix");
  EXPECT_EQ(Shape(1, {1, 1}).GetDimStr(), "a [1x1] matrix");
  EXPECT_EQ(Shape(7, {7}).GetDimStr(), "an one dimensional vector with 7 elements");
  EXPECT_EQ(Shape(2, {2}, 0, 1).GetFrmStr(), "a frame-based signal");
  EXPECT_EQ(Shape(2, {2}, 0, -1).GetFrmStr(), "a sample-based signal");
  EXPECT_EQ(Shape(2, {2}, -1).GetCplxStr(), "a signal of numeric type real");
}

TEST_F(DataInfoTest, VectorTest) {
  EXPECT_TRUE(Shape(4, {1, 4}).isVector());
  EXPECT_TRUE(Shape(4, {4, 1}).isVector());
  EXPECT_TRUE(Shape(4, {1, 4, 1}).isVector());
  EXPECT_FALSE(Shape(4, {2, 2}).isVector());
  EXPECT_FALSE(Shape(1, {1, 1}).isVector());
  EXPECT_TRUE(Shape(3, {}).isVector()) << "no dimensions: a plain list of elements";
}

TEST_F(DataInfoTest, CopiesAndAssignmentCarryEverythingButTheCount) {
  RCPtr<DesDataInfo> shared(new DesDataInfo(6, 17, 1, 1, 2, std::array<int, 2>{2, 3}.data()));
  RCPtr<DesDataInfo> second(shared);
  DesDataInfo copy(*shared);
  EXPECT_EQ(copy.GetRefCount(), 0);
  EXPECT_EQ(copy.GetTypeCode(), 17);
  EXPECT_EQ(copy.GetDimStr(), "a [2x3] matrix");
  EXPECT_TRUE(copy == *shared);

  RCPtr<DesDataInfo> target(new DesDataInfo(2));
  *target = *shared;
  EXPECT_EQ(target->GetRefCount(), 1);
  EXPECT_EQ(shared->GetRefCount(), 2);
  EXPECT_EQ(target->GetTypeCode(), 17);
  EXPECT_EQ(target->GetCplx(), 1);
  EXPECT_EQ(target->GetFrm(), 1);
  EXPECT_EQ(target->GetDim(1), 3);

  DesDataInfo& alias = *target;
  *target = alias;
  EXPECT_EQ(target->GetDim(1), 3) << "self-assignment must not lose the dimensions";
}

TEST_F(DataInfoTest, AssignReplacesAllFiveIntegersAndTheDimensions) {
  DesDataInfo s = Shape(6, {2, 3}, 1, 1, 9);
  const int dims[] = {4, 1};
  s.Assign(4, 3, 0, 0, 2, dims);
  EXPECT_EQ(s.GetWidth(), 4);
  EXPECT_EQ(s.GetTypeCode(), 3);
  EXPECT_EQ(s.GetCplx(), 0);
  EXPECT_EQ(s.GetFrm(), 0);
  EXPECT_EQ(s.GetDimStr(), "a [4x1] matrix");
  s.Assign(-1, 3, 0, 0, 2, dims);
  EXPECT_EQ(s.GetDim(0), 0);
}

TEST_F(DataInfoTest, GetDimsHandsOutACopyFromTheCAllocator) {
  DesDataInfo s = Shape(6, {2, 3}, 1, 1);
  DimsInfo_tag out{};
  out.reserved = &out;
  s.GetDims(out);
  EXPECT_EQ(out.width, 6);
  EXPECT_EQ(out.numDims, 2);
  ASSERT_NE(out.dims, nullptr);
  EXPECT_EQ(out.dims[0], 2);
  EXPECT_EQ(out.dims[1], 3);
  EXPECT_EQ(out.reserved, nullptr);
  out.dims[0] = 99;  // the copy is the caller's
  EXPECT_EQ(s.GetDim(0), 2);
  std::free(out.dims);
}

TEST_F(DataInfoTest, SetDimsReplacesOnlyTheDimensions) {
  DesDataInfo s = Shape(2, {2}, 1, 1, 5);
  int dims[] = {3, 2};
  DimsInfo_tag in{6, 2, dims, nullptr};
  s.SetDims(in);
  dims[0] = 0;  // the shape keeps its own copy
  EXPECT_EQ(s.GetDimStr(), "a [3x2] matrix");
  EXPECT_EQ(s.GetCplx(), 1);
  EXPECT_EQ(s.GetFrm(), 1);
  EXPECT_EQ(s.GetTypeCode(), 5);
  EXPECT_TRUE(s.isDimsEqual(DimsInfo_tag{6, 2, std::array<int, 2>{3, 2}.data(), nullptr}));

  DesDataInfo other = Shape(4, {4});
  s.SetDims(other);
  EXPECT_EQ(s.GetDimStr(), "an one dimensional vector with 4 elements");
  EXPECT_EQ(s.GetCplx(), 1);
  s.SetDims(s);
  EXPECT_EQ(s.GetDim(0), 4);
}

TEST_F(DataInfoTest, DimensionEquality) {
  EXPECT_TRUE(Shape(6, {2, 3}).isDimsEqual(Shape(6, {2, 3}, 1, 1)));
  EXPECT_FALSE(Shape(6, {2, 3}).isDimsEqual(Shape(6, {3, 2})));
  EXPECT_FALSE(Shape(6, {6}).isDimsEqual(Shape(6, {6, 1})));
  EXPECT_FALSE(Shape(4, {4}).isDimsEqual(Shape(5, {5})));
  // Both inherited: whatever dimensions were claimed.
  EXPECT_TRUE(Shape(-1, {2, 3}).isDimsEqual(Shape(-1, {7})));
  EXPECT_TRUE(Shape(-1, {2}).isDimsEqual(DimsInfo_tag{-1, 3, nullptr, nullptr}));
  EXPECT_FALSE(Shape(6, {2, 3}).isDimsEqual(DimsInfo_tag{6, 2, nullptr, nullptr}))
      << "a record claiming dimensions without any cannot match real ones";
}

TEST_F(DataInfoTest, ShapeEqualityIgnoresTypeCode) {
  EXPECT_TRUE(Shape(6, {2, 3}, 1, 1, 3) == Shape(6, {2, 3}, 1, 1, 8));
  EXPECT_FALSE(Shape(6, {2, 3}, 1, 1) == Shape(6, {2, 3}, 0, 1));
  EXPECT_FALSE(Shape(6, {2, 3}, 1, 1) == Shape(6, {2, 3}, 1, 0));
  EXPECT_FALSE(Shape(6, {2, 3}) == Shape(6, {3, 2}));
  EXPECT_TRUE(Shape(-1, {1}) == Shape(-1, {4, 4}));
  EXPECT_FALSE(Shape(-1, {1}, 0) == Shape(-1, {1}, 1));
  DesDataInfo s = Shape(2, {2});
  EXPECT_TRUE(s == s);
}

TEST_F(DataInfoTest, BrindleRuleMatchesVectorsAgainstRowsAndColumns) {
  EXPECT_TRUE(Shape(4, {4}).isDimsEqualUsingBrindleRule(Shape(4, {1, 4})));
  EXPECT_TRUE(Shape(4, {4}).isDimsEqualUsingBrindleRule(Shape(4, {4, 1})));
  EXPECT_TRUE(Shape(4, {1, 4}).isDimsEqualUsingBrindleRule(Shape(4, {4})));
  EXPECT_TRUE(Shape(4, {4, 1}).isDimsEqualUsingBrindleRule(Shape(4, {4})));
  EXPECT_TRUE(Shape(4, {1, 4, 1}).isDimsEqualUsingBrindleRule(Shape(4, {4})));
  EXPECT_FALSE(Shape(4, {4}).isDimsEqualUsingBrindleRule(Shape(4, {2, 2})));
  EXPECT_FALSE(Shape(4, {2, 2}).isDimsEqualUsingBrindleRule(Shape(4, {4})));
  EXPECT_TRUE(Shape(1, {1}).isDimsEqualUsingBrindleRule(Shape(1, {1, 1})));
  EXPECT_TRUE(Shape(1, {1, 1}).isDimsEqualUsingBrindleRule(Shape(1, {1})));
}

TEST_F(DataInfoTest, BrindleRuleStillNeedsEqualWidths) {
  EXPECT_FALSE(Shape(4, {4}).isDimsEqualUsingBrindleRule(Shape(5, {1, 5})));
  EXPECT_FALSE(Shape(3, {1, 3}).isDimsEqualUsingBrindleRule(Shape(4, {4})));
  EXPECT_FALSE(Shape(6, {2, 3}).isDimsEqualUsingBrindleRule(Shape(6, {3, 2})));
  EXPECT_FALSE(Shape(4, {1, 4}).isDimsEqualUsingBrindleRule(Shape(4, {4, 1})))
      << "a row and a column match only through a one-dimensional vector";
  EXPECT_TRUE(Shape(6, {2, 3}).isDimsEqualUsingBrindleRule(Shape(6, {2, 3})));
  EXPECT_TRUE(Shape(-1, {}).isDimsEqualUsingBrindleRule(Shape(-1, {3})));
  EXPECT_FALSE(Shape(-1, {}).isDimsEqualUsingBrindleRule(Shape(4, {4})));
}

TEST_F(DataInfoTest, DimensionCountWithoutDimensionsIsAnInternalError) {
  std::string detail;
  EXPECT_EQ(entity_test::RunCatching([] { DesDataInfo s(4, 0, 0, 0, 2, nullptr); }, &detail),
            entity_test::Outcome::OtherError);
  EXPECT_FALSE(detail.empty());
}
