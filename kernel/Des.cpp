#include "kernel/Des.h"

#include <new>
#include <string>

#include "entity/Attribute.h"
#include "entity/DesData.h"
#include "entity/DesDataInfo.h"
#include "entity/DesDataPool.h"
#include "entity/DesDataValue.h"
#include "entity/DesEntity.h"
#include "entity/EntityList.h"
#include "kernel/DesEvent.h"
#include "kernel/TimerData.h"
#include "kernel/TimeoutCalendarBase.h"
#include "kernel/TimeoutCalendarFactory.h"
#include "kernel/TimeoutData.h"
#include "kernel/EventCalendarFactory.h"
#include "kernel/EventHdlPolicy.h"
#include "support/DesExcept.h"
#include "debugger/TWDebugger.h"
#include "support/HostBridge.h"
#include "support/PMMallocError.h"
#include "support/MessageCatalogue.h"
#include "trace/LogControl.h"

uint32_t Des::number_of_instances = 0;

Des::Des()
    : eventCalendar(nullptr),
      timeoutCalendar(nullptr),
      currentTimeoutEvent(nullptr),
      entityList(nullptr),
      calendarsPolicy(0),
      outputDisabledForEndOfSim(false),
      debugger(nullptr),
      countedInstance(false),
      stopRequestedByDebugger(false),
      droppedEventsStayWithBlocks(false) {
  DesEntity::createTypeMap();
}

Des::~Des() {
  if (countedInstance || eventCalendar != nullptr || timeoutCalendar != nullptr) Terminate();
}

void Des::Pause(double) {}

int Des::InitMsgContext() { return RegisterMessageCatalogue(); }

void Des::CreateSharedPools() {
  // Every pool starts with a chunk of 4 slots and doubles from there. The
  // order is fixed: attribute pools, data-value pools, entities, events,
  // timers, timeouts.
  AttributeDesData::newMemPool(4, 2.0);
  AttributeDouble::newMemPool(4, 2.0);
  AttributeInt::newMemPool(4, 2.0);
  AttributeHvArray::newMemPool(4, 2.0);
  AttributePtrDouble::newMemPool(4, 2.0);
  AttributeString::newMemPool(4, 2.0);
  DesData::newMemPool(4, 2.0);
  DesDataInfo::newMemPool(4, 2.0);
  DesDataValue::newMemPool(4, 2.0);
  DesEntity::newMemPool(4, 2.0);
  DesEvent::newMemPool(4, 2.0);
  TimerData::newMemPool(4, 2.0);
  TimeoutData::newMemPool(4, 2.0);
}

void Des::DestroySharedPools() {
  AttributeDouble::deleteMemPool();
  AttributeInt::deleteMemPool();
  AttributeHvArray::deleteMemPool();
  AttributePtrDouble::deleteMemPool();
  AttributeString::deleteMemPool();
  AttributeDesData::deleteMemPool();
  DesData::deleteMemPool();
  DesDataInfo::deleteMemPool();
  DesDataValue::deleteMemPool();
  DesEntity::deleteMemPool();
  DesEvent::deleteMemPool();
  TimerData::deleteMemPool();
  TimeoutData::deleteMemPool();
  DesDataPool::deleteMemPool();
}

void Des::Initialize() {
  // A failed initialisation leaves nothing behind: no registry, and no
  // pools when this call was the one to make them.
  const bool counting = !countedInstance;
  if (counting) {
    if (number_of_instances == 0) {
      try {
        CreateSharedPools();
      } catch (...) {
        DestroySharedPools();
        pmRethrowWithMemoryError();
      }
    }
    ++number_of_instances;
    countedInstance = true;
  }
  if (entityList == nullptr) {
    EntityList* registry = nullptr;
    try {
      registry = new EntityList();
      registry->Initialization(10);
    } catch (...) {
      delete registry;
      if (counting) ReleaseSharedPools();
      pmRethrowWithMemoryError();
    }
    entityList = registry;
  }
}

void Des::Start() {
  if (entityList != nullptr) pmWithMemoryError([this] { entityList->StartAll(); });
  DesEvent::InitIds();
  DesEntity::InitIds();
}

void Des::StartCalendar(int handling, uint64_t, int seed, int combined,
                        uint64_t maxEventsAtTimeStep) {
  pmWithMemoryError([] { pmRefreshProductName(); });
  // A second start would otherwise orphan the first calendars.
  TerminateCalendar();

  const bool deterministic = handling == 0;
  eventCalendar = pmWithMemoryError([&] {
    return deterministic
               ? NewDeterministicEventCalendar(EVENT_STORAGE_INDEXED_HEAP, maxEventsAtTimeStep, this)
               : NewRandomizedEventCalendar(EVENT_STORAGE_INDEXED_HEAP, maxEventsAtTimeStep, this);
  });
  try {
    if (combined == 0 && calendarsPolicy != 1) {
      timeoutCalendar = deterministic ? NewDeterministicTimeoutCalendar(0)
                                      : NewRandomizedTimeoutCalendar(0);
    } else {
      timeoutCalendar = eventCalendar;
    }
    eventCalendar->InitCalendar(seed);
    if (timeoutCalendar != nullptr) timeoutCalendar->InitCalendar(seed);
  } catch (...) {
    // Calendars without containers are of no use to anyone.
    if (timeoutCalendar != nullptr && timeoutCalendar != eventCalendar) delete timeoutCalendar;
    delete eventCalendar;
    timeoutCalendar = nullptr;
    eventCalendar = nullptr;
    pmRethrowWithMemoryError();
  }
}

void Des::DisableOutputForEndOfSim() {
  if (debugger != nullptr) debugger->GetLogController()->DisableAllLogging();
  outputDisabledForEndOfSim = true;
}

// The calendar's loggers hold the debugger's parts, so a debugger, once
// made, stays until termination: a second start keeps it.
void Des::StartDebugger(const char* arg) {
  if (debugger != nullptr) return;
  try {
    debugger = new TWDebugger(this, arg);
  } catch (const std::bad_alloc&) {
    debugger = nullptr;
  } catch (PMMallocError* e) {
    delete e;
    debugger = nullptr;
  }
}

void Des::TerminateDebugger() {
  TWDebugger* doomed = debugger;
  debugger = nullptr;
  delete doomed;
}

void Des::TerminateCalendar() {
  DesCalendarBase* timeouts = timeoutCalendar;
  EventCalendarBase* events = eventCalendar;
  timeoutCalendar = nullptr;
  eventCalendar = nullptr;
  // The shared timeout event waits on the event calendar, which destroys it
  // with the other waiting events.
  currentTimeoutEvent = nullptr;
  if (timeouts != nullptr) timeouts->TerminateCalendar();
  if (events != nullptr && static_cast<DesCalendarBase*>(events) != timeouts)
    events->TerminateCalendar();
}

void Des::DestroyEntitylist() {
  // Cleared first: a later Terminate (or a second call) finds no registry
  // and leaves it alone.
  EntityList* registry = entityList;
  entityList = nullptr;
  if (registry == nullptr) return;
  registry->Termination();
  delete registry;
}

void Des::Terminate() {
  TerminateDebugger();
  TerminateCalendar();
  currentTimeoutEvent = nullptr;
  if (entityList != nullptr) DestroyEntitylist();
  ReleaseSharedPools();
}

void Des::ReleaseSharedPools() {
  if (!countedInstance) return;
  countedInstance = false;
  if (number_of_instances == 1) DestroySharedPools();
  if (number_of_instances > 0) --number_of_instances;
}

void Des::ThrowNoCalendar() { EventHdlSupport::ReportNoCalendar(); }

// ---------------------------------------------------------------- timeouts

void Des::ProcessTimeoutDataAddition(TimeoutData* td) {
  RequireCalendar();
  if (timeoutCalendar == nullptr) ThrowNoCalendar();
  if (td == nullptr) return;
  // A timeout without a scheduling block would never be removed again (its
  // entity removes only scheduled ones), and one without the event that
  // carries its entity cannot make or retarget its event. Both are refused
  // before anything changes.
  if (td->IsCancelled()) {
    const std::string text = "timeout with tag '" + td->GetTag() +
                             "' has no scheduling block and cannot be scheduled";
    throw new DesExcept(DES_GenericInternalErr, text.c_str());
  }
  if (td->GetEventPtrWithParentEntity() == nullptr) {
    const std::string text = "timeout with tag '" + td->GetTag() +
                             "' has no event carrying its entity; set it before the "
                             "timeout is scheduled";
    throw new DesExcept(DES_GenericInternalErr, text.c_str());
  }

  // Combined: the event calendar files the timeout as an event of its own.
  if (timeoutCalendar == eventCalendar) {
    timeoutCalendar->AddToTimeoutCollection(td);
    return;
  }

  TimeoutData* before = timeoutCalendar->topTimeout();
  timeoutCalendar->AddToTimeoutCollection(td);
  TimeoutData* after = timeoutCalendar->topTimeout();
  if (after == before) return;
  if (currentTimeoutEvent == nullptr) {
    try {
      currentTimeoutEvent = after->CreateTimeoutDesEvent();
    } catch (...) {
      // Without its event the new earliest timeout would never fire.
      timeoutCalendar->RemoveFromTimeoutCollection(td);
      throw;
    }
    after->SetTimeoutEventPtr(currentTimeoutEvent);
  } else {
    eventCalendar->DeleteEvtWithoutLogging(currentTimeoutEvent);
    if (before != nullptr) {
      before->SetTimeoutEventPtr(nullptr);
      before->SetEventType("Timeout");
    }
    after->SetupCurrentTimeoutEventFromTimeoutData(currentTimeoutEvent);
  }
  eventCalendar->AddEvt(currentTimeoutEvent);
}

void Des::ProcessTimeoutDataRemoval(TimeoutData* td) {
  if (td == nullptr || td->IsCancelled()) return;
  // No calendars (never started, or being terminated: termination resets
  // the timeouts itself, and the waiting events go with the event
  // calendar): the timeout only stops being scheduled.
  if (timeoutCalendar == nullptr || eventCalendar == nullptr) {
    td->ResetTimeoutData();
    return;
  }
  // Combined calendars take the timeout's event off only before the end of
  // the simulation (they check that themselves), but always forget the
  // timeout, which may be deleted next.
  timeoutCalendar->RemoveFromTimeoutCollection(td);
  if (timeoutCalendar == eventCalendar) {
    td->ResetTimeoutData();
    return;
  }
  if (currentTimeoutEvent == nullptr || td->GetTimeoutEventPtr() != currentTimeoutEvent) {
    td->ResetTimeoutData();
    return;
  }
  // The shared event stands for td. While td fires, its event has already
  // left the calendar and is the one being handled.
  if (!td->IsExecuting()) eventCalendar->DeleteEvt(currentTimeoutEvent);
  td->ResetTimeoutData();
  if (timeoutCalendar->IsEmpty()) {
    DesEvent* gone = currentTimeoutEvent;
    currentTimeoutEvent = nullptr;
    delete gone;
    return;
  }
  TimeoutData* next = timeoutCalendar->topTimeout();
  next->SetupCurrentTimeoutEventFromTimeoutData(currentTimeoutEvent);
  eventCalendar->AddEvtWithoutLogging(currentTimeoutEvent);
}

void Des::PrintTimeoutDeletion(TimeoutData* td) {
  if (td == nullptr || td->IsCancelled() || timeoutCalendar == nullptr) return;
  timeoutCalendar->PrintTimeoutDeletion(td);
}
