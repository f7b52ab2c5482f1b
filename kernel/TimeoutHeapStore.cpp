#include "kernel/TimeoutHeapStore.h"

#include "kernel/TimeoutData.h"

namespace {

// Max-heap under TimeoutData::operator<: a parent is never less than its
// children, so the root is the earliest timeout.
bool Less(const TimeoutData* a, const TimeoutData* b) { return *a < *b; }

}  // namespace

TimeoutHeapStore::~TimeoutHeapStore() {
  for (TimeoutData* td : heap) {
    td->heapIndex = TimeoutData::kNotInHeap;
    td->heapCopies = 0;
  }
}

bool TimeoutHeapStore::Holds(const TimeoutData* td) const {
  return td->heapIndex < heap.size() && heap[td->heapIndex] == td;
}

void TimeoutHeapStore::Place(TimeoutData* td, std::size_t i) {
  heap[i] = td;
  td->heapIndex = static_cast<uint32_t>(i);
}

void TimeoutHeapStore::SiftUp(TimeoutData* td, std::size_t i) {
  while (i > 0) {
    const std::size_t parent = (i - 1) / 2;
    if (!Less(heap[parent], td)) break;
    Place(heap[parent], i);
    i = parent;
  }
  Place(td, i);
}

void TimeoutHeapStore::SiftDown(TimeoutData* td, std::size_t i) {
  const std::size_t n = heap.size();
  for (;;) {
    std::size_t child = 2 * i + 1;
    if (child >= n) break;
    if (child + 1 < n && Less(heap[child], heap[child + 1])) ++child;
    if (!Less(td, heap[child])) break;
    Place(heap[child], i);
    i = child;
  }
  Place(td, i);
}

void TimeoutHeapStore::Insert(TimeoutData* td) {
  if (Holds(td)) {
    ++td->heapCopies;
    ++extraCopies;
    return;
  }
  heap.push_back(td);
  td->heapCopies = 0;
  SiftUp(td, heap.size() - 1);
}

void TimeoutHeapStore::RemoveAt(std::size_t i) noexcept {
  TimeoutData* gone = heap[i];
  extraCopies -= gone->heapCopies;
  gone->heapCopies = 0;
  gone->heapIndex = TimeoutData::kNotInHeap;
  TimeoutData* moving = heap.back();
  heap.pop_back();
  if (i == heap.size()) return;
  if (i > 0 && Less(heap[(i - 1) / 2], moving))
    SiftUp(moving, i);
  else
    SiftDown(moving, i);
}

void TimeoutHeapStore::RemoveTop() noexcept {
  if (heap.empty()) return;
  TimeoutData* top = heap.front();
  if (top->heapCopies > 0) {
    --top->heapCopies;
    --extraCopies;
    return;
  }
  RemoveAt(0);
}

void TimeoutHeapStore::Remove(TimeoutData* td) noexcept {
  if (td != nullptr && Holds(td)) RemoveAt(td->heapIndex);
}

bool TimeoutHeapStore::IsConsistent() const {
  for (std::size_t i = 0; i < heap.size(); ++i) {
    if (heap[i]->heapIndex != i) return false;
    if (i > 0 && Less(heap[(i - 1) / 2], heap[i])) return false;
  }
  return true;
}
