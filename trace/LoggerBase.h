// The logger framework: every traced operation is one LoggerData record
// that a logger hands, always in this order, to the debugger's state view,
// to the registries of live events and entities, to the host's renderer
// ("des_dbg_log") when its switch is on, and to the prompt when a
// breakpoint or a single step asks for a stop.
//
// A logger can be made only while the engine has a debugger: it copies the
// debugger's parts and owns none of them.
#pragma once

#include <string>

#include "trace/LoggerData.h"

class Des;
class DesEvent;
class NodeInterface;
class TWDebugger;
class DesSimState;
class LogControl;
class BreakPointManager;
class _LoggerBase;

// Nesting of a record: the execution of an event (and model start and end)
// is a root; what happens while it runs is nested; the calendar dump stands
// apart. The state view keeps only 0 and 1.
enum ExecutionLevel {
  EXEC_LEVEL_NONE = -1,  // the base event logger's own, never processed
  EXEC_LEVEL_ROOT = 0,
  EXEC_LEVEL_NESTED = 1,
  EXEC_LEVEL_CALENDAR = 2,
};

// The decisions taken for one record.
struct LogConditionManager {
  _LoggerBase* logger;
  DesSimState* simState;
  bool breakNow;       // a breakpoint is hit now, or one was pending
  bool singleStepNow;  // single-stepping asks to stop at this record
  bool printNow;       // the record is to be printed
};

template <int N>
class _Logger;
template <int N>
class _EventLogger;

class _LoggerBase {
 public:
  explicit _LoggerBase(Des* const engine);
  _LoggerBase(const _LoggerBase& other) = default;
  _LoggerBase& operator=(const _LoggerBase&) = delete;

  virtual ~_LoggerBase();
  virtual bool GetBreakNow();
  virtual bool GetLoggingEnabled();
  virtual bool GetSingleStepNow();
  virtual void SetCurrentState(LoggerData& record, ExecutionLevel level);
  virtual void DoRegisterDebuggableComponent();
  virtual void DoUnRegisterDebuggableComponent();

  Des* GetDesInstance() const { return des; }
  TWDebugger* GetDebugger() const { return debugger; }
  DesSimState* GetSimState() const { return simState; }
  LogControl* GetLogController() const { return logControl; }
  BreakPointManager* GetBreakPointManager() const { return breakPointManager; }
  double GetTimeNow() const;
  // The event's time as "%.15f" text.
  static std::string GetEventTime(const DesEvent* e);
  void SetDefaultLogging();

  // The one way a record is processed: state, register, decide, print,
  // prompt, abort (DES_QuitDebugger when the user quit at the prompt),
  // unregister. With stateOnly only the state and the registries change.
  void DoProcessLog(LoggerData& record, ExecutionLevel level, bool stateOnly);
  // Takes the record's values (they are destroyed, printed or not); sends
  // them to the renderer when the record is printed or a break is pending.
  // True when the renderer answered 0, so the stop checks go on.
  bool DoPrintLog(LoggerData& record, LogConditionManager* condition);
  void DoStartShell(LogConditionManager* condition);

 protected:
  // "Parent" field of a block, the text records name blocks by; empty for
  // no block.
  static std::string BlockText(const NodeInterface* block);
  static std::string EntityIdOf(const DesEvent* e);
  // Event type and block of an event: its functor's when it has one, else
  // its destination's.
  static void EventTypeAndBlock(const DesEvent* ev, std::string& type, const NodeInterface*& block);

 private:
  Des* des;
  TWDebugger* debugger;
  DesSimState* simState;
  LogControl* logControl;
  BreakPointManager* breakPointManager;
};
