// Future store of storage type 2: an ordered multiset in execution order,
// one tree node per event from the host memory service; everything is
// O(log n).
#pragma once

#include <cstddef>
#include <set>

#include "entity/pmallocator.h"
#include "kernel/DesEvent.h"

class SetEventStore {
 public:
  SetEventStore() = default;
  SetEventStore(const SetEventStore&) = delete;
  SetEventStore& operator=(const SetEventStore&) = delete;

  void Insert(DesEvent* e) { events.insert(e); }
  DesEvent* Earliest() const { return events.empty() ? nullptr : *events.begin(); }
  // Time of the earliest event; the store must not be empty.
  double EarliestTime() const { return Earliest()->GetTime(); }
  void RemoveEarliest() { events.erase(events.begin()); }
  // Removes e itself (not other events that compare equal to it, which only
  // DesEvent::operator= can produce); false when it was not there.
  bool Remove(DesEvent* e);
  bool Holds(const DesEvent* e) const;
  std::size_t Size() const { return events.size(); }
  bool Empty() const { return events.empty(); }
  bool IsConsistent() const { return true; }

 private:
  std::multiset<DesEvent*, EventPrecedes, pmallocator<DesEvent*>> events;
};
