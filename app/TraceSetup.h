// Tracing for one run of the runner: opens the trace's destination, and when
// the engine has started, gives it a debugger whose switches are the traced
// families and whose breakpoints are off, installs the host's renderer and
// registers the model's blocks. A run that traces nothing never builds the
// debugger, so the engine stays on its fast path.
#pragma once

#include <cstdio>
#include <string>

#include "app/RunOptions.h"

class ModelDriver;

class TraceSetup {
 public:
  explicit TraceSetup(const RunOptions& options);
  TraceSetup(const TraceSetup&) = delete;
  TraceSetup& operator=(const TraceSetup&) = delete;
  // Closes the trace file; a failure to write it is no longer reported.
  ~TraceSetup();

  bool Wanted() const { return options.Traces(); }
  // Opens the trace file, if one was named. False, with `problem` saying why,
  // when it cannot be written.
  bool Open(std::string& problem);
  // To be called by the driver once the engine's calendars run.
  void Attach(ModelDriver& driver);
  // Flushes and closes the file; false when writing it failed.
  bool Close();

 private:
  const RunOptions& options;
  std::FILE* file;
  bool attached;  // the host's renderer functions are this run's
};
