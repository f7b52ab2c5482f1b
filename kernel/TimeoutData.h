// A deadline attached to one entity under a tag. A block schedules it when
// the entity passes; if the entity is still in the model when the deadline
// comes, the block that holds the entity at that moment is told
// (NodeInterface::ExecuteTimeoutEvent) so that it can let the entity leave
// through its timeout port.
//
// The timeout is itself the handler of the event that fires it, hence a
// NodeInterface. It belongs to its entity, which deletes it; the timeout
// calendar only holds it while it is scheduled, and the engine's event
// calendar only ever holds the event that stands for it, never the timeout.
//
// Scheduled means "has a scheduling block": ResetTimeoutData clears the
// block, so a fired, cancelled or terminated timeout reads as cancelled and
// is never removed a second time.
//
// Timeouts come from a pool of their own, which the first engine creates.
// The slot order of the virtual operations is part of the library's
// boundary.
#pragma once

#include <cstdint>
#include <string>

#include "entity/Pool.h"
#include "kernel/MSGRespEvent.h"
#include "kernel/NodeInterface.h"
#include "support/NumberedId.h"
#include "support/PMMemMgr.h"

class Des;
class DesEntity;
class DesEvent;

class TimeoutData : public NodeInterface, public PMMemMgr {
  TW_POOLED_CLASS(TimeoutData)

 public:
  // Priority and deadline of a timeout that is not scheduled.
  static constexpr int kResetPriority = -100001;

  // Not executing, no timeout event, no event id; event type "Timeout".
  // With a scheduling block the engine is the block's, and a block without
  // an engine raises DES_GenericInternalErr ("invalid des pointer").
  TimeoutData(const char* tag, const double& time, const int& priority,
              DesEvent* eventWithParentEntity, NodeInterface* scheduleBlk,
              int noDestinationOpt);
  // Every field, the instance count included.
  TimeoutData(const TimeoutData& other);
  TimeoutData& operator=(const TimeoutData& other);

  // Slot 0.
  ~TimeoutData() override;
  // Slot 1: the firing (see the source for the order of its steps).
  MSGRespEvent DoProcessEvent(DesEvent* event) override;
  // Slot 7: the name of the block that holds the entity, whatever field is
  // asked for; the event loggers ask a handler for its "Parent".
  std::string getFieldAsString(const char* field) const override;
  // Slot 10: takes the other's tag, deadline, priority, scheduling block
  // (with its engine) and no-destination option, and a fresh instance
  // count. Event pointers, executing flag and event id stay.
  virtual void copy(const TimeoutData* other);

  // A new pooled timeout with this one's tag, deadline, priority,
  // scheduling block, engine and event id, no event with parent entity,
  // option 1 and a fresh instance count. DES_GenericInternalErr ("invalid
  // des pointer") when this timeout has no engine.
  TimeoutData* clone() const;

  // The event that stands for this timeout on the event calendar: a new
  // event (handled by this timeout, no entity, id = the event id, entity id
  // = the id of the entity the parent event carries), or an existing one
  // retargeted to it. Both need the event with parent entity and raise
  // DES_GenericInternalErr naming the tag without it; the memory error when
  // the event pool is exhausted.
  DesEvent* CreateTimeoutDesEvent();
  void SetupCurrentTimeoutEventFromTimeoutData(DesEvent* event);

  // Not scheduled: priority -100001, deadline 0, no timeout event, no
  // scheduling block, not executing, no event id. Tag and event with parent
  // entity stay.
  void ResetTimeoutData();

  // Deadline minus the current time; negative once it has passed.
  double GetResidualTime() const;
  // Both raise DES_GenericInternalErr ("invalid des pointer") without an
  // engine.
  double GetTimeNowFromDesInstance() const;
  Des* GetTimeoutDesInstance() const;

  // DES_TimeoutAlreadyScheduled for `blk` and `tag`, thrown ("Error") or
  // issued as a warning ("Warning").
  static void ProcessTimeoutAlreadyScheduledError(NodeInterface* blk, const char* tag);
  static void ProcessTimeoutAlreadyScheduledWarning(NodeInterface* blk, const char* tag);
  // The block holding the timed-out entity cannot release it: option 1
  // throws DES_StorageBlock_TO_port_DISABLED, option 2 warns, any other
  // option does nothing.
  void ProcessTimedoutEntityNoDest(NodeInterface* blk) const;

  const std::string& GetTag() const { return tag; }
  void SetTag(const char* newTag) { tag = newTag != nullptr ? newTag : ""; }
  void SetTag(const std::string& newTag) { tag = newTag; }
  double GetTimeOfTimeoutEvent() const { return timeOfTimeoutEvent; }
  void SetTimeOfTimeoutEvent(double t) { timeOfTimeoutEvent = t; }
  int GetPriorityOfTimeoutEvent() const { return priorityOfTimeoutEvent; }
  void SetPriorityOfTimeoutEvent(int p) { priorityOfTimeoutEvent = p; }
  DesEvent* GetEventPtrWithParentEntity() const { return eventWithParentEntity; }
  void SetEventPtrWithParentEntity(DesEvent* e) { eventWithParentEntity = e; }
  DesEvent* GetTimeoutEventPtr() const { return timeoutEvent; }
  void SetTimeoutEventPtr(DesEvent* e) { timeoutEvent = e; }
  NodeInterface* GetScheduleTimeoutBlk() const { return scheduleTimeoutBlk; }
  void SetScheduleTimeoutBlk(NodeInterface* blk) { scheduleTimeoutBlk = blk; }
  bool IsCancelled() const { return scheduleTimeoutBlk == nullptr; }
  uint32_t GetInstanceCount() const { return instanceCount; }
  int GetTimedOutEntityHasNoDestinationOpt() const { return timedOutEntityHasNoDestinationOpt; }
  void SetTimedOutEntityHasNoDestinationOpt(int opt) { timedOutEntityHasNoDestinationOpt = opt; }
  bool IsExecuting() const { return executing; }
  // Made from the stored number on every call (see NumberedId).
  std::string GetEventId() const;
  void SetEventId(const std::string& id);

  // Deadline order, reversed: a < b when a fires after b (later deadline,
  // then larger priority number, then younger instance, then the address
  // not below b's). The earliest timeout is the greatest.
  bool operator<(const TimeoutData& other) const;
  // Byte-wise order of the tags: the key of an entity's timeout set.
  static bool compareTag(const TimeoutData* a, const TimeoutData* b) { return a->tag < b->tag; }

  // Numbers timeouts process-wide.
  static unsigned long next_instanceCount;

 private:
  friend class DesEntity;
  friend class TimeoutHeapStore;

  // Makes a timeout that is not scheduled into a freshly scheduled one
  // with these values: what a new timeout of the same tag would have been.
  // Its entity keeps owning it (see DesEntity::CreateTimeout).
  void Rearm(const double& time, const int& priority, NodeInterface* scheduleBlk,
             DesEvent* parentEvent, int noDestinationOpt, const NumberedId& newEventId);
  void TakeEngineOf(NodeInterface* blk);
  Des* RequireEngine() const;
  DesEvent* RequireParentEvent() const;
  // Id of the entity that the event with parent entity carries.
  NumberedId ParentEntityId() const;

  std::string tag;
  double timeOfTimeoutEvent;
  int priorityOfTimeoutEvent;
  DesEvent* eventWithParentEntity;  // not owned
  DesEvent* timeoutEvent;           // not owned (the engine's or calendar's)
  NodeInterface* scheduleTimeoutBlk;  // not owned; null: not scheduled
  uint32_t instanceCount;
  int timedOutEntityHasNoDestinationOpt;
  bool executing;
  NumberedId eventId;
  // Bookkeeping of the timeout heap that holds this timeout, so that it can
  // take it out without a search: its place there (kNotInHeap in none), and
  // how many times it was added beyond the first. It belongs to that heap:
  // copies and assignments leave it alone.
  static constexpr uint32_t kNotInHeap = UINT32_MAX;
  uint32_t heapIndex = kNotInHeap;
  uint32_t heapCopies = 0;
};

// Same deadline and same priority.
inline bool IdentOrder(const TimeoutData* a, const TimeoutData* b) {
  return a->GetTimeOfTimeoutEvent() == b->GetTimeOfTimeoutEvent() &&
         a->GetPriorityOfTimeoutEvent() == b->GetPriorityOfTimeoutEvent();
}
