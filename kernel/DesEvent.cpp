#include "kernel/DesEvent.h"

#include <new>
#include <utility>

#include "entity/DesEntity.h"
#include "support/DesExcept.h"
#include "support/PMMallocError.h"
#include "support/PrefixedNumber.h"

TW_POOLED_CLASS_DEFINE(DesEvent)

std::string DesEvent::id_prefix = kIdPrefix;
uint32_t DesEvent::next_id = 1;
uint32_t DesEvent::next_instanceCount = 1;

namespace {

const char kNoEntityId[] = "<none>";

}  // namespace

DesEvent::DesEvent()
    : heapIndex(0),
      inTq(false),
      time(0.0),
      priority(0),
      instanceCount(next_instanceCount++),
      dst(nullptr),
      entity(nullptr),
      functor(nullptr),
      tempEvent(false),
      des(nullptr),
      executing(false) {
  entityId.SetStaticText(kNoEntityId);
}

DesEvent::DesEvent(double t, int p, NodeInterface* destination, DesEntity* carried)
    : DesEvent(t, p, destination, carried, false) {}

DesEvent::DesEvent(double t, int p, NodeInterface* destination, DesEntity* carried,
                   bool temporary)
    : heapIndex(0),
      inTq(false),
      time(t),
      priority(p),
      instanceCount(0),
      dst(destination),
      entity(nullptr),
      functor(nullptr),
      tempEvent(temporary),
      des(nullptr),
      executing(false) {
  // Checked before anything is consumed: a failed construction takes no
  // instance count and no id.
  TakeEngineOf(destination);
  instanceCount = next_instanceCount++;
  AttachEntity(carried);
  if (!temporary) ReserveNewEventId(id);
}

DesEvent::DesEvent(const DesEvent& other) : DesEvent(other, false) {}

DesEvent::DesEvent(const DesEvent& other, bool temporary)
    : heapIndex(0),
      inTq(other.inTq),
      time(other.time),
      priority(other.priority),
      dataUponSchedule(other.dataUponSchedule),
      instanceCount(next_instanceCount++),
      id(other.id),
      dst(other.dst),
      entity(nullptr),
      functor(other.functor),
      tempEvent(temporary || other.tempEvent),
      des(other.des),
      status(other.status),
      executing(other.executing) {
  CopyEntityFrom(other, temporary);
}

DesEvent::~DesEvent() { DestroyCarriedEntity(); }

void DesEvent::TakeEngineOf(NodeInterface* node) {
  // A missing destination would only crash later, when the event executes;
  // it is reported like a destination without an engine.
  if (node == nullptr || node->des == nullptr)
    throw new DesExcept(DES_GenericInternalErr, "invalid des pointer");
  des = node->des;
}

template <class... Args>
DesEvent* DesEvent::NewInPool(Args&&... args) {
  if (memPool == nullptr) pool_detail::MissingPool("DesEvent");
  void* memory = nullptr;
  try {
    memory = memPool->Allocate(sizeof(DesEvent));
  } catch (PMMallocError* e) {
    delete e;
    return nullptr;
  }
  try {
    return ::new (memory) DesEvent(std::forward<Args>(args)...);
  } catch (...) {
    memPool->Release(memory, sizeof(DesEvent));
    throw;
  }
}

DesEvent* DesEvent::NewInternalEvent(double t, int p, NodeInterface* destination,
                                     DesEntity* carried) {
  return NewInPool(t, p, destination, carried, true);
}

DesEvent* DesEvent::NewTemporaryEvent(double t, int p, NodeInterface* destination,
                                      DesEntity* carried) {
  return NewInPool(t, p, destination, carried, true);
}

DesEvent* DesEvent::NewEntityCarrierEvent(double t, int p, NodeInterface* destination,
                                          DesEntity* carried) {
  return NewInPool(t, p, destination, carried, true);
}

DesEvent* DesEvent::clone() const {
  DesEvent* copy = new DesEvent(*this);
  copy->AssignId();
  return copy;
}

DesEvent* DesEvent::cloneTemp() const { return NewInPool(*this, true); }

DesEvent& DesEvent::operator=(const DesEvent& other) {
  if (this == &other) return *this;
  // The copies that can fail come first: if one does, this event is
  // unchanged (its place in a calendar included).
  OwnedCopy<std::string> newStatus(other.status);
  OwnedCopy<DesData> newData(other.dataUponSchedule);
  NumberedId newId(other.id);
  NumberedId newEntityId;
  DesEntity* copy = CopyEntityOf(other, other.tempEvent, newEntityId);
  heapIndex = other.heapIndex;
  inTq = other.inTq;
  time = other.time;
  DestroyCarriedEntity();
  priority = other.priority;
  dataUponSchedule.Swap(newData);
  instanceCount = other.instanceCount;
  id.Swap(newId);
  dst = other.dst;
  functor = other.functor;
  tempEvent = other.tempEvent;
  AttachEntity(copy, newEntityId);
  des = other.des;
  status.Swap(newStatus);
  executing = other.executing;
  return *this;
}

std::string DesEvent::ReserveNewEventId() { return PrefixedNumber(id_prefix, next_id++); }

void DesEvent::ReserveNewEventId(NumberedId& into) {
  if (id_prefix.size() == 2 && id_prefix[0] == kIdPrefix[0] && id_prefix[1] == kIdPrefix[1])
    into.SetNumber(next_id++);
  else
    into.SetText(ReserveNewEventId(), kIdPrefix);
}

void DesEvent::InitIds() {
  next_id = 1;
  id_prefix = kIdPrefix;
}

void DesEvent::AssignId() {
  ReserveNewEventId(id);
  tempEvent = false;
}

void DesEvent::AssignId(const std::string& newId) {
  id.SetText(newId, kIdPrefix);
  tempEvent = false;
}

void DesEvent::AssignId(const NumberedId& newId) {
  id = newId;
  tempEvent = false;
}

void DesEvent::ReuseAndReinitialize(double delay, int p, NodeInterface* destination,
                                    DesEventFunctor* newFunctor) {
  RestartEntityTimer(destination);
  time = time + delay;
  priority = p;
  dst = destination;
  functor = newFunctor;
  AssignId();
}

std::string DesEvent::GetPriorityAsString() const {
  if (priority == kSys1Priority) return "SYS1";
  if (priority == kSys2Priority) return "SYS2";
  return std::to_string(priority);
}

std::string DesEvent::GetEventType() const {
  if (functor != nullptr) return functor->GetName();
  if (dst != nullptr) return dst->GetEventType();
  return std::string();
}

const std::string& DesEvent::EmptyStatus() {
  static const std::string empty;
  return empty;
}

void DesEvent::SetStatus(const std::string& text) {
  if (text.empty())
    status.Reset();
  else
    status.Set(text);
}

void DesEvent::SetDataUponSchedule(const DesData& value) {
  // What DesData::NoValue makes: nothing to share, so nothing to keep.
  if (!value.HasShape() && !value.GetValuePtr() && value.GetSize() == 0 && value.GetPool() == nullptr)
    dataUponSchedule.Reset();
  else
    dataUponSchedule.Set(value);
}

std::string DesEvent::GetEntityId() const { return entityId.Text(DesEntity::kIdPrefix); }

void DesEvent::SetEntityId(const std::string& newId) {
  entityId.SetText(newId, DesEntity::kIdPrefix);
}

void DesEvent::SetEntity(DesEntity* newEntity) { AttachEntity(newEntity); }

DesEntity* DesEvent::ReleaseEntity() {
  DesEntity* released = entity;
  entity = nullptr;
  // The entity outlives this event now: it must not keep pointing here.
  if (released != nullptr && released->GetCarrierEvent() == this)
    released->SetCarrierEvent(nullptr);
  return released;
}

// ---------------------------------------------------------------- entity hooks
//
// The only places where an event touches its entity.

inline void DesEvent::CopyEntityIdOf(const DesEntity* e, NumberedId& into) {
  if (e != nullptr)
    into = e->GetNumberedId();
  else
    into.SetStaticText(kNoEntityId);
}

void DesEvent::AttachEntity(DesEntity* newEntity) {
  // The id is copied first (an id kept as text can fail to copy; a failed
  // copy leaves entityId as it was), so that a failure changes nothing.
  CopyEntityIdOf(newEntity, entityId);
  ChangeCarriedEntity(newEntity);
}

void DesEvent::ChangeCarriedEntity(DesEntity* newEntity) noexcept {
  // An entity this event stops carrying must not keep pointing here.
  if (entity != nullptr && entity != newEntity && entity->GetCarrierEvent() == this)
    entity->SetCarrierEvent(nullptr);
  entity = newEntity;
  if (newEntity != nullptr) newEntity->SetCarrierEvent(this);
}

void DesEvent::AttachEntity(DesEntity* newEntity, NumberedId& newId) noexcept {
  entityId.Swap(newId);
  ChangeCarriedEntity(newEntity);
}

DesEntity* DesEvent::CopyEntityOf(const DesEvent& other, bool temporary, NumberedId& copyId) {
  DesEntity* copy = nullptr;
  if (other.entity != nullptr)
    copy = temporary ? other.entity->cloneTemp(false) : other.entity->clone(false);
  try {
    CopyEntityIdOf(copy, copyId);
  } catch (...) {
    if (copy != nullptr) copy->destroy();
    throw;
  }
  return copy;
}

void DesEvent::CopyEntityFrom(const DesEvent& other, bool temporary) {
  entity = nullptr;
  NumberedId copyId;
  DesEntity* copy = CopyEntityOf(other, temporary, copyId);
  AttachEntity(copy, copyId);
}

void DesEvent::DestroyCarriedEntity() {
  DesEntity* carried = entity;
  entity = nullptr;
  if (carried != nullptr) carried->destroy();
}

void DesEvent::RestartEntityTimer(NodeInterface* newDst) {
  // An event reused without an entity has no timer to restart.
  if (entity == nullptr || entity->GetLocalTimer() == nullptr) return;
  entity->GetLocalTimer()->SetTimer(time, newDst);
}
