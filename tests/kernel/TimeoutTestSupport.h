// Shared pieces of the timeout tests: the four engine set-ups, a block that
// holds entities and records the timeouts it is told about, and a fixture.
#pragma once

#include "entity/DesEntity.h"
#include "entity/EntityList.h"
#include "kernel/TimeoutCalendar.h"
#include "kernel/TimeoutCalendarTypes.h"
#include "kernel/TimeoutData.h"
#include "tests/kernel/KernelTestSupport.h"

typedef AsGTestTypes<AllTimeoutCalendarTypes>::type TimeoutCalendarTypes;

struct CalendarSetup {
  int handling;   // 0 deterministic, 1 randomised
  bool combined;  // timeouts on the event calendar itself
};
inline std::string SetupName(const ::testing::TestParamInfo<CalendarSetup>& info) {
  return std::string(info.param.handling == 0 ? "Deterministic" : "Randomized") +
         (info.param.combined ? "Combined" : "Separate");
}
inline ::testing::internal::ParamGenerator<CalendarSetup> AllSetups() {
  return ::testing::Values(CalendarSetup{0, false}, CalendarSetup{1, false},
                           CalendarSetup{0, true}, CalendarSetup{1, true});
}

// A block that holds entities on events it keeps (the tests own those
// events) and records every timeout it is told about; `onTimeout` may then
// act like a real block (release, destroy, report).
class HoldingBlock : public NodeInterface {
 public:
  HoldingBlock(Des* engine, const std::string& name) : name(name) { SetDesInstance(engine); }
  const char* GetBlkParentName() const override { return name.c_str(); }
  void* getObjProxy() override { return this; }
  bool ExecuteTimeoutEvent(DesEvent* e, TimeoutData* td) override {
    fired.push_back(td->GetTag());
    firedEntities.push_back(e->GetEntity() != nullptr ? e->GetEntity()->GetId() : "");
    return onTimeout ? onTimeout(e, td) : true;
  }

  std::string name;
  std::vector<std::string> fired, firedEntities;  // tags and entity ids, as told
  std::function<bool(DesEvent*, TimeoutData*)> onTimeout;
};

// An engine started with one of the set-ups (deterministic and separate in
// a TEST_F); entities made by Hold() sit on carrier events that the fixture
// destroys at the end unless a test takes them with Drop().
class TimeoutEngineTest : public ::testing::TestWithParam<CalendarSetup> {
 protected:
  // A fresh host with the message catalogue registered (for the warning
  // texts); the catalogue must go before the host's tables do.
  void SetUp() override {
    host::reset();
    Des::InitMsgContext();
    engine.Initialize();
    engine.Start();
    engine.StartCalendar(Setup().handling, 0, 11, Setup().combined ? 1 : 0, 1000000);
    queue = new HoldingBlock(&engine, "model/Queue");
    server = new HoldingBlock(&engine, "model/Server");
  }
  void TearDown() override {
    for (DesEvent* e : carriers) delete e;
    delete queue;
    delete server;
    engine.Terminate();
    UnregisterMessageCatalogue();
    host::reset();
  }

  CalendarSetup Setup() const {
    const bool parameterised = ::testing::UnitTest::GetInstance()->current_test_info()->value_param() != nullptr;
    return parameterised ? GetParam() : CalendarSetup{0, false};
  }
  bool Combined() const { return Setup().combined; }
  bool Randomized() const { return Setup().handling != 0; }

  // A new entity held by `block` on a carrier event.
  DesEvent* Hold(HoldingBlock* block) {
    DesEntity* entity = engine.GetEntityList()->CloneEntity("DefaultEntity", false);
    return *carriers.insert(new DesEvent(0.0, 0, block, entity)).first;
  }
  // Destroys a carrier (and its entity) now.
  void Drop(DesEvent* carrier) {
    carriers.erase(carrier);
    delete carrier;
  }
  // Schedules a timeout on the carried entity, on behalf of the queue.
  TimeoutData* Schedule(DesEvent* carrier, const char* tag, double t, int priority = 0,
                        int noDestinationOpt = 1) {
    TimeoutData* td =
        carrier->GetEntity()->CreateTimeout(tag, t, priority, queue, carrier, noDestinationOpt);
    engine.ProcessTimeoutDataAddition(td);
    return td;
  }
  double Run(double t) { return engine.ExecuteEvents(t, t, true); }
  bool NothingScheduled() {
    return engine.GetDesNextTime(0.0) == kNever && engine.GetTimeoutCalendar()->topTimeout() == nullptr;
  }

  Des engine;
  HoldingBlock* queue = nullptr;
  HoldingBlock* server = nullptr;
  std::set<DesEvent*> carriers;
};
