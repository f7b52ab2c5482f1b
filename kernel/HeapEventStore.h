// Future store of storage type 0: a binary heap on a growable array of
// event pointers, kept with the standard heap algorithms. Events carry no
// position, so cancelling one rebuilds the heap (n log n).
#pragma once

#include <cstddef>

#include "entity/pmallocator.h"
#include "kernel/DesEvent.h"

class HeapEventStore {
 public:
  HeapEventStore() = default;
  HeapEventStore(const HeapEventStore&) = delete;
  HeapEventStore& operator=(const HeapEventStore&) = delete;

  void Insert(DesEvent* e);
  DesEvent* Earliest() const { return heap.empty() ? nullptr : heap.front(); }
  // Time of the earliest event; the store must not be empty.
  double EarliestTime() const { return Earliest()->GetTime(); }
  void RemoveEarliest();
  // Rebuilds the heap without every copy of e; false when there was none.
  bool Remove(DesEvent* e);
  bool Holds(const DesEvent* e) const;
  std::size_t Size() const { return heap.size(); }
  bool Empty() const { return heap.empty(); }
  std::size_t Capacity() const { return heap.capacity(); }
  bool IsConsistent() const;

 private:
  // "Less" of the max-heap whose top is the earliest event.
  struct ExecutesLater {
    bool operator()(const DesEvent* a, const DesEvent* b) const { return EventPrecedes()(b, a); }
  };

  pmvector<DesEvent*> heap;
};
