#include "kernel/TimeoutHeapStore.h"

#include "kernel/TimeoutData.h"

namespace {

// Max-heap under TimeoutData::operator<: a parent is never less than its
// children, so the root is the earliest timeout.
bool Less(const TimeoutData* a, const TimeoutData* b) { return *a < *b; }

}  // namespace

void TimeoutHeapStore::Push(Heap& h, TimeoutData* td) {
  h.push_back(td);
  std::size_t i = h.size() - 1;
  while (i > 0) {
    const std::size_t parent = (i - 1) / 2;
    if (!Less(h[parent], td)) break;
    h[i] = h[parent];
    i = parent;
  }
  h[i] = td;
}

TimeoutData* TimeoutHeapStore::Pop(Heap& h) {
  TimeoutData* top = h.front();
  TimeoutData* moving = h.back();
  h.pop_back();
  const std::size_t n = h.size();
  if (n == 0) return top;
  std::size_t i = 0;
  for (;;) {
    std::size_t child = 2 * i + 1;
    if (child >= n) break;
    if (child + 1 < n && Less(h[child], h[child + 1])) ++child;
    if (!Less(moving, h[child])) break;
    h[i] = h[child];
    i = child;
  }
  h[i] = moving;
  return top;
}

void TimeoutHeapStore::Insert(TimeoutData* td) { Push(heap, td); }

void TimeoutHeapStore::RemoveTop() {
  if (!heap.empty()) Pop(heap);
}

void TimeoutHeapStore::Remove(TimeoutData* td) {
  Heap rebuilt;
  rebuilt.reserve(heap.size());
  while (!heap.empty()) {
    TimeoutData* next = Pop(heap);
    if (next != td) Push(rebuilt, next);
  }
  heap.swap(rebuilt);
}

bool TimeoutHeapStore::IsConsistent() const {
  for (std::size_t i = 1; i < heap.size(); ++i)
    if (heap[(i - 1) / 2] != heap[i] && Less(heap[(i - 1) / 2], heap[i])) return false;
  return true;
}
