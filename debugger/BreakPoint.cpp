#include "debugger/BreakPoint.h"

#include <boost/lexical_cast.hpp>

#include "debugger/BreakPointManager.h"
#include "debugger/DebugBlock.h"
#include "debugger/DesSimState.h"
#include "debugger/TWDebugger.h"
#include "kernel/Des.h"
#include "support/HostInterface.h"
#include "trace/LoggerData.h"

unsigned BreakPoint::next_id = 0;

BreakPoint::BreakPoint(BreakPointManager* owner)
    : id("b" + std::to_string(next_id)),
      manager(owner),
      simState(owner->GetDebugger()->GetSimState()),
      hit(false),
      enabled(true) {
  ++next_id;
}

BreakPoint::~BreakPoint() {}

// ------------------------------------------------------------- block

BlockBreakPoint::BlockBreakPoint(BreakPointManager* owner, const std::string& blockId,
                                 DebugBlock* block)
    : BreakPoint(owner), blockId(blockId), block(block) {}

void BlockBreakPoint::display(const std::string& prefix) const {
  std::string name = block->GetName();
  for (char& c : name)
    if (c == '\n') c = ' ';
  hostPrintf("%s %s : Breakpoint for block (%s) %s\n", prefix.c_str(), GetId().c_str(),
             blockId.c_str(), name.c_str());
}

bool BlockBreakPoint::IsHit() {
  DesSimState* state = GetSimState();
  return state->GetCurrentBlockId() == blockId || state->GetCurrentEntDestBlockId() == blockId ||
         (block->HasChildren() && block->IsChildBlock(state->GetCurrentBlock()));
}

// ------------------------------------------------------------- timed

TimedBreakPoint::TimedBreakPoint(BreakPointManager* owner, double time)
    : BreakPoint(owner), time(time) {}

void TimedBreakPoint::display(const std::string& prefix) const {
  hostPrintf("%s %s : Breakpoint for first operation at or after time %f\n", prefix.c_str(),
             GetId().c_str(), time);
}

std::string TimedBreakPoint::target() const { return boost::lexical_cast<std::string>(time); }

bool TimedBreakPoint::IsHit() {
  if (!(GetSimState()->GetTimeNow() >= time)) return false;
  SetHit();
  return true;
}

// ------------------------------------------------------------- event

EventBreakPoint::EventBreakPoint(BreakPointManager* owner, const std::string& eventId)
    : BreakPoint(owner), eventId(eventId) {}

void EventBreakPoint::display(const std::string& prefix) const {
  hostPrintf("%s %s : Breakpoint for execution or cancelation of event %s\n", prefix.c_str(),
             GetId().c_str(), eventId.c_str());
}

// Executing (a root record) or being cancelled, with or without an entity:
// both cancellation tags count.
bool EventBreakPoint::IsHit() {
  DesSimState* state = GetSimState();
  if (state->GetCurrentEventId() != eventId) return false;
  bool stops = state->GetCurrentExecLevel() == 0;
  if (!stops && state->GetCurrentNestedLog() != nullptr) {
    const std::string action = state->GetCurrentNestedLog()->GetAction();
    stops = action == "evtCancel" || action == "evtCancelNoEnt";
  }
  if (stops) SetHit();
  return stops;
}

// ------------------------------------------------------------- end of simulation

void EndOfSimBreakPoint::display(const std::string&) const {
  hostPrintf(
      "Hit built-in breakpoint for the end of simulation.\nUse 'cont' to end the simulation or "
      "any other function to inspect final states of the system.\n");
}

bool EndOfSimBreakPoint::IsHit() {
  if (!GetManager()->GetDebugger()->GetDesInstance()->IsEndOfSim()) return false;
  SetHit();
  return true;
}
