#include "app/TraceSetup.h"

#include <cerrno>
#include <cstring>
#include <memory>

#include "host/HostControl.h"
#include "host/ModelBlock.h"
#include "host/ModelDriver.h"
#include "host/TraceRenderer.h"
#include "tarnwell.h"

TraceSetup::TraceSetup(const RunOptions& options) : options(options), file(nullptr), attached(false) {}

namespace {

// The renderer holds the trace file: once the run is over, nothing may
// reach it through the host's functions.
void Uninstall() {
  host::unregisterFunction("des_dbg_log");
  host::unregisterFunction("des_printDebugBanner");
  host::unregisterFunction("des_activateCmdWin");
}

}  // namespace

TraceSetup::~TraceSetup() {
  if (attached) Uninstall();
  if (file != nullptr) std::fclose(file);
}

bool TraceSetup::Open(std::string& problem) {
  if (options.traceFile.empty()) return true;
  file = std::fopen(options.traceFile.c_str(), "w");
  if (file == nullptr) problem = "cannot write '" + options.traceFile + "': " + std::strerror(errno);
  return file != nullptr;
}

void TraceSetup::Attach(ModelDriver& driver) {
  Des* engine = driver.Engine();
  engine->StartDebugger(driver.Config().modelName.c_str());
  TWDebugger* debugger = engine->GetDebugger();
  if (debugger == nullptr) return;  // no memory for it: the run goes on untraced
  engine->GetEventCalendar()->InitCalendarLoggers();
  // Tracing alone never stops at the prompt.
  debugger->GetBreakPointManager()->SetBreakEnabled(false);
  LogControl* control = debugger->GetLogController();
  control->SetEventLoggingEnabled(options.traceEvents);
  control->SetEntityLoggingEnabled(options.traceEntities);
  control->SetCalendarLoggingEnabled(options.traceCalendar);
  attached = true;
  host::TraceRenderer::Install(std::make_shared<host::TraceRenderer>(
      options.traceJson ? host::TraceRenderer::Format::JsonLines : host::TraceRenderer::Format::Text,
      file != nullptr ? file : stdout));
  // No prompt, so no banner.
  host::registerFunction("des_printDebugBanner", [](int, hvArray*[], int, hvArray*[]) {});
  for (const auto& block : driver.Blocks()) debugger->GetSimState()->RegisterDebuggableBlock(block.get(), "");
  debugger->Start();
}

bool TraceSetup::Close() {
  if (attached) Uninstall();
  attached = false;
  if (file == nullptr) {
    std::fflush(stdout);
    return true;
  }
  const bool written = std::fflush(file) == 0 && !std::ferror(file);
  const bool closed = std::fclose(file) == 0;
  file = nullptr;
  return written && closed;
}
