// The engine's timeout bookkeeping: calendars, the timeout event(s), removals, termination.
#include <memory>

#include "tests/kernel/TimeoutTestSupport.h"

namespace {

class TimeoutEngine : public TimeoutEngineTest {};
INSTANTIATE_TEST_SUITE_P(AllCalendars, TimeoutEngine, AllSetups(), SetupName);

// Which calendar holds timeouts; none before StartCalendar; a restart ends the old timeouts.
TEST_P(TimeoutEngine, CalendarsTheEngineStartsAndRestarts) {
  DesCalendarBase* timeouts = engine.GetTimeoutCalendar();
  if (Combined()) EXPECT_EQ(timeouts, engine.GetEventCalendar());
  else if (Randomized()) EXPECT_TRUE((dynamic_cast<TimeoutCalendar<TIMEOUT_HDL_RANDOMIZED, TIMEOUT_STORAGE_HEAP>*>(timeouts)));
  else EXPECT_TRUE((dynamic_cast<TimeoutCalendar<TIMEOUT_HDL_DETERMINISTIC, TIMEOUT_STORAGE_HEAP>*>(timeouts)));
  Des other;  // no calendars yet
  other.Initialize();
  DesEvent* carrier = Hold(queue);
  TimeoutData* td = carrier->GetEntity()->CreateTimeout("t", 5.0, 0, queue, carrier, 1);
  EXPECT_EQ(ErrorCode([&] { other.ProcessTimeoutDataAddition(td); }), DES_GenericInternalErr);
  other.ProcessTimeoutDataRemoval(td);  // only resets
  EXPECT_TRUE(td->IsCancelled());
  other.SetCalendarsPolicy(1);
  other.StartCalendar(CalendarParams().handling, 0, 0, 0, 10);
  EXPECT_EQ(other.GetTimeoutCalendar(), other.GetEventCalendar());
  other.Terminate();

  EXPECT_EQ(Schedule(carrier, "t", 5.0), td);
  engine.StartCalendar(CalendarParams().handling, 0, 11, Combined() ? 1 : 0, 1000);
  EXPECT_TRUE(td->IsCancelled() && NothingScheduled());
  EXPECT_EQ(Schedule(carrier, "t", 2.0), td);
  Drop(carrier);
  EXPECT_TRUE(NothingScheduled());
}

TEST_P(TimeoutEngine, ALaterTimeoutLeavesTheEventAloneAnEarlierOneTakesIt) {
  TimeoutData* first = Schedule(Hold(queue), "first", 5.0);
  DesEvent* event = first->GetTimeoutEventPtr();
  ASSERT_NE(event, nullptr);
  EXPECT_TRUE(event->GetDstObj() == first && event->GetTime() == 5.0 && event->GetId() == first->GetEventId());
  TimeoutData* later = Schedule(Hold(queue), "later", 8.0);
  TimeoutData* earlier = Schedule(Hold(queue), "earlier", 2.0, 4);
  if (Combined()) {
    EXPECT_TRUE(first->GetTimeoutEventPtr() == event && engine.GetCurrentTimeoutEvent() == nullptr);
    EXPECT_TRUE(later->GetTimeoutEventPtr() != nullptr && earlier->GetTimeoutEventPtr() != nullptr);
    EXPECT_NE(later->GetTimeoutEventPtr(), earlier->GetTimeoutEventPtr());
  } else {
    // The same event, now standing for the earlier timeout.
    EXPECT_TRUE(later->GetTimeoutEventPtr() == nullptr && first->GetTimeoutEventPtr() == nullptr);
    EXPECT_TRUE(engine.GetCurrentTimeoutEvent() == event && earlier->GetTimeoutEventPtr() == event);
    EXPECT_TRUE(event->GetDstObj() == earlier && event->GetTime() == 2.0 && event->GetPriority() == 4 &&
                event->GetId() == earlier->GetEventId());
  }
  EXPECT_EQ(engine.GetDesNextTime(0.0), 2.0);
}

// Cancelling moves the event on, the last releases it; removing a cancelled one does nothing.
TEST_P(TimeoutEngine, CancellingTimeouts) {
  TimeoutData* a = Schedule(Hold(queue), "a", 1.0);
  TimeoutData* b = Schedule(Hold(queue), "b", 3.0);
  TimeoutData* c = Schedule(Hold(queue), "c", 6.0);
  DesEvent* shared = engine.GetCurrentTimeoutEvent();
  engine.ProcessTimeoutDataRemoval(b);  // not the earliest
  EXPECT_TRUE(b->IsCancelled() && engine.GetDesNextTime(0.0) == 1.0);
  TimeoutData* reset = Hold(queue)->GetEntity()->CreateTimeout("r", 0.5, 0, queue, nullptr, 1);
  reset->ResetTimeoutData();
  DesEvent* event = a->GetTimeoutEventPtr();
  for (TimeoutData* nothing : {reset, b, static_cast<TimeoutData*>(nullptr)}) engine.ProcessTimeoutDataRemoval(nothing);
  engine.PrintTimeoutDeletion(reset);
  EXPECT_TRUE(a->GetTimeoutEventPtr() == event && engine.GetDesNextTime(0.0) == 1.0);
  engine.ProcessTimeoutDataRemoval(a);
  EXPECT_TRUE(a->IsCancelled() && engine.GetDesNextTime(0.0) == 6.0);
  EXPECT_TRUE(Combined() || (engine.GetCurrentTimeoutEvent() == shared && shared->GetDstObj() == c));
  engine.ProcessTimeoutDataRemoval(c);
  EXPECT_TRUE(engine.GetCurrentTimeoutEvent() == nullptr && NothingScheduled());
  EXPECT_TRUE(engine.GetTimeoutCalendar()->IsEmpty() || Combined());
  Run(10.0);
  EXPECT_TRUE(queue->fired.empty());
}

// Without its entity's event, or a scheduling block: refused, nothing changed.
TEST_P(TimeoutEngine, ATimeoutWithoutItsEntitysEventIsRefusedWithNothingChanged) {
  Schedule(Hold(queue), "a", 3.0);
  DesEntity* entity = Hold(queue)->GetEntity();
  TimeoutData* lost = entity->CreateTimeout("lost", 1.0, 0, queue, nullptr, 1);
  auto namesLost = [](const ThrownError& t) {
    return t.code == DES_GenericInternalErr && t.args.size() == 1 && t.args[0].find("'lost'") != std::string::npos;
  };
  EXPECT_TRUE(namesLost(CatchError([&] { engine.ProcessTimeoutDataAddition(lost); })));
  EXPECT_EQ(ErrorCode([&] { entity->AddAllTimeoutsToTimeoutCollection(); }), DES_GenericInternalErr);
  // Nor can the timeout itself make or retarget an event.
  EXPECT_TRUE(namesLost(CatchError([&] { lost->CreateTimeoutDesEvent(); })));
  std::unique_ptr<DesEvent> e(DesEvent::NewTemporaryEvent(1.0, 2, queue, nullptr));
  EXPECT_EQ(ErrorCode([&] { lost->SetupCurrentTimeoutEventFromTimeoutData(e.get()); }), DES_GenericInternalErr);
  EXPECT_TRUE(e->GetTime() == 1.0 && e->GetDstObj() == queue);
  EXPECT_TRUE(engine.GetDesNextTime(0.0) == 3.0 && lost->GetTimeoutEventPtr() == nullptr);
  lost->SetEventPtrWithParentEntity(entity->GetCarrierEvent());
  lost->ResetTimeoutData();
  EXPECT_EQ(ErrorCode([&] { engine.ProcessTimeoutDataAddition(lost); }), DES_GenericInternalErr);
  Run(3.0);
  EXPECT_EQ(queue->fired, std::vector<std::string>{"a"});
}

// An entity recycled (immutable type) unschedules its timeouts, as a destroyed one does.
TEST_P(TimeoutEngine, ARecycledEntityTakesItsTimeoutsOffTheCalendar) {
  EntityList* registry = engine.GetEntityList();
  RCPtr<EntityDef> type(new EntityDef(registry, "Part", nullptr, false, false, 1));
  registry->AddToList(new DesEntity(registry, type, nullptr, false, 0, true));
  DesEntity* part = registry->CloneEntity("Part", false);
  DesEvent* carrier = new DesEvent(0.0, 0, queue, part);
  TimeoutData* td = part->CreateTimeout("t", 4.0, 0, queue, carrier, 1);
  engine.ProcessTimeoutDataAddition(td);
  delete carrier;  // part goes to its type's recycle list
  EXPECT_TRUE(td->IsCancelled() && td->GetEventPtrWithParentEntity() == nullptr && NothingScheduled());
  ASSERT_EQ(registry->CloneEntity("Part", false), part);
  carriers.insert(new DesEvent(5.0, 0, queue, part));
  EXPECT_EQ(part->FindTimeout(queue, "t", false), nullptr);
}

// Termination resets every timeout, leaving it to its entity (end of simulation: tests/app).
TEST_P(TimeoutEngine, TerminationLeavesTheTimeoutsToTheirEntities) {
  Des keeper;  // keeps the pools past the engine's Terminate
  keeper.Initialize();
  DesEvent* carrier = Hold(queue);
  TimeoutData* a = Schedule(carrier, "a", 1.0);
  TimeoutData* b = Schedule(carrier, "b", 2.0);
  Schedule(Hold(server), "c", 3.0);
  engine.Terminate();
  EXPECT_TRUE(a->IsCancelled() && b->IsCancelled() && engine.GetCurrentTimeoutEvent() == nullptr);
  EXPECT_EQ(carrier->GetEntity()->GetTimeoutSet().count(a), 1u);
  for (DesEvent* e : carriers) delete e;
  carriers.clear();
  keeper.Terminate();
  engine.Initialize();  // for TearDown's Terminate
}

}  // namespace
