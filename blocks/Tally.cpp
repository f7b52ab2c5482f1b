#include "blocks/Tally.h"

#include <algorithm>
#include <cmath>

Tally::Tally(std::initializer_list<double> estimated) {
  values.reserve(kExactValues);
  for (double p : estimated)
    estimates.push_back(
        Estimate{p, Estimator(boost::accumulators::quantile_probability = p)});
}

void Tally::KeepAll(std::size_t n) {
  keepAll = true;
  values.reserve(std::max(n, kExactValues));
}

void Tally::Clear() {
  for (Estimate& e : estimates)
    e.estimator = Estimator(boost::accumulators::quantile_probability = e.probability);
  values.clear();
  ordered.clear();
  sorted = true;
  count = 0;
  sum = 0.0;
}

void Tally::Add(double value) {
  ++count;
  sum += value;
  if (keepAll || values.size() < kExactValues) {
    values.push_back(value);
    sorted = false;
  }
  if (!keepAll)
    for (Estimate& e : estimates) e.estimator(value);
}

double Tally::Quantile(double p) const {
  if (count == 0) return 0.0;
  if (values.size() < count && !estimates.empty()) {
    const Estimate* nearest = &estimates.front();
    for (const Estimate& e : estimates)
      if (std::fabs(e.probability - p) < std::fabs(nearest->probability - p)) nearest = &e;
    return boost::accumulators::p_square_quantile(nearest->estimator);
  }
  if (!sorted) {
    ordered = values;
    std::sort(ordered.begin(), ordered.end());
    sorted = true;
  }
  const double position = std::min(std::max(p, 0.0), 1.0) * static_cast<double>(ordered.size() - 1);
  const std::size_t below = static_cast<std::size_t>(std::floor(position));
  const std::size_t above = std::min(below + 1, ordered.size() - 1);
  const double fraction = position - static_cast<double>(below);
  return ordered[below] + fraction * (ordered[above] - ordered[below]);
}
