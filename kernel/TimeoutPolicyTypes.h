// Tags of the timeout calendar templates: the handling type follows the
// engine's event handling (it only decides what the calendar sets up), the
// storage type chooses the container that keeps the timeouts in deadline
// order.
#pragma once

enum TimeoutHdlPolicyType {
  TIMEOUT_HDL_DETERMINISTIC = 0,
  TIMEOUT_HDL_RANDOMIZED = 1  // also owns a seeded generator, never drawn from
};

enum TimeoutStoragePolicyType {
  TIMEOUT_STORAGE_HEAP = 0,  // TimeoutHeapStore, the one engines use
  TIMEOUT_STORAGE_LIST = 1,  // TimeoutListStore
  TIMEOUT_STORAGE_SET = 2    // TimeoutSetStore
};
