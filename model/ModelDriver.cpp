#include "model/ModelDriver.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <limits>
#include <new>
#include <stdexcept>
#include <unordered_set>

#include "entity/DesEntity.h"
#include "host/HostControl.h"
#include "kernel/Des.h"
#include "model/ModelBlock.h"
#include "support/ErrExcept.h"
#include "support/PMException.h"
#include "support/PMMallocError.h"
#include "debugger/BreakPointManager.h"
#include "debugger/TWDebugger.h"
#include "trace/OperationLoggers.h"

namespace {

// Block seeds are spread from the model seed so that blocks draw
// independent streams and adding a block does not disturb the others.
uint64_t SplitMix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

std::size_t Parts(const DesEntity* e) {
  if (e->GetHasSubEntity() == 0) return 1;
  std::size_t n = 0;
  for (const DesEntity* member : *e->GetEntitySet()) n += Parts(member);
  return n;
}

void Describe(ModelError* e, RunReport& report) {
  report.failed = true;
  report.identifier = e->Identifier();
  report.diagnostic = e->Text() + "\nIdentifier: " + report.identifier + "\n";
  delete e;
}

void Describe(PMException* e, RunReport& report) {
  const brsvDiagnosticImpl* d = e->getBrErrMsg();
  report.failed = true;
  try {
    report.diagnostic = host::renderDiagnostic(d);
    report.identifier = brsvDiagnosticIdentifier(d);
  } catch (const std::bad_alloc&) {
    // No memory for the whole rendering: the message, if even that fits.
    try {
      report.diagnostic = std::string(e->getMessage()) + "\n";
    } catch (const std::bad_alloc&) {
      report.diagnostic.clear();
    }
  }
  delete e;
  // The host keeps every diagnostic it made until told otherwise.
  host::releaseDiagnostics();
}

// The first error of a run is the one reported; later ones are dropped.
void Record(PMException* e, RunReport& report) {
  if (report.failed)
    delete e;
  else
    Describe(e, report);
}

// The general allocator running out is the catalogue's memory error too.
void RecordMemoryError(RunReport& report) {
  try {
    pmThrowMemoryException();
  } catch (PMException* e) {
    Record(e, report);
  }
}

}  // namespace

RunReport FailedRunReport(PMException* e) {
  RunReport report;
  Record(e, report);
  return report;
}

RunReport MemoryErrorRunReport() {
  RunReport report;
  RecordMemoryError(report);
  return report;
}

ModelDriver::ModelDriver(const DriverConfig& cfg) : config(cfg), ran(false) {
  // A failed set-up is not thrown: Run reports it, as it would report the
  // same error in the middle of the run.
  try {
    Des::InitMsgContext();
    engine.reset(new Des());
    // Blocks hold the events they schedule and release them when they
    // stop, so a quit at the prompt must not delete them under the blocks.
    engine->SetDroppedEventsStayWithBlocks(true);
    engine->Initialize();
  } catch (PMException* e) {
    Record(e, setupFailure);
  } catch (const std::bad_alloc&) {
    RecordMemoryError(setupFailure);
  }
}

ModelDriver::~ModelDriver() {
  // A driver that never ran still owes the engine its termination.
  if (!ran) {
    RunReport ignored;
    Finish(ignored);
  }
  blocks.clear();
}

void ModelDriver::AddBlock(const std::string& name, std::unique_ptr<ModelBlock> block) {
  if (ran) throw std::logic_error("blocks are added before the model runs");
  const std::string path = config.modelName + "/" + name;
  for (const auto& b : blocks)
    if (b->Path() == path) duplicateNames.push_back(path);
  host::HostObject* object = host::addObject(path);
  const uint64_t blockSeed = SplitMix(static_cast<uint64_t>(config.seed) * 1000003u + blocks.size());
  block->Attach(engine.get(), object, path, blockSeed);
  blocks.push_back(std::move(block));
}

std::vector<ModelError> ModelDriver::Check() const {
  std::vector<ModelError> mistakes;
  for (const std::string& path : duplicateNames)
    mistakes.emplace_back(ModelMessage::DuplicateBlockName, std::initializer_list<std::string>{path});
  std::unordered_set<const ModelBlock*> added;
  for (const auto& b : blocks) added.insert(b.get());
  for (const auto& b : blocks)
    b->CheckConnections([&added](const ModelBlock* x) { return added.count(x) > 0; }, mistakes);
  return mistakes;
}

RunReport ModelDriver::Run(const Progress& progress) {
  if (ran) throw std::logic_error("a model runs once");
  RunReport report = setupFailure;
  if (!report.failed) {
    const std::vector<ModelError> mistakes = Check();
    if (!mistakes.empty()) {
      // Nothing started: the engine ends as a driver that never ran.
      report.failed = true;
      report.identifier = mistakes.front().Identifier();
      for (const ModelError& m : mistakes) {
        report.mistakes.push_back(m.Text());
        report.diagnostic += m.Text() + "\n";
      }
      return report;
    }
  }
  ran = true;
  const auto wallStart = std::chrono::steady_clock::now();
  try {
    if (!report.failed) {
      for (auto& b : blocks) b->DoInit();
      engine->Start();
      engine->StartCalendar(config.handling, 0, config.seed, config.combinedCalendars ? 1 : 0,
                            config.maxEventsAtTimeStep);
      engine->SetEndTime(config.endTime);
      if (engineStarted) engineStarted(*this);
      if (config.fingerprint)
        for (auto& b : blocks) b->SetFingerprint(&fingerprint);
      for (auto& b : blocks) b->DoStart();
      Advance(report, progress);
    }
  } catch (PMException* e) {
    Describe(e, report);
  } catch (ModelError* e) {
    Describe(e, report);
  } catch (const host::HostInterrupt&) {
    // The user's break key ends the run, not as a failure of the model:
    // the engine terminates before the interrupt travels on.
    Finish(report);
    throw;
  } catch (const std::bad_alloc&) {
    RecordMemoryError(report);
  } catch (const std::exception& x) {
    // Thrown outside a handler (a block's Init or Start, a timeout's
    // handling), where no guard names the block.
    char time[32];
    std::snprintf(time, sizeof time, "%g", report.timeReached);
    Describe(new ModelError(ModelMessage::RunFailed, {time, x.what()}), report);
  } catch (...) {
    // Of a type the driver does not know: terminate, then let it go on.
    Finish(report);
    throw;
  }
  report.wallSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
  Finish(report);
  return report;
}

void ModelDriver::Advance(RunReport& report, const Progress& progress) {
  const double end = config.endTime;
  double next = engine->GetDesNextTime(0.0);
  while (next <= end) {
    if (stopFlag != nullptr && *stopFlag != 0) {
      report.interrupted = true;
      break;
    }
    if (next > nextHookTime) RunTimeHooks(next, false);
    report.timeReached = next;
    next = engine->ExecuteEvents(next, next, true);
    ++report.timeSteps;
    if (progress && (report.timeSteps & 0x3FF) == 0) progress(report.timeReached);
  }
  if (report.interrupted) {
    // Stopped between two time steps: every statistic covers [0, timeReached].
    for (auto& b : blocks) b->CloseStatistics(report.timeReached);
    if (progress) progress(report.timeReached);
    return;
  }
  RunTimeHooks(end, true);
  for (auto& b : blocks) b->CloseStatistics(end);
  if (progress) progress(next == std::numeric_limits<double>::infinity() ? report.timeReached : end);
  if (next == std::numeric_limits<double>::infinity()) {
    // The calendar ran dry. Entities still waiting in blocks can never move
    // again: the model stalled rather than finished. An arrival still on
    // its way with nothing left on the calendar was delivered and never
    // taken.
    for (auto& b : blocks) {
      if (b->EntitiesHeld() > 0) report.stalled = true;
      if (b->IncomingCount() > 0)
        stallReasons.emplace_back(b.get(), FormatModelMessage(ModelMessage::ArrivalNotTaken,
                                                              {b->Path(), std::to_string(b->IncomingCount())}));
    }
  } else {
    report.timeReached = end;
  }
}

void ModelDriver::AtTime(double time, std::function<void(double)> hook) {
  timeHooks.emplace(time, std::move(hook));
  nextHookTime = timeHooks.begin()->first;
}

void ModelDriver::RunTimeHooks(double limit, bool inclusive) {
  while (!timeHooks.empty() &&
         (timeHooks.begin()->first < limit || (inclusive && timeHooks.begin()->first == limit))) {
    // Taken out first: each hook runs once even if it throws.
    const double time = timeHooks.begin()->first;
    const std::function<void(double)> hook = std::move(timeHooks.begin()->second);
    timeHooks.erase(timeHooks.begin());
    nextHookTime = timeHooks.empty() ? std::numeric_limits<double>::infinity() : timeHooks.begin()->first;
    hook(time);
  }
}

void ModelDriver::Finish(RunReport& report) {
  // Every step goes ahead whatever the one before it threw: each block
  // releases what it holds and the engine terminates. The first error is
  // the one reported.
  const auto guarded = [&report](auto&& step) {
    try {
      step();
    } catch (PMException* e) {
      Record(e, report);
    } catch (const std::bad_alloc&) {
      RecordMemoryError(report);
    }
  };
  for (auto& b : blocks) {
    guarded([&] {
      const std::size_t held = b->EntitiesHeld();
      report.eventsExecuted += b->EventsHandled();
      report.entitiesInModel += held;
      b->ForEachHeld([&report](const DesEntity* e) { report.partsInModel += Parts(e); });
      if (held == 0) return;
      std::string reason;
      for (const auto& r : stallReasons)
        if (r.first == b.get()) reason = r.second;
      report.holdings.push_back(BlockHolding{b->Path(), held, reason});
    });
  }
  if (config.fingerprint && ran) report.fingerprint = fingerprint.Text();
  if (engine == nullptr) return;
  // Under a debugger the end of the run is a record of its own. Where the
  // debugger may stop, it is a stop (the user may abort there), which the
  // engine recognises only once output has ended, and the stop prints the
  // record; a trace that never stops prints it while output still runs.
  TWDebugger* debugger = engine->GetDebugger();
  const bool stops = debugger != nullptr && debugger->GetBreakPointManager()->GetBreakEnabled();
  const auto logEnd = [&] { _Logger<17>{engine.get()}(config.modelName); };
  if (debugger != nullptr && !stops) guarded(logEnd);
  guarded([&] { engine->DisableOutputForEndOfSim(); });
  if (stops) guarded(logEnd);
  // The blocks' entities go before the engine: their pools and registry
  // end with it.
  for (auto& b : blocks) guarded([&] { b->DoStop(); });
  engine->Terminate();
}
