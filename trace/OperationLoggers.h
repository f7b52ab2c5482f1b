// The loggers of entity and block operations, and of the model's start and
// end. Blocks construct them from the engine (the engine must have a
// debugger) and call them with the operation's particulars; each builds
// "Action", "FormatStr" and its own pairs in the order of its format's
// conversions. Formats keep their markup as stored: a backslash and a
// letter are two characters, which the renderer interprets.
#pragma once

#include <cstdint>
#include <string>

#include "trace/LoggerBase.h"

class DesEntity;
class DesEvent;
class NodeInterface;

// Entity loggers that register or unregister the entity of their event.
class _EntityComponentLogger : public _LoggerBase {
 public:
  explicit _EntityComponentLogger(Des* const engine) : _LoggerBase(engine), component(nullptr) {}
  void SetDebuggableComponent(const DesEntity* entity) { component = entity; }
  const DesEntity* ReleaseDebuggableComponent();

 private:
  const DesEntity* component;
};

// "entGenerate": registers the new entity.
template <>
class _Logger<0> : public _EntityComponentLogger {
 public:
  explicit _Logger(Des* const engine) : _EntityComponentLogger(engine) {}
  void operator()(const DesEvent* ev, bool stateOnly = false);
  void DoRegisterDebuggableComponent() override;
  static const char* const formatStr;
};

// "entDestroy": unregisters the entity and, for a composite, its members.
template <>
class _Logger<1> : public _EntityComponentLogger {
 public:
  explicit _Logger(Des* const engine) : _EntityComponentLogger(engine) {}
  void operator()(const DesEvent* ev, bool stateOnly = false);
  void DoUnRegisterDebuggableComponent() override;
  static const char* const formatStr;
};

// "entAdvance".
template <>
class _Logger<4> : public _LoggerBase {
 public:
  explicit _Logger(Des* const engine) : _LoggerBase(engine) {}
  void operator()(const DesEvent* ev, const NodeInterface* from, const NodeInterface* to);
  static const char* const formatStr;
};

// "desInit": the model starts (root record).
template <>
class _Logger<5> : public _LoggerBase {
 public:
  explicit _Logger(Des* const engine) : _LoggerBase(engine) {}
  void operator()(const std::string& model);
  static const char* const formatStr;
};

// "tbegInit": printed once after the latest construction of any of them;
// never stops by itself.
template <>
class _Logger<6> : public _LoggerBase {
 public:
  explicit _Logger(Des* const engine);
  _Logger(const _Logger& other) = default;
  void operator()();
  bool GetBreakNow() override { return false; }
  bool GetSingleStepNow() override { return false; }
  static const char* const formatStr;
  static bool donePrintingOnce;
};

// "entPreempt".
template <>
class _Logger<7> : public _LoggerBase {
 public:
  explicit _Logger(Des* const engine) : _LoggerBase(engine) {}
  void operator()(const DesEvent* newEv, double newValue, const DesEvent* oldEv, double oldValue,
                  const std::string& attribute, const std::string& block);
  static const char* const formatStr;
};

// "entQueue".
template <>
class _Logger<8> : public _LoggerBase {
 public:
  explicit _Logger(Des* const engine) : _LoggerBase(engine) {}
  void operator()(const DesEvent* ev, const std::string& policy, uint64_t position, uint64_t size,
                  uint64_t capacity);
  static const char* const formatStr;
};

// "timerRead".
template <>
class _Logger<9> : public _LoggerBase {
 public:
  explicit _Logger(Des* const engine) : _LoggerBase(engine) {}
  void operator()(const DesEvent* ev, const std::string& tag, bool found, double elapsed);
  static const char* const formatStr;
};

// "timerStart".
template <>
class _Logger<10> : public _LoggerBase {
 public:
  explicit _Logger(Des* const engine) : _LoggerBase(engine) {}
  void operator()(const DesEvent* ev, const std::string& tag);
  static const char* const formatStr;
};

// "entReplicate".
template <>
class _Logger<11> : public _LoggerBase {
 public:
  explicit _Logger(Des* const engine) : _LoggerBase(engine) {}
  void operator()(const DesEvent* ev, const std::string& replica, int currentPort, int totalPorts);
  static const char* const formatStr;
};

// "entCombine": registers the new composite.
template <>
class _Logger<12> : public _EntityComponentLogger {
 public:
  explicit _Logger(Des* const engine) : _EntityComponentLogger(engine) {}
  void operator()(const std::string& equation, const std::string& block, const DesEvent* ev);
  void DoRegisterDebuggableComponent() override;
  static const char* const formatStr;
};

// "entSplit".
template <>
class _Logger<13> : public _LoggerBase {
 public:
  explicit _Logger(Des* const engine) : _LoggerBase(engine) {}
  void operator()(const DesEvent* ev, const std::string& equation);
  static const char* const formatStr;
};

// "entSetAtt": the attributes array (2 rows: name, value per column) goes
// into the record, which takes it over.
template <>
class _Logger<16> : public _LoggerBase {
 public:
  explicit _Logger(Des* const engine) : _LoggerBase(engine) {}
  void operator()(const DesEvent* ev, hvArray* attributes);
  // One "\I: %s = %s\n" line per column of the attributes array.
  static std::string GetFormatStr(const hvArray* attributes);
};

// "endOfSim": the model ends (root record).
template <>
class _Logger<17> : public _LoggerBase {
 public:
  explicit _Logger(Des* const engine) : _LoggerBase(engine) {}
  void operator()(const std::string& model);
  static const char* const formatStr;
};
