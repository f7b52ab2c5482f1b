#include "app/TraceSetup.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>

#include "app/DebugInterruptHandler.h"
#include "app/TerminalPrompt.h"
#include "host/HostControl.h"
#include "host/TraceRenderer.h"
#include "model/DebuggerCommands.h"
#include "model/ModelBlock.h"
#include "model/ModelDriver.h"
#include "tarnwell.h"

TraceSetup::TraceSetup(const RunOptions& options) : options(options), file(nullptr), attached(false) {}

namespace {

// The renderer holds the trace file: once the run is over, nothing may
// reach it through the host's functions.
void Uninstall() {
  host::setLineSource(nullptr);
  host::DebuggerCommands::Uninstall();
  TWDebugger::SetStartFcn(nullptr);  // class-wide: none left for a later run
  host::unregisterFunction("des_dbg_log");
  host::unregisterFunction("des_printDebugBanner");
  host::unregisterFunction("des_activateCmdWin");
}

}  // namespace

TraceSetup::~TraceSetup() {
  Detach();
  if (file != nullptr) std::fclose(file);
}

void TraceSetup::Detach() {
  if (attached) Uninstall();
  attached = false;
  prompt.reset();  // gives the terminal back as it was
  interrupts.reset();
}

bool TraceSetup::Open(std::string& problem) {
  if (!options.debugCommandsFile.empty()) {
    std::ifstream in(options.debugCommandsFile);
    if (!in) {
      problem = "--debug-commands: cannot read '" + options.debugCommandsFile + "'";
      return false;
    }
    for (std::string line; std::getline(in, line);)
      if (!line.empty()) startCommands.push_back(line);
  }
  if (options.traceFile.empty()) return true;
  file = std::fopen(options.traceFile.c_str(), "w");
  if (file == nullptr) problem = "--trace-file: cannot write '" + options.traceFile + "': " + std::strerror(errno);
  return file != nullptr;
}

bool TraceSetup::SelectBlocks(const ModelDriver& driver, std::string& problem) {
  const auto& blocks = driver.Blocks();
  for (const std::string& key : options.traceBlockFilter) {
    const ModelBlock* found = nullptr;
    for (std::size_t k = 0; k < blocks.size() && found == nullptr; ++k) {
      const std::string& path = blocks[k]->Path();
      if (key == "blk" + std::to_string(k + 1) || key == path || path == driver.Config().modelName + "/" + key)
        found = blocks[k].get();
    }
    if (found == nullptr) {
      problem = "--trace-block: no block '" + key + "' in this model (blocks:";
      for (std::size_t k = 0; k < blocks.size(); ++k)
        problem += (k > 0 ? ", " : " ") + blocks[k]->Path().substr(driver.Config().modelName.size() + 1);
      problem += ")";
      return false;
    }
    filter.blocks.insert(found->Path());
  }
  return true;
}

void TraceSetup::Attach(ModelDriver& driver) {
  Des* engine = driver.Engine();
  engine->StartDebugger(driver.Config().modelName.c_str());
  TWDebugger* debugger = engine->GetDebugger();
  if (debugger == nullptr) return;  // no memory for it: the run goes on untraced
  engine->GetEventCalendar()->InitCalendarLoggers();
  // Tracing alone never stops at the prompt; --debug stops at the first
  // record (the model's start), the others where they say.
  BreakPointManager* breaks = debugger->GetBreakPointManager();
  breaks->SetBreakEnabled(options.Debugs());
  breaks->SetSingleSteppingEnabled(options.debug);
  if (options.breakAt >= 0.0) breaks->SetTimedBreakPoint(options.breakAt);
  if (!startCommands.empty()) {
    hvArray* queue = hvCreateCellMatrix(1, startCommands.size());
    for (std::size_t i = 0; i < startCommands.size(); ++i)
      hvSetCell(queue, i, hvCreateString(startCommands[i].c_str()));
    TWDebugger::SetStartFcn(queue);
    hvDestroyArray(queue);
  }
  LogControl* control = debugger->GetLogController();
  control->SetEventLoggingEnabled(options.traceEvents);
  control->SetEntityLoggingEnabled(options.traceEntities);
  control->SetCalendarLoggingEnabled(options.traceCalendar);
  // Stepping stops only at records that are printed: a debugging session
  // without --trace shows the events and entity operations.
  if (options.debug && !options.Traces()) control->SetDefaultLogging();
  attached = true;
  auto renderer = std::make_shared<host::TraceRenderer>(
      options.traceJson ? host::TraceRenderer::Format::JsonLines : host::TraceRenderer::Format::Text,
      file != nullptr ? file : stdout);
  filter.entities.insert(options.traceEntityFilter.begin(), options.traceEntityFilter.end());
  filter.from = options.traceFrom;
  filter.to = options.traceTo;
  renderer->SetFilter(filter);
  host::TraceRenderer::Install(renderer);
  // No prompt, so no banner.
  if (!options.Debugs()) host::registerFunction("des_printDebugBanner", [](int, hvArray*[], int, hvArray*[]) {});
  if (options.Debugs()) {
    host::DebuggerCommands::Install(debugger);
    // The prompt reads standard input; its end, or Ctrl-C there, aborts.
    prompt.reset(new TerminalPrompt("(twdb) "));
    TerminalPrompt* reader = prompt.get();
    host::setLineSource([reader](std::string& line) { return reader->ReadLine(line); });
    // The session's break key; it takes over from the runner's while the
    // debugger is attached.
    interrupts.reset(new DebugInterruptHandler);
  }
  for (const auto& block : driver.Blocks()) block->RegisterWithDebugger();
  debugger->Start();
}

bool TraceSetup::Close() {
  Detach();
  if (file == nullptr) {
    std::fflush(stdout);
    return true;
  }
  const bool written = std::fflush(file) == 0 && !std::ferror(file);
  const bool closed = std::fclose(file) == 0;
  file = nullptr;
  return written && closed;
}
