#include "blocks/Tally.h"

#include <algorithm>
#include <cmath>

void Tally::Add(double value) {
  values.push_back(value);
  sum += value;
  sorted = false;
}

double Tally::Quantile(double p) const {
  if (values.empty()) return 0.0;
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
