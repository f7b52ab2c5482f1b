// Timeout storage 2: an ordered set of timeout pointers, earliest first
// (the negation of TimeoutData::operator<, which for two different
// timeouts is the reverse order and never holds for a timeout and itself).
// A timeout is stored at most once.
#pragma once

#include <cstddef>

#include "entity/pmallocator.h"

class TimeoutData;

class TimeoutSetStore {
 public:
  struct EarliestFirst {
    bool operator()(const TimeoutData* a, const TimeoutData* b) const;
  };

  TimeoutSetStore() = default;
  TimeoutSetStore(const TimeoutSetStore&) = delete;
  TimeoutSetStore& operator=(const TimeoutSetStore&) = delete;

  // No effect when the timeout is already stored.
  void Insert(TimeoutData* td) { timeouts.insert(td); }
  void Remove(TimeoutData* td);
  TimeoutData* Top() const { return timeouts.empty() ? nullptr : *timeouts.begin(); }
  void RemoveTop() {
    if (!timeouts.empty()) timeouts.erase(timeouts.begin());
  }
  bool Empty() const { return timeouts.size() == 0; }
  std::size_t Size() const { return timeouts.size(); }

 private:
  pmset<TimeoutData*, EarliestFirst> timeouts;
};
