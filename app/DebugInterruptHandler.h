// The break key during a debug session. While one lives, SIGINT (Ctrl-C on
// the terminal, or a kill) sets the host's interrupt: the running model
// stops at the debugger's next record, and a prompt that is reading gives
// up, so that the debugger aborts. It replaces whatever handler was there
// (the runner's own, for ordinary runs) and puts it back when it goes.
#pragma once

#include <csignal>

class DebugInterruptHandler {
 public:
  DebugInterruptHandler();
  DebugInterruptHandler(const DebugInterruptHandler&) = delete;
  DebugInterruptHandler& operator=(const DebugInterruptHandler&) = delete;
  ~DebugInterruptHandler();

 private:
  struct sigaction previous;
  bool installed;
};
