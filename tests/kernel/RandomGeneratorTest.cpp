// The randomised handling's generator against a transcription of its definition, bit for bit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "kernel/EventRandomGenerator.h"

namespace {

uint32_t XorShift(uint32_t v) {
  v ^= v << 13;
  v ^= v >> 17;
  return v ^ (v << 5);
}

uint64_t Bits(double d) {
  uint64_t b;
  std::memcpy(&b, &d, 8);
  return b;
}

struct ReferenceSwb {
  double s[32];
  double c = 0.0;
  unsigned i = 0;
  uint32_t j;

  explicit ReferenceSwb(uint32_t seed) {
    uint32_t v = j = seed != 0 ? seed : 2147483648u;  // the lags draw from a copy
    for (double& k : s) {
      double x = 0.0;  // 53 bits fit a double exactly
      for (int n = 0; n < 53; ++n) x = 2.0 * x + static_cast<double>(((v = XorShift(v)) >> 19) & 1u);
      k = std::ldexp(x, -53);
    }
  }

  uint64_t next() {
    double x = s[(i + 20) % 32] - s[(i + 5) % 32] - c;
    c = x < 0.0 ? std::ldexp(1.0, -53) : 0.0;
    if (x < 0.0) x += 1.0;
    s[i] = x;
    i = (i + 1) % 32;
    const uint32_t lo = static_cast<uint32_t>(Bits(x)) ^ j;
    j = XorShift(j);
    return (static_cast<uint64_t>(static_cast<uint32_t>(Bits(x) >> 32) ^ (j & 0xFFFFFu)) << 32) | lo;
  }
};

}  // namespace

// Seed 0 stands for 2^31 in the reference, so it also checks that mapping.
TEST(EventRandomGenerator, MatchesTheDefinitionBitForBit) {
  for (uint32_t seed : {0u, 1u, 2147483647u, 4000000000u}) {
    ReferenceSwb reference(seed);
    EventRandomGenerator generator(0.0, 1.0);
    generator.Seed(seed);
    for (int n = 0; n < 5000; ++n) {
      ASSERT_EQ(Bits(generator.Draw()), reference.next()) << "seed " << seed << ", draw " << n;
    }
    generator.Seed(seed);  // reseeding restarts the sequence
    EXPECT_EQ(Bits(generator.Draw()), ReferenceSwb(seed).next());
  }
}
