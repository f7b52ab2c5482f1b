// The host's interrupt flag: the user's break key (host::setInterruptPending,
// from a signal handler or a test) sets it; the engine polls it while it
// waits for input.
#include <atomic>

#include "host/HostControl.h"
#include "host/HostInternal.h"

namespace {

struct InterruptState {
  bool deferred = false;
};

InterruptState& interrupts() {
  static InterruptState s;
  return s;
}

// Apart from the rest: a signal handler sets it, so it must be lock-free
// and must not wait for a function-local static's initialisation.
std::atomic<bool> pending(false);
static_assert(std::atomic<bool>::is_always_lock_free, "the interrupt flag is set from signal handlers");

}  // namespace

bool hostIsInterruptPending() { return pending.load(); }

void hostRaiseIfInterruptPending() {
  if (!pending.exchange(false)) return;
  throw host::HostInterrupt();
}

HostInterruptMode::HostInterruptMode(bool deferred) : previous_(interrupts().deferred) {
  interrupts().deferred = deferred;
}

HostInterruptMode::~HostInterruptMode() { interrupts().deferred = previous_; }

namespace host {

void setInterruptPending(bool on) { pending.store(on); }

bool interruptsDeferred() { return interrupts().deferred; }

namespace detail {

void resetInterrupts() {
  interrupts() = InterruptState();
  pending.store(false);
}

}  // namespace detail
}  // namespace host
