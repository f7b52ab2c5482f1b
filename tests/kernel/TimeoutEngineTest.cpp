// The engine's timeout bookkeeping: the calendars StartCalendar makes, the
// one event that stands for the earliest timeout with separate calendars
// (or the timeouts' own events with combined ones), removals, entities that
// end with scheduled timeouts, and termination.
#include "tests/kernel/TimeoutTestSupport.h"

namespace {

class TimeoutEngine : public TimeoutEngineTest {};
INSTANTIATE_TEST_SUITE_P(AllCalendars, TimeoutEngine, AllSetups(), SetupName);

// A separate heap calendar of the event calendar's handling type, or the
// event calendar itself when asked or when the policy says so.
TEST_P(TimeoutEngine, StartCalendarMakesASeparateHeapCalendarOrCombinesThem) {
  DesCalendarBase* timeouts = engine.GetTimeoutCalendar();
  if (Combined()) {
    EXPECT_EQ(timeouts, engine.GetEventCalendar());
  } else if (Randomized()) {
    EXPECT_NE((dynamic_cast<TimeoutCalendar<TIMEOUT_HDL_RANDOMIZED, TIMEOUT_STORAGE_HEAP>*>(timeouts)), nullptr);
  } else {
    EXPECT_NE((dynamic_cast<TimeoutCalendar<TIMEOUT_HDL_DETERMINISTIC, TIMEOUT_STORAGE_HEAP>*>(timeouts)),
              nullptr);
  }
  Des other;
  other.Initialize();
  other.SetCalendarsPolicy(1);
  other.StartCalendar(GetParam().handling, 0, 0, 0, 10);
  EXPECT_EQ(other.GetTimeoutCalendar(), other.GetEventCalendar());
  other.Terminate();
}

TEST_P(TimeoutEngine, ALaterTimeoutLeavesTheEventAloneAnEarlierOneTakesIt) {
  TimeoutData* first = Schedule(Hold(queue), "first", 5.0);
  DesEvent* event = first->GetTimeoutEventPtr();
  ASSERT_NE(event, nullptr);
  EXPECT_EQ(event->GetDstObj(), first);
  EXPECT_EQ(event->GetTime(), 5.0);
  EXPECT_EQ(event->GetId(), first->GetEventId());

  TimeoutData* later = Schedule(Hold(queue), "later", 8.0);
  TimeoutData* earlier = Schedule(Hold(queue), "earlier", 2.0, 4);
  if (Combined()) {
    // Every timeout has an event of its own.
    EXPECT_EQ(first->GetTimeoutEventPtr(), event);
    EXPECT_NE(later->GetTimeoutEventPtr(), nullptr);
    EXPECT_NE(earlier->GetTimeoutEventPtr(), nullptr);
    EXPECT_NE(later->GetTimeoutEventPtr(), earlier->GetTimeoutEventPtr());
    EXPECT_EQ(engine.GetCurrentTimeoutEvent(), nullptr);
  } else {
    EXPECT_EQ(later->GetTimeoutEventPtr(), nullptr);
    // The same event, now standing for the earlier timeout.
    EXPECT_EQ(engine.GetCurrentTimeoutEvent(), event);
    EXPECT_EQ(earlier->GetTimeoutEventPtr(), event);
    EXPECT_EQ(first->GetTimeoutEventPtr(), nullptr);
    EXPECT_EQ(event->GetDstObj(), earlier);
    EXPECT_EQ(event->GetTime(), 2.0);
    EXPECT_EQ(event->GetPriority(), 4);
    EXPECT_EQ(event->GetId(), earlier->GetEventId());
  }
  EXPECT_EQ(engine.GetDesNextTime(0.0), 2.0);
}

TEST_P(TimeoutEngine, CancellingTheEarliestMovesOnCancellingTheLastReleasesTheEvent) {
  TimeoutData* a = Schedule(Hold(queue), "a", 1.0);
  TimeoutData* b = Schedule(Hold(queue), "b", 3.0);
  TimeoutData* c = Schedule(Hold(queue), "c", 6.0);
  DesEvent* shared = engine.GetCurrentTimeoutEvent();

  engine.ProcessTimeoutDataRemoval(b);  // not the earliest
  EXPECT_TRUE(b->IsCancelled());
  EXPECT_EQ(engine.GetDesNextTime(0.0), 1.0);
  engine.ProcessTimeoutDataRemoval(a);
  EXPECT_TRUE(a->IsCancelled());
  EXPECT_EQ(engine.GetDesNextTime(0.0), 6.0);
  if (!Combined()) {
    EXPECT_EQ(engine.GetCurrentTimeoutEvent(), shared);
    EXPECT_EQ(shared->GetDstObj(), c);
  }
  engine.ProcessTimeoutDataRemoval(c);
  EXPECT_EQ(engine.GetCurrentTimeoutEvent(), nullptr);
  EXPECT_TRUE(NothingScheduled());
  EXPECT_TRUE(engine.GetTimeoutCalendar()->IsEmpty() || Combined());
  Run(10.0);
  EXPECT_TRUE(queue->fired.empty());
}

TEST_P(TimeoutEngine, RemovingACancelledTimeoutDoesNothing) {
  TimeoutData* td = Schedule(Hold(queue), "a", 1.0);
  DesEvent* event = td->GetTimeoutEventPtr();
  TimeoutData* reset = Hold(queue)->GetEntity()->CreateTimeout("r", 0.5, 0, queue, nullptr, 1);
  reset->ResetTimeoutData();
  engine.ProcessTimeoutDataRemoval(reset);
  engine.ProcessTimeoutDataRemoval(nullptr);
  engine.PrintTimeoutDeletion(reset);
  EXPECT_EQ(td->GetTimeoutEventPtr(), event);
  EXPECT_EQ(engine.GetDesNextTime(0.0), 1.0);
  Run(1.0);
  EXPECT_EQ(queue->Tags(), std::vector<std::string>{"a"});
}

TEST_P(TimeoutEngine, ATimeoutWithoutItsEntitysEventIsRefusedWithNothingChanged) {
  Schedule(Hold(queue), "a", 3.0);
  DesEntity* entity = Hold(queue)->GetEntity();
  TimeoutData* lost = entity->CreateTimeout("lost", 1.0, 0, queue, nullptr, 1);
  ThrownError t = CatchError([&] { engine.ProcessTimeoutDataAddition(lost); });
  EXPECT_EQ(t.code, static_cast<uint32_t>(DES_GenericInternalErr));
  ASSERT_EQ(t.args.size(), 1u);
  EXPECT_NE(t.args[0].find("'lost'"), std::string::npos);
  EXPECT_EQ(CatchError([&] { entity->AddAllTimeoutsToTimeoutCollection(); }).code,
            static_cast<uint32_t>(DES_GenericInternalErr));
  EXPECT_EQ(engine.GetDesNextTime(0.0), 3.0);
  EXPECT_EQ(lost->GetTimeoutEventPtr(), nullptr);

  // Nor is one without a scheduling block.
  lost->SetEventPtrWithParentEntity(entity->GetCarrierEvent());
  lost->ResetTimeoutData();
  EXPECT_EQ(CatchError([&] { engine.ProcessTimeoutDataAddition(lost); }).code,
            static_cast<uint32_t>(DES_GenericInternalErr));
  Run(3.0);
  EXPECT_EQ(queue->Tags(), std::vector<std::string>{"a"});
}

TEST_P(TimeoutEngine, AnEntityDestroyedWithScheduledTimeoutsRemovesThemFirst) {
  DesEvent* doomed = Hold(queue);
  Schedule(doomed, "x", 1.0);
  Schedule(doomed, "y", 2.0);
  Schedule(Hold(queue), "z", 3.0);
  Drop(doomed);
  EXPECT_EQ(engine.GetDesNextTime(0.0), 3.0);
  Run(1.0);
  Run(2.0);
  Run(3.0);
  EXPECT_EQ(queue->Tags(), std::vector<std::string>{"z"});
  EXPECT_TRUE(NothingScheduled());
}

TEST_P(TimeoutEngine, ARecycledEntityTakesItsTimeoutsOffTheCalendar) {
  // Entities of an immutable type are kept for reuse, not deleted.
  EntityList* registry = engine.GetEntityList();
  RCPtr<EntityDef> type(new EntityDef(registry, "Part", nullptr, false, false, 1));
  registry->AddToList(new DesEntity(registry, type, nullptr, false, 0, true));
  DesEntity* part = registry->CloneEntity("Part", false);
  DesEvent* carrier = new DesEvent(0.0, 0, queue, part);
  TimeoutData* td = part->CreateTimeout("t", 2.0, 0, queue, carrier, 1);
  engine.ProcessTimeoutDataAddition(td);
  delete carrier;  // part goes to its type's recycle list
  EXPECT_TRUE(td->IsCancelled());
  EXPECT_EQ(td->GetEventPtrWithParentEntity(), nullptr);
  EXPECT_TRUE(NothingScheduled());
  Run(2.0);
  EXPECT_TRUE(queue->fired.empty());
  // Its next user finds the timeout there, not scheduled.
  DesEntity* reused = registry->CloneEntity("Part", false);
  EXPECT_EQ(reused, part);
  DesEvent* again = new DesEvent(3.0, 0, queue, reused);
  carriers.insert(again);
  EXPECT_EQ(reused->FindTimeout(queue, "t", false), nullptr);
}

TEST_P(TimeoutEngine, TerminatingTheCalendarsResetsTheTimeoutsAndLeavesThemToTheirEntities) {
  Des keeper;  // keeps the pools past the engine's Terminate
  keeper.Initialize();
  DesEvent* carrier = Hold(queue);
  TimeoutData* a = Schedule(carrier, "a", 1.0);
  TimeoutData* b = Schedule(carrier, "b", 2.0);
  Schedule(Hold(server), "c", 3.0);
  engine.Terminate();
  EXPECT_TRUE(a->IsCancelled());
  EXPECT_TRUE(b->IsCancelled());
  // The registry is gone with the engine; the entity still holds its timeout.
  EXPECT_EQ(carrier->GetEntity()->GetTimeoutSet().count(a), 1u);
  EXPECT_EQ(engine.GetCurrentTimeoutEvent(), nullptr);
  for (DesEvent* e : carriers) delete e;
  carriers.clear();
  keeper.Terminate();
  engine.Initialize();  // for TearDown's Terminate
}

TEST_P(TimeoutEngine, AfterTheEndOfTheSimulationCombinedCalendarsOnlyResetTimeouts) {
  DesEvent* carrier = Hold(queue);
  TimeoutData* td = Schedule(carrier, "t", 5.0);
  engine.DisableOutputForEndOfSim();
  engine.ProcessTimeoutDataRemoval(td);
  EXPECT_TRUE(td->IsCancelled());
  if (Combined()) {
    // The event stays until the calendar destroys it at termination.
    EXPECT_EQ(engine.GetDesNextTime(0.0), 5.0);
  } else {
    EXPECT_TRUE(NothingScheduled());
  }
  Drop(carrier);
}

TEST_P(TimeoutEngine, TimeoutsOfAFinishedRunDoNotReachTheNextOne) {
  DesEvent* carrier = Hold(queue);
  TimeoutData* td = Schedule(carrier, "t", 5.0);
  // A new start ends the first calendars.
  engine.StartCalendar(GetParam().handling, 0, 11, GetParam().combined ? 1 : 0, 1000);
  EXPECT_TRUE(td->IsCancelled());
  EXPECT_TRUE(NothingScheduled());
  EXPECT_EQ(Schedule(carrier, "t", 2.0), td);
  Drop(carrier);
  EXPECT_TRUE(NothingScheduled());
}

TEST_P(TimeoutEngine, SchedulingBeforeTheCalendarsExistIsRefused) {
  Des cold;
  cold.Initialize();
  {
    HoldingBlock block(&cold, "model/Cold");
    DesEntity* entity = cold.GetEntityList()->CloneEntity("DefaultEntity", false);
    DesEvent* carrier = new DesEvent(0.0, 0, &block, entity);
    TimeoutData* td = entity->CreateTimeout("t", 1.0, 0, &block, carrier, 1);
    EXPECT_EQ(CatchError([&] { cold.ProcessTimeoutDataAddition(td); }).code,
              static_cast<uint32_t>(DES_GenericInternalErr));
    cold.ProcessTimeoutDataRemoval(td);  // only resets
    EXPECT_TRUE(td->IsCancelled());
    delete carrier;
  }
  cold.Terminate();
}

}  // namespace
