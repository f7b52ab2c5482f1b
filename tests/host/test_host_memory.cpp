#include <gtest/gtest.h>

#include <algorithm>
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
  return std::all_of(b, b + n, [](unsigned char c) { return c == 0; });
}

TEST_F(HostMemory, BlocksAreZeroFilledAlignedAndEveryCallCounted) {
  const std::size_t calls = host::allocationCalls(), live = host::liveAllocations();
  std::vector<void*> blocks;
  for (std::size_t size : {0u, 0u, 1u, 15u, 16u, 17u, 255u, 256u, 257u, 5000u, 70000u}) {
    void* p = hostCalloc(1, size);
    ASSERT_NE(p, nullptr) << size;  // even an empty request gives a live block
    EXPECT_TRUE(allZero(p, size) && reinterpret_cast<std::uintptr_t>(p) % 16 == 0) << size;
    blocks.push_back(p);
  }
  EXPECT_NE(blocks[0], blocks[1]);
  EXPECT_EQ(host::liveAllocations(), live + 11);
  for (void* p : blocks) hostFree(p);
  hostFree(nullptr);
  // An overflowing request fails, and still counts as a call.
  EXPECT_EQ(hostCalloc(SIZE_MAX / 2, 4), nullptr);
  EXPECT_EQ(hostCalloc(SIZE_MAX, SIZE_MAX), nullptr);
  EXPECT_EQ(host::allocationCalls(), calls + 13);
  EXPECT_EQ(host::liveAllocations(), live);
  // A block the free list hands back is zero-filled again.
  auto* p = static_cast<unsigned char*>(hostCalloc(3, 10));
  std::memset(p, 0xAB, 30);
  hostFree(p);
  EXPECT_EQ(hostCalloc(30, 1), p);
  EXPECT_TRUE(allZero(p, 32));
  hostFree(p);
}

TEST_F(HostMemory, FailureInjectionFailsTheNthCallAndAllLater) {
  host::failAllocationsFrom(3);
  void* a = hostCalloc(1, 8);
  void* b = hostCalloc(1, 1000);
  ASSERT_TRUE(a && b);
  const std::size_t live = host::liveAllocations();
  EXPECT_EQ(hostCalloc(1, 8), nullptr);
  EXPECT_EQ(hostCalloc(1, 1000), nullptr);
  hostFree(a);
  EXPECT_EQ(hostCalloc(1, 8), nullptr);  // a released block refills no request meanwhile
  EXPECT_EQ(host::liveAllocations(), live - 1);
  host::failAllocationsFrom(0);
  void* c = hostCalloc(1, 8);
  EXPECT_NE(c, nullptr);
  hostFree(b);
  hostFree(c);
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
