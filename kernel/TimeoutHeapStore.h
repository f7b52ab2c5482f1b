// Timeout storage 0, the one engines use: a binary heap (a complete tree in
// a vector) of timeout pointers whose top is the earliest timeout.
//
// A timeout carries no position, so removing one rebuilds the heap: every
// element is popped in heap order and all but the removed timeout are
// pushed onto a new heap, which then replaces the old one. That costs
// n log n per removal, whether or not the timeout was there; every copy of
// a timeout added twice goes at once.
#pragma once

#include <cstddef>

#include "entity/pmallocator.h"

class TimeoutData;

class TimeoutHeapStore {
 public:
  TimeoutHeapStore() = default;
  TimeoutHeapStore(const TimeoutHeapStore&) = delete;
  TimeoutHeapStore& operator=(const TimeoutHeapStore&) = delete;

  // Appends and sifts up. The memory error leaves the heap as it was.
  void Insert(TimeoutData* td);
  // The rebuild described above. The new heap is sized before anything is
  // moved, so a memory error leaves the heap as it was.
  void Remove(TimeoutData* td);
  TimeoutData* Top() const { return heap.empty() ? nullptr : heap.front(); }
  void RemoveTop();
  bool Empty() const { return heap.empty(); }
  std::size_t Size() const { return heap.size(); }
  // True when every element fires no earlier than its parent.
  bool IsConsistent() const;

 private:
  typedef pmvector<TimeoutData*> Heap;
  static void Push(Heap& h, TimeoutData* td);
  static TimeoutData* Pop(Heap& h);

  Heap heap;
};
