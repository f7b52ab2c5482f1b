// Timeout storage 0, the one engines use: a binary heap (a complete tree in
// a vector) of timeout pointers whose top is the earliest timeout.
//
// Each timeout records its place in the heap, so removing one is a sift
// from that place: O(log n), and no memory is asked for (cleanup after a
// memory error relies on that). The order is total (deadline, priority,
// instance count, address), so the earliest timeout, and with it the
// firing order, does not depend on the heap's shape.
//
// A timeout added again while it is in the heap is held once, with a count
// of the extra additions: Size counts every addition, RemoveTop takes one,
// and Remove takes them all, as for a heap holding each copy.
#pragma once

#include <cstddef>

#include "entity/pmallocator.h"

class TimeoutData;

class TimeoutHeapStore {
 public:
  TimeoutHeapStore() = default;
  TimeoutHeapStore(const TimeoutHeapStore&) = delete;
  TimeoutHeapStore& operator=(const TimeoutHeapStore&) = delete;
  // The timeouts left in the heap forget it.
  ~TimeoutHeapStore();

  // Appends and sifts up. The memory error leaves the heap as it was.
  void Insert(TimeoutData* td);
  // Takes out every addition of `td`; a timeout that is not in this heap is
  // left alone. Never allocates and never throws.
  void Remove(TimeoutData* td) noexcept;
  TimeoutData* Top() const { return heap.empty() ? nullptr : heap.front(); }
  void RemoveTop() noexcept;
  bool Empty() const { return heap.empty(); }
  std::size_t Size() const { return heap.size() + extraCopies; }
  // True when every element fires no earlier than its parent and knows its
  // place.
  bool IsConsistent() const;

 private:
  bool Holds(const TimeoutData* td) const;
  void Place(TimeoutData* td, std::size_t i);
  void SiftUp(TimeoutData* td, std::size_t i);
  void SiftDown(TimeoutData* td, std::size_t i);
  void RemoveAt(std::size_t i) noexcept;

  pmvector<TimeoutData*> heap;
  std::size_t extraCopies = 0;
};
