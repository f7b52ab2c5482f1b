// The command line of the tarnwell runner: what model to run, for how long,
// with which parameters and engine settings, and where to write results.
// Every value is checked here, before anything runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "app/Sweep.h"

struct RunOptions {
  enum Progress { ProgressAuto, ProgressAlways, ProgressNever };

  // queue or assembly, the built-in models; kFileModel for a model file.
  static constexpr const char* kFileModel = "file";
  std::string model = "queue";
  double endTime = 100000.0;
  int seed = 1;
  double arrivalRate = 0.9;
  double serviceRate = 1.0;
  std::string serviceTime;  // a distribution's text form; empty: exponential at serviceRate
  double partBRate = 0.0;  // assembly: panels per time unit; 0 = the arrival rate
  int servers = 1;
  std::size_t capacity = 0;  // 0: infinite
  double patience = 10.0;    // mean patience; 0: customers never give up
  bool patienceFixed = false;
  std::string priorityAttribute;
  uint64_t limit = 0;   // entities per generator; 0: no limit
  uint64_t limitB = 0;  // assembly panels; 0: as limit
  int handling = 0;
  bool combinedCalendars = false;
  uint64_t maxEventsAtTimeStep = 1000000;
  std::string csvPath;
  Progress progress = ProgressAuto;
  // Exact quantiles in the summary: every observation is kept, so memory
  // grows with the run. By default they are estimated in constant memory.
  bool exactQuantiles = false;
  // Tracing: the record families written, where, and in which form. All off
  // by default; the engine then runs without a debugger.
  bool traceEvents = false;
  bool traceEntities = false;
  bool traceCalendar = false;
  std::string traceFile;  // empty: standard output
  bool traceJson = false;
  // What the trace keeps: records naming these blocks (names, paths or
  // debugger ids) and these entities ("en5"), between the two times.
  // Empty lists keep everything.
  std::vector<std::string> traceBlockFilter;
  std::vector<std::string> traceEntityFilter;
  double traceFrom = 0.0;
  double traceTo = std::numeric_limits<double>::infinity();
  // Hash of the executed events in the summary.
  bool fingerprint = false;

  // The debugger's prompt: at the start (debug), with commands run at the
  // first stop, or first at a time breakpoint (breakAt below 0: none).
  // Replications: each with a seed of its own derived from `seed`
  // (ReplicationSeed), run by `jobs` processes (0: one per core).
  int replications = 1;
  int jobs = 0;
  // Statistics collected before this time are left out (0: none).
  double warmUp = 0.0;
  std::string summaryJson;  // the summary as JSON to this file; empty: none
  // A sweep over the cross product of these options' values.
  std::vector<SweepParameter> sweeps;
  int sweepPoint = 0;        // run this point of the sweep only (from 1); 0: all
  std::string emitJobs;      // write the command lines of the runs here instead of running them
  int replication = 0;       // run this replication only (from 1); 0: all
  std::string resultPath;    // this run's result, as JSON, for `tarnwell merge`
  // Samples of the model's quantities over time, every seriesInterval (0:
  // a thousandth of the end time); with several runs, a file each.
  std::string seriesPath;
  double seriesInterval = 0.0;
  std::string plotDir;  // PNG plots here; empty: none

  bool debug = false;
  std::string debugCommandsFile;
  double breakAt = -1.0;

  bool Traces() const { return traceEvents || traceEntities || traceCalendar; }
  bool Debugs() const { return debug || !debugCommandsFile.empty() || breakAt >= 0.0; }

  // One server, infinite capacity, no patience, FIFO: the textbook M/M/1.
  bool IsPlainMM1() const {
    return model == "queue" && serviceTime.empty() && servers == 1 && capacity == 0 && patience == 0.0 &&
           priorityAttribute.empty() && limit == 0;
  }
};

struct ParseOutcome {
  enum Kind { Run, Help, Version, Invalid };
  Kind kind = Run;
  std::string text;  // the help text, or the one-line error
  std::vector<std::string> given;  // the options on the command line, without "--"
  // Each option as it was written: its name and its tokens.
  std::vector<std::pair<std::string, std::vector<std::string>>> tokens;
};

// The product and library version, as --version prints it.
std::string VersionText();

// The options that set parameters of the built-in models; a model file
// sets its blocks' parameters itself.
bool SetsBuiltinModel(const std::string& option);

// Reads argv into `options`; what the command line leaves out keeps its
// value in `options`. On Invalid, `text` is one line naming the option at
// fault.
ParseOutcome ParseRunOptions(int argc, const char* const* argv, RunOptions& options);
