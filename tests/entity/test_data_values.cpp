// Data values: shapes (sizes, message texts, matching rules, copies), the
// block pools of the number stores, stores that never overrun their block,
// copy on write, the change tests, conversion to host arrays.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <set>
#include <string>
#include <vector>

#include "entity/DesData.h"
#include "tests/entity/MemoryChecks.h"

using namespace entity_test;

namespace {

class DataValueTest : public DataPoolsTest {};

RCPtr<DesDataInfo> SharedShape(int width, std::initializer_list<int> dims) {
  return RCPtr<DesDataInfo>(new DesDataInfo(Shape(width, dims)));
}

DesData Real(std::initializer_list<double> v) {
  const int width = static_cast<int>(v.size());
  return DesData(Shape(width, {width}), v.begin());
}

std::uintptr_t Address(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

}  // namespace

TEST_F(DataValueTest, ShapeSizesAndTexts) {
  const struct {
    DesDataInfo shape;
    std::size_t size;
    const char* text;  // the dimensions, complexity or frames text
  } rows[] = {
      {DesDataInfo(), 8, "a scalar"},
      {Shape(24, {2, 3, 4}), 192, "a [2x3x4] matrix"},
      {Shape(1, {1, 1}), 8, "a [1x1] matrix"},
      // An unknown width or complexity has no numbers; an unknown frameness does.
      {Shape(-1, {2, 3}), 0, "a signal of numeric type real"},
      {Shape(4, {4}, -1), 0, "a signal of numeric type real"},
      {Shape(4, {4}, 0, -1), 32, "a sample-based signal"},
      {Shape(3, {3}, 1), 48, "a signal of numeric type complex"},
      {Shape(2, {2}, 0, 1), 16, "a frame-based signal"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.text);
    EXPECT_EQ(r.shape.GetSize(), r.size);
    const std::set<std::string> texts = {r.shape.GetDimStr(), r.shape.GetCplxStr(),
                                          r.shape.GetFrmStr()};
    EXPECT_EQ(texts.count(r.text), 1u);
  }
}

TEST_F(DataValueTest, ShapeVectorsAndTheMatchingRules) {
  // No dimensions: a plain list of elements.
  EXPECT_EQ((std::vector<bool>{Shape(4, {1, 4, 1}).isVector(), Shape(4, {2, 2}).isVector(),
                               Shape(1, {1, 1}).isVector(), Shape(3, {}).isVector()}),
            (std::vector<bool>{true, false, false, true}));
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
      {Shape(4, {4}), Shape(5, {5}), 0, -1, -1},
      {Shape(4, {4}), Shape(4, {1, 4}), -1, -1, 1},
      {Shape(4, {1, 4}), Shape(4, {4}), -1, -1, 1},
      {Shape(4, {1, 4, 1}), Shape(4, {4}), -1, -1, 1},
      {Shape(4, {4}), Shape(4, {2, 2}), -1, -1, 0},
      {Shape(1, {1}), Shape(1, {1, 1}), -1, -1, 1},
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
    if (r.dimsEqual >= 0) { EXPECT_EQ(r.a.isDimsEqual(r.b), r.dimsEqual == 1); }
    if (r.equal >= 0) { EXPECT_EQ(r.a == r.b, r.equal == 1); }
    if (r.brindle >= 0) { EXPECT_EQ(r.a.isDimsEqualUsingBrindleRule(r.b), r.brindle == 1); }
  }
  EXPECT_TRUE(Shape(-1, {2}).isDimsEqual(DimsInfo_tag{-1, 3, nullptr, nullptr}));
  EXPECT_FALSE(Shape(6, {2, 3}).isDimsEqual(DimsInfo_tag{6, 2, nullptr, nullptr}));
}

TEST_F(DataValueTest, ShapeCopiesAssignmentAndSetDimsKeepTheirOwnDimensions) {
  RCPtr<DesDataInfo> shared(new DesDataInfo(6, 17, 1, 1, 2, std::array<int, 2>{2, 3}.data()));
  RCPtr<DesDataInfo> second(shared);
  DesDataInfo copy(*shared);
  EXPECT_EQ(copy.GetRefCount(), 0);
  EXPECT_TRUE(copy == *shared);
  RCPtr<DesDataInfo> target(new DesDataInfo(2));
  *target = *shared;
  DesDataInfo& alias = *target;
  *target = alias;  // must not lose the dimensions
  // The counts stay with their objects.
  EXPECT_EQ((std::vector<int>{target->GetRefCount(), shared->GetRefCount(),
                              target->GetTypeCode(), target->GetDim(1)}),
            (std::vector<int>{1, 2, 17, 3}));

  DesDataInfo s = Shape(2, {2}, 1, 1, 5);
  int dims[] = {3, 2};
  s.SetDims(DimsInfo_tag{6, 2, dims, nullptr});
  dims[0] = 0;
  s.SetDims(s);
  EXPECT_EQ(s.GetDimStr(), "a [3x2] matrix") << "SetDims copies the dimensions, even its own";
  EXPECT_EQ(s.GetTypeCode(), 5) << "only the dimensions are replaced";
  EXPECT_EQ(Catch([] { DesDataInfo bad(4, 0, 0, 0, 2, nullptr); }).code, DES_GenericInternalErr);
}


TEST_F(DataValueTest, OnePoolPerByteSizeWithChunksOfAbout64KiBUpTo64MiB) {
  DesDataPool* p24 = DesDataPool::GetInstance(24);
  DesDataPool* huge = DesDataPool::GetInstance(1 << 20);
  EXPECT_EQ(DesDataPool::GetInstance(24), p24);
  EXPECT_EQ(DesDataPool::mapMemPool.size(), 2u);
  // Never fewer than two blocks per chunk; a block holds at least the link.
  EXPECT_EQ((std::vector<std::size_t>{p24->GetCount(), p24->GetMaxCount(), huge->GetCount(),
                                      huge->GetMaxCount(),
                                      DesDataPool::GetInstance(4)->GetBlockSize()}),
            (std::vector<std::size_t>{65536 / 24, 67108864 / 24, 2, 64, 8}));
  for (int i = 0; i < 5000; ++i) p24->alloc();  // released with the pools after the test
}

TEST_F(DataValueTest, ValuePoolChunksGrowByTheFactorAndServeLastFreedFirst) {
  HostMemoryMark mark;
  {
    DesDataPool pool(16, 2, 8, 2.0);
    std::vector<void*> blocks;
    std::vector<std::size_t> counts;
    // Chunks of 4, 8, 8, 8 blocks, the first block of each its header.
    for (int i = 0; i < 24; ++i) {
      blocks.push_back(pool.alloc());
      counts.push_back(pool.GetCount());
    }
    EXPECT_EQ((std::vector<std::size_t>{counts[2], counts[3], counts[10]}),
              (std::vector<std::size_t>{4, 8, 8}));
    EXPECT_EQ(mark.Growth(), 4);
    EXPECT_EQ(std::set<void*>(blocks.begin(), blocks.end()).size(), blocks.size());
    EXPECT_EQ(Address(blocks[4]), Address(blocks[3]) + 16);
    pool.free(blocks[5]);
    pool.free(blocks[1]);
    pool.free(nullptr);  // ignored
    EXPECT_EQ((std::vector<void*>{pool.alloc(), pool.alloc()}),
              (std::vector<void*>{blocks[1], blocks[5]}));
  }
  EXPECT_EQ(mark.Growth(), 0) << "the destructor releases every chunk";
}

TEST_F(DataValueTest, RefusedValuePoolChunkIsTheMemoryErrorAndDoesNotCount) {
  DesDataPool pool(16, 2, 64, 2.0);
  std::vector<void*> blocks = {pool.alloc(), pool.alloc(), pool.alloc()};  // the chunk of 4
  host::failAllocationsFrom(1);
  const Thrown t = Catch([&] { pool.alloc(); });
  host::failAllocationsFrom(0);
  EXPECT_EQ(t.code, DES_MemoryAllocErr) << "a value pool reports exhaustion with this error";
  EXPECT_TRUE(t.args.empty());
  EXPECT_EQ(pool.GetCount(), 4u) << "a failed growth step must not count";
  blocks.push_back(pool.alloc());
  EXPECT_EQ(pool.GetCount(), 8u);
  for (void* b : blocks) pool.free(b);
}


TEST_F(DataValueTest, ConstructionFromShapesAndNumbers) {
  DesData zero;
  EXPECT_EQ(zero.GetDataInfo().GetDimStr() + " " + std::to_string(Numbers(zero).at(0)),
            "a scalar 0.000000");
  EXPECT_EQ(Numbers(DesData(Shape(3, {3}, 1), -1.5)), std::vector<double>(6, -1.5));
  const double re[] = {1, 2, 3}, im[] = {-1, -2, -3};
  EXPECT_EQ(Numbers(DesData(Shape(3, {3}, 1), re, im)), (std::vector<double>{1, -1, 2, -2, 3, -3}));
  EXPECT_EQ(Numbers(DesData(Shape(2, {2}), re, im)), (std::vector<double>{1, 2}));
  RCPtr<DesDataInfo> shared = SharedShape(2, {2});
  DesData a(shared, 1.0), b(shared, std::vector<double>{1, 2});
  EXPECT_EQ(b.GetInfoPtr().get(), shared.get());
  EXPECT_EQ(shared->GetRefCount(), 3);

  DesData inherited(Shape(-1, {}), 3.0);
  EXPECT_TRUE(inherited.GetSize() == 0 && inherited.GetPool() == nullptr);
  EXPECT_EQ(inherited.GetDataValueAsHvArray(), nullptr);
  inherited.SetData(nullptr);  // nothing to write
  EXPECT_FALSE(inherited.TriggerRaisingFrom(DesData(inherited))) << "no numbers, no edge";

  EXPECT_EQ(Catch([] { DesData d(RCPtr<DesDataInfo>(), 1.0); }).code, DES_GenericInternalErr);
  EXPECT_EQ(Catch([] { DesDataValue v(64, DesDataPool::GetInstance(16)); }).code,
            DES_GenericInternalErr) << "a pool with blocks too small is refused";
}

TEST_F(DataValueTest, VectorLongerThanTheBlockIsCutToTheBlock) {
  // Neighbouring 16-byte blocks: the second survives a longer vector built into the first.
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
  EXPECT_EQ(std::vector<double>(guardBlock, guardBlock + 2), (std::vector<double>{42, 43}));
  pool.free(guardBlock);

  EXPECT_EQ(Numbers(DesData(SharedShape(2, {2}), std::vector<double>{9, 8, 7, 6, 5})),
            (std::vector<double>{9, 8}));
  { DesData old(Shape(3, {3}), 7.0); }  // its block is recycled next
  EXPECT_EQ(Numbers(DesData(SharedShape(3, {3}), std::vector<double>{1})),
            (std::vector<double>{1, 0, 0}));
}

TEST_F(DataValueTest, StoreCopiesAndAssignmentsNeverReadBeyondTheSmallerStore) {
  const double src[] = {1, 2, 3};
  DesDataValue a(24, src, DesDataPool::GetInstance(24));
  DesDataValue b(a);
  EXPECT_NE(b.GetDataPtr(), a.GetDataPtr());
  EXPECT_EQ(b.GetRefCount(), 0);
  DesDataValue& alias = b;
  b = alias;
  double out[4];
  b.GetData(out);
  EXPECT_EQ(out[2], 3.0);

  const double big[] = {1, 2, 3, 4}, small[] = {7, 8};
  DesDataValue large(32, big, DesDataPool::GetInstance(32));
  DesDataValue little(16, small, DesDataPool::GetInstance(16));
  large = little;  // only the 16 bytes little has
  large.GetData(out);
  EXPECT_EQ(std::vector<double>(out, out + 4), (std::vector<double>{7, 8, 3, 4}));
  little = large;  // only the 16 bytes little holds
  little.GetData(out);
  EXPECT_EQ(out[1], 8);
}

TEST_F(DataValueTest, CopyOnWriteNeverWritesThroughASharedStore) {
  DesData a = Real({1, 2, 3});
  DesData b(a), c;
  c = a;
  const DesDataValue* shared = a.GetValuePtr().get();
  EXPECT_EQ(static_cast<const DesData&>(b)[1], 2);
  EXPECT_TRUE(c.GetValuePtr().get() == shared && b.GetValuePtr().get() == shared);
  EXPECT_EQ(shared->GetRefCount(), 3);

  b[0] = 10;
  EXPECT_EQ(Numbers(b), (std::vector<double>{10, 2, 3}));
  EXPECT_EQ(Numbers(a), (std::vector<double>{1, 2, 3}));
  const double src[] = {4, 5, 6};
  c.SetData(src);
  EXPECT_EQ(Numbers(a), (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(Numbers(c), (std::vector<double>{4, 5, 6}));
  EXPECT_EQ(shared->GetRefCount(), 1);

  a[1] = 5;  // the only holder writes in place
  a.SetData(src);
  EXPECT_EQ(a.GetValuePtr().get(), shared);
  RCPtr<DesDataValue> outside = a.GetValuePtr();  // a store shared through a handle
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
  // Rows: before, after, then raising, falling, enabling, disabling.
  const std::vector<std::vector<double>> rows = {
      {-1, 0, 1, 0, 0, 0},  {0, 1, 1, 0, 1, 0},  {-1, 1, 1, 0, 1, 0},   {0, 0, 0, 0, 0, 0},
      {1, 2, 0, 0, 0, 0},   {1, -1, 0, 1, 0, 1}, {1, 0, 0, 1, 0, 1},    {0, -1, 0, 1, 0, 0},
      {-1, -2, 0, 0, 0, 0}, {0.5, -3, 0, 1, 0, 1},
  };
  for (const auto& r : rows) {
    const DesData before(r[0]), after(r[1]);
    const double up = after.TriggerRaisingFrom(before), down = after.TriggerFallingFrom(before);
    EXPECT_EQ((std::vector<double>{r[0], r[1], up, down, 1.0 * after.EnablingFrom(before),
                                   1.0 * after.DisablingFrom(before)}), r);
  }
  EXPECT_TRUE(Real({1, 2, 4}).ValueChangeRaisingFrom(Real({1, 2, 3})));
  EXPECT_FALSE(Real({1, 2, 4}).ValueChangeFallingFrom(Real({1, 2, 3})));
  const double re[] = {1, 1}, imBefore[] = {0, 0}, imAfter[] = {0, 5};
  EXPECT_TRUE(DesData(Shape(2, {2}, 1), re, imAfter)
                  .ValueChangeRaisingFrom(DesData(Shape(2, {2}, 1), re, imBefore)));
  // Only equal shapes compare; [1] equals the scalar shape; typeCode plays no part.
  DesData scalar(5.0);
  EXPECT_TRUE(scalar.ValueChangeRaisingFrom(Real({0})));
  EXPECT_FALSE(
      DesData(Shape(2, {2, 1}), 1.0).ValueChangeRaisingFrom(DesData(Shape(2, {1, 2}), -1.0)));
  EXPECT_FALSE(scalar.ValueChangeRaisingFrom(DesData(Shape(1, {1}, 1), 0.0)));
  EXPECT_TRUE(scalar.ValueChangeRaisingFrom(DesData(Shape(1, {1}, 0, 0, 7), 0.0)));
}

TEST_F(DataValueTest, HostArraysKeepDimensionsAndSplitComplexParts) {
  const std::size_t arrays = host::liveArrays();
  // The dimensions, then the real parts, then the imaginary parts if any.
  auto convert = [](const DesData& d) {
    hvArray* a = d.GetDataValueAsHvArray();
    EXPECT_EQ(hvGetClassID(a), hvDOUBLE_CLASS);
    const uint64_t* dims = hvGetDimensions(a);
    std::vector<std::vector<double>> parts = {
        std::vector<double>(dims, dims + hvGetNumberOfDimensions(a)),
        std::vector<double>(hvGetPr(a), hvGetPr(a) + hvGetNumberOfElements(a))};
    if (hvIsComplex(a)) parts.emplace_back(hvGetPi(a), hvGetPi(a) + hvGetNumberOfElements(a));
    hvDestroyArray(a);
    return parts;
  };
  using Parts = std::vector<std::vector<double>>;
  EXPECT_EQ(convert(DesData(4.5)), (Parts{{1, 1}, {4.5}}));
  const double c[] = {1.5}, ci[] = {-2.5};
  EXPECT_EQ(convert(DesData(Shape(1, {1}, 1), c, ci)), (Parts{{1, 1}, {1.5}, {-2.5}}));
  const double v[] = {1, 2, 3, 4, 5, 6};
  EXPECT_EQ(convert(DesData(Shape(6, {2, 3}), v)), (Parts{{2, 3}, {1, 2, 3, 4, 5, 6}}));
  const double re[] = {1, 2, 3}, im[] = {4, 5, 6};
  EXPECT_EQ(convert(DesData(Shape(3, {1, 3}, 1), re, im)), (Parts{{1, 3}, {1, 2, 3}, {4, 5, 6}}));
  EXPECT_EQ(host::liveArrays(), arrays);

  // A host that cannot make the array: the memory error, nothing kept.
  DesData scalar(1.0), matrix(Shape(4, {2, 2}), 1.0);
  host::failArrayCreationsFrom(1);
  for (const DesData* d : {&scalar, &matrix})
    EXPECT_TRUE(Catch([&] { hvDestroyArray(d->GetDataValueAsHvArray()); }).Memory());
  host::failArrayCreationsFrom(0);
  EXPECT_EQ(host::liveArrays(), arrays);
}
