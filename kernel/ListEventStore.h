// Future store of storage type 1: a doubly linked list in reverse execution
// order (latest event first), so the earliest event is the last node.
// Insertion is linear, taking the earliest and cancelling are constant and
// linear. Nodes come from the host memory service.
#pragma once

#include <cstddef>

#include "entity/pmallocator.h"
#include "kernel/DesEvent.h"

class ListEventStore {
 public:
  ListEventStore() = default;
  ListEventStore(const ListEventStore&) = delete;
  ListEventStore& operator=(const ListEventStore&) = delete;

  // Placed after every event that executes after it.
  void Insert(DesEvent* e);
  DesEvent* Earliest() const { return events.empty() ? nullptr : events.back(); }
  // Time of the earliest event; the store must not be empty.
  double EarliestTime() const { return Earliest()->GetTime(); }
  void RemoveEarliest() { events.pop_back(); }
  // Removes every node holding e; false when there was none.
  bool Remove(DesEvent* e);
  bool Holds(const DesEvent* e) const;
  std::size_t Size() const { return events.size(); }
  bool Empty() const { return events.empty(); }
  bool IsConsistent() const;

 private:
  pmlist<DesEvent*> events;
};
