#include "kernel/HeapEventStore.h"

#include <algorithm>

void HeapEventStore::Insert(DesEvent* e) {
  heap.push_back(e);  // may throw; the heap is then unchanged
  std::push_heap(heap.begin(), heap.end(), ExecutesLater());
}

void HeapEventStore::RemoveEarliest() {
  std::pop_heap(heap.begin(), heap.end(), ExecutesLater());
  heap.pop_back();
}

bool HeapEventStore::Remove(DesEvent* e) {
  if (!Holds(e)) return false;
  // The replacement is allocated in full first: once the old heap starts to
  // be taken apart nothing can fail any more.
  pmvector<DesEvent*> rebuilt;
  rebuilt.reserve(heap.size());
  while (!heap.empty()) {
    DesEvent* next = heap.front();
    RemoveEarliest();
    if (next != e) {
      rebuilt.push_back(next);
      std::push_heap(rebuilt.begin(), rebuilt.end(), ExecutesLater());
    }
  }
  heap.swap(rebuilt);
  return true;
}

bool HeapEventStore::Holds(const DesEvent* e) const {
  return std::find(heap.begin(), heap.end(), e) != heap.end();
}

bool HeapEventStore::IsConsistent() const {
  return std::is_heap(heap.begin(), heap.end(), ExecutesLater());
}
