#include "trace/OperationLoggers.h"

#include "debugger/DesSimState.h"
#include "entity/DesEntity.h"
#include "kernel/DesEvent.h"
#include "kernel/NodeInterface.h"

const char* const _Logger<0>::formatStr = "\\L\\n\\IGenerating Entity (%s)\\n\\I: Block = %s\\n";
const char* const _Logger<1>::formatStr = "\\L\\n\\IDestroying Entity (%s)\\n\\I: Block = %s\\n";
const char* const _Logger<4>::formatStr =
    "\\L\\n\\IEntity Advancing (%s)\\n\\I: From = %s\\n\\I: To   = %s\\n";
const char* const _Logger<5>::formatStr = "\\D\\nInitializing Model %s\\n";
const char* const _Logger<6>::formatStr = "\\D\\nInitializing Time-Based Entity Generators\\n";
const char* const _Logger<7>::formatStr =
    "\\L\\n\\IPreempting Entity (%s)\\n\\I: NewEntity = %s (%s = %s)\\n\\I: OldEntity = %s (%s = "
    "%s)\\n\\I: Block = %s\\n";
const char* const _Logger<8>::formatStr =
    "\\L\\n\\IQueuing Entity (%s)\\n\\I: %s Pos = %s of %s\\n\\I: Capacity = %s\\n\\I: Block = %s\\n";
const char* const _Logger<9>::formatStr =
    "\\L\\n\\IReading Timer on Entity (%s)\\n\\I: Tag = %s\\n\\I: ElapsedTime = %s\\n\\I: Block = "
    "%s\\n";
const char* const _Logger<10>::formatStr =
    "\\L\\n\\IStarting Timer on Entity (%s)\\n\\I: Tag   = %s\\n\\I: Block = %s\\n";
const char* const _Logger<11>::formatStr =
    "\\L\\n\\IReplicating Entity (%s)\\n\\I: Replica %s of %s = %s\\n\\I: Block = %s\\n";
const char* const _Logger<12>::formatStr = "\\L\\n\\ICombining Entities\\n\\I: %s\\n\\I: Block = %s\\n";
const char* const _Logger<13>::formatStr =
    "\\L\\n\\ISplitting Entity (%s)\\n\\I: %s\\n\\I: Block = %s\\n";
const char* const _Logger<17>::formatStr = "\\D\\nTerminating Model %s\\n";

bool _Logger<6>::donePrintingOnce = false;

namespace {

// The record every operation starts with.
LoggerData Record(const char* action, const std::string& format) {
  LoggerData record;
  record.AddNameValuePair("Action", action);
  record.AddNameValuePair("FormatStr", format);
  return record;
}

// Unregisters an entity and, recursively, the members of a composite.
void UnRegisterWithMembers(DesSimState* state, const DesEntity* entity) {
  state->UnRegisterEntity(entity);
  for (const DesEntity* member : *entity->GetEntitySet()) UnRegisterWithMembers(state, member);
}

}  // namespace

const DesEntity* _EntityComponentLogger::ReleaseDebuggableComponent() {
  const DesEntity* taken = component;
  component = nullptr;
  return taken;
}

void _Logger<0>::operator()(const DesEvent* ev, bool stateOnly) {
  SetDebuggableComponent(ev->GetEntity());
  LoggerData record = Record("entGenerate", formatStr);
  record.AddNameValuePair("EntityId", EntityIdOf(ev));
  record.AddNameValuePair("Block", BlockText(ev->GetDstObj()));
  DoProcessLog(record, EXEC_LEVEL_NESTED, stateOnly);
}

void _Logger<0>::DoRegisterDebuggableComponent() {
  if (const DesEntity* entity = ReleaseDebuggableComponent()) GetSimState()->RegisterEntity(entity);
}

void _Logger<1>::operator()(const DesEvent* ev, bool stateOnly) {
  SetDebuggableComponent(ev->GetEntity());
  LoggerData record = Record("entDestroy", formatStr);
  record.AddNameValuePair("EntityId", EntityIdOf(ev));
  record.AddNameValuePair("Block", BlockText(ev->GetDstObj()));
  DoProcessLog(record, EXEC_LEVEL_NESTED, stateOnly);
}

void _Logger<1>::DoUnRegisterDebuggableComponent() {
  if (const DesEntity* entity = ReleaseDebuggableComponent())
    UnRegisterWithMembers(GetSimState(), entity);
}

void _Logger<4>::operator()(const DesEvent* ev, const NodeInterface* from, const NodeInterface* to) {
  LoggerData record = Record("entAdvance", formatStr);
  record.AddNameValuePair("EntityId", EntityIdOf(ev));
  record.AddNameValuePair("Block", BlockText(from));
  record.AddNameValuePair("To", BlockText(to));
  DoProcessLog(record, EXEC_LEVEL_NESTED, false);
}

void _Logger<5>::operator()(const std::string& model) {
  LoggerData record = Record("desInit", formatStr);
  record.AddNameValuePair("Model", model);
  DoProcessLog(record, EXEC_LEVEL_ROOT, false);
}

_Logger<6>::_Logger(Des* const engine) : _LoggerBase(engine) { donePrintingOnce = false; }

void _Logger<6>::operator()() {
  if (donePrintingOnce) return;
  donePrintingOnce = true;
  LoggerData record = Record("tbegInit", formatStr);
  DoProcessLog(record, EXEC_LEVEL_ROOT, false);
}

void _Logger<7>::operator()(const DesEvent* newEv, double newValue, const DesEvent* oldEv,
                            double oldValue, const std::string& attribute,
                            const std::string& block) {
  LoggerData record = Record("entPreempt", formatStr);
  record.AddNameValuePair("OldEntity", EntityIdOf(oldEv));
  record.AddNameValuePair("NewEntity", EntityIdOf(newEv));
  record.AddNameValuePair("AttName", attribute);
  record.AddNameValuePair("NewVal", newValue);
  record.AddNameValuePair("OldEntity1", EntityIdOf(oldEv));
  record.AddNameValuePair("AttName1", attribute);
  record.AddNameValuePair("OldVal", oldValue);
  record.AddNameValuePair("Block", block);
  DoProcessLog(record, EXEC_LEVEL_NESTED, false);
}

void _Logger<8>::operator()(const DesEvent* ev, const std::string& policy, uint64_t position,
                            uint64_t size, uint64_t capacity) {
  LoggerData record = Record("entQueue", formatStr);
  record.AddNameValuePair("EntityId", EntityIdOf(ev));
  record.AddNameValuePair("QPolicy", policy);
  record.AddNameValuePair("Pos", position);
  record.AddNameValuePair("Size", size);
  record.AddNameValuePair("Capacity", capacity);
  record.AddNameValuePair("Block", BlockText(ev->GetDstObj()));
  DoProcessLog(record, EXEC_LEVEL_NESTED, false);
}

void _Logger<9>::operator()(const DesEvent* ev, const std::string& tag, bool found, double elapsed) {
  LoggerData record = Record("timerRead", formatStr);
  record.AddNameValuePair("EntityId", EntityIdOf(ev));
  record.AddNameValuePair("Tag", tag);
  if (found)
    record.AddNameValuePair("ElapsedTime", elapsed);
  else
    record.AddNameValuePair("ElapsedTime", "<timer not found>");
  record.AddNameValuePair("Block", BlockText(ev->GetDstObj()));
  DoProcessLog(record, EXEC_LEVEL_NESTED, false);
}

void _Logger<10>::operator()(const DesEvent* ev, const std::string& tag) {
  LoggerData record = Record("timerStart", formatStr);
  record.AddNameValuePair("EntityId", EntityIdOf(ev));
  record.AddNameValuePair("Tag", tag);
  record.AddNameValuePair("Block", BlockText(ev->GetDstObj()));
  DoProcessLog(record, EXEC_LEVEL_NESTED, false);
}

void _Logger<11>::operator()(const DesEvent* ev, const std::string& replica, int currentPort,
                             int totalPorts) {
  LoggerData record = Record("entReplicate", formatStr);
  record.AddNameValuePair("EntityId", EntityIdOf(ev));
  record.AddNameValuePair("CurrPort", currentPort);
  record.AddNameValuePair("TotalPorts", totalPorts);
  record.AddNameValuePair("Replica", replica);
  record.AddNameValuePair("Block", BlockText(ev->GetDstObj()));
  DoProcessLog(record, EXEC_LEVEL_NESTED, false);
}

void _Logger<12>::operator()(const std::string& equation, const std::string& block,
                             const DesEvent* ev) {
  SetDebuggableComponent(ev->GetEntity());
  LoggerData record = Record("entCombine", formatStr);
  record.AddNameValuePair("Equation", equation);
  record.AddNameValuePair("Block", block);
  DoProcessLog(record, EXEC_LEVEL_NESTED, false);
}

void _Logger<12>::DoRegisterDebuggableComponent() {
  if (const DesEntity* entity = ReleaseDebuggableComponent()) GetSimState()->RegisterEntity(entity);
}

void _Logger<13>::operator()(const DesEvent* ev, const std::string& equation) {
  LoggerData record = Record("entSplit", formatStr);
  record.AddNameValuePair("EntityId", EntityIdOf(ev));
  record.AddNameValuePair("Equation", equation);
  record.AddNameValuePair("Block", BlockText(ev->GetDstObj()));
  DoProcessLog(record, EXEC_LEVEL_NESTED, false);
}

std::string _Logger<16>::GetFormatStr(const hvArray* attributes) {
  std::string format = "\\L\\n\\ISetting Attribute on Entity (%s)\\n";
  const std::size_t columns = attributes != nullptr ? hvGetN(attributes) : 0;
  for (std::size_t c = 0; c < columns; ++c) format += "\\I: %s = %s\\n";
  return format + "\\I: Block = %s\\n";
}

void _Logger<16>::operator()(const DesEvent* ev, hvArray* attributes) {
  LoggerData record;
  try {
    record = Record("entSetAtt", GetFormatStr(attributes));
    record.AddNameValuePair("EntityId", EntityIdOf(ev));
  } catch (...) {
    hvDestroyArray(attributes);
    throw;
  }
  record.AddNameValuePair("AttCell", attributes);
  record.AddNameValuePair("Block", BlockText(ev->GetDstObj()));
  DoProcessLog(record, EXEC_LEVEL_NESTED, false);
}

void _Logger<17>::operator()(const std::string& model) {
  LoggerData record = Record("endOfSim", formatStr);
  record.AddNameValuePair("Model", model);
  DoProcessLog(record, EXEC_LEVEL_ROOT, false);
}
