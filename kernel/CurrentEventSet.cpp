#include "kernel/CurrentEventSet.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "support/HostInterface.h"
#include "support/PMMallocError.h"

CurrentEventSet::~CurrentEventSet() { hostFree(slots); }

CurrentEventSet::iterator CurrentEventSet::FindExactly(const DesEvent* e) const {
  const EventRankPrecedes precedes;
  for (iterator it = std::lower_bound(begin(), end(), e, precedes); it != end() && !precedes(e, *it); ++it)
    if (*it == e) return it;
  return end();
}

void CurrentEventSet::InsertInPlace(DesEvent* e) {
  const EventRankPrecedes precedes;
  // Before every waiting event, with room in front: the window grows down.
  if (head > 0 && precedes(e, slots[head])) {
    slots[--head] = e;
    return;
  }
  if (tail == capacity) MakeRoomAtTail();
  // The usual window holds a few events: a step-by-step search from the
  // tail beats a binary search and a library move there.
  if (tail - head <= kShortWindow) {
    std::size_t i = tail;
    for (; i > head && precedes(e, slots[i - 1]); --i) slots[i] = slots[i - 1];
    slots[i] = e;
    ++tail;
    return;
  }
  // After every event of e's rank or a lower one: that keeps joining order
  // among equal ranks.
  const std::size_t pos =
      static_cast<std::size_t>(std::upper_bound(begin(), end(), e, precedes) - slots);
  if (head > 0 && pos - head < tail - pos) {
    std::memmove(slots + head - 1, slots + head, (pos - head) * sizeof(DesEvent*));
    --head;
    slots[pos - 1] = e;
  } else {
    std::memmove(slots + pos + 1, slots + pos, (tail - pos) * sizeof(DesEvent*));
    ++tail;
    slots[pos] = e;
  }
}

void CurrentEventSet::EraseAt(std::size_t i) {
  if (i - head < tail - 1 - i) {
    std::memmove(slots + head + 1, slots + head, (i - head) * sizeof(DesEvent*));
    ++head;
  } else {
    std::memmove(slots + i, slots + i + 1, (tail - 1 - i) * sizeof(DesEvent*));
    --tail;
  }
  if (head == tail) head = tail = 0;
}

void CurrentEventSet::MakeRoomAtTail() {
  const std::size_t n = tail - head;
  // At most half full: moving the window back leaves at least as many free
  // slots as it moved events, so the moves cost O(1) per insertion.
  if (2 * n <= capacity && head > 0) {
    std::memmove(slots, slots + head, n * sizeof(DesEvent*));
    head = 0;
    tail = n;
    return;
  }
  if (capacity > SIZE_MAX / (2 * sizeof(DesEvent*))) pmThrowMemoryException();
  const std::size_t larger = capacity == 0 ? 1 : 2 * capacity;
  DesEvent** grown = static_cast<DesEvent**>(hostCalloc(larger, sizeof(DesEvent*)));
  if (grown == nullptr) pmThrowMemoryException();
  if (n > 0) std::memcpy(grown, slots + head, n * sizeof(DesEvent*));
  hostFree(slots);
  slots = grown;
  capacity = larger;
  head = 0;
  tail = n;
}
