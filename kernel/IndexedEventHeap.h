// Future store of storage type 3: a binary heap over an array from the host
// memory service, in which every event records its own position
// (DesEvent::heapIndex). Knowing the position makes cancellation O(log n)
// without a search, and the store allocates nothing per event.
//
// Each slot keeps a copy of its event's order key beside the pointer, so
// that sifting compares keys inside the array instead of reaching into the
// events; only the moved events' heapIndex is written. The keys are taken
// when an event is inserted: an event's time or priority must not change
// while it waits here (the calendar never does that; it re-stamps events
// after taking them out).
//
// Invariants: slot i's key does not precede its parent's; for every slot i
// below count, array[i].event->heapIndex == i. An event not in the heap has
// heapIndex kNotInHeap or some stale position whose slot holds another event,
// which is how Holds() answers in constant time.
#pragma once

#include <cstdint>

#include "kernel/DesEvent.h"
#include "kernel/EventOrder.h"

class IndexedEventHeap {
 public:
  struct Slot {
    EventOrderKey key;
    DesEvent* event;
  };

  static const int kInitialCapacity = 1024;
  static const uint32_t kNotInHeap = 0xFFFFFFFFu;

  // Takes room for kInitialCapacity events from the host; the memory error
  // when it cannot.
  IndexedEventHeap();
  ~IndexedEventHeap();
  IndexedEventHeap(const IndexedEventHeap&) = delete;
  IndexedEventHeap& operator=(const IndexedEventHeap&) = delete;

  bool Holds(const DesEvent* e) const {
    const uint32_t i = e->heapIndex;
    return i < static_cast<uint32_t>(count) && array[i].event == e;
  }

  // The event must not be in the heap already (the calendar checks with
  // Holds). Grows before touching anything, so a failed growth leaves the
  // heap as it was.
  void Insert(DesEvent* e) {
    if (count == capacity) Grow();
    const int i = count++;
    SiftUp(static_cast<uint32_t>(i), Slot{e->GetOrderKey(), e});
  }

  DesEvent* Earliest() const { return count > 0 ? array[0].event : nullptr; }
  double EarliestTime() const { return array[0].key.time; }

  void RemoveEarliest() {
    array[0].event->heapIndex = kNotInHeap;
    if (--count > 0) SiftDown(0, array[count]);
  }

  // Returns false (and changes nothing) when e is not in this heap.
  bool Remove(DesEvent* e) {
    if (!Holds(e)) return false;
    const uint32_t i = e->heapIndex;
    e->heapIndex = kNotInHeap;
    if (static_cast<uint32_t>(--count) == i) return true;
    const Slot moving = array[count];
    // The replacement may belong below i (sift down) or, coming from another
    // branch, above it (sift up); at most one of the two moves it.
    if (SiftDown(i, moving) == i) SiftUp(i, moving);
    return true;
  }

  int Size() const { return count; }
  bool Empty() const { return count == 0; }
  int Capacity() const { return capacity; }
  DesEvent* At(int i) const { return array[i].event; }
  // Heap order, stored keys and every heapIndex; for checks and tests.
  bool IsConsistent() const;

 private:
  void Grow();

  // Returns the final position.
  uint32_t SiftUp(uint32_t i, const Slot& moving) {
    while (i > 0) {
      const uint32_t parent = (i - 1) / 2;
      if (EventOrder::Precedes(array[parent].key, moving.key)) break;
      array[i] = array[parent];
      array[i].event->heapIndex = i;
      i = parent;
    }
    array[i] = moving;
    moving.event->heapIndex = i;
    return i;
  }

  uint32_t SiftDown(uint32_t i, const Slot& moving) {
    const uint32_t n = static_cast<uint32_t>(count);
    for (;;) {
      uint32_t child = 2 * i + 1;
      if (child >= n) break;
      if (child + 1 < n && EventOrder::Precedes(array[child + 1].key, array[child].key)) ++child;
      if (EventOrder::Precedes(moving.key, array[child].key)) break;
      array[i] = array[child];
      array[i].event->heapIndex = i;
      i = child;
    }
    array[i] = moving;
    moving.event->heapIndex = i;
    return i;
  }

  Slot* array;
  int count;
  int capacity;
};
