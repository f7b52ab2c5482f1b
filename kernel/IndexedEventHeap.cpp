#include "kernel/IndexedEventHeap.h"

#include <climits>
#include <cstring>

#include "support/HostInterface.h"
#include "support/PMMallocError.h"

IndexedEventHeap::IndexedEventHeap() : array(nullptr), count(0), capacity(kInitialCapacity), block(nullptr) {
  array = AllocateSlots(capacity, block);
  if (array == nullptr) pmThrowMemoryException();
}

IndexedEventHeap::~IndexedEventHeap() { hostFree(block); }

IndexedEventHeap::Slot* IndexedEventHeap::AllocateSlots(int slots, void*& block) {
  // Host blocks are 16-byte aligned; four spare slots leave room to move the
  // array up to the position where slot 1 starts a cache line.
  void* raw = hostCalloc(static_cast<size_t>(slots) + 4, sizeof(Slot));
  if (raw == nullptr) return nullptr;
  const uintptr_t at = reinterpret_cast<uintptr_t>(raw);
  const uintptr_t line = kCacheLine;
  const uintptr_t first = ((at + sizeof(Slot) + line - 1) & ~(line - 1)) - sizeof(Slot);
  block = raw;
  return reinterpret_cast<Slot*>(first);
}

void IndexedEventHeap::Grow() {
  // Capacity stays at most 2^30, which keeps every child position (4i + 4)
  // within 32 bits.
  if (capacity > INT_MAX / 2) pmThrowMemoryException();
  const int newCapacity = capacity * 2;
  void* largerBlock = nullptr;
  Slot* larger = AllocateSlots(newCapacity, largerBlock);
  if (larger == nullptr) pmThrowMemoryException();
  std::memcpy(static_cast<void*>(larger), array, static_cast<size_t>(count) * sizeof(Slot));
  hostFree(block);
  array = larger;
  block = largerBlock;
  capacity = newCapacity;
}

bool IndexedEventHeap::IsConsistent() const {
  if (count < 0 || count > capacity) return false;
  for (int i = 0; i < count; ++i) {
    const Slot& s = array[i];
    if (s.event == nullptr || s.event->heapIndex != static_cast<uint32_t>(i)) return false;
    const double time = s.event->GetTime();
    if (!(time == s.time || time != time)) return false;
    if (i > 0 && Precedes(s, array[Parent(static_cast<uint32_t>(i))])) return false;
  }
  return true;
}
