// The debugger's view of the running simulation: the current records and
// ids (from the last processed log record), the registries of live events,
// entities and debuggable blocks, lookups by id and name, and the flag of a
// breakpoint hit whose prompt has not yet run.
//
// The registries follow the loggers: an event enters at its scheduling
// record and leaves at its execution or cancellation record; an entity
// enters when generated or combined and leaves (with its members) when
// destroyed. Events and entities are not owned; the DebugBlock records and
// both stored records are.
#pragma once

#include <map>
#include <set>
#include <string>

#include "support/HostInterface.h"

class Des;
class DesEntity;
class DesEvent;
class DebugBlock;
class EventCalendarBase;
class LoggerData;
class NodeInterface;
class TWDebugger;

class DesSimState {
 public:
  DesSimState(TWDebugger* owner, Des* engine);
  DesSimState(const DesSimState&) = delete;
  DesSimState& operator=(const DesSimState&) = delete;
  ~DesSimState();

  TWDebugger* GetDebugger() const { return debugger; }

  // Level clamped to 0..1. A root record replaces the root copy and drops
  // the nested one; a nested record replaces the nested copy. The current
  // ids are cleared, then read from "EventId", "EntityId", "Block", "To".
  void SetCurrentState(const LoggerData& record, int level);
  // The same, keeping the values the record lends instead of copies (the
  // logger framework's way; the record must not outlive the next change
  // of the current state while it reads its values).
  void KeepCurrentState(LoggerData& record, int level);
  int GetCurrentExecLevel() const { return currentExecLevel; }
  const LoggerData* GetCurrentRootLog() const { return rootLog; }
  const LoggerData* GetCurrentNestedLog() const { return nestedLog; }
  const std::string& GetCurrentEventId() const { return currentEventId; }
  const std::string& GetCurrentEntityId() const { return currentEntityId; }
  // The DebugBlock name of the current block; empty while that block is
  // not registered.
  std::string GetCurrentBlock() const;
  std::string GetCurrentBlockId() const;
  std::string GetCurrentEntDestBlockId() const;
  bool IsCurrentBlock(const std::string& id) const;

  // First match in address order; null when none.
  DesEvent* GetEventById(const std::string& id) const;
  DesEntity* GetEntityById(const std::string& id) const;
  DebugBlock* GetBlockById(const std::string& id) const;
  DebugBlock* GetBlockByName(const std::string& name) const;

  void RegisterEvent(const DesEvent* e) { events.insert(const_cast<DesEvent*>(e)); }
  void UnRegisterEvent(const DesEvent* e) { events.erase(const_cast<DesEvent*>(e)); }
  void RegisterEntity(const DesEntity* e) { entities.insert(const_cast<DesEntity*>(e)); }
  void UnRegisterEntity(const DesEntity* e) { entities.erase(const_cast<DesEntity*>(e)); }

  // A new DebugBlock (next id) named after the block, or `name` when given.
  void RegisterDebuggableBlock(NodeInterface* block, const std::string& name);
  // Makes the block a child of the registered block called `parent`; when
  // there is none, registers it as a block of its own named `parent`.
  void RegisterInternalDebuggableBlock(NodeInterface* block, const std::string& parent);
  void RegisterMRSignalPortCecState(const std::string& port, bool flag) {
    signalPortStates[port] = flag;
  }

  void SetBreakPointHitPending(bool pending) { breakPointHitPending = pending; }
  bool IsBreakPointHitPending() const { return breakPointHitPending; }

  // Takes over the table (a previous one is released).
  void SetEventCalendarHvArray(hvArray* table);
  // Hands the table to the caller and forgets it; null when none.
  hvArray* ReleaseEventCalendarHvArray();

  double GetTimeNow() const;
  EventCalendarBase* GetEventCalendar() const;

  // "\nCurrent Operation:\n\n", the root record, the nested record, "\n".
  void PrintCurrentSimState() const;
  // 2 x blocks: id, name. Host arrays below are the caller's.
  hvArray* GetBlockListAsHvArray() const;
  hvArray* TestFcn_DumpEventCollectionIDContents() const;
  hvArray* TestFcn_DumpEntityCollectionIDContents() const;
  hvArray* TestFcn_DumpMRSignalBlockCollectionContents() const;

 private:
  // Stores the kept record (owned from here on) at the clamped level and
  // reads the current ids from it.
  void Keep(LoggerData* kept, int level);
  void ClearCurrentIds();
  void SetCurrentEvent(const std::string& id) { currentEventId = id; }
  void SetCurrentEntity(const std::string& id) { currentEntityId = id; }
  void SetCurrentBlock(const std::string& block) { currentBlock = block; }
  std::string IdOfBlockNamed(const std::string& name) const;
  void AddBlock(DebugBlock* block, NodeInterface* node);

  TWDebugger* debugger;
  Des* des;
  int currentExecLevel;
  LoggerData* rootLog;
  LoggerData* nestedLog;
  std::string currentEventId;
  std::string currentEntityId;
  std::string currentBlock;
  std::string currentDestBlock;
  hvArray* eventCalendarArray;
  std::set<DesEvent*> events;
  std::set<DesEntity*> entities;
  std::set<DebugBlock*> blocks;
  std::map<std::string, bool> signalPortStates;
  std::map<std::string, std::string> blockNames;
  bool breakPointHitPending;
};
