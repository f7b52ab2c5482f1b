// Tags of the event calendar templates: how simultaneous events are ordered
// (handling) and where events that are not yet due wait (storage).
#pragma once

enum EventHdlPolicyType {
  EVENT_HDL_DETERMINISTIC = 0,  // priority, then creation order
  EVENT_HDL_RANDOMIZED = 1      // random pick among equal time and priority
};

enum EventStoragePolicyType {
  EVENT_STORAGE_HEAP = 0,          // HeapEventStore
  EVENT_STORAGE_LIST = 1,          // ListEventStore
  EVENT_STORAGE_SET = 2,           // SetEventStore
  EVENT_STORAGE_INDEXED_HEAP = 3   // IndexedEventHeap, the one engines use
};
