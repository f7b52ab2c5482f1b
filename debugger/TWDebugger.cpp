#include "debugger/TWDebugger.h"

#include "debugger/BreakPointManager.h"
#include "debugger/CommandLineShell.h"
#include "debugger/DebugBlock.h"
#include "debugger/DesSimState.h"
#include "kernel/Des.h"
#include "support/HostBridge.h"
#include "trace/LogControl.h"
#include "trace/LoggerData.h"
#include "trace/OperationLoggers.h"

std::deque<std::string> TWDebugger::startfcn;

TWDebugger::TWDebugger(Des* engine, const char* name)
    : des(engine),
      shell(nullptr),
      breakPointManager(nullptr),
      logControl(nullptr),
      simState(nullptr),
      modelName(name != nullptr ? name : "") {
  DebugBlock::Initialize();
  try {
    shell = new CommandLineShell(this);
    breakPointManager = new BreakPointManager(this);
    simState = new DesSimState(this, des);
    logControl = new LogControl(this);
  } catch (...) {
    Release();
    throw;
  }
}

TWDebugger::~TWDebugger() {
  Release();
  startfcn.clear();
}

void TWDebugger::Release() {
  delete shell;
  delete breakPointManager;
  delete logControl;
  delete simState;
  shell = nullptr;
  breakPointManager = nullptr;
  logControl = nullptr;
  simState = nullptr;
}

void TWDebugger::Start() {
  pmCallCorvane(0, nullptr, 0, nullptr, "des_printDebugBanner");
  _Logger<5> log(des);
  log(modelName);
}

void TWDebugger::StartShell() { shell->Start(); }

void TWDebugger::Abort() {
  hostPrintf("Tarnwell Debugger: Abort\n");
  logControl->DisableAllLogging();
  shell->SetContinueSim(true);
  breakPointManager->SetBreakEnabled(false);
  breakPointManager->SetSingleSteppingEnabled(false);
  des->SetStopRequestedByDebugger(true);
}

void TWDebugger::SetStartFcn(hvArray* commands) {
  startfcn.clear();
  if (commands == nullptr) return;
  if (hvGetClassID(commands) != hvCELL_CLASS) {
    if (hvGetClassID(commands) == hvCHAR_CLASS) startfcn.push_back(HvArrayText(commands));
    return;
  }
  const std::size_t n = hvGetNumberOfElements(commands);
  for (std::size_t i = 0; i < n; ++i) startfcn.push_back(HvArrayText(hvGetCell(commands, i)));
}

std::string TWDebugger::GetNextFromStartFcn() {
  if (startfcn.empty()) return std::string();
  std::string next = startfcn.front();
  startfcn.pop_front();
  return next;
}
