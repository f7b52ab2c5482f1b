#include "trace/LoggerBase.h"

#include <cstdio>

#include "debugger/BreakPointManager.h"
#include "debugger/DesSimState.h"
#include "debugger/TWDebugger.h"
#include "kernel/Des.h"
#include "kernel/DesEvent.h"
#include "kernel/NodeInterface.h"
#include "support/DesExcept.h"
#include "support/HostBridge.h"
#include "support/HvCleaner.h"
#include "trace/LogControl.h"

_LoggerBase::_LoggerBase(Des* const engine)
    : des(engine),
      debugger(engine->GetDebugger()),
      simState(debugger->GetSimState()),
      logControl(debugger->GetLogController()),
      breakPointManager(debugger->GetBreakPointManager()) {}

_LoggerBase::~_LoggerBase() {}

bool _LoggerBase::GetBreakNow() { return breakPointManager->IsAnyBreakPointHit(); }

bool _LoggerBase::GetLoggingEnabled() { return logControl->GetEntityLoggingEnabled(); }

bool _LoggerBase::GetSingleStepNow() { return breakPointManager->GetSingleStepNow(); }

// The state view keeps the record's own values instead of copies: the
// record lends them (see LoggerData).
void _LoggerBase::SetCurrentState(LoggerData& record, ExecutionLevel level) {
  simState->KeepCurrentState(record, level);
}

void _LoggerBase::DoRegisterDebuggableComponent() {}

void _LoggerBase::DoUnRegisterDebuggableComponent() {}

double _LoggerBase::GetTimeNow() const { return des->GetTimeNow(); }

std::string _LoggerBase::GetEventTime(const DesEvent* e) {
  char text[512];
  std::snprintf(text, sizeof text, "%.15f", e->GetTime());
  return text;
}

void _LoggerBase::SetDefaultLogging() { logControl->SetDefaultLogging(); }

std::string _LoggerBase::BlockText(const NodeInterface* block) {
  return block != nullptr ? block->getFieldAsString("Parent") : std::string();
}

std::string _LoggerBase::EntityIdOf(const DesEvent* e) { return e->GetEntityId(); }

void _LoggerBase::EventTypeAndBlock(const DesEvent* ev, std::string& type,
                                    const NodeInterface*& block) {
  if (const DesEventFunctor* f = ev->GetFunctor()) {
    type = f->GetName();
    block = f->GetBlock();
  } else {
    block = ev->GetDstObj();
    type = block != nullptr ? block->GetEventType() : std::string();
  }
}

void _LoggerBase::DoProcessLog(LoggerData& record, ExecutionLevel level, bool stateOnly) {
  SetCurrentState(record, level);
  DoRegisterDebuggableComponent();
  if (!stateOnly) {
    LogConditionManager condition{this, simState, false, false, false};
    condition.breakNow = GetBreakNow() || simState->IsBreakPointHitPending();
    condition.singleStepNow = GetSingleStepNow();
    condition.printNow = GetLoggingEnabled();
    simState->SetBreakPointHitPending(condition.breakNow);
    // Root rule: the execution of an event shows whenever anything shows.
    if (level == EXEC_LEVEL_ROOT && logControl->IsAnyLoggingEnabled()) condition.printNow = true;
    if (DoPrintLog(record, &condition)) {
      DoStartShell(&condition);
      if (des->IsStopRequestedByDebugger()) throw new DesExcept(DES_QuitDebugger);
    }
  }
  DoUnRegisterDebuggableComponent();
}

// A record nobody sees goes without being laid out in a cell. Values the
// record does not own (lent to the state view) are sent as duplicates.
bool _LoggerBase::DoPrintLog(LoggerData& record, LogConditionManager* condition) {
  const bool send = condition->printNow || simState->IsBreakPointHitPending();
  if (!send) {
    record.DropValues();
    return false;
  }
  HvCleaner guard;
  hvArray* cell = hvCreateCellMatrix(2, record.Size());
  if (cell == nullptr) record.DropValues();
  guard.addHvArray(CheckedHvArray(cell));
  for (std::size_t k = 0; k < record.Size(); ++k) {
    hvSetCell(cell, 2 * k + 1, record.TakeValue(k));
    hvSetCell(cell, 2 * k, CheckedHvArray(hvCreateString(record.Name(k).c_str())));
  }
  record.DropValues();
  hvArray* in[1] = {cell};
  hvArray* out[1] = {nullptr};
  pmCallCorvane(1, out, 1, in, "des_dbg_log");
  guard.addHvArray(out[0]);
  return out[0] != nullptr && hvGetClassID(out[0]) == hvDOUBLE_CLASS &&
         hvGetNumberOfElements(out[0]) > 0 && hvGetPr(out[0])[0] == 0.0;
}

void _LoggerBase::DoStartShell(LogConditionManager* condition) {
  if (simState->IsBreakPointHitPending() || condition->singleStepNow) {
    simState->SetBreakPointHitPending(false);
    debugger->StartShell();
  }
}
