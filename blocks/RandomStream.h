// A seeded stream of random numbers (xoshiro256**) and the distributions
// the example blocks draw from. Each block owns one stream, seeded from the
// model seed, so a run is reproducible and blocks do not share draws.
#pragma once

#include <cstdint>

class RandomStream {
 public:
  explicit RandomStream(uint64_t seed = 0) { Seed(seed); }
  void Seed(uint64_t seed);
  uint64_t Next();
  // Uniform on (0, 1].
  double Uniform();

 private:
  uint64_t s[4];
};

// Constant, exponential (given its mean) or uniform on [low, high].
struct Distribution {
  enum Kind { Constant, Exponential, Uniform };

  static Distribution Fixed(double value) { return Distribution{Constant, value, value}; }
  static Distribution Exp(double mean) { return Distribution{Exponential, mean, mean}; }
  static Distribution Between(double low, double high) { return Distribution{Uniform, low, high}; }

  double Draw(RandomStream& random) const;
  double Mean() const { return kind == Uniform ? (a + b) / 2 : a; }

  Kind kind;
  double a;
  double b;
};
