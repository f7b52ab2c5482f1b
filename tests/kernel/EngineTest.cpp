// The engine object: pools shared between engines, calendar creation, the
// forwarding run-time operations, and termination.
#include <limits>
#include <memory>

#include "kernel/EventCalendarFactory.h"
#include "tests/kernel/KernelTestSupport.h"

typedef EventCalendar<EVENT_HDL_DETERMINISTIC, EVENT_STORAGE_INDEXED_HEAP> DeterministicHeapCalendar;
typedef EventCalendar<EVENT_HDL_RANDOMIZED, EVENT_STORAGE_INDEXED_HEAP> RandomizedHeapCalendar;
typedef EventCalendar<EVENT_HDL_RANDOMIZED, EVENT_STORAGE_SET> RandomizedSetCalendar;

TEST(EngineLifecycle, EnginesShareThePools) {
  ASSERT_EQ(Des::number_of_instances, 0u);
  Des first, second;
  first.Initialize();
  Pool<DesEvent>* pool = DesEvent::memPool;
  ASSERT_NE(pool, nullptr);
  second.Initialize();
  EXPECT_EQ(Des::number_of_instances, 2u);
  EXPECT_EQ(DesEvent::memPool, pool);
  // Initialising an engine twice does not count it twice.
  second.Initialize();
  EXPECT_EQ(Des::number_of_instances, 2u);

  RecordingBlock a(&first), b(&second);
  first.StartCalendar(0, 0, 0, 1, 100);
  second.StartCalendar(0, 0, 0, 1, 100);
  DesEvent* ea = new DesEvent(1.0, 0, &a, nullptr);
  DesEvent* eb = new DesEvent(1.0, 0, &b, nullptr);
  first.AddEvt(ea);
  second.AddEvt(eb);
  EXPECT_EQ(first.ExecuteEvents(1.0, 0.0, true), std::numeric_limits<double>::infinity());
  EXPECT_EQ(a.executed, std::vector<DesEvent*>({ea}));
  EXPECT_TRUE(b.executed.empty());
  delete ea;

  second.Terminate();
  EXPECT_EQ(Des::number_of_instances, 1u);
  EXPECT_EQ(DesEvent::memPool, pool);  // left for the first engine
  second.Terminate();
  EXPECT_EQ(Des::number_of_instances, 1u);
  // eb waited in the second engine's calendar, whose termination destroyed it.
  first.Terminate();
  EXPECT_EQ(Des::number_of_instances, 0u);
  EXPECT_EQ(DesEvent::memPool, nullptr);
}

TEST(EngineLifecycle, FactoriesCoverEveryStorageType) {
  Des engine;
  engine.Initialize();
  for (int s = 0; s < 4; ++s) {
    EventCalendarBase* d = NewDeterministicEventCalendar(s, 5, &engine);
    EventCalendarBase* r = NewRandomizedEventCalendar(s, 5, &engine);
    ASSERT_NE(d, nullptr);
    ASSERT_NE(r, nullptr);
    d->InitCalendar(0);
    r->InitCalendar(0);
    d->TerminateCalendar();
    r->TerminateCalendar();
  }
  EXPECT_EQ(NewDeterministicEventCalendar(4, 5, &engine), nullptr);
  EXPECT_EQ(NewRandomizedEventCalendar(-1, 5, &engine), nullptr);
  EXPECT_NE(dynamic_cast<RandomizedSetCalendar*>(
                std::unique_ptr<EventCalendarBase>(NewRandomizedEventCalendar(2, 5, &engine)).get()),
            nullptr);
  engine.Terminate();
}

class Engine : public EngineTest {};

TEST_F(Engine, StartCalendarMakesAnIndexedHeapCalendar) {
  engine.StartCalendar(0, 99, 0, 1, 10);
  EXPECT_NE(dynamic_cast<DeterministicHeapCalendar*>(
                engine.GetEventCalendar()),
            nullptr);
  EXPECT_EQ(engine.GetTimeoutCalendar(), engine.GetEventCalendar());
  auto* calendar = static_cast<DeterministicHeapCalendar*>(
      engine.GetEventCalendar());
  EXPECT_EQ(calendar->GetMaxEventsAtTimeStep(), 10u);
  EXPECT_EQ(calendar->GetFutureEvents()->Capacity(), 1024);

  engine.StartCalendar(3, 0, 5, 1, 10);
  EXPECT_NE(dynamic_cast<RandomizedHeapCalendar*>(
                engine.GetEventCalendar()),
            nullptr);
}

TEST_F(Engine, NegativeSeedLeavesNoCalendar) {
  EXPECT_EQ(CodeOfThrown([&] { engine.StartCalendar(1, 0, -1, 1, 10); }),
            static_cast<uint32_t>(DES_RngNegSeedInEvntHndlr));
  EXPECT_EQ(engine.GetEventCalendar(), nullptr);
  EXPECT_EQ(engine.GetDesNextTime(0.0), std::numeric_limits<double>::infinity());
  // Deterministic handling ignores the seed.
  engine.StartCalendar(0, 0, -1, 1, 10);
  EXPECT_NE(engine.GetEventCalendar(), nullptr);
}

TEST_F(Engine, SchedulingBeforeStartCalendarIsAnError) {
  DesEvent* e = Make(1.0, 0);
  EXPECT_EQ(CodeOfThrown([&] { engine.AddEvt(e); }), static_cast<uint32_t>(DES_GenericInternalErr));
  EXPECT_EQ(engine.GetTimeNow(), -1.0);
}

TEST_F(Engine, RunTimeOperationsForwardToTheCalendar) {
  engine.StartCalendar(0, 0, 0, 1, 10);
  EXPECT_EQ(engine.GetTimeNow(), -1.0);
  EXPECT_EQ(engine.GetEndTime(), -1.0);
  engine.SetEndTime(50.0);
  EXPECT_EQ(engine.GetEndTime(), 50.0);

  DesEvent* a = Make(2.0, 0);
  DesEvent* b = Make(4.0, 0);
  DesEvent* c = Make(6.0, 0);
  engine.AddEvt(a);
  engine.pushEvt(b);
  engine.AddEvtWithoutLogging(c);
  EXPECT_EQ(engine.GetDesNextTime(0.0), 2.0);
  engine.DeleteEvt(b);
  EXPECT_EQ(engine.ExecuteEvents(2.0, 0.0, true), 6.0);
  EXPECT_EQ(engine.GetTimeNow(), 2.0);
  EXPECT_EQ(engine.GetTimeNowEx(), 2.0);
  engine.DeleteEvtWithoutLogging(c);
  EXPECT_EQ(engine.GetDesNextTime(0.0), std::numeric_limits<double>::infinity());
  EXPECT_EQ(block->executed, std::vector<DesEvent*>({a}));
  EXPECT_FALSE(engine.GetEventIsBeingExecuted());
}

TEST_F(Engine, EndOfSimulationFlags) {
  EXPECT_FALSE(engine.IsEndOfSim());
  engine.SetStopRequestedByDebugger(true);
  EXPECT_TRUE(engine.IsEndOfSim());
  engine.SetStopRequestedByDebugger(false);
  engine.DisableOutputForEndOfSim();
  EXPECT_TRUE(engine.IsEndOfSim());
  engine.SetCalendarsPolicy(1);
  EXPECT_EQ(engine.GetCalendarsPolicy(), 1);
}

TEST_F(Engine, StartRestartsEventIds) {
  engine.Start();
  EXPECT_EQ(Make(0.0, 0)->GetId(), "ev1");
  EXPECT_EQ(Make(0.0, 0)->GetId(), "ev2");
  engine.Start();
  DesEvent* again = Make(0.0, 0);
  EXPECT_EQ(again->GetId(), "ev1");
}

TEST_F(Engine, TerminateDestroysWaitingEventsOnce) {
  int destroyed = 0;
  Des keeper;  // keeps the pools alive past the test engine's Terminate
  keeper.Initialize();
  engine.StartCalendar(0, 0, 0, 1, 10);
  engine.ExecuteEvents(1.0, 0.0, true);
  engine.AddEvt(new CountingEvent(3.0, 0, block, &destroyed));
  engine.AddEvt(new CountingEvent(4.0, 0, block, &destroyed));
  auto* due = new CountingEvent(1.0, 0, block, &destroyed);
  engine.AddEvt(due);
  engine.Terminate();
  EXPECT_EQ(destroyed, 2);
  EXPECT_EQ(engine.GetEventCalendar(), nullptr);
  delete due;
  EXPECT_EQ(destroyed, 3);
  keeper.Terminate();
  engine.Initialize();  // for the fixture's own Terminate
}
