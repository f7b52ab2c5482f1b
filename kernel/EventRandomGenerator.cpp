#include "kernel/EventRandomGenerator.h"

#include <cstring>

namespace {

const double kTwoToMinus53 = 1.0 / 9007199254740992.0;  // 2^-53
const uint32_t kZeroSeedState = 0x80000000u;            // seed 0 starts from 2^31

}  // namespace

EventRandomGenerator::EventRandomGenerator(double minV, double maxV)
    : borrow(0.0), index(0), scrambler(0), minValue(minV), maxValue(maxV) {
  Seed(0);
}

void EventRandomGenerator::Seed(uint32_t seed) {
  const uint32_t start = seed == 0 ? kZeroSeedState : seed;
  uint32_t j = start;
  for (int k = 0; k < 32; ++k) {
    // 53 bits, one per xorshift step (bit 19), make a double in [0, 1).
    uint64_t x = 0;
    for (int b = 0; b < 53; ++b) {
      j = Xorshift(j);
      x = 2 * x + ((j >> 19) & 1u);
    }
    state[k] = static_cast<double>(x) * kTwoToMinus53;
  }
  borrow = 0.0;
  index = 0;
  scrambler = start;
}

double EventRandomGenerator::Draw() {
  double x = state[(index + 20) & 31] - state[(index + 5) & 31] - borrow;
  if (x < 0.0) {
    x += 1.0;
    borrow = kTwoToMinus53;
  } else {
    borrow = 0.0;
  }
  state[index] = x;
  index = (index + 1) & 31;

  uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  bits ^= scrambler;  // low 32 bits
  scrambler = Xorshift(scrambler);
  bits ^= static_cast<uint64_t>(scrambler & 0xFFFFFu) << 32;  // high word, mantissa bits only
  double out;
  std::memcpy(&out, &bits, sizeof out);
  return minValue + (maxValue - minValue) * out;
}
