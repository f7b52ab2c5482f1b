#include "kernel/SetEventStore.h"

bool SetEventStore::Remove(DesEvent* e) {
  bool removed = false;
  auto range = events.equal_range(e);
  for (auto it = range.first; it != range.second;) {
    if (*it == e) {
      it = events.erase(it);
      removed = true;
    } else {
      ++it;
    }
  }
  return removed;
}

bool SetEventStore::Holds(const DesEvent* e) const {
  auto range = events.equal_range(const_cast<DesEvent*>(e));
  for (auto it = range.first; it != range.second; ++it)
    if (*it == e) return true;
  return false;
}
