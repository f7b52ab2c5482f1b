// The storage layer of the event calendar: owns the future store, the
// container of the events that are not yet due. All four stores offer the
// same non-virtual operations (Insert, Earliest, RemoveEarliest, Remove,
// Holds, Size, Empty, IsConsistent) and keep the same execution order.
#pragma once

#include "kernel/EventCalendarBase.h"
#include "kernel/EventPolicyTypes.h"
#include "kernel/HeapEventStore.h"
#include "kernel/IndexedEventHeap.h"
#include "kernel/ListEventStore.h"
#include "kernel/SetEventStore.h"

template <EventStoragePolicyType S>
struct EventStoreOf;
template <>
struct EventStoreOf<EVENT_STORAGE_HEAP> {
  typedef HeapEventStore type;
};
template <>
struct EventStoreOf<EVENT_STORAGE_LIST> {
  typedef ListEventStore type;
};
template <>
struct EventStoreOf<EVENT_STORAGE_SET> {
  typedef SetEventStore type;
};
template <>
struct EventStoreOf<EVENT_STORAGE_INDEXED_HEAP> {
  typedef IndexedEventHeap type;
};

template <EventStoragePolicyType S>
class EventStoragePolicy : public EventCalendarBase {
 public:
  typedef typename EventStoreOf<S>::type Store;
  static const EventStoragePolicyType kStorage = S;

  // The future store; null before InitCalendar.
  Store* GetFutureEvents() const { return futureEvents; }

 protected:
  EventStoragePolicy() : futureEvents(nullptr) {}
  ~EventStoragePolicy() override { delete futureEvents; }

  Store* futureEvents;
};
