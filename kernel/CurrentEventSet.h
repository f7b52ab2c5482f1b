// The calendar's current set: the events due at the current time, in the
// order they execute when no randomisation applies: rank (priority, then
// instance count), and events of equal rank in the order they joined the
// set. Equal ranks do happen (DesEvent::operator= copies the instance
// count), and both events must run, in a fixed order.
//
// Every event a block hands on with zero delay passes through this set,
// which usually holds one or a few events. It is a window [head, tail) of
// an array, in execution order:
//  - taking the next event advances head; the window goes back to the start
//    of the array whenever the set empties (at least once per time step);
//  - an event that runs after every waiting one is appended at tail; events
//    promoted together from the future store come in execution order, so
//    filling the set with n simultaneous events costs O(n);
//  - an event that runs before every waiting one takes the slot before
//    head when there is one;
//  - any other insertion, and removal from the middle (cancellation, the
//    randomised draw), shifts the shorter side of the window by one slot.
// The array comes from the host memory service, grows by doubling when the
// window reaches its end while more than half full (otherwise the window is
// moved back to the start), and is kept until the set is destroyed: in a
// steady state an event's pass costs no allocation.
//
// Invariants: head <= tail <= capacity; head == tail only when both are 0;
// ranks never decrease from head to tail, and equal ranks stand in joining
// order. The set holds pointers; the events belong to their blocks.
//
// Iterators are positions in the array (random access, read-only); any
// insertion or removal invalidates them.
#pragma once

#include <cstddef>

#include "kernel/DesEvent.h"
#include "kernel/EventOrder.h"

class CurrentEventSet {
 public:
  typedef DesEvent* const* iterator;
  typedef iterator const_iterator;

  CurrentEventSet() noexcept : slots(nullptr), head(0), tail(0), capacity(0) {}
  ~CurrentEventSet();
  CurrentEventSet(const CurrentEventSet&) = delete;
  CurrentEventSet& operator=(const CurrentEventSet&) = delete;

  bool empty() const { return head == tail; }
  std::size_t size() const { return tail - head; }
  iterator begin() const { return slots + head; }
  iterator end() const { return slots + tail; }

  // e runs after every waiting event of its rank or a lower one. When the
  // array must grow and the host has no memory, the library's memory error
  // is thrown and the set is unchanged.
  void insert(DesEvent* e) {
    if (tail != capacity && (tail == 0 || !EventRankPrecedes()(e, slots[tail - 1]))) {
      slots[tail++] = e;
      return;
    }
    InsertInPlace(e);
  }

  void erase(iterator it) {
    if (it == begin()) {
      if (++head == tail) head = tail = 0;
      return;
    }
    EraseAt(static_cast<std::size_t>(it - slots));
  }

  // The position of e itself, or end(): a lookup by rank can meet other
  // events with the same rank.
  iterator FindExactly(const DesEvent* e) const;

  std::size_t Capacity() const { return capacity; }

 private:
  static const std::size_t kShortWindow = 8;

  void InsertInPlace(DesEvent* e);
  void EraseAt(std::size_t i);
  // Leaves at least one free slot after tail, moving the window to the
  // start of the array or of a larger one. Throws the memory error, with
  // nothing changed, when a larger array cannot be had.
  void MakeRoomAtTail();

  DesEvent** slots;
  std::size_t head;
  std::size_t tail;
  std::size_t capacity;
};
