#include "kernel/Des.h"

#include "kernel/DesEvent.h"
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
  // ENTITY HOOK: register the entity type map (DesEntity::createTypeMap).
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
  // POOL HOOK (attributes): AttributeDesData, AttributeDouble, AttributeInt,
  // AttributeHvArray, AttributePtrDouble, AttributeString ::newMemPool(4, 2.0).
  // POOL HOOK (data values): DesData, DesDataInfo, DesDataValue.
  // POOL HOOK (entities): DesEntity.
  DesEvent::newMemPool(4, 2.0);
  // POOL HOOK (timers and timeouts): TimerData, TimeoutData.
}

void Des::DestroySharedPools() {
  // POOL HOOK (attributes): AttributeDouble, AttributeInt, AttributeHvArray,
  // AttributePtrDouble, AttributeString, AttributeDesData ::deleteMemPool().
  // POOL HOOK (data values): DesData, DesDataInfo, DesDataValue.
  // POOL HOOK (entities): DesEntity.
  DesEvent::deleteMemPool();
  // POOL HOOK (timers and timeouts): TimerData, TimeoutData; then
  // DesDataPool::deleteMemPool().
}

void Des::Initialize() {
  if (!countedInstance) {
    if (number_of_instances == 0) CreateSharedPools();
    ++number_of_instances;
    countedInstance = true;
  }
  // REGISTRY HOOK: create the EntityList (through PMMemMgr) and call its
  // Initialization(10).
}

void Des::Start() {
  // REGISTRY HOOK: the registry's StartAll().
  DesEvent::InitIds();
  // ENTITY HOOK: entity ids restart at 1 with the prefix "en".
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
  // REGISTRY HOOK: the registry's Termination(), then destroy it.
  entityList = nullptr;
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
