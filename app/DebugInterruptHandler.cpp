#include "app/DebugInterruptHandler.h"

#include <cstring>

#include "host/HostControl.h"

namespace {

// Only the flag: everything else happens on the simulation's own path.
void OnInterrupt(int) { host::setInterruptPending(true); }

}  // namespace

DebugInterruptHandler::DebugInterruptHandler() : installed(false) {
  std::memset(&previous, 0, sizeof previous);
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a blocking read at the prompt returns, and the reader
  // looks at the flag.
  action.sa_flags = 0;
  // The session starts with no break pending; the call also binds the
  // host's function now rather than first inside the handler.
  host::setInterruptPending(false);
  installed = sigaction(SIGINT, &action, &previous) == 0;
}

DebugInterruptHandler::~DebugInterruptHandler() {
  if (installed) sigaction(SIGINT, &previous, nullptr);
}
