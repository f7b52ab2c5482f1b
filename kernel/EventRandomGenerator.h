// The generator from which a randomising calendar draws among simultaneous
// events: a lagged subtract-with-borrow generator on 32 doubles (lags 20 and
// 5 behind the current index) whose output bits are scrambled with a 32-bit
// xorshift generator (shifts 13, 17, 5). The sequence is part of the
// library's behaviour (a seed reproduces a run), so it is computed exactly:
// no step may be reordered or "simplified".
#pragma once

#include <cstdint>

class EventRandomGenerator {
 public:
  // Draws are uniform on [minValue, maxValue). Unseeded it behaves as seed 0.
  explicit EventRandomGenerator(double minValue = 0.0, double maxValue = 1.0);

  void Seed(uint32_t seed);
  double Draw();

 private:
  static uint32_t Xorshift(uint32_t j) {
    j ^= j << 13;
    j ^= j >> 17;
    j ^= j << 5;
    return j;
  }

  double state[32];
  double borrow;
  int index;
  uint32_t scrambler;
  double minValue;
  double maxValue;
};
