// The engine object: pools shared between engines, calendar creation, and
// the run-time operations it forwards to its calendar.
#include <limits>
#include <memory>

#include "kernel/EventCalendarFactory.h"
#include "tests/kernel/KernelTestSupport.h"

TEST(EngineLifecycle, EnginesShareThePools) {
  ASSERT_EQ(Des::number_of_instances, 0u);
  Des first, second;
  first.Initialize();
  Pool<DesEvent>* pool = DesEvent::memPool;
  ASSERT_NE(pool, nullptr);
  second.Initialize();
  second.Initialize();  // not counted twice
  EXPECT_EQ(Des::number_of_instances, 2u);
  EXPECT_EQ(DesEvent::memPool, pool);

  RecordingBlock a(&first), b(&second);
  first.StartCalendar(0, 0, 0, 1, 100);
  second.StartCalendar(0, 0, 0, 1, 100);
  DesEvent* ea = new DesEvent(1.0, 0, &a, nullptr);
  first.AddEvt(ea);
  second.AddEvt(new DesEvent(1.0, 0, &b, nullptr));
  EXPECT_EQ(first.ExecuteEvents(1.0, 0.0, true), std::numeric_limits<double>::infinity());
  EXPECT_EQ(a.executed, std::vector<DesEvent*>({ea}));
  EXPECT_TRUE(b.executed.empty());
  delete ea;

  // The second engine's termination destroys its waiting event and leaves
  // the pools to the first.
  second.Terminate();
  second.Terminate();
  EXPECT_EQ(Des::number_of_instances, 1u);
  EXPECT_EQ(DesEvent::memPool, pool);
  first.Terminate();
  EXPECT_EQ(Des::number_of_instances, 0u);
  EXPECT_EQ(DesEvent::memPool, nullptr);
}

TEST(EngineLifecycle, FactoriesCoverEveryStorageType) {
  Des engine;
  engine.Initialize();
  for (int s = 0; s < 4; ++s) {
    for (EventCalendarBase* c :
         {NewDeterministicEventCalendar(s, 5, &engine), NewRandomizedEventCalendar(s, 5, &engine)}) {
      ASSERT_NE(c, nullptr);
      c->InitCalendar(0);
      c->TerminateCalendar();
    }
  }
  EXPECT_EQ(NewDeterministicEventCalendar(4, 5, &engine), nullptr);
  EXPECT_EQ(NewRandomizedEventCalendar(-1, 5, &engine), nullptr);
  std::unique_ptr<EventCalendarBase> set(NewRandomizedEventCalendar(2, 5, &engine));
  EXPECT_NE((dynamic_cast<EventCalendar<EVENT_HDL_RANDOMIZED, EVENT_STORAGE_SET>*>(set.get())), nullptr);
  engine.Terminate();
}

class Engine : public EngineTest {};

TEST_F(Engine, StartCalendarMakesAnIndexedHeapCalendar) {
  typedef EventCalendar<EVENT_HDL_DETERMINISTIC, EVENT_STORAGE_INDEXED_HEAP> Deterministic;
  typedef EventCalendar<EVENT_HDL_RANDOMIZED, EVENT_STORAGE_INDEXED_HEAP> Randomized;
  engine.StartCalendar(0, 99, 0, 1, 10);
  auto* calendar = dynamic_cast<Deterministic*>(engine.GetEventCalendar());
  ASSERT_NE(calendar, nullptr);
  EXPECT_EQ(engine.GetTimeoutCalendar(), engine.GetEventCalendar());
  EXPECT_EQ(calendar->GetMaxEventsAtTimeStep(), 10u);
  EXPECT_EQ(calendar->GetFutureEvents()->Capacity(), 1024);
  engine.StartCalendar(3, 0, 5, 1, 10);
  EXPECT_NE(dynamic_cast<Randomized*>(engine.GetEventCalendar()), nullptr);
}

TEST_F(Engine, NegativeSeedOrNoCalendarIsAnError) {
  EXPECT_EQ(CatchError([&] { engine.AddEvt(Make(1.0, 0)); }).code,
            static_cast<uint32_t>(DES_GenericInternalErr));
  EXPECT_EQ(CatchError([&] { engine.StartCalendar(1, 0, -1, 1, 10); }).code,
            static_cast<uint32_t>(DES_RngNegSeedInEvntHndlr));
  EXPECT_EQ(engine.GetEventCalendar(), nullptr);
  EXPECT_EQ(engine.GetDesNextTime(0.0), std::numeric_limits<double>::infinity());
  EXPECT_EQ(engine.GetTimeNow(), -1.0);
  // Deterministic handling ignores the seed.
  engine.StartCalendar(0, 0, -1, 1, 10);
  EXPECT_NE(engine.GetEventCalendar(), nullptr);
}

TEST_F(Engine, RunTimeOperationsForwardToTheCalendar) {
  engine.StartCalendar(0, 0, 0, 1, 10);
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
