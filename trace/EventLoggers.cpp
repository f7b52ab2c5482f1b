#include "trace/EventLoggers.h"

#include "debugger/DesSimState.h"
#include "kernel/DesEvent.h"
#include "kernel/NodeInterface.h"
#include "trace/LogControl.h"

namespace {

const char* const kNoEntity = "<none>";

}  // namespace

const char* const _EventLogger<0>::formatWithEntity =
    "\\L\\n\\IScheduling %s Event (%s)\\n\\I: EventTime = %.15f%s\\n\\I: Priority  = %s\\n\\I: "
    "Entity    = %s\\n\\I: Block     = %s\\n";
const char* const _EventLogger<0>::formatWithoutEntity =
    "\\L\\n\\IScheduling %s Event (%s)\\n\\I: EventTime = %.15f%s\\n\\I: Priority  = %s\\n\\I: "
    "Block     = %s\\n";
const char* const _EventLogger<1>::formatStr =
    "\\D\\nExecuting %s Event (%s)|RTime = %.15f\\n: Entity = %s|RPriority = %s\\n: Block  = %s\\n";
const char* const _EventLogger<2>::formatWithEntity =
    "\\L\\n\\ICanceling %s Event (%s)\\n\\I: EventTime = %.15f\\n\\I: Priority  = %s\\n\\I: Entity  "
    "  = %s\\n\\I: Block     = %s\\n";
const char* const _EventLogger<2>::formatWithoutEntity =
    "\\L\\n\\ICanceling %s Event (%s)\\n\\I: EventTime = %.15f\\n\\I: Priority  = %s\\n\\I: Block  "
    "   = %s\\n";

// ------------------------------------------------------------- shared call

void _Logger<2>::operator()(const DesEvent* ev) {
  if (ev->IsTempEvent()) return;
  std::string type;
  const NodeInterface* block = nullptr;
  EventTypeAndBlock(ev, type, block);
  std::string action = GetPolicy();
  if (ev->GetEntityId() == kNoEntity) action += "NoEnt";
  std::string format = GetFormatStr(action);
  LoggerData record;
  record.AddNameValuePair("Action", std::move(action));
  record.AddNameValuePair("FormatStr", std::move(format));
  record.AddNameValuePair("EventType", type);
  AddData(ev, record);
  record.AddNameValuePair("Block", BlockText(block));
  DoProcessLog(record, GetExecLevel(), false);
}

bool _Logger<2>::GetLoggingEnabled() { return GetLogController()->GetEventLoggingEnabled(); }

std::string _Logger<2>::GetPolicy() { return "INVALID"; }

ExecutionLevel _Logger<2>::GetExecLevel() { return EXEC_LEVEL_NONE; }

void _Logger<2>::AddData(const DesEvent*, LoggerData&) {}

std::string _Logger<2>::GetFormatStr(const std::string&) { return std::string(); }

const DesEvent* _Logger<2>::ReleaseDebuggableComponent() {
  const DesEvent* taken = component;
  component = nullptr;
  return taken;
}

// ------------------------------------------------------------- scheduling

void _Logger<2>::AddWaitingEventData(const DesEvent* ev, LoggerData& record, bool withNow) {
  SetDebuggableComponent(ev);
  record.AddNameValuePair("EventId", ev->GetId());
  record.AddNameValuePair("Time", ev->GetTime());
  if (withNow) record.AddNameValuePair("Now", ev->GetTime() == GetTimeNow() ? " (Now)" : "");
  record.AddNameValuePair("Priority", ev->GetPriorityAsString());
  if (ev->GetEntityId() != kNoEntity) record.AddNameValuePair("EntityId", ev->GetEntityId());
}

void _Logger<2>::UnRegisterComponent() {
  if (const DesEvent* ev = ReleaseDebuggableComponent()) GetSimState()->UnRegisterEvent(ev);
}

void _EventLogger<0>::AddData(const DesEvent* ev, LoggerData& record) {
  AddWaitingEventData(ev, record, true);
}

std::string _EventLogger<0>::GetFormatStr(const std::string& action) {
  return action == GetPolicy() ? formatWithEntity : formatWithoutEntity;
}

void _EventLogger<0>::DoRegisterDebuggableComponent() {
  if (const DesEvent* ev = ReleaseDebuggableComponent()) GetSimState()->RegisterEvent(ev);
}

// ------------------------------------------------------------- execution

void _EventLogger<1>::AddData(const DesEvent* ev, LoggerData& record) {
  SetDebuggableComponent(ev);
  record.AddNameValuePair("EventId", ev->GetId());
  record.AddNameValuePair("Time", GetTimeNow());
  record.AddNameValuePair("EntityId", ev->GetEntityId());
  record.AddNameValuePair("Priority", ev->GetPriorityAsString());
}

std::string _EventLogger<1>::GetFormatStr(const std::string&) { return formatStr; }

void _EventLogger<1>::DoUnRegisterDebuggableComponent() { UnRegisterComponent(); }

// ------------------------------------------------------------- cancellation

void _EventLogger<2>::AddData(const DesEvent* ev, LoggerData& record) {
  AddWaitingEventData(ev, record, false);
}

std::string _EventLogger<2>::GetFormatStr(const std::string& action) {
  return action == GetPolicy() ? formatWithEntity : formatWithoutEntity;
}

void _EventLogger<2>::DoUnRegisterDebuggableComponent() { UnRegisterComponent(); }
