#include "kernel/TimeoutData.h"

#include <functional>
#include <new>

#include "entity/DesEntity.h"
#include "kernel/Des.h"
#include "kernel/DesEvent.h"
#include "support/DesExcept.h"
#include "support/DesWarning.h"
#include "support/MessageCatalogue.h"
#include "support/PMMallocError.h"

TW_POOLED_CLASS_DEFINE(TimeoutData)

unsigned long TimeoutData::next_instanceCount = 1;

namespace {

const char kEventType[] = "Timeout";

const char* NameOf(const NodeInterface* blk) {
  const char* name = blk != nullptr ? blk->GetBlkParentName() : nullptr;
  return name != nullptr ? name : "";
}
void* HandleOf(NodeInterface* blk) { return blk != nullptr ? blk->getObjProxy() : nullptr; }

uint32_t NextInstanceCount() { return static_cast<uint32_t>(TimeoutData::next_instanceCount++); }

}  // namespace

TimeoutData::TimeoutData(const char* newTag, const double& time, const int& priority,
                         DesEvent* parentEvent, NodeInterface* scheduleBlk, int noDestinationOpt)
    : tag(pmCopyText(newTag)),
      timeOfTimeoutEvent(time),
      priorityOfTimeoutEvent(priority),
      eventWithParentEntity(parentEvent),
      timeoutEvent(nullptr),
      scheduleTimeoutBlk(scheduleBlk),
      instanceCount(0),
      timedOutEntityHasNoDestinationOpt(noDestinationOpt),
      executing(false) {
  // Checked before a number is consumed.
  if (scheduleBlk != nullptr) TakeEngineOf(scheduleBlk);
  instanceCount = NextInstanceCount();
  SetEventType(kEventType);
}

TimeoutData::TimeoutData(const TimeoutData& other)
    : NodeInterface(other),
      PMMemMgr(other),
      tag(pmCopyText(other.tag)),
      timeOfTimeoutEvent(other.timeOfTimeoutEvent),
      priorityOfTimeoutEvent(other.priorityOfTimeoutEvent),
      eventWithParentEntity(other.eventWithParentEntity),
      timeoutEvent(other.timeoutEvent),
      scheduleTimeoutBlk(other.scheduleTimeoutBlk),
      instanceCount(other.instanceCount),
      timedOutEntityHasNoDestinationOpt(other.timedOutEntityHasNoDestinationOpt),
      executing(other.executing),
      eventId(other.eventId) {}

TimeoutData& TimeoutData::operator=(const TimeoutData& other) {
  if (this == &other) return *this;
  NodeInterface::operator=(other);
  tag = pmCopyText(other.tag);
  timeOfTimeoutEvent = other.timeOfTimeoutEvent;
  priorityOfTimeoutEvent = other.priorityOfTimeoutEvent;
  eventWithParentEntity = other.eventWithParentEntity;
  timeoutEvent = other.timeoutEvent;
  scheduleTimeoutBlk = other.scheduleTimeoutBlk;
  instanceCount = other.instanceCount;
  timedOutEntityHasNoDestinationOpt = other.timedOutEntityHasNoDestinationOpt;
  executing = other.executing;
  eventId = other.eventId;
  return *this;
}

TimeoutData::~TimeoutData() {
  tag.clear();
  eventId.Clear();
  timeOfTimeoutEvent = 0.0;
  priorityOfTimeoutEvent = -1;
  eventWithParentEntity = nullptr;
  timeoutEvent = nullptr;
  scheduleTimeoutBlk = nullptr;
}

void TimeoutData::TakeEngineOf(NodeInterface* blk) {
  if (blk->des == nullptr) NodeInterface::ThrowNoEngine();
  SetDesInstance(blk->des);
}

Des* TimeoutData::RequireEngine() const {
  Des* engine = NodeInterface::des;
  if (engine == nullptr) NodeInterface::ThrowNoEngine();
  return engine;
}

DesEvent* TimeoutData::RequireParentEvent() const {
  if (eventWithParentEntity == nullptr) {
    const std::string text = "timeout with tag '" + tag +
                             "' has no event carrying its entity; set it before the "
                             "timeout is scheduled";
    throw new DesExcept(DES_GenericInternalErr, text.c_str());
  }
  return eventWithParentEntity;
}

NumberedId TimeoutData::ParentEntityId() const {
  // The entity's own id is the current one; the event's text is what it was
  // when the entity was attached.
  DesEvent* parent = RequireParentEvent();
  if (parent->GetEntity() != nullptr) return parent->GetEntity()->GetNumberedId();
  return parent->GetNumberedEntityId();
}

// ---------------------------------------------------------------- copies

void TimeoutData::copy(const TimeoutData* other) {
  if (other == nullptr || other == this) return;
  tag = other->tag;
  timeOfTimeoutEvent = other->timeOfTimeoutEvent;
  priorityOfTimeoutEvent = other->priorityOfTimeoutEvent;
  scheduleTimeoutBlk = other->scheduleTimeoutBlk;
  timedOutEntityHasNoDestinationOpt = other->timedOutEntityHasNoDestinationOpt;
  // A scheduled copy has to reach the engine that will hold it.
  if (other->scheduleTimeoutBlk != nullptr && other->NodeInterface::des != nullptr)
    SetDesInstance(other->NodeInterface::des);
  instanceCount = NextInstanceCount();
}

TimeoutData* TimeoutData::clone() const {
  Des* engine = RequireEngine();
  TimeoutData* made = new TimeoutData(tag.c_str(), timeOfTimeoutEvent, priorityOfTimeoutEvent,
                                      nullptr, nullptr, 1);
  made->scheduleTimeoutBlk = scheduleTimeoutBlk;
  made->SetDesInstance(engine);
  made->eventId = eventId;
  return made;
}

void TimeoutData::Rearm(const double& time, const int& priority, NodeInterface* scheduleBlk,
                        DesEvent* parentEvent, int noDestinationOpt,
                        const NumberedId& newEventId) {
  if (scheduleBlk != nullptr) TakeEngineOf(scheduleBlk);
  timeOfTimeoutEvent = time;
  priorityOfTimeoutEvent = priority;
  eventWithParentEntity = parentEvent;
  timeoutEvent = nullptr;
  scheduleTimeoutBlk = scheduleBlk;
  timedOutEntityHasNoDestinationOpt = noDestinationOpt;
  executing = false;
  eventId = newEventId;
  instanceCount = NextInstanceCount();
}

// ---------------------------------------------------------------- its event

DesEvent* TimeoutData::CreateTimeoutDesEvent() {
  const NumberedId entityId = ParentEntityId();
  RequireEngine();
  DesEvent* made = DesEvent::NewTemporaryEvent(timeOfTimeoutEvent, priorityOfTimeoutEvent, this,
                                               nullptr);
  if (made == nullptr) pmThrowMemoryException();
  made->AssignId(eventId);
  made->SetEntityId(entityId);
  return made;
}

void TimeoutData::SetupCurrentTimeoutEventFromTimeoutData(DesEvent* event) {
  // Everything that can fail comes first: the event is either retargeted
  // completely or left as it was.
  const NumberedId entityId = ParentEntityId();
  event->SetTime(timeOfTimeoutEvent);
  event->SetPriority(priorityOfTimeoutEvent);
  event->SetDstObj(this);
  event->SetFunctor(nullptr);
  event->SetEntity(nullptr);
  event->AssignId(eventId);
  event->SetEntityId(entityId);
  timeoutEvent = event;
}

std::string TimeoutData::GetEventId() const { return eventId.Text(DesEvent::kIdPrefix); }

void TimeoutData::SetEventId(const std::string& id) { eventId.SetText(id, DesEvent::kIdPrefix); }

void TimeoutData::ResetTimeoutData() {
  priorityOfTimeoutEvent = kResetPriority;
  timeOfTimeoutEvent = 0.0;
  timeoutEvent = nullptr;
  scheduleTimeoutBlk = nullptr;
  executing = false;
  eventId.Clear();
}

// ---------------------------------------------------------------- firing

MSGRespEvent TimeoutData::DoProcessEvent(DesEvent*) {
  executing = true;
  // The entity's whereabouts are read before the timeout leaves the
  // collection; the reset keeps them, but nothing below may rely on this
  // timeout once the block has been told.
  DesEvent* parentEvent = eventWithParentEntity;
  NodeInterface* holder = parentEvent != nullptr ? parentEvent->GetDstObj() : nullptr;
  Des* engine = NodeInterface::des;
  if (engine == nullptr) {
    executing = false;
    NodeInterface::ThrowNoEngine();
  }
  try {
    // Leaves the collection and is reset (which also clears the executing
    // flag). The event being handled is retargeted to the next timeout or
    // released here: neither it nor its argument is used after this call.
    engine->ProcessTimeoutDataRemoval(this);
  } catch (...) {
    executing = false;
    throw;
  }
  // The block may end the entity's life here, and the entity deletes its
  // timeouts: this timeout must not be touched after the call.
  if (holder != nullptr) holder->ExecuteTimeoutEvent(parentEvent, this);
  return MSGRespEvent();
}

// ---------------------------------------------------------------- queries

std::string TimeoutData::getFieldAsString(const char*) const {
  if (eventWithParentEntity == nullptr || eventWithParentEntity->GetDstObj() == nullptr)
    return std::string();
  const char* name = eventWithParentEntity->GetDstObj()->GetBlkParentName();
  return name != nullptr ? std::string(name) : std::string();
}

double TimeoutData::GetResidualTime() const {
  return timeOfTimeoutEvent - GetTimeNowFromDesInstance();
}

double TimeoutData::GetTimeNowFromDesInstance() const { return RequireEngine()->GetTimeNow(); }

Des* TimeoutData::GetTimeoutDesInstance() const { return RequireEngine(); }

bool TimeoutData::operator<(const TimeoutData& other) const {
  if (timeOfTimeoutEvent != other.timeOfTimeoutEvent)
    return timeOfTimeoutEvent > other.timeOfTimeoutEvent;
  if (priorityOfTimeoutEvent != other.priorityOfTimeoutEvent)
    return priorityOfTimeoutEvent > other.priorityOfTimeoutEvent;
  if (instanceCount != other.instanceCount) return instanceCount > other.instanceCount;
  return !std::less<const TimeoutData*>()(this, &other);
}

// ---------------------------------------------------------------- reports

void TimeoutData::ProcessTimeoutAlreadyScheduledError(NodeInterface* blk, const char* tag) {
  throw new DesExcept(HandleOf(blk), DES_TimeoutAlreadyScheduled, "Error", NameOf(blk),
                      tag != nullptr ? tag : "");
}

void TimeoutData::ProcessTimeoutAlreadyScheduledWarning(NodeInterface* blk, const char* tag) {
  DesWarning(HandleOf(blk), DES_TimeoutAlreadyScheduled, "Warning", NameOf(blk),
             tag != nullptr ? tag : "");
}

void TimeoutData::ProcessTimedoutEntityNoDest(NodeInterface* blk) const {
  if (timedOutEntityHasNoDestinationOpt == 1)
    throw new DesExcept(HandleOf(blk), DES_StorageBlock_TO_port_DISABLED, "Error", NameOf(blk),
                        tag.c_str());
  if (timedOutEntityHasNoDestinationOpt == 2)
    DesWarning(HandleOf(blk), DES_StorageBlock_TO_port_DISABLED, "Warning", NameOf(blk),
               tag.c_str());
}
