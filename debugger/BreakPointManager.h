// The breakpoints of one debugger, and the two questions the logger
// framework asks of every record: is a breakpoint hit now, and does
// single-stepping stop here. The debugger's commands set, enable, disable,
// delete and list breakpoints through it.
//
// Breakpoints that can still stop live in `active`; one-shot breakpoints
// whose condition has held (and timed ones set for a time already past)
// are kept in `hitOnce` for listing only; `where` says which of the two
// holds an id. The manager owns every breakpoint.
#pragma once

#include <map>
#include <string>

#include "support/HostInterface.h"

class BreakPoint;
class TWDebugger;

class BreakPointManager {
 public:
  typedef std::map<std::string, BreakPoint*> BreakPointMap;

  // Restarts the id counter and makes the built-in end-of-simulation
  // breakpoint (b0, kept under "__endofsim__").
  explicit BreakPointManager(TWDebugger* const owner);
  BreakPointManager(const BreakPointManager&) = delete;
  BreakPointManager& operator=(const BreakPointManager&) = delete;
  ~BreakPointManager();

  // The new breakpoint's id; empty, and nothing made, when `blockId` names
  // no registered block.
  std::string SetBlockBreakPoint(const std::string& blockId);
  std::string SetTimedBreakPoint(const double& time);
  // Made whether or not the event is live; `exists` tells which.
  std::string SetEventBreakPoint(const std::string& eventId, bool& exists);

  // False, printing nothing, when no breakpoint has the id.
  bool EnableBreakPoint(const std::string& id);
  bool DisableBreakPoint(const std::string& id);
  bool DeleteBreakPoint(const std::string& id);

  // True when an enabled breakpoint is hit by the current record, or when
  // the user's break key (the host's interrupt) was pressed while the model
  // ran: the interrupt is taken here, so the prompt that opens does not
  // read it as an interrupt of its own.
  bool IsAnyBreakPointHit();
  bool GetSingleStepNow() const;
  // The level of the current record plus delta, clamped to 0..1: 1 stops
  // at the next printed record, 0 at the next printed root record.
  void SetNextSingleStepExecLevel(const int& delta);
  int GetNextSingleStepExecLevel() const { return nextSingleStepExecLevel; }
  void SetBreakEnabled(bool on) { breakEnabled = on; }
  bool GetBreakEnabled() const { return breakEnabled; }
  void SetSingleSteppingEnabled(bool on) { singleSteppingEnabled = on; }
  bool GetSingleSteppingEnabled() const { return singleSteppingEnabled; }
  TWDebugger* GetDebugger() const { return debugger; }

  // 4 x listed: id, type, target, enabled (0 or 1); the user's breakpoints
  // of active, then of hitOnce, each in id order. The caller owns it.
  hvArray* GetAllBreakPointsAsCell() const;

  static const char* const endOfSimKey;

 private:
  typedef void (BreakPointManager::*Action)(BreakPointMap& map, BreakPointMap::iterator it);
  bool ProcessBreakPointAction(const std::string& id, Action action);
  void PrivateEnableBreakPoint(BreakPointMap& map, BreakPointMap::iterator it);
  void PrivateDisableBreakPoint(BreakPointMap& map, BreakPointMap::iterator it);
  void PrivateDeleteBreakPoint(BreakPointMap& map, BreakPointMap::iterator it);
  // Files a new breakpoint (owned from here on, also when filing fails),
  // displays it with "Set" and returns its id.
  std::string File(BreakPoint* made, bool retired);

  TWDebugger* debugger;
  int nextSingleStepExecLevel;
  bool breakEnabled;
  bool singleSteppingEnabled;
  BreakPointMap active;
  BreakPointMap hitOnce;
  std::map<std::string, BreakPointMap*> where;
};
