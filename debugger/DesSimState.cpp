#include "debugger/DesSimState.h"

#include <memory>

#include "debugger/DebugBlock.h"
#include "debugger/TextCell.h"
#include "entity/DesEntity.h"
#include "kernel/Des.h"
#include "kernel/DesEvent.h"
#include "kernel/NodeInterface.h"
#include "support/HvCleaner.h"
#include "trace/LoggerData.h"

namespace {

std::string HostNameOf(const NodeInterface* block) {
  const char* name = block != nullptr ? block->GetBlkParentName() : nullptr;
  return name != nullptr ? name : "";
}

template <class Set>
hvArray* IdColumn(const Set& set) {
  std::vector<std::string> ids;
  for (auto* item : set) ids.push_back(item->GetId());
  return NewTextCell(ids.size(), 1, ids);
}

}  // namespace

DesSimState::DesSimState(TWDebugger* owner, Des* engine)
    : debugger(owner),
      des(engine),
      currentExecLevel(0),
      rootLog(nullptr),
      nestedLog(nullptr),
      eventCalendarArray(nullptr),
      breakPointHitPending(false) {}

DesSimState::~DesSimState() {
  delete rootLog;
  delete nestedLog;
  hvDestroyArray(eventCalendarArray);
  for (DebugBlock* b : blocks) delete b;
}

// The copy is made before anything changes, so a failed copy leaves the
// previous state whole.
void DesSimState::SetCurrentState(const LoggerData& record, int level) {
  Keep(new LoggerData(record), level);
}

void DesSimState::KeepCurrentState(LoggerData& record, int level) {
  std::unique_ptr<LoggerData> kept(new LoggerData());
  record.LendValuesTo(*kept);
  Keep(kept.release(), level);
}

void DesSimState::Keep(LoggerData* kept, int level) {
  level = level < 0 ? 0 : (level > 1 ? 1 : level);
  currentExecLevel = level;
  if (level == 0) {
    delete rootLog;
    rootLog = kept;
    delete nestedLog;
    nestedLog = nullptr;
  } else {
    delete nestedLog;
    nestedLog = kept;
  }
  // One pass over the pairs; the first pair of each name counts.
  ClearCurrentIds();
  static const std::string kIdNames[4] = {"EventId", "EntityId", "Block", "To"};
  bool seen[4] = {false, false, false, false};
  for (std::size_t k = 0; k < kept->Size(); ++k) {
    const std::string& name = kept->Name(k);
    int which = 0;
    while (which < 4 && name != kIdNames[which]) ++which;
    if (which == 4 || seen[which]) continue;
    seen[which] = true;
    const std::string text = kept->TextAt(k);
    if (which == 0)
      SetCurrentEvent(text);
    else if (which == 1)
      SetCurrentEntity(text);
    else if (which == 2)
      SetCurrentBlock(text);
    else
      currentDestBlock = text;
  }
}

void DesSimState::ClearCurrentIds() {
  currentEventId.clear();
  currentEntityId.clear();
  currentBlock.clear();
  currentDestBlock.clear();
}

std::string DesSimState::GetCurrentBlock() const {
  if (currentBlock.empty()) return std::string();
  auto it = blockNames.find(currentBlock);
  return it != blockNames.end() ? it->second : std::string();
}

std::string DesSimState::IdOfBlockNamed(const std::string& name) const {
  if (name.empty()) return std::string();
  DebugBlock* b = GetBlockByName(name);
  return b != nullptr ? b->GetId() : std::string();
}

std::string DesSimState::GetCurrentBlockId() const { return IdOfBlockNamed(GetCurrentBlock()); }

// The destination is named by the block's host name, like the current
// block: a block registered under a display name, or as the child of
// another, is found through the same map. A text the map does not know is
// taken as a display name itself.
std::string DesSimState::GetCurrentEntDestBlockId() const {
  auto it = blockNames.find(currentDestBlock);
  return IdOfBlockNamed(it != blockNames.end() ? it->second : currentDestBlock);
}

bool DesSimState::IsCurrentBlock(const std::string& id) const {
  return id == GetCurrentBlockId() || id == GetCurrentEntDestBlockId();
}

DesEvent* DesSimState::GetEventById(const std::string& id) const {
  for (DesEvent* e : events)
    if (e->GetId() == id) return e;
  return nullptr;
}

DesEntity* DesSimState::GetEntityById(const std::string& id) const {
  for (DesEntity* e : entities)
    if (e->GetId() == id) return e;
  return nullptr;
}

DebugBlock* DesSimState::GetBlockById(const std::string& id) const {
  for (DebugBlock* b : blocks)
    if (b->GetId() == id) return b;
  return nullptr;
}

DebugBlock* DesSimState::GetBlockByName(const std::string& name) const {
  for (DebugBlock* b : blocks)
    if (b->GetName() == name) return b;
  return nullptr;
}

void DesSimState::AddBlock(DebugBlock* block, NodeInterface* node) {
  std::unique_ptr<DebugBlock> owned(block);
  blocks.insert(block);
  owned.release();
  blockNames[HostNameOf(node)] = block->GetName();
}

void DesSimState::RegisterDebuggableBlock(NodeInterface* block, const std::string& name) {
  std::unique_ptr<DebugBlock> made(new DebugBlock(block));
  if (!name.empty()) made->SetName(name);
  AddBlock(made.release(), block);
}

void DesSimState::RegisterInternalDebuggableBlock(NodeInterface* block, const std::string& parent) {
  if (DebugBlock* owner = GetBlockByName(parent)) {
    owner->AddChild(block);
    blockNames.emplace(HostNameOf(block), owner->GetName());
    return;
  }
  RegisterDebuggableBlock(block, parent);
}

void DesSimState::SetEventCalendarHvArray(hvArray* table) {
  hvDestroyArray(eventCalendarArray);
  eventCalendarArray = table;
}

hvArray* DesSimState::ReleaseEventCalendarHvArray() {
  hvArray* table = eventCalendarArray;
  eventCalendarArray = nullptr;
  return table;
}

double DesSimState::GetTimeNow() const { return des->GetTimeNow(); }

EventCalendarBase* DesSimState::GetEventCalendar() const { return des->GetEventCalendar(); }

void DesSimState::PrintCurrentSimState() const {
  hostPrintf("\nCurrent Operation:\n\n");
  if (rootLog != nullptr) rootLog->PrintLog();
  if (nestedLog != nullptr) nestedLog->PrintLog();
  hostPrintf("\n");
}

hvArray* DesSimState::GetBlockListAsHvArray() const {
  std::vector<std::string> texts;
  for (DebugBlock* b : blocks) {
    texts.push_back(b->GetId());
    texts.push_back(b->GetName());
  }
  return NewTextCell(2, blocks.size(), texts);
}

hvArray* DesSimState::TestFcn_DumpEventCollectionIDContents() const { return IdColumn(events); }

hvArray* DesSimState::TestFcn_DumpEntityCollectionIDContents() const { return IdColumn(entities); }

hvArray* DesSimState::TestFcn_DumpMRSignalBlockCollectionContents() const {
  HvCleaner guard;
  hvArray* cell = CheckedHvArray(hvCreateCellMatrix(2, signalPortStates.size()));
  guard.addHvArray(cell);
  std::size_t k = 0;
  for (const auto& entry : signalPortStates) {
    hvSetCell(cell, 2 * k, CheckedHvArray(hvCreateString(entry.first.c_str())));
    hvSetCell(cell, 2 * k + 1, CheckedHvArray(hvCreateDoubleScalar(entry.second ? 1.0 : 0.0)));
    ++k;
  }
  guard.removeHvArray(cell);
  return cell;
}
