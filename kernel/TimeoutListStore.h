// Timeout storage 1: a doubly linked list kept sorted by
// TimeoutData::operator<, latest first, so the earliest timeout is the last
// element. Insertion bisects the list (by counting and stepping) for the
// first element the new timeout is less than and goes before it, that is
// after the timeouts it ties with. Removal unlinks every node holding the
// pointer (linear).
#pragma once

#include <cstddef>

#include "entity/pmallocator.h"

class TimeoutData;

class TimeoutListStore {
 public:
  TimeoutListStore() = default;
  TimeoutListStore(const TimeoutListStore&) = delete;
  TimeoutListStore& operator=(const TimeoutListStore&) = delete;

  void Insert(TimeoutData* td);
  void Remove(TimeoutData* td) { timeouts.remove(td); }
  TimeoutData* Top() const { return timeouts.empty() ? nullptr : timeouts.back(); }
  void RemoveTop() {
    if (!timeouts.empty()) timeouts.pop_back();
  }
  bool Empty() const { return timeouts.size() == 0; }
  std::size_t Size() const { return timeouts.size(); }
  // True when no element is less than the one before it.
  bool IsConsistent() const;

 private:
  pmlist<TimeoutData*> timeouts;
};
