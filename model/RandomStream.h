// A seeded stream of random numbers (xoshiro256**). Each block owns one,
// seeded from the model seed, so a run is reproducible and blocks do not
// share draws. It is a uniform random bit generator, so Boost's
// distributions draw from it.
#pragma once

#include <cstdint>
#include <limits>

class RandomStream {
 public:
  using result_type = uint64_t;

  explicit RandomStream(uint64_t seed = 0) { Seed(seed); }
  void Seed(uint64_t seed);
  uint64_t Next();
  // Uniform on (0, 1]: never 0, so its logarithm is finite.
  double Uniform();

  static constexpr result_type min() { return 0; }
  static constexpr result_type max() { return std::numeric_limits<result_type>::max(); }
  result_type operator()() { return Next(); }

 private:
  uint64_t s[4];
};
