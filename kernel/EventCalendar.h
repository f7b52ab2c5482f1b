// The event calendar of one engine: an EventHdlPolicy (how events are
// chosen) over an EventStoragePolicy (where future events wait). All eight
// combinations are compiled into the library (EventCalendar.cpp); engines
// create theirs through the factories in EventCalendarFactory.h.
#pragma once

#include <cstdint>

#include "kernel/EventHdlPolicy.h"
#include "kernel/EventPolicyTypes.h"
#include "kernel/EventStoragePolicy.h"
#include "support/DesExcept.h"

template <EventHdlPolicyType H, EventStoragePolicyType S>
class EventCalendar : public EventHdlPolicy<H, S> {
 public:
  // The containers exist only after InitCalendar.
  EventCalendar(uint64_t maxEventsAtTimeStep, Des* engine)
      : EventHdlPolicy<H, S>(maxEventsAtTimeStep, engine) {}
  ~EventCalendar() override = default;

  // Releases the current set, destroys the events still in the future store
  // (and with them their entities), then the calendar itself.
  void TerminateCalendar() override {
    this->ReleaseContents();
    delete this;
  }

  void Compile() override {}

  // Fresh empty containers. A randomising calendar seeds its generator and
  // refuses a negative seed; the deterministic one ignores the seed.
  void InitCalendar(int seed) override {
    if constexpr (H == EVENT_HDL_RANDOMIZED) {
      if (seed < 0) throw new DesExcept(DES_RngNegSeedInEvntHndlr);
    }
    this->ReplaceContainers(static_cast<uint32_t>(seed));
  }
};

extern template class EventCalendar<EVENT_HDL_DETERMINISTIC, EVENT_STORAGE_HEAP>;
extern template class EventCalendar<EVENT_HDL_DETERMINISTIC, EVENT_STORAGE_LIST>;
extern template class EventCalendar<EVENT_HDL_DETERMINISTIC, EVENT_STORAGE_SET>;
extern template class EventCalendar<EVENT_HDL_DETERMINISTIC, EVENT_STORAGE_INDEXED_HEAP>;
extern template class EventCalendar<EVENT_HDL_RANDOMIZED, EVENT_STORAGE_HEAP>;
extern template class EventCalendar<EVENT_HDL_RANDOMIZED, EVENT_STORAGE_LIST>;
extern template class EventCalendar<EVENT_HDL_RANDOMIZED, EVENT_STORAGE_SET>;
extern template class EventCalendar<EVENT_HDL_RANDOMIZED, EVENT_STORAGE_INDEXED_HEAP>;
