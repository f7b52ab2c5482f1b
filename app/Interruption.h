// Ctrl-C (SIGINT) and SIGTERM during a run. The first asks the run to stop
// at the next event boundary: the driver watches Flag(), and the runner
// then prints what it has, closes its files and exits with 130. Any second
// signal ends the process at once, by the signal's default action.
//
// The handlers are installed for the lifetime of an Interruption object
// (one at a time) and the previous ones restored after it. Whatever is
// installed later on top of them (the debugger's own, for a session) takes
// over while it is in place.
#pragma once

#include <csignal>

class Interruption {
 public:
  Interruption();
  Interruption(const Interruption&) = delete;
  Interruption& operator=(const Interruption&) = delete;
  ~Interruption();

  // Non-zero (the signal's number) once a stop was asked for.
  static const volatile std::sig_atomic_t* Flag();
  static bool Requested() { return *Flag() != 0; }

 private:
  struct sigaction previousInt;
  struct sigaction previousTerm;
};
