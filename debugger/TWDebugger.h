// The interactive debugger of one engine: it owns the prompt, the
// breakpoints, the log switches and the state view, and it is the object
// through which the loggers hand control to the user.
//
// The engine creates it (Des::StartDebugger) and destroys it at
// termination; the host then calls Start, which shows the banner and logs
// the model's start. Commands queued with SetStartFcn (class-wide) run at
// the first prompt before the user is asked.
#pragma once

#include <deque>
#include <string>

#include "support/HostInterface.h"

class Des;
class CommandLineShell;
class BreakPointManager;
class LogControl;
class DesSimState;

class TWDebugger {
 public:
  // Creates, in this order, the prompt, the breakpoints (with the built-in
  // b0), the state view and the switches (all off); restarts block ids.
  TWDebugger(Des* engine, const char* modelName);
  TWDebugger(const TWDebugger&) = delete;
  TWDebugger& operator=(const TWDebugger&) = delete;
  ~TWDebugger();

  // The banner ("des_printDebugBanner"), then the model-start record, which
  // may stop at the prompt.
  void Start();
  void StartShell();
  // The user quits: everything off, the prompt released, and the engine's
  // stop request set, so that the next check unwinds with DES_QuitDebugger.
  void Abort();

  Des* GetDesInstance() const { return des; }
  BreakPointManager* GetBreakPointManager() const { return breakPointManager; }
  CommandLineShell* GetShell() const { return shell; }
  LogControl* GetLogController() const { return logControl; }
  DesSimState* GetSimState() const { return simState; }
  const std::string& GetModelName() const { return modelName; }

  // Replaces the queue with the texts of the cell's elements, in element
  // order (a text array counts as one command).
  static void SetStartFcn(hvArray* commands);
  // The next queued command, or empty text.
  static std::string GetNextFromStartFcn();

  static std::deque<std::string> startfcn;

 private:
  void Release();

  Des* des;
  CommandLineShell* shell;
  BreakPointManager* breakPointManager;
  LogControl* logControl;
  DesSimState* simState;
  std::string modelName;
};
