// The timeout calendar of one engine: a TimeoutHdlPolicy over a
// TimeoutStoragePolicy. All six combinations are compiled into the library
// (TimeoutCalendar.cpp); engines create theirs through the factories in
// TimeoutCalendarFactory.h.
#pragma once

#include <cstdint>

#include "kernel/TimeoutData.h"
#include "kernel/TimeoutHdlPolicy.h"
#include "kernel/TimeoutPolicyTypes.h"
#include "kernel/TimeoutStoragePolicy.h"
#include "support/DesExcept.h"

template <TimeoutHdlPolicyType H, TimeoutStoragePolicyType S>
class TimeoutCalendar : public TimeoutHdlPolicy<H, S> {
 public:
  // The container exists only after InitCalendar.
  TimeoutCalendar() = default;
  ~TimeoutCalendar() override = default;

  // Slot 1: every timeout still scheduled leaves the collection earliest
  // first and is reset; it stays its entity's, which deletes it. Then the
  // containers go, and the calendar itself.
  void TerminateCalendar() override {
    if (this->timeouts != nullptr) {
      while (TimeoutData* td = this->timeouts->Top()) {
        this->timeouts->RemoveTop();
        td->ResetTimeoutData();
      }
    }
    this->ReleaseContainers();
    delete this;
  }

  // Slot 3: fresh empty containers. A randomising calendar seeds its
  // generator and refuses a negative seed; the deterministic one ignores
  // the seed. Timeouts held before are dropped from the collection, not
  // reset.
  void InitCalendar(int seed) override {
    if constexpr (H == TIMEOUT_HDL_RANDOMIZED) {
      if (seed < 0) throw new DesExcept(DES_RngNegSeedInEvntHndlr);
    }
    this->ReplaceContainers(static_cast<uint32_t>(seed));
  }
};

extern template class TimeoutCalendar<TIMEOUT_HDL_DETERMINISTIC, TIMEOUT_STORAGE_HEAP>;
extern template class TimeoutCalendar<TIMEOUT_HDL_DETERMINISTIC, TIMEOUT_STORAGE_LIST>;
extern template class TimeoutCalendar<TIMEOUT_HDL_DETERMINISTIC, TIMEOUT_STORAGE_SET>;
extern template class TimeoutCalendar<TIMEOUT_HDL_RANDOMIZED, TIMEOUT_STORAGE_HEAP>;
extern template class TimeoutCalendar<TIMEOUT_HDL_RANDOMIZED, TIMEOUT_STORAGE_LIST>;
extern template class TimeoutCalendar<TIMEOUT_HDL_RANDOMIZED, TIMEOUT_STORAGE_SET>;
