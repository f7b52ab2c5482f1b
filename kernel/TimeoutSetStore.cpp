#include "kernel/TimeoutSetStore.h"

#include "kernel/TimeoutData.h"

bool TimeoutSetStore::EarliestFirst::operator()(const TimeoutData* a, const TimeoutData* b) const {
  return !(*a < *b);
}

void TimeoutSetStore::Remove(TimeoutData* td) {
  // Looked for by its key (deadline, priority, number, address), and only
  // that very timeout is taken. One whose values were changed while it was
  // stored may not be where its key says, or the key may lead to another:
  // it is then looked for by address, so that it never stays behind and no
  // other timeout goes in its place.
  auto found = timeouts.find(td);
  if (found != timeouts.end() && *found == td) {
    timeouts.erase(found);
    return;
  }
  for (auto it = timeouts.begin(); it != timeouts.end(); ++it) {
    if (*it == td) {
      timeouts.erase(it);
      return;
    }
  }
}
