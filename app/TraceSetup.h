// Tracing for one run of the runner: opens the trace's destination, and when
// the engine has started, gives it a debugger whose switches are the traced
// families and whose breakpoints are off, installs the host's renderer and
// registers the model's blocks. A run that traces nothing never builds the
// debugger, so the engine stays on its fast path.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/RunOptions.h"
#include "host/TraceRenderer.h"

class DebugInterruptHandler;
class ModelDriver;
class TerminalPrompt;

class TraceSetup {
 public:
  explicit TraceSetup(const RunOptions& options);
  TraceSetup(const TraceSetup&) = delete;
  TraceSetup& operator=(const TraceSetup&) = delete;
  // Closes the trace file; a failure to write it is no longer reported.
  ~TraceSetup();

  bool Wanted() const { return options.Traces() || options.Debugs(); }
  // Opens the trace file, if one was named, and reads the debugger's
  // start-up commands. False, with `problem` saying why, when either fails.
  bool Open(std::string& problem);
  // Finds the blocks --trace-block names among the model's, by the
  // debugger's id (blk1 is the first block added), path or name. False,
  // with `problem` saying why, when one is not there.
  bool SelectBlocks(const ModelDriver& driver, std::string& problem);
  // To be called by the driver once the engine's calendars run.
  void Attach(ModelDriver& driver);
  // Flushes and closes the file; false when writing it failed.
  bool Close();

 private:
  // The host's functions, the prompt and the break key are no longer this
  // run's.
  void Detach();

  const RunOptions& options;
  std::FILE* file;
  std::vector<std::string> startCommands;
  host::TraceRenderer::Filter filter;
  bool attached;  // the host's renderer functions are this run's
  // A debug session's prompt and break key; none for tracing alone.
  std::unique_ptr<TerminalPrompt> prompt;
  std::unique_ptr<DebugInterruptHandler> interrupts;
};
