// The entity's timeouts: creating, finding, filing and copying them.
//
// Invariants kept here:
// - every timeout in the set belongs to this entity, one per tag;
// - a timeout is in its engine's collection only while it is scheduled,
//   and an entity never lets go of a scheduled timeout (deleting it,
//   dropping it from the set, overwriting it, or going to a recycle list)
//   without taking it out of the collection first.

#include <string>
#include <utility>

#include "entity/DesEntity.h"
#include "entity/EntityList.h"
#include "kernel/Des.h"
#include "kernel/DesEvent.h"
#include "kernel/NodeInterface.h"
#include "kernel/TimeoutData.h"
#include "support/DesExcept.h"
#include "support/MessageCatalogue.h"
#include "support/PMException.h"

bool TimeoutTagLess::operator()(const TimeoutData* a, const TimeoutData* b) const {
  return TimeoutData::compareTag(a, b);
}

bool TimeoutTagLess::operator()(const TimeoutData* a, std::string_view tag) const {
  return a->GetTag().compare(tag) < 0;
}

bool TimeoutTagLess::operator()(std::string_view tag, const TimeoutData* b) const {
  return b->GetTag().compare(tag) > 0;
}

namespace {

const char* NameOf(NodeInterface* blk) {
  const char* name = blk != nullptr ? blk->GetBlkParentName() : nullptr;
  return name != nullptr ? name : "";
}

// Takes a scheduled timeout out of its engine's collection where no
// exception may leave (a destructor, an event destroying its entity). The
// removal fails only when the host has no memory left for the heap's
// rebuild; the timeout is then at least no longer scheduled.
void RemoveScheduledQuietly(TimeoutData* td) {
  if (td->IsCancelled()) return;
  try {
    td->GetTimeoutDesInstance()->ProcessTimeoutDataRemoval(td);
  } catch (PMException* e) {
    delete e;
  } catch (...) {
  }
  if (!td->IsCancelled()) td->ResetTimeoutData();
}

// Scheduled timeouts are filed through the engine recorded in them.
Des* EngineOf(const TimeoutData* td) { return td->GetTimeoutDesInstance(); }

}  // namespace

TimeoutData* DesEntity::CreateTimeout(const char* tag, const double& time, const int& priority,
                                      NodeInterface* blk, DesEvent* parentEvent,
                                      int noDestinationOpt) {
  const char* key = tag != nullptr ? tag : "";
  if (TimeoutData* existing = FindTimeout(blk, key, false)) {
    // A second timeout of the tag could not be filed, so nobody would own
    // it. The entity's own one is reused once it is no longer scheduled.
    if (!existing->IsCancelled()) TimeoutData::ProcessTimeoutAlreadyScheduledError(blk, key);
    NumberedId eventId;
    DesEvent::ReserveNewEventId(eventId);
    existing->Rearm(time, priority, blk, parentEvent, noDestinationOpt, eventId);
    return existing;
  }
  TimeoutData* made = new TimeoutData(key, time, priority, parentEvent, blk, noDestinationOpt);
  try {
    DesEvent::ReserveNewEventId(made->eventId);
    if (spareTimeoutNode.empty()) {
      timeouts.insert(made);
    } else {
      spareTimeoutNode.value() = made;
      timeouts.insert(std::move(spareTimeoutNode));  // the tag is not there: the node goes in
    }
  } catch (...) {
    delete made;
    throw;
  }
  return made;
}

TimeoutData* DesEntity::FindTimeout(NodeInterface* blk, const char* tag, bool mustExist) const {
  const char* key = tag != nullptr ? tag : "";
  TimeoutData* found = nullptr;
  TimeoutSet::const_iterator it = timeouts.find(std::string_view(key));
  if (it != timeouts.end()) found = *it;
  if (found == nullptr && mustExist)
    throw new DesExcept(blk != nullptr ? blk->getObjProxy() : nullptr, DES_TimeoutTagNotFound,
                        "Error", NameOf(blk), key);
  return found;
}

void DesEntity::SetTimeoutParentEvent(DesEvent* event) {
  for (TimeoutData* td : timeouts)
    if (!td->IsCancelled()) td->SetEventPtrWithParentEntity(event);
}

void DesEntity::AddAllTimeoutsToTimeoutCollection() {
  // What can be checked is checked for all of them before the first one is
  // filed.
  for (TimeoutData* td : timeouts) {
    if (td->IsCancelled()) continue;
    EngineOf(td);
    if (td->GetEventPtrWithParentEntity() == nullptr) {
      const std::string text = "timeout with tag '" + td->GetTag() +
                               "' has no event carrying its entity; set it before the "
                               "timeout is scheduled";
      throw new DesExcept(DES_GenericInternalErr, text.c_str());
    }
  }
  for (TimeoutData* td : timeouts)
    if (!td->IsCancelled()) EngineOf(td)->ProcessTimeoutDataAddition(td);
}

void DesEntity::RemoveAllTimeoutsFromTimeoutCollection() {
  for (TimeoutData* td : timeouts)
    if (!td->IsCancelled()) EngineOf(td);
  // Leaving the collection resets a timeout. The entity keeps its schedule
  // (deadline, priority, scheduling block, event id; the instance count is
  // not touched), so that AddAllTimeoutsToTimeoutCollection files every one
  // of them again. Until then none has an event, and none fires.
  for (TimeoutData* td : timeouts) {
    if (td->IsCancelled()) continue;
    const double time = td->GetTimeOfTimeoutEvent();
    const int priority = td->GetPriorityOfTimeoutEvent();
    NodeInterface* scheduleBlk = td->GetScheduleTimeoutBlk();
    const std::string eventId = td->GetEventId();
    EngineOf(td)->ProcessTimeoutDataRemoval(td);
    td->SetTimeOfTimeoutEvent(time);
    td->SetPriorityOfTimeoutEvent(priority);
    td->SetEventId(eventId);
    td->SetScheduleTimeoutBlk(scheduleBlk);
  }
}

void DesEntity::DeleteTimeouts() {
  TimeoutSet owned;
  owned.swap(timeouts);
  for (TimeoutData* td : owned) {
    RemoveScheduledQuietly(td);
    delete td;
  }
}

void DesEntity::CancelTimeoutsForRecycling() {
  for (TimeoutData* td : timeouts) {
    RemoveScheduledQuietly(td);
    td->SetEventPtrWithParentEntity(nullptr);
  }
  for (DesEntity* member : subEntities) member->CancelTimeoutsForRecycling();
}

void DesEntity::CopyTimeoutData(const DesEntity* source, bool) {
  if (source == nullptr || source == this) return;
  // Both sets are walked side by side in tag order. A tag both have is
  // overwritten in place (TimeoutData::copy), one only the source has is
  // cloned in, one only this entity has goes. A scheduled timeout of this
  // entity leaves the collection before it changes or goes: the copy
  // describes a schedule, it does not file one.
  TimeoutSet::iterator t = timeouts.begin();
  TimeoutSet::const_iterator s = source->timeouts.begin();
  while (t != timeouts.end() || s != source->timeouts.end()) {
    if (s == source->timeouts.end() ||
        (t != timeouts.end() && TimeoutData::compareTag(*t, *s))) {
      TimeoutData* gone = *t;
      if (!gone->IsCancelled()) EngineOf(gone)->ProcessTimeoutDataRemoval(gone);
      if (spareTimeoutNode.empty()) {
        spareTimeoutNode = timeouts.extract(t++);
        spareTimeoutNode.value() = nullptr;
      } else {
        t = timeouts.erase(t);
      }
      delete gone;
    } else if (t == timeouts.end() || TimeoutData::compareTag(*s, *t)) {
      TimeoutData* copy = (*s)->clone();
      try {
        timeouts.insert(t, copy);
      } catch (...) {
        delete copy;
        throw;
      }
      ++s;
    } else {
      TimeoutData* mine = *t;
      if (!mine->IsCancelled()) EngineOf(mine)->ProcessTimeoutDataRemoval(mine);
      mine->copy(*s);
      ++t;
      ++s;
    }
  }
}

void DesEntity::InsertCopiedTimeoutData(const DesEntity* source, bool) {
  if (source == nullptr || source == this) return;
  for (TimeoutData* td : source->timeouts) {
    if (timeouts.count(td) != 0) continue;
    TimeoutData* copy = td->clone();
    try {
      timeouts.insert(copy);
    } catch (...) {
      delete copy;
      throw;
    }
  }
}
