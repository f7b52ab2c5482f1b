// The storage layer of the timeout calendar: owns the container that keeps
// the scheduled timeouts in deadline order. The three containers offer the
// same non-virtual operations (Insert, Remove, Top, RemoveTop, Empty, Size)
// and agree on which timeout is the earliest.
#pragma once

#include "kernel/TimeoutCalendarBase.h"
#include "kernel/TimeoutHeapStore.h"
#include "kernel/TimeoutListStore.h"
#include "kernel/TimeoutPolicyTypes.h"
#include "kernel/TimeoutSetStore.h"

template <TimeoutStoragePolicyType S>
struct TimeoutStoreOf;
template <>
struct TimeoutStoreOf<TIMEOUT_STORAGE_HEAP> {
  typedef TimeoutHeapStore type;
};
template <>
struct TimeoutStoreOf<TIMEOUT_STORAGE_LIST> {
  typedef TimeoutListStore type;
};
template <>
struct TimeoutStoreOf<TIMEOUT_STORAGE_SET> {
  typedef TimeoutSetStore type;
};

template <TimeoutStoragePolicyType S>
class TimeoutStoragePolicy : public TimeoutCalendarBase {
 public:
  typedef typename TimeoutStoreOf<S>::type Store;
  static const TimeoutStoragePolicyType kStorage = S;

  // Slot 12: the earliest scheduled timeout, or null.
  TimeoutData* topTimeout() const override {
    return timeouts != nullptr ? timeouts->Top() : nullptr;
  }

  // The container; null before InitCalendar.
  Store* GetTimeouts() const { return timeouts; }

 protected:
  TimeoutStoragePolicy() : timeouts(nullptr) {}
  // The timeouts themselves belong to their entities.
  ~TimeoutStoragePolicy() override { delete timeouts; }

  Store* timeouts;
};
