// Drives one model the way the host simulator drives the engine: registers
// the message catalogue, constructs and initialises the engine, lets the
// blocks define their entity types, starts the engine and its calendars,
// advances time from event to event until the end time, then disables
// output and terminates the engine.
//
// Before anything runs the model is checked: every required output
// connected, every port number in range, every connected block added,
// names unique. A model with mistakes does not run; the report lists each
// mistake, naming the block by its path and the port.
//
// A catalogue error anywhere in the run ends it: the driver renders the
// diagnostic as the host shows it (message, identifier, the paths of the
// blocks it names), releases every entity the blocks still hold and
// terminates the engine cleanly. A refusal of the block framework (a block
// sending where there is no room, a handler that threw) ends it the same
// way with its message from the model catalogue. When the calendar runs dry
// before the end time while blocks still hold entities, the run is reported
// as stalled, with each block that holds entities and, where it is known,
// why.
#pragma once

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "model/EventFingerprint.h"
#include "model/ModelError.h"

class Des;
class ModelBlock;
class ModelDriver;

struct DriverConfig {
  std::string modelName = "model";
  double endTime = 1000.0;
  int handling = 0;  // 0 deterministic, 1 randomised order of simultaneous events
  int seed = 1;
  bool combinedCalendars = false;
  uint64_t maxEventsAtTimeStep = 1000000;
  // Hash the executed events (RunReport::fingerprint); off, it costs
  // nothing.
  bool fingerprint = false;
};

struct BlockHolding {
  std::string path;
  std::size_t entities;
  std::string reason;  // why they are stuck, when the driver can tell
};

struct RunReport {
  bool failed = false;
  std::vector<std::string> mistakes;  // the model check's; when any, nothing ran
  std::string diagnostic;   // as the host renders it; empty unless failed
  std::string identifier;   // e.g. "VORTANE:DES_AttrNotFound" or "model:NoRoom"
  double timeReached = 0.0;  // simulation time of the last step executed
  bool stalled = false;
  // Stopped at an event boundary because the stop flag was raised; the
  // statistics are closed at timeReached.
  bool interrupted = false;
  std::vector<BlockHolding> holdings;  // blocks holding entities at the end
  std::size_t entitiesInModel = 0;  // held by blocks at the end; a composite counts once
  std::size_t partsInModel = 0;     // the same, a composite counted by its members
  uint64_t eventsExecuted = 0;
  uint64_t timeSteps = 0;
  double wallSeconds = 0.0;
  // The executed events' fingerprint (EventFingerprint::Text) when the
  // configuration asked for it; empty otherwise.
  std::string fingerprint;
};

class PMException;

// A failed report of an error met outside Run (while the model is built or
// its summary printed): the error as the host renders it; takes `e`.
RunReport FailedRunReport(PMException* e);
// The same for the general allocator running out: the memory error.
RunReport MemoryErrorRunReport();

class ModelDriver {
 public:
  // Called now and then during the run with the simulation time reached,
  // and once more when the loop ends, before anything is released.
  using Progress = std::function<void(double now)>;

  explicit ModelDriver(const DriverConfig& config);
  ModelDriver(const ModelDriver&) = delete;
  ModelDriver& operator=(const ModelDriver&) = delete;
  ~ModelDriver();

  // Adds a block under the name `name` (its path is "<model>/<name>"); the
  // driver owns it. Returns the block.
  template <class B>
  B* Add(const std::string& name, std::unique_ptr<B> block) {
    B* raw = block.get();
    AddBlock(name, std::unique_ptr<ModelBlock>(std::move(block)));
    return raw;
  }

  // The model's mistakes, one message each; empty when it can run.
  std::vector<ModelError> Check() const;

  // `hook` is called once the calendars run and before the blocks start:
  // the place to give the engine a debugger or tracing. Without one, the run
  // has neither.
  void OnEngineStarted(std::function<void(ModelDriver&)> hook) { engineStarted = std::move(hook); }

  // The run stops at the next event boundary once `*flag` is non-zero (a
  // signal handler raises it); the flag outlives the run.
  void StopWhen(const volatile std::sig_atomic_t* flag) { stopFlag = flag; }
  // `hook` runs once, with `time`, when the simulation is about to pass
  // `time` (after every event at `time`), or at the end when the calendar
  // ran dry before it and `time` is not past the end time: the place to
  // end a warm-up period or take a sample. Hooks run in the order of their
  // times and may add others.
  void AtTime(double time, std::function<void(double)> hook);

  // Checks the model, then runs it once, start to termination.
  RunReport Run(const Progress& progress = Progress());

  const DriverConfig& Config() const { return config; }
  Des* Engine() const { return engine.get(); }
  const std::vector<std::unique_ptr<ModelBlock>>& Blocks() const { return blocks; }

 private:
  void AddBlock(const std::string& name, std::unique_ptr<ModelBlock> block);
  void Advance(RunReport& report, const Progress& progress);
  void Finish(RunReport& report);
  // Runs the hooks whose time is below `limit` (or equal, if `inclusive`).
  void RunTimeHooks(double limit, bool inclusive);

  DriverConfig config;
  std::unique_ptr<Des> engine;
  std::vector<std::unique_ptr<ModelBlock>> blocks;
  std::vector<std::string> duplicateNames;
  std::vector<std::pair<const ModelBlock*, std::string>> stallReasons;
  bool ran;
  EventFingerprint fingerprint;
  RunReport setupFailure;  // failed when the engine could not be set up
  std::function<void(ModelDriver&)> engineStarted;
  const volatile std::sig_atomic_t* stopFlag = nullptr;
  std::multimap<double, std::function<void(double)>> timeHooks;
  double nextHookTime = std::numeric_limits<double>::infinity();  // the first hook's; infinity: none
};
