// Shared pieces of the timeout tests: the four set-ups, a block, a fixture.
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

// Records each timeout it is told about; `onTimeout` may act like a real block.
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
  std::vector<std::string> fired, firedEntities;  // tags and entity ids
  std::function<bool(DesEvent*, TimeoutData*)> onTimeout;
};

// An engine started with a set-up (deterministic, separate in a TEST_F); carriers die with it.
class TimeoutEngineTest : public ::testing::TestWithParam<CalendarSetup> {
 protected:
  // The catalogue (for warning texts) goes before the host's tables do.
  void SetUp() override {
    host::reset();
    Des::InitMsgContext();
    engine.Initialize();
    engine.Start();
    engine.StartCalendar(CalendarParams().handling, 0, 11, CalendarParams().combined ? 1 : 0, 1000000);
    queue = new HoldingBlock(&engine, "model/Queue");
    server = new HoldingBlock(&engine, "model/Server");
  }
  void TearDown() override {
    for (DesEvent* e : carriers) delete e;
    for (HoldingBlock* b : {queue, server}) delete b;
    engine.Terminate();
    UnregisterMessageCatalogue();
    host::reset();
  }

  CalendarSetup CalendarParams() const {
    const bool parameterised = ::testing::UnitTest::GetInstance()->current_test_info()->value_param() != nullptr;
    return parameterised ? GetParam() : CalendarSetup{0, false};
  }
  bool Combined() const { return CalendarParams().combined; }
  bool Randomized() const { return CalendarParams().handling != 0; }

  DesEvent* Hold(HoldingBlock* block) {
    DesEntity* entity = engine.GetEntityList()->CloneEntity("DefaultEntity", false);
    return *carriers.insert(new DesEvent(0.0, 0, block, entity)).first;
  }
  void Drop(DesEvent* carrier) {
    carriers.erase(carrier);
    delete carrier;
  }
  TimeoutData* Schedule(DesEvent* carrier, const char* tag, double t, int priority = 0,
                        int noDestinationOpt = 1) {
    TimeoutData* td = carrier->GetEntity()->CreateTimeout(tag, t, priority, queue, carrier, noDestinationOpt);
    engine.ProcessTimeoutDataAddition(td);
    return td;
  }
  double Run(double t) { return engine.ExecuteEvents(t, t, true); }
  // An error's code, texts and handle as one line.
  std::string Described(const ThrownError& t) {
    std::string text = std::to_string(t.code);
    for (const std::string& a : t.args) text += "|" + a;
    return text + (t.object == queue ? "|queue" : t.object == server ? "|server" : t.object != nullptr ? "|?" : "");
  }
  bool NothingScheduled() {
    return engine.GetDesNextTime(0.0) == kNever && engine.GetTimeoutCalendar()->topTimeout() == nullptr;
  }

  Des engine;
  HoldingBlock* queue = nullptr;
  HoldingBlock* server = nullptr;
  std::set<DesEvent*> carriers;
};
