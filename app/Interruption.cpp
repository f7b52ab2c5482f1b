#include "app/Interruption.h"

namespace {

volatile std::sig_atomic_t stopSignal = 0;

void OnSignal(int signal) {
  stopSignal = signal;
  // From now on both signals do what they do by default: the next one ends
  // the process. sigaction is safe to call here.
  struct sigaction fallback = {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(SIGINT, &fallback, nullptr);
  sigaction(SIGTERM, &fallback, nullptr);
}

}  // namespace

Interruption::Interruption() {
  stopSignal = 0;
  struct sigaction handler = {};
  handler.sa_handler = &OnSignal;
  sigemptyset(&handler.sa_mask);
  // No SA_RESTART: a blocking read (of the workers' results) returns, so
  // the stop is seen at once.
  handler.sa_flags = 0;
  sigaction(SIGINT, &handler, &previousInt);
  sigaction(SIGTERM, &handler, &previousTerm);
}

Interruption::~Interruption() {
  sigaction(SIGINT, &previousInt, nullptr);
  sigaction(SIGTERM, &previousTerm, nullptr);
}

const volatile std::sig_atomic_t* Interruption::Flag() { return &stopSignal; }
