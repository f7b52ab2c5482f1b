#include "kernel/ListEventStore.h"

#include <algorithm>
#include <iterator>

void ListEventStore::Insert(DesEvent* e) {
  // Binary search over list positions for the first node that executes
  // before e: the nodes that do form a suffix of the list.
  auto first = events.begin();
  std::size_t remaining = events.size();
  const EventPrecedes precedes;
  while (remaining > 0) {
    const std::size_t half = remaining / 2;
    auto middle = std::next(first, static_cast<long>(half));
    if (precedes(*middle, e)) {
      remaining = half;
    } else {
      first = std::next(middle);
      remaining -= half + 1;
    }
  }
  events.insert(first, e);
}

bool ListEventStore::Remove(DesEvent* e) {
  const std::size_t before = events.size();
  events.remove(e);
  return events.size() != before;
}

bool ListEventStore::Holds(const DesEvent* e) const {
  return std::find(events.begin(), events.end(), e) != events.end();
}

bool ListEventStore::IsConsistent() const {
  const EventPrecedes precedes;
  auto it = events.begin();
  if (it == events.end()) return true;
  for (auto next = std::next(it); next != events.end(); ++it, ++next)
    if (precedes(*it, *next)) return false;
  return true;
}
