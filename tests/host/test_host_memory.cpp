#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "host/HostControl.h"

namespace {

class HostMemory : public ::testing::Test {
 protected:
  void SetUp() override { host::reset(); }
  void TearDown() override { host::reset(); }
};

bool allZero(const void* p, std::size_t n) {
  const auto* b = static_cast<const unsigned char*>(p);
  for (std::size_t i = 0; i < n; ++i)
    if (b[i]) return false;
  return true;
}

TEST_F(HostMemory, BlocksAreZeroFilledAndAlignedInEverySizeClass) {
  for (std::size_t size : {1u, 15u, 16u, 17u, 100u, 255u, 256u, 257u, 5000u}) {
    void* p = hostCalloc(1, size);
    ASSERT_NE(p, nullptr) << size;
    EXPECT_TRUE(allZero(p, size)) << size;
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % 16, 0u) << size;
    hostFree(p);
  }
}

TEST_F(HostMemory, ReusedSmallBlocksAreZeroFilledAgain) {
  auto* p = static_cast<unsigned char*>(hostCalloc(3, 10));
  std::memset(p, 0xAB, 30);
  hostFree(p);
  auto* q = static_cast<unsigned char*>(hostCalloc(30, 1));
  EXPECT_EQ(q, p);  // same size class: the free list gives it back
  EXPECT_TRUE(allZero(q, 32));
  hostFree(q);
}

TEST_F(HostMemory, CountsCallsAndLiveBlocks) {
  std::size_t calls = host::allocationCalls();
  std::size_t live = host::liveAllocations();
  std::vector<void*> blocks;
  for (std::size_t size : {8u, 64u, 300u, 70000u}) blocks.push_back(hostCalloc(size, 1));
  EXPECT_EQ(host::allocationCalls(), calls + 4);
  EXPECT_EQ(host::liveAllocations(), live + 4);
  for (void* p : blocks) hostFree(p);
  EXPECT_EQ(host::liveAllocations(), live);
  hostFree(nullptr);  // ignored
  EXPECT_EQ(host::liveAllocations(), live);
}

TEST_F(HostMemory, EmptyRequestGivesAUniqueLiveBlock) {
  std::size_t live = host::liveAllocations();
  void* a = hostCalloc(0, 8);
  void* b = hostCalloc(8, 0);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  EXPECT_EQ(host::liveAllocations(), live + 2);
  hostFree(a);
  hostFree(b);
  EXPECT_EQ(host::liveAllocations(), live);
}

TEST_F(HostMemory, OverflowingRequestFailsAndStillCounts) {
  std::size_t calls = host::allocationCalls();
  std::size_t live = host::liveAllocations();
  EXPECT_EQ(hostCalloc(SIZE_MAX / 2, 4), nullptr);
  EXPECT_EQ(hostCalloc(SIZE_MAX, SIZE_MAX), nullptr);
  EXPECT_EQ(host::allocationCalls(), calls + 2);
  EXPECT_EQ(host::liveAllocations(), live);
}

TEST_F(HostMemory, FailureInjectionFailsTheNthCallAndAllLater) {
  host::failAllocationsFrom(3);
  void* a = hostCalloc(1, 8);
  void* b = hostCalloc(1, 1000);
  EXPECT_NE(a, nullptr);
  EXPECT_NE(b, nullptr);
  std::size_t live = host::liveAllocations();
  EXPECT_EQ(hostCalloc(1, 8), nullptr);     // the third
  EXPECT_EQ(hostCalloc(1, 1000), nullptr);  // and later ones
  EXPECT_EQ(hostCalloc(1, 8), nullptr);
  EXPECT_EQ(host::liveAllocations(), live);
  // Releasing still works and refills no request while injection is on.
  hostFree(a);
  EXPECT_EQ(hostCalloc(1, 8), nullptr);
  host::failAllocationsFrom(0);
  void* c = hostCalloc(1, 8);
  EXPECT_NE(c, nullptr);
  hostFree(b);
  hostFree(c);
}

TEST_F(HostMemory, FailureInjectionOfTheNextCall) {
  host::failAllocationsFrom(1);
  EXPECT_EQ(hostCalloc(1, 1), nullptr);
  host::reset();
  void* p = hostCalloc(1, 1);
  EXPECT_NE(p, nullptr);
  hostFree(p);
}

TEST_F(HostMemory, SteadyStateReusesBlocksWithoutGrowth) {
  // Warm up one block per size, then keep allocating and releasing: the live
  // count must come back to its start every round.
  std::size_t live = host::liveAllocations();
  for (int round = 0; round < 100; ++round) {
    std::vector<void*> blocks;
    for (std::size_t size = 1; size <= 256; size += 17) blocks.push_back(hostCalloc(1, size));
    for (void* p : blocks) hostFree(p);
    ASSERT_EQ(host::liveAllocations(), live);
  }
}

TEST_F(HostMemory, StrcpyCopiesWithTerminator) {
  char* buffer = static_cast<char*>(hostCalloc(6, 1));
  EXPECT_EQ(hostStrcpy(buffer, "hello"), buffer);
  EXPECT_STREQ(buffer, "hello");
  hostFree(buffer);
}

TEST(HostMemoryDeath, DoubleReleaseStopsAtTheFault) {
  void* p = hostCalloc(1, 8);
  hostFree(p);
  EXPECT_DEATH(hostFree(p), "not a live host memory block");
}

}  // namespace

#if defined(__SANITIZE_ADDRESS__)
namespace {
// Blocks kept for reuse stay off limits until handed out again.
TEST(HostMemoryDeath, ReleasedSmallBlockIsPoisoned) {
  auto* p = static_cast<volatile char*>(hostCalloc(1, 8));
  hostFree(const_cast<char*>(p));
  EXPECT_DEATH((void)p[0], "use-after-poison");
}
}  // namespace
#endif
