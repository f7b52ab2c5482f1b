#include "kernel/Des.h"

#include "entity/Attribute.h"
#include "entity/DesData.h"
#include "entity/DesDataInfo.h"
#include "entity/DesDataPool.h"
#include "entity/DesDataValue.h"
#include "entity/DesEntity.h"
#include "entity/EntityList.h"
#include "kernel/DesEvent.h"
#include "kernel/TimerData.h"
#include "kernel/EventCalendarFactory.h"
#include "kernel/EventHdlPolicy.h"
#include "support/DesExcept.h"
#include "support/HostBridge.h"
#include "support/MessageCatalogue.h"

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
      stopRequestedByDebugger(false) {
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
  //
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
  // POOL HOOK (timeouts): TimeoutData.
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
  // POOL HOOK (timeouts): TimeoutData, before the value pools.
  DesDataPool::deleteMemPool();
}

void Des::Initialize() {
  if (!countedInstance) {
    if (number_of_instances == 0) CreateSharedPools();
    ++number_of_instances;
    countedInstance = true;
  }
  if (entityList == nullptr) {
    EntityList* registry = new EntityList();
    try {
      registry->Initialization(10);
    } catch (...) {
      // A registry that could not be built is never used.
      delete registry;
      throw;
    }
    entityList = registry;
  }
}

void Des::Start() {
  if (entityList != nullptr) entityList->StartAll();
  DesEvent::InitIds();
  DesEntity::InitIds();
}

void Des::StartCalendar(int handling, uint64_t, int seed, int combined,
                        uint64_t maxEventsAtTimeStep) {
  pmRefreshProductName();
  // A second start would otherwise orphan the first calendars.
  TerminateCalendar();

  const bool deterministic = handling == 0;
  eventCalendar = deterministic
                      ? NewDeterministicEventCalendar(EVENT_STORAGE_INDEXED_HEAP,
                                                      maxEventsAtTimeStep, this)
                      : NewRandomizedEventCalendar(EVENT_STORAGE_INDEXED_HEAP,
                                                   maxEventsAtTimeStep, this);
  if (combined == 0 && calendarsPolicy != 1) {
    // TIMEOUT HOOK: create the separate TimeoutCalendar here, over the same
    // handling type and timeout storage type 0. Until it exists there is no
    // timeout calendar.
    timeoutCalendar = nullptr;
  } else {
    timeoutCalendar = eventCalendar;
  }
  try {
    eventCalendar->InitCalendar(seed);
    if (timeoutCalendar != nullptr) timeoutCalendar->InitCalendar(seed);
  } catch (...) {
    // Calendars without containers are of no use to anyone.
    if (timeoutCalendar != nullptr && timeoutCalendar != eventCalendar) delete timeoutCalendar;
    delete eventCalendar;
    timeoutCalendar = nullptr;
    eventCalendar = nullptr;
    throw;
  }
}

void Des::DisableOutputForEndOfSim() {
  // DEBUGGER HOOK: with a debugger, switch off its LogControl's event,
  // entity and calendar logging.
  outputDisabledForEndOfSim = true;
}

void Des::StartDebugger(const char*) {
  // DEBUGGER HOOK: create TWDebugger(this, arg), keeping null when that
  // fails.
}

void Des::TerminateDebugger() {
  // DEBUGGER HOOK: destroy the debugger.
  debugger = nullptr;
}

void Des::TerminateCalendar() {
  DesCalendarBase* timeouts = timeoutCalendar;
  EventCalendarBase* events = eventCalendar;
  timeoutCalendar = nullptr;
  eventCalendar = nullptr;
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
  if (countedInstance) {
    countedInstance = false;
    if (number_of_instances == 1) DestroySharedPools();
    if (number_of_instances > 0) --number_of_instances;
  }
}

void Des::ThrowNoCalendar() { EventHdlSupport::ReportNoCalendar(); }
