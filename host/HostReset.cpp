// Returning the whole stand-in host to its state at load.
#include "host/HostControl.h"
#include "host/HostInternal.h"

namespace host {

void reset() {
  failAllocationsFrom(0);
  detail::resetArrayState();
  captureConsole(false);
  clearConsole();
  clearWarnings();
  releaseDiagnostics();
  clearObjects();
  detail::resetInterrupts();
  detail::resetInterpreter();  // temporaries, functions, error mode, workspace
  detail::resetCommandWindow();
}

}  // namespace host
