// The debugger's prompt. While the simulation is stopped it takes over the
// host's command window: it runs the queued start-up commands, then reads
// what the user types (a statement block over several lines counts as one
// input) and evaluates it in the host interpreter, in the workspace of the
// host code that called the library, with the debugger's command package
// "twdb" imported. It returns when a command asks to continue.
//
// The user's interrupt, or the end of input, aborts the simulation.
#pragma once

#include <string>

#include "support/HostInterface.h"

class TWDebugger;

class CommandLineShell {
 public:
  explicit CommandLineShell(TWDebugger* owner);
  CommandLineShell(const CommandLineShell&) = delete;
  CommandLineShell& operator=(const CommandLineShell&) = delete;
  ~CommandLineShell();

  // One stop of the simulation.
  void Start();
  void SetContinueSim(bool on) { continueSim = on; }
  bool GetContinueSim() const { return continueSim; }

  // Input-requester settings of the host's command window.
  static constexpr int kRequesterAtConstruction = -1;
  static constexpr int kRequesterPrompt = 10;
  static constexpr int kRequesterContinuation = 7;

 private:
  // One complete input; empty text for an empty line, and empty with
  // inputEnded set at the end of input.
  std::string RequestInput();
  // Announces an input request and appends one typed line (read in pieces
  // while it goes on). False at the end of input (the text is cleared);
  // the user's interrupt unwinds from here.
  bool ReadNextLineAndAppend(std::string& text) const;
  // "help twdb" for a lone "help", else the input.
  std::string ProcessUserInput(const std::string& input);
  void EvalInputInCorvane(const std::string& text);
  void FirstTimeActivateCmdWindow() const;
  void DoNothing() const {}

  TWDebugger* debugger;
  bool continueSim;
  void (CommandLineShell::*onFirstPrompt)() const;
  HostInputRequester savedInputRequester;
  bool inputEnded;
};
