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

TEST_F(HostMemory, BlocksAreZeroFilledAlignedAndEveryCallCounted) {
  const std::size_t calls = host::allocationCalls();
  const std::size_t live = host::liveAllocations();
  std::vector<void*> blocks;
  for (std::size_t size : {0u, 0u, 1u, 15u, 16u, 17u, 255u, 256u, 257u, 5000u, 70000u}) {
    void* p = hostCalloc(1, size);
    ASSERT_NE(p, nullptr) << size;  // even an empty request gives a live block
    EXPECT_TRUE(allZero(p, size)) << size;
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % 16, 0u) << size;
    blocks.push_back(p);
  }
  EXPECT_NE(blocks[0], blocks[1]);  // two empty blocks are distinct
  EXPECT_EQ(host::allocationCalls(), calls + 11);
  EXPECT_EQ(host::liveAllocations(), live + 11);
  for (void* p : blocks) hostFree(p);
  hostFree(nullptr);  // ignored
  // An overflowing request fails, and still counts as a call.
  EXPECT_EQ(hostCalloc(SIZE_MAX / 2, 4), nullptr);
  EXPECT_EQ(hostCalloc(SIZE_MAX, SIZE_MAX), nullptr);
  EXPECT_EQ(host::allocationCalls(), calls + 13);
  EXPECT_EQ(host::liveAllocations(), live);
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

TEST_F(HostMemory, SteadyStateReusesBlocksWithoutGrowth) {
  const std::size_t live = host::liveAllocations();
  for (int round = 0; round < 100; ++round) {
    std::vector<void*> blocks;
    for (std::size_t size = 1; size <= 256; size += 17) blocks.push_back(hostCalloc(1, size));
    for (void* p : blocks) hostFree(p);
    ASSERT_EQ(host::liveAllocations(), live);
  }
}

TEST_F(HostMemory, FailureInjectionFailsTheNthCallAndAllLater) {
  host::failAllocationsFrom(3);
  void* a = hostCalloc(1, 8);
  void* b = hostCalloc(1, 1000);
  EXPECT_NE(a, nullptr);
  EXPECT_NE(b, nullptr);
  const std::size_t live = host::liveAllocations();
  EXPECT_EQ(hostCalloc(1, 8), nullptr);     // the third
  EXPECT_EQ(hostCalloc(1, 1000), nullptr);  // and later ones
  EXPECT_EQ(host::liveAllocations(), live);
  // A released block refills no request while injection is on.
  hostFree(a);
  EXPECT_EQ(hostCalloc(1, 8), nullptr);
  host::failAllocationsFrom(0);
  void* c = hostCalloc(1, 8);
  EXPECT_NE(c, nullptr);
  hostFree(b);
  hostFree(c);
  // Reset ends injection too.
  host::failAllocationsFrom(1);
  EXPECT_EQ(hostCalloc(1, 1), nullptr);
  host::reset();
  void* p = hostCalloc(1, 1);
  EXPECT_NE(p, nullptr);
  hostFree(p);
}

TEST(HostMemoryDeath, DoubleReleaseStopsAtTheFault) {
  void* p = hostCalloc(1, 8);
  hostFree(p);
  EXPECT_DEATH(hostFree(p), "not a live host memory block");
}

#if defined(__SANITIZE_ADDRESS__)
// Blocks kept for reuse stay off limits until handed out again.
TEST(HostMemoryDeath, ReleasedSmallBlockIsPoisoned) {
  auto* p = static_cast<volatile char*>(hostCalloc(1, 8));
  hostFree(const_cast<char*>(p));
  EXPECT_DEATH((void)p[0], "use-after-poison");
}
#endif

}  // namespace
