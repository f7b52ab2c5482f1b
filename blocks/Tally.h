// Observations of one quantity (a time in system, say): count, mean and,
// because every value is kept, exact quantiles. Reserve room up front where
// the run must not allocate while it collects.
#pragma once

#include <cstddef>
#include <vector>

class Tally {
 public:
  void Add(double value);
  void Reserve(std::size_t n) { values.reserve(n); }
  std::size_t Count() const { return values.size(); }
  double Mean() const { return values.empty() ? 0.0 : sum / static_cast<double>(values.size()); }
  // Quantile p in [0, 1], interpolated between order statistics; 0 when
  // there are no values.
  double Quantile(double p) const;

 private:
  std::vector<double> values;
  double sum = 0.0;
  mutable bool sorted = true;
  mutable std::vector<double> ordered;
};
