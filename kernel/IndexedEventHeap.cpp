#include "kernel/IndexedEventHeap.h"

#include <climits>
#include <cstring>

#include "support/HostInterface.h"
#include "support/PMMallocError.h"

IndexedEventHeap::IndexedEventHeap() : array(nullptr), count(0), capacity(kInitialCapacity) {
  array = static_cast<Slot*>(hostCalloc(static_cast<size_t>(capacity), sizeof(Slot)));
  if (array == nullptr) pmThrowMemoryException();
}

IndexedEventHeap::~IndexedEventHeap() { hostFree(array); }

void IndexedEventHeap::Grow() {
  if (capacity > INT_MAX / 2) pmThrowMemoryException();
  const int newCapacity = capacity * 2;
  Slot* larger = static_cast<Slot*>(hostCalloc(static_cast<size_t>(newCapacity), sizeof(Slot)));
  if (larger == nullptr) pmThrowMemoryException();
  std::memcpy(static_cast<void*>(larger), array, static_cast<size_t>(count) * sizeof(Slot));
  hostFree(array);
  array = larger;
  capacity = newCapacity;
}

bool IndexedEventHeap::IsConsistent() const {
  if (count < 0 || count > capacity) return false;
  for (int i = 0; i < count; ++i) {
    const Slot& s = array[i];
    if (s.event == nullptr || s.event->heapIndex != static_cast<uint32_t>(i)) return false;
    const EventOrderKey key = s.event->GetOrderKey();
    if (key.rank != s.key.rank || !(key.time == s.key.time || key.time != key.time))
      return false;
    if (i > 0 && EventOrder::Precedes(s.key, array[(i - 1) / 2].key)) return false;
  }
  return true;
}
