#include "debugger/BreakPointManager.h"

#include <memory>
#include <vector>

#include "debugger/BreakPoint.h"
#include "debugger/DesSimState.h"
#include "debugger/TWDebugger.h"
#include "support/HostInterface.h"
#include "support/HvCleaner.h"
#include "trace/LoggerData.h"

const char* const BreakPointManager::endOfSimKey = "__endofsim__";

BreakPointManager::BreakPointManager(TWDebugger* const owner)
    : debugger(owner), nextSingleStepExecLevel(0), breakEnabled(true), singleSteppingEnabled(true) {
  BreakPoint::next_id = 0;
  std::unique_ptr<BreakPoint> end(new EndOfSimBreakPoint(this));
  active[endOfSimKey] = end.get();
  where[endOfSimKey] = &active;
  end.release();
}

BreakPointManager::~BreakPointManager() {
  for (auto& entry : active) delete entry.second;
  for (auto& entry : hitOnce) delete entry.second;
}

std::string BreakPointManager::File(BreakPoint* made, bool retired) {
  std::unique_ptr<BreakPoint> owned(made);
  BreakPointMap& map = retired ? hitOnce : active;
  const std::string id = made->GetId();
  map[id] = made;
  owned.release();
  where[id] = &map;
  made->display("Set");
  return id;
}

std::string BreakPointManager::SetBlockBreakPoint(const std::string& blockId) {
  DebugBlock* block = debugger->GetSimState()->GetBlockById(blockId);
  if (block == nullptr) return std::string();
  return File(new BlockBreakPoint(this, blockId, block), false);
}

std::string BreakPointManager::SetTimedBreakPoint(const double& time) {
  const bool past = debugger->GetSimState()->GetTimeNow() >= time;
  return File(new TimedBreakPoint(this, time), past);
}

std::string BreakPointManager::SetEventBreakPoint(const std::string& eventId, bool& exists) {
  exists = debugger->GetSimState()->GetEventById(eventId) != nullptr;
  return File(new EventBreakPoint(this, eventId), false);
}

bool BreakPointManager::EnableBreakPoint(const std::string& id) {
  return ProcessBreakPointAction(id, &BreakPointManager::PrivateEnableBreakPoint);
}

bool BreakPointManager::DisableBreakPoint(const std::string& id) {
  return ProcessBreakPointAction(id, &BreakPointManager::PrivateDisableBreakPoint);
}

bool BreakPointManager::DeleteBreakPoint(const std::string& id) {
  return ProcessBreakPointAction(id, &BreakPointManager::PrivateDeleteBreakPoint);
}

bool BreakPointManager::ProcessBreakPointAction(const std::string& id, Action action) {
  auto place = where.find(id);
  if (place == where.end()) return false;
  BreakPointMap& map = *place->second;
  auto it = map.find(id);
  if (it == map.end()) return false;
  (this->*action)(map, it);
  return true;
}

void BreakPointManager::PrivateEnableBreakPoint(BreakPointMap&, BreakPointMap::iterator it) {
  it->second->display("Enabled");
  it->second->SetEnabled(true);
}

void BreakPointManager::PrivateDisableBreakPoint(BreakPointMap&, BreakPointMap::iterator it) {
  it->second->display("Disabled");
  it->second->SetEnabled(false);
}

void BreakPointManager::PrivateDeleteBreakPoint(BreakPointMap& map, BreakPointMap::iterator it) {
  it->second->display("Deleted");
  delete it->second;
  where.erase(it->first);
  map.erase(it);
}

namespace {

// Clears a pending interrupt through the only operation the host offers for
// it; true when there was one.
bool TakeInterrupt() {
  if (!hostIsInterruptPending()) return false;
  try {
    hostRaiseIfInterruptPending();
  } catch (const HostInterruptException&) {
    return true;
  }
  return false;
}

}  // namespace

bool BreakPointManager::IsAnyBreakPointHit() {
  if (!breakEnabled) return false;
  bool anyHit = false;
  for (auto it = active.begin(); it != active.end();) {
    BreakPoint* bp = it->second;
    if (bp->IsHit() && bp->GetEnabled()) {
      hostPrintf("\n");
      bp->display("Hit");
      hostPrintf("\n");
      anyHit = true;
    }
    if (bp->GetHit()) {
      // Retired: kept for listing, never asked again.
      hitOnce[it->first] = bp;
      where[it->first] = &hitOnce;
      it = active.erase(it);
    } else {
      ++it;
    }
  }
  if (TakeInterrupt()) {
    hostPrintf("\nTarnwell Debugger: Interrupted\n\n");
    anyHit = true;
  }
  return anyHit;
}

bool BreakPointManager::GetSingleStepNow() const {
  return breakEnabled && singleSteppingEnabled &&
         nextSingleStepExecLevel >= debugger->GetSimState()->GetCurrentExecLevel();
}

void BreakPointManager::SetNextSingleStepExecLevel(const int& delta) {
  const int level = debugger->GetSimState()->GetCurrentExecLevel() + delta;
  nextSingleStepExecLevel = level < 0 ? 0 : (level > 1 ? 1 : level);
}

hvArray* BreakPointManager::GetAllBreakPointsAsCell() const {
  std::vector<const BreakPoint*> listed;
  for (const BreakPointMap* map : {&active, &hitOnce})
    for (const auto& entry : *map)
      if (!entry.second->hidden()) listed.push_back(entry.second);
  HvCleaner guard;
  hvArray* cell = CheckedHvArray(hvCreateCellMatrix(4, listed.size()));
  guard.addHvArray(cell);
  for (std::size_t k = 0; k < listed.size(); ++k) {
    const BreakPoint* bp = listed[k];
    hvSetCell(cell, 4 * k, CheckedHvArray(hvCreateString(bp->GetId().c_str())));
    hvSetCell(cell, 4 * k + 1, CheckedHvArray(hvCreateString(bp->type().c_str())));
    hvSetCell(cell, 4 * k + 2, CheckedHvArray(hvCreateString(bp->target().c_str())));
    hvSetCell(cell, 4 * k + 3, CheckedHvArray(hvCreateDoubleScalar(bp->GetEnabled() ? 1.0 : 0.0)));
  }
  guard.removeHvArray(cell);
  return cell;
}
