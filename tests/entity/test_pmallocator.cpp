// The container allocator: host memory for every node, the library's memory
// error when the host refuses, and containers that stay intact when an
// insertion fails.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "entity/pmallocator.h"
#include "tests/entity/MemoryChecks.h"

using entity_test::HostMemoryMark;
using entity_test::Outcome;
using entity_test::RunCatching;
using entity_test::SweepAllocationFailures;

namespace {

class PmAllocatorTest : public ::testing::Test {
 protected:
  void TearDown() override {
    host::failAllocationsFrom(0);
    EXPECT_EQ(mark.Growth(), 0);
  }
  HostMemoryMark mark;
};

}  // namespace

TEST_F(PmAllocatorTest, ZeroRequestReturnsNullWithoutCallingTheHost) {
  pmallocator<double> alloc;
  const std::size_t calls = host::allocationCalls();
  EXPECT_EQ(alloc.allocate(0), nullptr);
  EXPECT_EQ(host::allocationCalls(), calls);
  alloc.deallocate(nullptr, 0);  // releasing the null result is harmless
}

TEST_F(PmAllocatorTest, RequestIsOneZeroFilledHostBlock) {
  pmallocator<std::uint64_t> alloc;
  const std::size_t calls = host::allocationCalls();
  std::uint64_t* p = alloc.allocate(40);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(host::allocationCalls(), calls + 1);
  EXPECT_EQ(mark.Growth(), 1);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(p[i], 0u);
  p[39] = 7;  // the whole block belongs to the caller
  alloc.deallocate(p, 40);
  EXPECT_EQ(mark.Growth(), 0);
}

TEST_F(PmAllocatorTest, RequestTooLargeForTheHostIsTheMemoryError) {
  pmallocator<std::uint64_t> alloc;
  EXPECT_EQ(RunCatching([&] { alloc.allocate(SIZE_MAX / 4); }), Outcome::MemoryError);
}

TEST_F(PmAllocatorTest, SetInsertionFailureLeavesTheSetIntact) {
  pmset<int> set;
  for (int i = 0; i < 10; ++i) set.insert(i * 2);
  host::failAllocationsFrom(1);
  EXPECT_EQ(RunCatching([&] { set.insert(5); }), Outcome::MemoryError);
  host::failAllocationsFrom(0);
  EXPECT_EQ(set.size(), 10u);
  EXPECT_EQ(set.count(5), 0u);
  int expected = 0;
  for (int v : set) {
    EXPECT_EQ(v, expected);
    expected += 2;
  }
  set.insert(5);
  EXPECT_EQ(set.size(), 11u);
}

TEST_F(PmAllocatorTest, EveryAllocationOfBuildingContainersMayFailWithoutLeaking) {
  // Each run builds the containers from nothing and throws them away; a
  // failing run must release everything the containers had already taken.
  std::size_t points = SweepAllocationFailures([] {
    pmset<int> set;
    pmmap<int, pmvector<int>> map;
    pmlist<int> list;
    for (int i = 0; i < 6; ++i) {
      set.insert(i);
      map[i].push_back(i);
      map[i].push_back(i + 1);
      list.push_back(i);
    }
  });
  // 6 set nodes, 6 map nodes, 12 vector growths (1, then 2 elements), 6 list nodes.
  EXPECT_EQ(points, 30u);
}

TEST_F(PmAllocatorTest, ContainerKeepsWorkingAcrossRepeatedFailures) {
  pmset<int> set;
  pmlist<int> list;
  for (int i = 0; i < 25; ++i) {
    SweepAllocationFailures([&] { set.insert(i); });
    SweepAllocationFailures([&] { list.push_back(i); });
  }
  EXPECT_EQ(set.size(), 25u);
  EXPECT_EQ(list.size(), 25u);
  EXPECT_EQ(*set.rbegin(), 24);
  EXPECT_EQ(list.back(), 24);
}
