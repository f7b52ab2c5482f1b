#include "trace/SignalLoggers.h"

#include "entity/DesData.h"
#include "trace/LogControl.h"

const char* const _Logger<14>::_GetFormatStr_SampleHitRoot =
    "\\D\\nDetected %s|RTime = %.15f\\n: Block = %s\\n";
const char* const _Logger<14>::_GetFormatStr_SampleHitNest = "\\L\\n\\IDetected %s\\n\\I: Block = %s\\n";
const char* const _Logger<14>::_GetFormatStr_SigUpdateRoot =
    "\\D\\nDetected %s|RTime = %.15f\\n: NewValue  = %s\\n: PrevValue = %s\\n: Block      = %s\\n";
const char* const _Logger<14>::_GetFormatStr_SigUpdateNest =
    "\\L\\n\\IDetected %s\\n\\I: NewValue  = %s\\n\\I: PrevValue = %s\\n\\I: Block      = %s\\n";
const char* const _Logger<15>::_GetFormatStr_RootLog =
    "\\D\\nExecuting %s|RTime = %.15f\\n: Block = %s\\n";
const char* const _Logger<15>::_GetFormatStr_NestedLog = "\\L\\n\\IExecuting %s\\n\\I: Block = %s\\n";

// ------------------------------------------------------------- signals

_Logger<14>::_Logger(Des* const engine, bool nested, const std::string& kind,
                     const std::string& block)
    : _LoggerBase(engine), nested(nested), signalKind(kind), block(block), hitKind(false) {
  ChooseFormatStrFcn();
}

void _Logger<14>::ChooseFormatStrFcn() {
  hitKind = signalKind == "Sample-Time Hit" || signalKind == "Function Call";
  if (hitKind) {
    action = nested ? "sigHit" : "sigHitRoot";
    formatChooser = nested ? &_Logger<14>::SampleHitNest : &_Logger<14>::SampleHitRoot;
  } else {
    action = nested ? "sig" : "sigRoot";
    formatChooser = nested ? &_Logger<14>::SigUpdateNest : &_Logger<14>::SigUpdateRoot;
  }
}

bool _Logger<14>::GetLoggingEnabled() { return GetLogController()->GetEventLoggingEnabled(); }

LoggerData _Logger<14>::StartRecord(double time) const {
  LoggerData record;
  record.AddNameValuePair("Action", action);
  record.AddNameValuePair("FormatStr", GetFormatStr());
  record.AddNameValuePair("Policy", signalKind);
  if (!nested) record.AddNameValuePair("Time", time);
  return record;
}

void _Logger<14>::Finish(LoggerData& record) {
  record.AddNameValuePair("Block", block);
  DoProcessLog(record, nested ? EXEC_LEVEL_NESTED : EXEC_LEVEL_ROOT, false);
}

void _Logger<14>::operator()(double time, double newValue, double previousValue) {
  LoggerData record = StartRecord(time);
  if (!hitKind) {
    record.AddNameValuePair("NewValue", newValue);
    record.AddNameValuePair("PrevValue", previousValue);
  }
  Finish(record);
}

void _Logger<14>::operator()(double time, const DesData& newValue, const DesData& previousValue) {
  LoggerData record = StartRecord(time);
  if (!hitKind) {
    record.AddNameValuePair("NewValue", newValue);
    record.AddNameValuePair("PrevValue", previousValue);
  }
  Finish(record);
}

// ------------------------------------------------------------- direct updates

_Logger<15>::_Logger(Des* const engine, bool nested, const std::string& eventType,
                     const std::string& block)
    : _LoggerBase(engine), nested(nested), eventType(eventType), block(block) {
  ChooseFormatStrFcn();
}

void _Logger<15>::ChooseFormatStrFcn() {
  formatChooser = nested ? &_Logger<15>::NestedLog : &_Logger<15>::RootLog;
}

bool _Logger<15>::GetLoggingEnabled() { return GetLogController()->GetEventLoggingEnabled(); }

void _Logger<15>::operator()() {
  LoggerData record;
  record.AddNameValuePair("Action", "directUpdate");
  record.AddNameValuePair("FormatStr", (this->*formatChooser)());
  record.AddNameValuePair("EventType", eventType);
  if (!nested) record.AddNameValuePair("Time", GetTimeNow());
  record.AddNameValuePair("Block", block);
  // Both forms stand at the nested level.
  DoProcessLog(record, EXEC_LEVEL_NESTED, false);
}
