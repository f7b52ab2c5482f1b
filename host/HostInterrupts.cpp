// The host's interrupt flag: the user's break key (host::setInterruptPending
// in tests) sets it; the engine polls it while it waits for input.
#include "host/HostControl.h"
#include "host/HostInternal.h"

namespace {

struct InterruptState {
  bool pending = false;
  bool deferred = false;
};

InterruptState& interrupts() {
  static InterruptState s;
  return s;
}

}  // namespace

bool hostIsInterruptPending() { return interrupts().pending; }

void hostRaiseIfInterruptPending() {
  InterruptState& s = interrupts();
  if (!s.pending) return;
  s.pending = false;
  throw host::HostInterrupt();
}

HostInterruptMode::HostInterruptMode(bool deferred) : previous_(interrupts().deferred) {
  interrupts().deferred = deferred;
}

HostInterruptMode::~HostInterruptMode() { interrupts().deferred = previous_; }

namespace host {

void setInterruptPending(bool pending) { interrupts().pending = pending; }

bool interruptsDeferred() { return interrupts().deferred; }

namespace detail {

void resetInterrupts() { interrupts() = InterruptState(); }

}  // namespace detail
}  // namespace host
