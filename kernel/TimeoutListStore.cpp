#include "kernel/TimeoutListStore.h"

#include <algorithm>
#include <iterator>

#include "kernel/TimeoutData.h"

void TimeoutListStore::Insert(TimeoutData* td) {
  // upper_bound on list iterators is the bisection: it counts the range and
  // steps to each midpoint.
  auto before = std::upper_bound(timeouts.begin(), timeouts.end(), td,
                                 [](const TimeoutData* a, const TimeoutData* b) { return *a < *b; });
  timeouts.insert(before, td);
}

bool TimeoutListStore::IsConsistent() const {
  if (timeouts.empty()) return true;
  for (auto prev = timeouts.begin(), it = std::next(prev); it != timeouts.end(); prev = it++)
    if (*it != *prev && **it < **prev) return false;
  return true;
}
