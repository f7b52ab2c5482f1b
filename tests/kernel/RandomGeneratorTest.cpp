// The generator of randomised calendars against an independent transcription
// of its definition: 32 lagged doubles seeded bit by bit from a 32-bit
// xorshift, subtract-with-borrow steps, output bits scrambled with the same
// xorshift. Values must agree bit for bit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "kernel/EventRandomGenerator.h"

namespace {

struct ReferenceSwb {
  double s[32];
  double c;
  unsigned i;
  uint32_t j;

  static uint32_t step(uint32_t v) {
    v = v ^ (v << 13);
    v = v ^ (v >> 17);
    v = v ^ (v << 5);
    return v;
  }

  explicit ReferenceSwb(uint32_t seed) {
    j = seed != 0 ? seed : 2147483648u;
    for (int k = 0; k < 32; ++k) {
      double x = 0.0;  // 53 bits fit a double exactly
      for (int n = 0; n < 53; ++n) {
        j = step(j);
        x = 2.0 * x + static_cast<double>((j >> 19) & 1u);
      }
      s[k] = std::ldexp(x, -53);
    }
    c = 0.0;
    i = 0;
    j = seed != 0 ? seed : 2147483648u;
  }

  double next() {
    double x = s[(i + 20) % 32] - s[(i + 5) % 32] - c;
    if (x < 0.0) {
      x = x + 1.0;
      c = std::ldexp(1.0, -53);
    } else {
      c = 0.0;
    }
    s[i] = x;
    i = (i + 1) % 32;
    uint32_t lo, hi;
    uint64_t pattern;
    std::memcpy(&pattern, &x, 8);
    lo = static_cast<uint32_t>(pattern);
    hi = static_cast<uint32_t>(pattern >> 32);
    lo ^= j;
    j = step(j);
    hi ^= (j & 0xFFFFFu);
    pattern = (static_cast<uint64_t>(hi) << 32) | lo;
    double out;
    std::memcpy(&out, &pattern, 8);
    return 0.0 + (1.0 - 0.0) * out;
  }
};

uint64_t Bits(double d) {
  uint64_t b;
  std::memcpy(&b, &d, 8);
  return b;
}

}  // namespace

// Seed 0 stands for 2^31 in the reference, so it also checks that mapping.
TEST(EventRandomGenerator, MatchesTheDefinitionBitForBit) {
  for (uint32_t seed : {0u, 1u, 2147483647u, 4000000000u}) {
    ReferenceSwb reference(seed);
    EventRandomGenerator generator(0.0, 1.0);
    generator.Seed(seed);
    for (int n = 0; n < 5000; ++n) {
      const double actual = generator.Draw();
      ASSERT_EQ(Bits(actual), Bits(reference.next())) << "seed " << seed << ", draw " << n;
      ASSERT_LT(actual, 1.0);
    }
  }
}

TEST(EventRandomGenerator, ReseedingRestartsTheSequenceAndTheRangeIsScaled) {
  EventRandomGenerator unit(0.0, 1.0), scaled(10.0, 14.0);
  unit.Seed(9);
  std::vector<double> first;
  for (int n = 0; n < 50; ++n) first.push_back(unit.Draw());
  unit.Seed(9);
  scaled.Seed(9);
  for (int n = 0; n < 50; ++n) {
    const double u = unit.Draw();
    EXPECT_EQ(Bits(u), Bits(first[static_cast<std::size_t>(n)]));
    EXPECT_DOUBLE_EQ(scaled.Draw(), 10.0 + 4.0 * u);
  }
}
