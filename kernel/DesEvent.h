// One scheduled happening: at a time and with a priority it calls a handler
// of a block, optionally carrying an entity, which the event owns.
//
// Events are pooled (one pool shared by every engine of the process) and
// polymorphic only through the destructor. A block creates an event, adds it
// to its engine's calendar, and gets it back after it has executed or been
// cancelled; the calendar holds it without copying and never destroys it,
// except for events still waiting in the future store at termination.
#pragma once

#include <cstdint>
#include <string>

#include "entity/DesData.h"
#include "entity/Pool.h"
#include "kernel/DesEventFunctor.h"
#include "kernel/EventOrder.h"
#include "kernel/MSGRespEvent.h"
#include "kernel/NodeInterface.h"
#include "support/NumberedId.h"
#include "support/OwnedCopy.h"
#include "support/PMMallocError.h"

class Des;
class DesEntity;

class DesEvent {
  TW_POOLED_CLASS(DesEvent)

 public:
  static const int kSys1Priority = -2;
  static const int kSys2Priority = -1;

  // Throws DES_GenericInternalErr ("invalid des pointer") when `dst` has no
  // engine. The entity, if any, becomes the event's.
  DesEvent(double time, int priority, NodeInterface* dst, DesEntity* entity);
  virtual ~DesEvent();

  // Temporary events without an id; null when the pool has no memory.
  static DesEvent* NewInternalEvent(double time, int priority, NodeInterface* dst,
                                    DesEntity* entity);
  static DesEvent* NewTemporaryEvent(double time, int priority, NodeInterface* dst,
                                     DesEntity* entity);
  static DesEvent* NewEntityCarrierEvent(double time, int priority, NodeInterface* dst,
                                         DesEntity* entity);

  // Pooled deep copy with a fresh id and a new instance count.
  DesEvent* clone() const;
  // Pooled temporary copy keeping this event's id; null when the pool has no
  // memory.
  DesEvent* cloneTemp() const;
  // Copies every field, heap index, flags and instance count included. The
  // carried entity is the one exception: an event owns its entity, so the
  // target gets its own copy of the source's entity (and destroys the one it
  // carried) instead of a second owner of the same entity.
  DesEvent& operator=(const DesEvent& other);

  static std::string ReserveNewEventId();
  // The same reservation, kept as a number where the prefix is the usual
  // one: no text is made.
  static void ReserveNewEventId(NumberedId& into);
  static void InitIds();
  void AssignId();
  void AssignId(const std::string& newId);
  void AssignId(const NumberedId& newId);

  // Moves the event on: restarts the carried entity's local timer, then
  // time = current time + delay, new priority, destination and functor, a
  // fresh id. The instance count is kept.
  void ReuseAndReinitialize(double delay, int priority, NodeInterface* dst,
                            DesEventFunctor* newFunctor);

  // Runs the bound handler, or the destination's DoProcessEvent.
  void Process() {
    if (functor == nullptr)
      dst->DoProcessEvent(this);
    else
      (*functor)(this);
  }

  bool GetInTq() const { return inTq; }
  void SetInTq(bool flag) { inTq = flag; }
  double GetTime() const { return time; }
  void SetTime(double t) { time = t; }
  int GetPriority() const { return priority; }
  // A copy sharing the captured value's storage.
  DesData GetDataUponSchedule() const {
    return dataUponSchedule.Get() != nullptr ? *dataUponSchedule.Get() : DesData(DesData::NoValue{});
  }
  // A value without shape and numbers (DesData::NoValue) releases the
  // captured one; setting over a captured value reuses its DesData.
  void SetDataUponSchedule(const DesData& value);
  void SetPriority(int p) { priority = p; }
  std::string GetPriorityAsString() const;
  uint32_t GetInstanceCount() const { return instanceCount; }
  // Made from the stored number on every call (see NumberedId).
  std::string GetId() const { return id.Text(kIdPrefix); }
  NodeInterface* GetDstObj() const { return dst; }
  void SetDstObj(NodeInterface* node) { dst = node; }
  DesEntity* GetEntity() const { return entity; }
  // Attaches an entity (the event owns it from now on); a previous one is
  // not destroyed.
  void SetEntity(DesEntity* newEntity);
  // Hands the entity back to the caller; the event no longer owns it.
  DesEntity* ReleaseEntity();
  DesEventFunctor* GetFunctor() const { return functor; }
  void SetFunctor(DesEventFunctor* f) { functor = f; }
  bool IsTempEvent() const { return tempEvent; }
  void SetIsTempEvent(bool flag) { tempEvent = flag; }
  // Made from the stored number on every call (see NumberedId).
  std::string GetEntityId() const;
  const NumberedId& GetNumberedEntityId() const { return entityId; }
  void SetEntityId(const std::string& newId);
  void SetEntityId(const NumberedId& newId) { entityId = newId; }
  // A reference to one shared empty string while the status is empty. It
  // lasts until the status is next set or the event assigned: copy the
  // text to keep it longer.
  const std::string& GetStatus() const { return status.Get() != nullptr ? *status.Get() : EmptyStatus(); }
  // An empty text releases the status's storage.
  void SetStatus(const std::string& text);
  bool GetIsExecuting() const { return executing; }
  void SetIsExecuting(bool flag) { executing = flag; }
  // The functor's name, else the destination's event type, else "".
  std::string GetEventType() const;

  // Place in the execution order (see EventOrder).
  uint64_t GetRank() const { return EventOrder::Rank(priority, instanceCount); }
  EventOrderKey GetOrderKey() const { return EventOrderKey{time, GetRank()}; }

  // Position in the indexed heap of the calendar's future store; meaningless
  // while the event is anywhere else.
  uint32_t heapIndex;

  // The prefix ids are numbered under; one that `id_prefix` no longer
  // matches is kept as text.
  static constexpr const char* kIdPrefix = "ev";
  static std::string id_prefix;
  static uint32_t next_id;
  static uint32_t next_instanceCount;

 protected:
  // As the public constructor; a temporary event is marked so and takes no
  // id (the public constructor is this one with temporary false).
  DesEvent(double time, int priority, NodeInterface* dst, DesEntity* entity, bool temporary);
  Des* GetDesInstance() const { return des; }
  void SetDesInstance(Des* engine) { des = engine; }

 private:
  DesEvent();
  DesEvent(const DesEvent& other);
  // A temporary copy is marked temporary and carries a temporary copy of
  // the entity; a plain copy keeps the source's mark and copies the entity
  // as a permanent one.
  DesEvent(const DesEvent& other, bool temporary);

  // An event built from `args` in a slot of the event pool; null when the
  // pool has no memory. A construction that throws gives the slot back.
  template <class... Args>
  static DesEvent* NewInPool(Args&&... args);
  void TakeEngineOf(NodeInterface* node);
  static const std::string& EmptyStatus();

  // Entity hooks. Entities are a later addition to the kernel; until then an
  // attached entity is only recorded, and these stay the only places where
  // an event touches its entity.
  void AttachEntity(DesEntity* newEntity);
  // The same with the entity's id already copied (taken from newId).
  void AttachEntity(DesEntity* newEntity, NumberedId& newId) noexcept;
  // Entity pointer and carrier links only.
  void ChangeCarriedEntity(DesEntity* newEntity) noexcept;
  // Sets `into` to the entity's id, or "<none>" for no entity; a failed
  // copy leaves it as it was.
  static void CopyEntityIdOf(const DesEntity* e, NumberedId& into);
  void CopyEntityFrom(const DesEvent& other, bool temporary);
  // A copy of other's entity (null when it carries none) and, in copyId, the
  // copy's id; a failure of either leaves nothing behind.
  static DesEntity* CopyEntityOf(const DesEvent& other, bool temporary, NumberedId& copyId);
  void DestroyCarriedEntity();
  void RestartEntityTimer(NodeInterface* newDst);

  bool inTq;
  double time;
  int priority;
  // The value a block captured when it scheduled the event; no value
  // (DesData::NoValue) until then. Held by pointer, null for no value: most
  // events never carry one, and a million pending events are bound by
  // memory.
  OwnedCopy<DesData> dataUponSchedule;
  uint32_t instanceCount;
  NumberedId id;
  NodeInterface* dst;
  DesEntity* entity;
  DesEventFunctor* functor;
  bool tempEvent;
  NumberedId entityId;
  Des* des;
  // Null, no storage, while empty (unless a block writes one); never an
  // empty string.
  OwnedCopy<std::string> status;
  bool executing;
};

// Execution-order comparisons. operator< is the "less" of a max-heap whose
// top is the next event: a < b when a executes after b.
inline bool operator<(const DesEvent& a, const DesEvent& b) { return EventPrecedes()(&b, &a); }
// Order within the current set (all events share the current time).
inline bool isTqGreater(const DesEvent* a, const DesEvent* b) { return EventRankPrecedes()(a, b); }
// Same time and same priority: the group a randomising calendar draws from.
inline bool IdentOrder(const DesEvent* a, const DesEvent* b) {
  return a->GetTime() == b->GetTime() && a->GetPriority() == b->GetPriority();
}
inline bool operator==(const DesEvent& a, const DesEvent& b) {
  return a.GetTime() == b.GetTime() && a.GetPriority() == b.GetPriority() &&
         a.GetDstObj() == b.GetDstObj();
}
