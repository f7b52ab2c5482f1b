#include "kernel/TimeoutSetStore.h"

#include "kernel/TimeoutData.h"

bool TimeoutSetStore::EarliestFirst::operator()(const TimeoutData* a, const TimeoutData* b) const {
  return !(*a < *b);
}

void TimeoutSetStore::Remove(TimeoutData* td) {
  if (timeouts.erase(td) != 0) return;
  // Found by its key, which is its deadline, priority and number: a
  // timeout whose values were changed while stored is looked for by
  // address instead, so that it never stays behind.
  for (auto it = timeouts.begin(); it != timeouts.end(); ++it) {
    if (*it == td) {
      timeouts.erase(it);
      return;
    }
  }
}
