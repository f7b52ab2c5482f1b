// The handling layer of the timeout calendar: adding, removing and
// reporting emptiness, the same for both handling types. They differ only
// in what InitCalendar sets up: the randomising type also keeps an empty
// list and a seeded generator like those of the randomising event
// calendar, which nothing draws from, since the timeouts' order among
// simultaneous events is decided by the event calendar.
#pragma once

#include <cstdint>
#include <memory>

#include "entity/pmallocator.h"
#include "kernel/EventRandomGenerator.h"
#include "kernel/TimeoutPolicyTypes.h"
#include "kernel/TimeoutStoragePolicy.h"

class TimeoutData;

// Raised when timeouts are filed in a calendar that was never initialised.
[[noreturn]] void ReportTimeoutCalendarNotStarted();

template <TimeoutHdlPolicyType H, TimeoutStoragePolicyType S>
class TimeoutHdlPolicy : public TimeoutStoragePolicy<S> {
  typedef TimeoutStoragePolicy<S> Storage;

 public:
  static const TimeoutHdlPolicyType kHandling = H;

  // Slot 9.
  void AddToTimeoutCollection(TimeoutData* td) override {
    if (this->timeouts == nullptr) ReportTimeoutCalendarNotStarted();
    if (td != nullptr) this->timeouts->Insert(td);
  }
  // Slot 10: the timeout leaves the collection; it is not reset here.
  void RemoveFromTimeoutCollection(TimeoutData* td) override {
    if (this->timeouts != nullptr && td != nullptr) this->timeouts->Remove(td);
  }
  // Slot 11: a timeout calendar logs nothing.
  void PrintTimeoutDeletion(TimeoutData*) override {}
  // Slot 13.
  bool IsEmpty() override { return this->timeouts == nullptr || this->timeouts->Empty(); }

  EventRandomGenerator* GetGenerator() const { return generator; }
  pmlist<TimeoutData*>* GetList() const { return list; }

 protected:
  TimeoutHdlPolicy() : list(nullptr), generator(nullptr) {}
  ~TimeoutHdlPolicy() override { ReleaseContainers(); }

  // Fresh empty containers (and for the randomising type the list and the
  // generator seeded with `seed`), all made before the old ones go, so a
  // failure changes nothing.
  void ReplaceContainers(uint32_t seed) {
    std::unique_ptr<typename Storage::Store> store(new typename Storage::Store());
    std::unique_ptr<pmlist<TimeoutData*>> newList;
    std::unique_ptr<EventRandomGenerator> newGenerator;
    if constexpr (H == TIMEOUT_HDL_RANDOMIZED) {
      newList.reset(new pmlist<TimeoutData*>());
      newGenerator.reset(new EventRandomGenerator(0.0, 1.0));
      newGenerator->Seed(seed);
    } else {
      static_cast<void>(seed);
    }
    ReleaseContainers();
    this->timeouts = store.release();
    list = newList.release();
    generator = newGenerator.release();
  }

  void ReleaseContainers() {
    delete this->timeouts;
    this->timeouts = nullptr;
    delete list;
    list = nullptr;
    delete generator;
    generator = nullptr;
  }

  pmlist<TimeoutData*>* list;
  EventRandomGenerator* generator;
};
