// Shapes of data values: sizes, the texts that describe a shape in
// messages, equality, the vector matching rule, and copies of dimensions.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <initializer_list>
#include <string>

#include "entity/DesDataInfo.h"
#include "tests/entity/MemoryChecks.h"

using entity_test::Shape;

namespace {

class DataInfoTest : public entity_test::DataPoolsTest {};

}  // namespace

TEST_F(DataInfoTest, SizesAndTexts) {
  DesDataInfo scalar;
  EXPECT_EQ(scalar.GetSize(), 8u);
  EXPECT_EQ(scalar.GetDimStr(), "a scalar");
  EXPECT_EQ(scalar.GetCplxStr(), "a signal of numeric type real");
  EXPECT_EQ(scalar.GetFrmStr(), "a sample-based signal");
  EXPECT_EQ(DesDataInfo(5).GetSize(), 40u);
  EXPECT_EQ(DesDataInfo(-1).GetSize(), 0u);

  DesDataInfo c = Shape(3, {3}, 1);
  EXPECT_EQ(c.GetNumElem(), 6u) << "two doubles per complex element";
  EXPECT_EQ(c.GetSize(), 48u);
  EXPECT_EQ(c.GetCplxStr(), "a signal of numeric type complex");
  // An unknown width or complexity has no numbers; an unknown frameness does.
  EXPECT_EQ(Shape(-1, {2, 3}).GetSize(), 0u);
  EXPECT_EQ(Shape(4, {4}, -1).GetNumElem(), 0u);
  EXPECT_EQ(Shape(4, {4}, 0, -1).GetSize(), 32u);

  EXPECT_EQ(Shape(24, {2, 3, 4}).GetDimStr(), "a [2x3x4] matrix");
  EXPECT_EQ(Shape(1, {1, 1}).GetDimStr(), "a [1x1] matrix");
  EXPECT_EQ(Shape(7, {7}).GetDimStr(), "an one dimensional vector with 7 elements");
  EXPECT_EQ(Shape(2, {2}, 0, 1).GetFrmStr(), "a frame-based signal");
  EXPECT_EQ(Shape(2, {2}, 0, -1).GetFrmStr(), "a sample-based signal");
  EXPECT_EQ(Shape(2, {2}, -1).GetCplxStr(), "a signal of numeric type real");
}

TEST_F(DataInfoTest, VectorsAndTheMatchingRules) {
  EXPECT_TRUE(Shape(4, {1, 4, 1}).isVector());
  EXPECT_FALSE(Shape(4, {2, 2}).isVector());
  EXPECT_FALSE(Shape(1, {1, 1}).isVector());
  EXPECT_TRUE(Shape(3, {}).isVector()) << "no dimensions: a plain list of elements";

  // -1: not asked in that row.
  struct Row {
    DesDataInfo a, b;
    int dimsEqual, equal, brindle;
  };
  const Row rows[] = {
      {Shape(6, {2, 3}), Shape(6, {2, 3}, 1, 1), 1, -1, -1},
      {Shape(6, {2, 3}), Shape(6, {2, 3}), 1, 1, 1},
      {Shape(6, {2, 3}, 1, 1, 3), Shape(6, {2, 3}, 1, 1, 8), -1, 1, -1},  // typeCode ignored
      {Shape(6, {2, 3}, 1, 1), Shape(6, {2, 3}, 0, 1), -1, 0, -1},
      {Shape(6, {2, 3}, 1, 1), Shape(6, {2, 3}, 1, 0), -1, 0, -1},
      {Shape(6, {2, 3}), Shape(6, {3, 2}), 0, 0, 0},
      {Shape(6, {6}), Shape(6, {6, 1}), 0, -1, -1},
      {Shape(4, {4}), Shape(5, {5}), 0, -1, -1},
      {Shape(4, {4}), Shape(4, {1, 4}), -1, -1, 1},
      {Shape(4, {4}), Shape(4, {4, 1}), -1, -1, 1},
      {Shape(4, {1, 4}), Shape(4, {4}), -1, -1, 1},
      {Shape(4, {4, 1}), Shape(4, {4}), -1, -1, 1},
      {Shape(4, {1, 4, 1}), Shape(4, {4}), -1, -1, 1},
      {Shape(4, {4}), Shape(4, {2, 2}), -1, -1, 0},
      {Shape(4, {2, 2}), Shape(4, {4}), -1, -1, 0},
      {Shape(1, {1}), Shape(1, {1, 1}), -1, -1, 1},
      {Shape(1, {1, 1}), Shape(1, {1}), -1, -1, 1},
      {Shape(4, {4}), Shape(5, {1, 5}), -1, -1, 0},
      {Shape(3, {1, 3}), Shape(4, {4}), -1, -1, 0},
      // A row and a column match only through a one-dimensional vector.
      {Shape(4, {1, 4}), Shape(4, {4, 1}), -1, -1, 0},
      // Both widths inherited: whatever dimensions were claimed.
      {Shape(-1, {2, 3}), Shape(-1, {7}), 1, -1, -1},
      {Shape(-1, {1}), Shape(-1, {4, 4}), -1, 1, -1},
      {Shape(-1, {1}, 0), Shape(-1, {1}, 1), -1, 0, -1},
      {Shape(-1, {}), Shape(-1, {3}), -1, -1, 1},
      {Shape(-1, {}), Shape(4, {4}), -1, -1, 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.a.GetDimStr() + " vs " + r.b.GetDimStr());
    if (r.dimsEqual >= 0) {
      EXPECT_EQ(r.a.isDimsEqual(r.b), r.dimsEqual == 1);
    }
    if (r.equal >= 0) {
      EXPECT_EQ(r.a == r.b, r.equal == 1);
    }
    if (r.brindle >= 0) {
      EXPECT_EQ(r.a.isDimsEqualUsingBrindleRule(r.b), r.brindle == 1);
    }
  }
  EXPECT_TRUE(Shape(-1, {2}).isDimsEqual(DimsInfo_tag{-1, 3, nullptr, nullptr}));
  EXPECT_FALSE(Shape(6, {2, 3}).isDimsEqual(DimsInfo_tag{6, 2, nullptr, nullptr}))
      << "a record claiming dimensions without any cannot match real ones";
}

TEST_F(DataInfoTest, CopiesAssignmentAndSetDimsKeepTheirOwnDimensions) {
  RCPtr<DesDataInfo> shared(new DesDataInfo(6, 17, 1, 1, 2, std::array<int, 2>{2, 3}.data()));
  RCPtr<DesDataInfo> second(shared);
  DesDataInfo copy(*shared);
  EXPECT_EQ(copy.GetRefCount(), 0);
  EXPECT_TRUE(copy == *shared);

  RCPtr<DesDataInfo> target(new DesDataInfo(2));
  *target = *shared;
  EXPECT_EQ(target->GetRefCount(), 1) << "the count stays with its object";
  EXPECT_EQ(shared->GetRefCount(), 2);
  EXPECT_EQ(target->GetTypeCode(), 17);
  EXPECT_EQ(target->GetDim(1), 3);
  DesDataInfo& alias = *target;
  *target = alias;
  EXPECT_EQ(target->GetDim(1), 3) << "self-assignment must not lose the dimensions";

  DesDataInfo s = Shape(2, {2}, 1, 1, 5);
  int dims[] = {3, 2};
  s.SetDims(DimsInfo_tag{6, 2, dims, nullptr});
  dims[0] = 0;
  EXPECT_EQ(s.GetDimStr(), "a [3x2] matrix");
  EXPECT_EQ(s.GetTypeCode(), 5) << "only the dimensions are replaced";
  s.SetDims(s);
  EXPECT_EQ(s.GetDim(0), 3);
  s.Assign(-1, 3, 0, 0, 2, dims);
  EXPECT_EQ(s.GetDim(0), 0) << "no dimensions stored for an inherited width";

  // GetDims hands out a copy from the C allocator.
  DimsInfo_tag out{};
  out.reserved = &out;
  copy.GetDims(out);
  EXPECT_EQ(out.width, 6);
  ASSERT_NE(out.dims, nullptr);
  EXPECT_EQ(out.dims[1], 3);
  EXPECT_EQ(out.reserved, nullptr);
  std::free(out.dims);
  s.GetDims(out);
  EXPECT_EQ(out.dims, nullptr);
}

TEST_F(DataInfoTest, DimensionCountWithoutDimensionsIsAnInternalError) {
  EXPECT_EQ(entity_test::RunCatching([] { DesDataInfo s(4, 0, 0, 0, 2, nullptr); }),
            entity_test::Outcome::OtherError);
}
