// Loggers of the blocks' signal side: a signal update or a sample hit
// (function call), and a block's direct update. Each is made for one block
// and form (root or nested); the form picks action and format once.
#pragma once

#include <string>

#include "trace/LoggerBase.h"

class DesData;

template <>
class _Logger<14> : public _LoggerBase {
 public:
  // kind "Sample-Time Hit" or "Function Call" logs a hit (no values);
  // anything else a signal update.
  _Logger(Des* const engine, bool nested, const std::string& kind, const std::string& block);
  _Logger(const _Logger& other) = default;

  void operator()(double time, double newValue, double previousValue);
  void operator()(double time, const DesData& newValue, const DesData& previousValue);
  bool GetLoggingEnabled() override;

  std::string GetAction() const { return action; }
  std::string GetFormatStr() const { return (this->*formatChooser)(); }
  void ChooseFormatStrFcn();

  static const char* const _GetFormatStr_SampleHitRoot;
  static const char* const _GetFormatStr_SampleHitNest;
  static const char* const _GetFormatStr_SigUpdateRoot;
  static const char* const _GetFormatStr_SigUpdateNest;

 private:
  std::string SampleHitRoot() const { return _GetFormatStr_SampleHitRoot; }
  std::string SampleHitNest() const { return _GetFormatStr_SampleHitNest; }
  std::string SigUpdateRoot() const { return _GetFormatStr_SigUpdateRoot; }
  std::string SigUpdateNest() const { return _GetFormatStr_SigUpdateNest; }
  // Action, format, kind and (root form) time: the pairs before the values.
  LoggerData StartRecord(double time) const;
  void Finish(LoggerData& record);

  bool nested;
  std::string signalKind;
  std::string block;
  std::string action;
  bool hitKind;
  std::string (_Logger<14>::*formatChooser)() const;
};

template <>
class _Logger<15> : public _LoggerBase {
 public:
  _Logger(Des* const engine, bool nested, const std::string& eventType, const std::string& block);
  _Logger(const _Logger& other) = default;

  void operator()();
  bool GetLoggingEnabled() override;

  // The nested format, whatever the form.
  std::string GetFormatStr() const { return _GetFormatStr_NestedLog; }
  void ChooseFormatStrFcn();

  static const char* const _GetFormatStr_RootLog;
  static const char* const _GetFormatStr_NestedLog;

 private:
  std::string RootLog() const { return _GetFormatStr_RootLog; }
  std::string NestedLog() const { return _GetFormatStr_NestedLog; }

  bool nested;
  std::string eventType;
  std::string block;
  std::string (_Logger<15>::*formatChooser)() const;
};
