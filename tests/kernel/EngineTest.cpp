// The engine object: pools shared between engines, calendar creation.
#include <memory>

#include "entity/DesEntity.h"
#include "kernel/EventCalendarFactory.h"
#include "support/ErrExcept.h"
#include "support/MessageCatalogue.h"
#include "support/PMMallocError.h"
#include "tests/kernel/KernelTestSupport.h"

TEST(EngineLifecycle, EnginesShareThePools) {
  ASSERT_EQ(Des::number_of_instances, 0u);
  Des first, second;
  first.Initialize();
  Pool<DesEvent>* pool = DesEvent::memPool;
  ASSERT_NE(pool, nullptr);
  second.Initialize();
  second.Initialize();  // not counted twice
  EXPECT_TRUE(Des::number_of_instances == 2u && DesEvent::memPool == pool);
  RecordingBlock a(&first), b(&second);
  first.StartCalendar(0, 0, 0, 1, 100);
  second.StartCalendar(0, 0, 0, 1, 100);
  std::unique_ptr<DesEvent> ea(new DesEvent(1.0, 0, &a, nullptr));
  first.AddEvt(ea.get());
  second.AddEvt(new DesEvent(1.0, 0, &b, nullptr));
  EXPECT_EQ(first.ExecuteEvents(1.0, 0.0, true), kNever);
  EXPECT_TRUE(a.executed == std::vector<DesEvent*>({ea.get()}) && b.executed.empty());
  ea.reset();
  // The second engine's end destroys its event, leaving the pools.
  second.Terminate();
  second.Terminate();
  EXPECT_TRUE(Des::number_of_instances == 1u && DesEvent::memPool == pool);
  first.Terminate();
  EXPECT_TRUE(Des::number_of_instances == 0u && DesEvent::memPool == nullptr);
}

// Whatever allocation fails, a failed Initialize leaves no pools and no host
// memory behind, and the engine can be initialised again.
TEST(EngineLifecycle, AFailedInitializeReleasesWhatItMade) {
  ASSERT_EQ(Des::number_of_instances, 0u);
  Des::InitMsgContext();
  {
    // What the first engine makes for good (the data-value pool map) is
    // made before the level is taken.
    Des first;
    first.Initialize();
    first.Terminate();
  }
  // The memory error's emergency reserve lives in host memory too.
  const auto level = [] { return host::liveAllocations() - pmMemoryReserveLeft(); };
  const std::size_t before = level();
  std::size_t failures = 0;
  for (std::size_t n = 1; n < 1000; ++n) {
    Des engine;
    host::failAllocationsFrom(n);
    bool failed = false;
    try {
      engine.Initialize();
    } catch (PMException* e) {
      const ErrExcept* error = dynamic_cast<ErrExcept*>(e);
      EXPECT_TRUE(dynamic_cast<PMMallocError*>(e) != nullptr ||
                  (error != nullptr && error->getErrCode() == DES_MemoryAllocErr))
          << "allocation " << n;
      delete e;
      failed = true;
    }
    host::failAllocationsFrom(0);
    if (!failed) {
      engine.Terminate();
      break;
    }
    ++failures;
    EXPECT_TRUE(Des::number_of_instances == 0u && DesEvent::memPool == nullptr &&
                DesEntity::memPool == nullptr)
        << "allocation " << n;
    EXPECT_EQ(engine.GetEntityList(), nullptr) << "allocation " << n;
    EXPECT_EQ(level(), before) << "allocation " << n;
    engine.Initialize();
    engine.Terminate();
    EXPECT_EQ(level(), before) << "allocation " << n;
    if (::testing::Test::HasFailure()) break;
  }
  EXPECT_GT(failures, 10u);
}

class Engine : public EngineTest {};

// Factories (all eight run in bench_hold --verify) and StartCalendar's indexed heap.
TEST_F(Engine, CalendarsTheFactoriesAndStartCalendarMake) {
  EXPECT_EQ(NewDeterministicEventCalendar(4, 5, &engine), nullptr);
  EXPECT_EQ(NewRandomizedEventCalendar(-1, 5, &engine), nullptr);
  std::unique_ptr<EventCalendarBase> set(NewRandomizedEventCalendar(2, 5, &engine));
  EXPECT_NE((dynamic_cast<EventCalendar<EVENT_HDL_RANDOMIZED, EVENT_STORAGE_SET>*>(set.get())), nullptr);

  engine.StartCalendar(0, 99, 0, 1, 10);
  auto* calendar = dynamic_cast<EventCalendar<EVENT_HDL_DETERMINISTIC, EVENT_STORAGE_INDEXED_HEAP>*>(engine.GetEventCalendar());
  ASSERT_NE(calendar, nullptr);
  EXPECT_EQ(engine.GetTimeoutCalendar(), engine.GetEventCalendar());
  EXPECT_TRUE(calendar->GetMaxEventsAtTimeStep() == 10u && calendar->GetFutureEvents()->Capacity() == 1024);
  engine.StartCalendar(3, 0, 5, 1, 10);
  EXPECT_NE((dynamic_cast<EventCalendar<EVENT_HDL_RANDOMIZED, EVENT_STORAGE_INDEXED_HEAP>*>(engine.GetEventCalendar())), nullptr);
}

// No calendar before StartCalendar; a negative seed for randomised handling.
TEST_F(Engine, NegativeSeedOrNoCalendarIsAnError) {
  EXPECT_EQ(ErrorCode([&] { engine.AddEvt(Make(1.0, 0)); }), DES_GenericInternalErr);
  EXPECT_EQ(ErrorCode([&] { engine.StartCalendar(1, 0, -1, 1, 10); }), DES_RngNegSeedInEvntHndlr);
  EXPECT_TRUE(engine.GetEventCalendar() == nullptr && engine.GetDesNextTime(0.0) == kNever && engine.GetTimeNow() == -1.0);
  // Deterministic handling ignores the seed.
  engine.StartCalendar(0, 0, -1, 1, 10);
  EXPECT_NE(engine.GetEventCalendar(), nullptr);
}
