// Future store of storage type 3: a heap over an array from the host memory
// service, in which every event records its own position
// (DesEvent::heapIndex). Knowing the position makes cancellation O(log n)
// without a search, and the store allocates nothing per event.
//
// Each slot keeps a copy of its event's time beside the pointer, so that
// sifting compares times inside the array instead of reaching into the
// events; only the moved events' heapIndex is written, and only equal times
// read the events' ranks. The time is taken when an event is inserted: an
// event's time or priority must not change while it waits here (the
// calendar never does that; it re-stamps events after taking them out).
//
// The heap is 4-ary: the children of slot i are 4i + 1 ... 4i + 4, its
// parent is (i - 1) / 4. With a million events waiting, a sift-down is bound
// by memory, not by comparisons: every level costs a read of the children's
// slots and a write of heapIndex into an event somewhere in the event pool.
// Four children per level halve the depth against a binary heap, and with it
// both kinds of cache misses, for four comparisons per level instead of two
// (three among the children, one against the moving element).
// Slots are 16 bytes and the array is placed so that slot 1 starts a cache
// line: the four children of any slot then fill exactly one line. (With the
// whole order key in the slot, 32 bytes with padding, the heap took a
// quarter of the memory of a million pending events and two lines a level.)
//
// Invariants: slot i's event does not precede its parent's; for every slot i
// below count, array[i].event->heapIndex == i. An event not in the heap has
// heapIndex kNotInHeap or some stale position whose slot holds another event,
// which is how Holds() answers in constant time.
#pragma once

#include <cstdint>

#include "kernel/DesEvent.h"
#include "kernel/EventOrder.h"

class IndexedEventHeap {
 public:
  struct alignas(16) Slot {
    double time;
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
    SiftUp(static_cast<uint32_t>(i), Slot{e->GetTime(), e});
  }

  DesEvent* Earliest() const { return count > 0 ? array[0].event : nullptr; }
  double EarliestTime() const { return array[0].time; }

  // Starts loading the earliest event into the cache, so that running it
  // next does not wait for memory.
  void PrefetchEarliest() const {
    if (count == 0) return;
    const char* p = reinterpret_cast<const char*>(array[0].event);
    for (std::size_t off = 0; off < sizeof(DesEvent); off += kCacheLine) __builtin_prefetch(p + off);
  }

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

  // The execution order on slots: by the stored times, and by the events'
  // ranks only when the times are equal. The rare tie stays out of line, so
  // that the sifts keep their comparisons inline.
  static bool Precedes(const Slot& a, const Slot& b) {
    return a.time < b.time || (a.time == b.time && RankPrecedes(a, b));
  }
  __attribute__((noinline)) static bool RankPrecedes(const Slot& a, const Slot& b) {
    return EventRankPrecedes()(a.event, b.event);
  }

  static uint32_t Parent(uint32_t i) { return (i - 1) / kArity; }
  static uint32_t FirstChild(uint32_t i) { return kArity * i + 1; }

  // Every write of a slot goes through here, which keeps heapIndex equal to
  // the position.
  void Place(uint32_t i, const Slot& slot) {
    array[i] = slot;
    slot.event->heapIndex = i;
  }

  // Returns the final position.
  uint32_t SiftUp(uint32_t i, const Slot& moving) {
    while (i > 0) {
      const uint32_t parent = Parent(i);
      if (Precedes(array[parent], moving)) break;
      Place(i, array[parent]);
      i = parent;
    }
    Place(i, moving);
    return i;
  }

  // The earliest of the children c, c + 1, ... below n (c < n); among equal
  // ones the leftmost.
  static uint32_t EarliestChild(const Slot* a, uint32_t c, uint32_t n) {
    if (c + 3 < n) {
      const uint32_t x = Precedes(a[c + 1], a[c]) ? c + 1 : c;
      const uint32_t y = Precedes(a[c + 3], a[c + 2]) ? c + 3 : c + 2;
      return Precedes(a[y], a[x]) ? y : x;
    }
    uint32_t best = c;
    for (uint32_t k = c + 1; k < n; ++k)
      if (Precedes(a[k], a[best])) best = k;
    return best;
  }

  // Returns the final position.
  uint32_t SiftDown(uint32_t i, const Slot& moving) {
    const uint32_t n = static_cast<uint32_t>(count);
    Slot* const a = array;
    for (;;) {
      const uint32_t first = FirstChild(i);
      if (first >= n) break;
      const uint32_t child = EarliestChild(a, first, n);
      if (Precedes(moving, a[child])) break;
      Place(i, a[child]);
      i = child;
    }
    Place(i, moving);
    return i;
  }

  static const uint32_t kArity = 4;
  static const uint32_t kCacheLine = 64;

  // Allocates room for `slots` slots, placed as the header explains; sets block to
  // the allocation. Null when the host has no memory.
  static Slot* AllocateSlots(int slots, void*& block);

  Slot* array;
  int count;
  int capacity;
  void* block;  // the host block the array lies in
};
