// The loggers of the event calendar: scheduling, execution and
// cancellation of an event. The calendar owns one of each (while the
// engine debugs) and calls it with the event; temporary events are never
// logged. They share one call and differ in tag, level, pairs and format.
#pragma once

#include <string>

#include "trace/LoggerBase.h"

// The shared event call; on its own it logs nothing useful ("INVALID").
template <>
class _Logger<2> : public _LoggerBase {
 public:
  explicit _Logger(Des* const engine) : _LoggerBase(engine), component(nullptr) {}
  void operator()(const DesEvent* ev);

  bool GetLoggingEnabled() override;
  virtual std::string GetPolicy();
  virtual ExecutionLevel GetExecLevel();
  virtual void AddData(const DesEvent* ev, LoggerData& record);
  virtual std::string GetFormatStr(const std::string& action);

  void SetDebuggableComponent(const DesEvent* ev) { component = ev; }
  const DesEvent* ReleaseDebuggableComponent();

 protected:
  // Pairs of a waiting event (scheduled or cancelled): id, time, optionally
  // the " (Now)" mark, priority, and the entity when there is one. The
  // event becomes the pending component.
  void AddWaitingEventData(const DesEvent* ev, LoggerData& record, bool withNow);
  void UnRegisterComponent();

 private:
  const DesEvent* component;
};

// "evtSched": registers the event.
template <>
class _EventLogger<0> : public _Logger<2> {
 public:
  explicit _EventLogger(Des* const engine) : _Logger<2>(engine) {}
  std::string GetPolicy() override { return "evtSched"; }
  ExecutionLevel GetExecLevel() override { return EXEC_LEVEL_NESTED; }
  void AddData(const DesEvent* ev, LoggerData& record) override;
  std::string GetFormatStr(const std::string& action) override;
  void DoRegisterDebuggableComponent() override;
  static const char* const formatWithEntity;
  static const char* const formatWithoutEntity;
};

// "evtExec": unregisters the event once its record is through.
template <>
class _EventLogger<1> : public _Logger<2> {
 public:
  explicit _EventLogger(Des* const engine) : _Logger<2>(engine) {}
  std::string GetPolicy() override { return "evtExec"; }
  ExecutionLevel GetExecLevel() override { return EXEC_LEVEL_ROOT; }
  void AddData(const DesEvent* ev, LoggerData& record) override;
  std::string GetFormatStr(const std::string& action) override;
  void DoUnRegisterDebuggableComponent() override;
  static const char* const formatStr;
};

// "evtCancel": unregisters the event.
template <>
class _EventLogger<2> : public _Logger<2> {
 public:
  explicit _EventLogger(Des* const engine) : _Logger<2>(engine) {}
  std::string GetPolicy() override { return "evtCancel"; }
  ExecutionLevel GetExecLevel() override { return EXEC_LEVEL_NESTED; }
  void AddData(const DesEvent* ev, LoggerData& record) override;
  std::string GetFormatStr(const std::string& action) override;
  void DoUnRegisterDebuggableComponent() override;
  static const char* const formatWithEntity;
  static const char* const formatWithoutEntity;
};
