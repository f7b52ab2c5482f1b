// Observations of one quantity (a time in system, say): count, mean and
// quantiles, in constant memory. The first values are kept, so that small
// samples have exact quantiles; past them the quantiles the tally was made
// for are estimated as the values stream by (P-square). Keeping every value,
// for exact quantiles of any size, is asked for with KeepAll.
#pragma once

#include <boost/accumulators/accumulators.hpp>
#include <boost/accumulators/statistics/p_square_quantile.hpp>
#include <boost/accumulators/statistics/stats.hpp>
#include <cstddef>
#include <initializer_list>
#include <vector>

class Tally {
 public:
  // The quantiles estimated once the sample outgrows the values kept.
  explicit Tally(std::initializer_list<double> estimated = {0.5, 0.95});

  void Add(double value);
  // Keeps every value from now on (exact quantiles, memory growing with the
  // sample), with room for `n` reserved up front so that collecting them does
  // not allocate. Only before the first value.
  void KeepAll(std::size_t n);
  // Forgets every value (a warm-up ends); KeepAll stays as it was.
  void Clear();
  std::size_t Count() const { return count; }
  double Mean() const { return count == 0 ? 0.0 : sum / static_cast<double>(count); }
  // Quantile p in [0, 1]: exact (interpolated between order statistics)
  // while every value is kept, else the estimate of the nearest quantile
  // the tally was made for; 0 when there are no values.
  double Quantile(double p) const;

  // Values kept exactly before the estimates take over.
  static constexpr std::size_t kExactValues = 1000;

 private:
  using Estimator = boost::accumulators::accumulator_set<
      double, boost::accumulators::stats<boost::accumulators::tag::p_square_quantile>>;
  struct Estimate {
    double probability;
    Estimator estimator;
  };

  std::vector<Estimate> estimates;
  std::vector<double> values;  // the first kExactValues, or all with KeepAll
  bool keepAll = false;
  std::size_t count = 0;
  double sum = 0.0;
  mutable bool sorted = true;
  mutable std::vector<double> ordered;
};
