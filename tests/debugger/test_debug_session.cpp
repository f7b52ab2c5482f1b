// A small model run under the debugger from start to end: blocks defined
// here log their operations and register as debuggable; the prompt is fed
// from queued input; the renderer records what it is sent.
#include "tests/trace/TraceTestSupport.h"

#include <boost/lexical_cast.hpp>

namespace trace_test {
namespace {

// Jobs wait here 1.5 time units, then leave the model.
class Server : public NodeInterface {
 public:
  explicit Server(Des* engine) {
    SetDesInstance(engine);
    arrive.BindTo(this, &Server::Arrive, "Arrive");
    depart.BindTo(this, &Server::Depart, "Depart");
  }
  const char* GetBlkParentName() const override { return "model/Server"; }
  std::string getFieldAsString(const char*) const override { return "model/Server"; }
  BlockStateResult* GetBlockState() override {
    BlockStateResult* state = new BlockStateResult();
    state->PushBlockData("Jobs: " + std::to_string(held.size()));
    for (DesEvent* e : held) state->PushEntityData(e->GetEntityId(), "in service");
    return state;
  }
  MSGRespEvent Arrive(DesEvent* e) {
    if (onArrive) onArrive();
    held.push_back(e);
    _Logger<10>{GetDesInstance()}(e, "InServer");
    e->ReuseAndReinitialize(1.5, 0, this, &depart);
    GetDesInstance()->AddEvt(e);
    return MSGRespEvent();
  }
  MSGRespEvent Depart(DesEvent* e) {
    held.erase(std::find(held.begin(), held.end(), e));
    _Logger<1>{GetDesInstance()}(e);
    delete e;
    return MSGRespEvent();
  }
  // Jobs still inside at the end go with their events (the calendar's).
  std::vector<DesEvent*> held;
  DesEventFunctor arrive, depart;
  std::function<void()> onArrive;
};

// Makes a job every time unit from 0 to 3 and sends it to the server.
class Source : public NodeInterface {
 public:
  Source(Des* engine, EntityList* registry, Server* server) : registry(registry), server(server) {
    SetDesInstance(engine);
    generate.BindTo(this, &Source::Generate, "Generate");
  }
  const char* GetBlkParentName() const override { return "model/Source"; }
  std::string getFieldAsString(const char*) const override { return "model/Source"; }
  void Begin() {
    DesEvent* e = new DesEvent(0.0, 0, this, nullptr);
    e->SetFunctor(&generate);
    GetDesInstance()->AddEvt(e);
  }
  MSGRespEvent Generate(DesEvent* e) {
    Des* engine = GetDesInstance();
    DesEvent* carrier = new DesEvent(engine->GetTimeNow(), 0, this, registry->CloneEntity("Job", false));
    _Logger<0>{engine}(carrier);
    _Logger<4>{engine}(carrier, this, server);
    carrier->SetDstObj(server);
    carrier->SetFunctor(&server->arrive);
    engine->AddEvt(carrier);
    if (++made < 4) {
      e->ReuseAndReinitialize(1.0, 0, this, &generate);
      engine->AddEvt(e);
    } else {
      delete e;
    }
    return MSGRespEvent();
  }

  EntityList* registry;
  Server* server;
  DesEventFunctor generate;
  int made = 0;
};

class DebugSessionTest : public DebugFixture {
 protected:
  void SetUp() override {
    DebugFixture::SetUp();
    Define("Job", entity_test::List({{"Serial", "int", entity_test::Scalar(0)}}), true);
    server = new Server(engine);
    source = new Source(engine, registry, server);
    // The stops, as the current operation and its time.
    Command("at", [this](const std::vector<std::string>&) {
      const LoggerData* nested = state->GetCurrentNestedLog();
      const LoggerData* current = nested != nullptr ? nested : state->GetCurrentRootLog();
      stops.push_back(current->GetAction() + "@" + boost::lexical_cast<std::string>(engine->GetTimeNow()));
    });
    Command("tbreak", [this](const std::vector<std::string>& args) {
      breaks->SetTimedBreakPoint(boost::lexical_cast<double>(args.at(0)));
    });
    Command("state", [this](const std::vector<std::string>& args) {
      BlockStateResult* result = state->GetBlockById(args.at(0))->GetBlock()->GetBlockState();
      hvArray* lines = result->GetBlockDataAsHvArray();
      hvArray* table = result->GetEntityTableAsHvArray();
      blockState = Text(hvGetCell(lines, 0)) + " " + Text(table) + " " + Text(hvGetCell(table, 1));
      hvDestroyArray(lines);
      hvDestroyArray(table);
      delete result;
    });
    Command("calendar", [this](const std::vector<std::string>&) {
      engine->GetEventCalendar()->LogCalendar(false);
      hvArray* table = state->ReleaseEventCalendarHvArray();
      for (std::size_t r = 1; r < hvGetM(table); ++r) {
        const hvArray* row = hvGetCell(table, r);
        calendar.push_back(Text(hvGetCell(row, 0)) + Text(hvGetCell(row, 3)) + "@" +
                           Text(hvGetCell(row, 2)).substr(0, 3));
      }
      hvDestroyArray(table);
    });
  }
  void TearDown() override {
    engine->Terminate();  // before the blocks: waiting events name them
    delete source;
    delete server;
    DebugFixture::TearDown();
  }

  // What the host does: switches on, blocks register, the debugger starts,
  // then time advances to 5 and the run ends.
  void Run() {
    control->SetDefaultLogging();
    state->RegisterDebuggableBlock(source, "");
    state->RegisterDebuggableBlock(server, "");
    debugger->Start();
    source->Begin();
    for (double t = engine->GetDesNextTime(0); t <= 5.0;) t = engine->ExecuteEvents(t, t, true);
    engine->DisableOutputForEndOfSim();
    _Logger<17>{engine}("model");
  }
  std::size_t Count(const std::string& action) const {
    const std::vector<std::string> actions = Actions();
    return static_cast<std::size_t>(std::count(actions.begin(), actions.end(), action));
  }

  Server* server = nullptr;
  Source* source = nullptr;
  std::vector<std::string> stops;
  std::vector<std::string> calendar;
  std::string blockState;
};

TEST_F(DebugSessionTest, StopsStepsInspectsAndRunsToTheEnd) {
  host::setInputLines({
      "at", "tbreak 2.5", "cont",    // model start: stepping stops at the first root record
      "at", "step",                  // the timed breakpoint: the departure at 2.5
      "at", "next",                  // one operation on: the job is destroyed
      "at", "state blk2", "calendar", "cont",  // the next event: a job is generated at 3
      "at", "cont",                  // the built-in end-of-simulation stop
  });
  Run();
  EXPECT_EQ(stops, std::vector<std::string>({"desInit@-1", "evtExec@2.5", "entDestroy@2.5",
                                              "evtExecNoEnt@3", "endOfSim@4.5"}));
  EXPECT_EQ(banners, 1);
  EXPECT_EQ(activations, 1);
  EXPECT_EQ(blockState, "Jobs: 1 <cell 2x1> in service");
  EXPECT_EQ(calendar, std::vector<std::string>({"=>Generate@3.0", "Depart@3.5"}));

  const std::vector<std::string> actions = Actions();
  ASSERT_FALSE(actions.empty());
  EXPECT_EQ(actions.front(), "desInit");
  EXPECT_EQ(actions.back(), "endOfSim");
  EXPECT_EQ(Count("entGenerate"), 4u);
  EXPECT_EQ(Count("entDestroy"), 4u);
  EXPECT_EQ(Count("evtExec"), 8u) << "four arrivals and four departures";
  EXPECT_EQ(Count("evtExecNoEnt"), 4u);
  EXPECT_EQ(rendered.back().Value("Model"), "model");
  EXPECT_FALSE(engine->IsStopRequestedByDebugger());
}

// Aborting at the prompt unwinds with DES_QuitDebugger; the engine drops
// the rest of the step and terminates cleanly.
TEST_F(DebugSessionTest, AnAbortEndsTheRun) {
  host::setInputLines({"tbreak 1.5", "cont"});  // then the input ends at the breakpoint
  uint32_t code = 0;
  try {
    Run();
  } catch (DesExcept* e) {
    code = e->getErrCode();
    delete e;
  }
  EXPECT_EQ(code, static_cast<uint32_t>(DES_QuitDebugger));
  EXPECT_TRUE(engine->IsStopRequestedByDebugger() && engine->IsEndOfSim());
  EXPECT_NE(host::consoleText().find("Tarnwell Debugger: Abort\n"), std::string::npos);
  EXPECT_EQ(rendered.back().Action(), "evtExec");
  EXPECT_EQ(rendered.back().Value("Time"), "1.5");
  // The job that was about to leave went with the dropped step.
  EXPECT_EQ(server->held.size(), 2u);
  server->held.erase(server->held.begin());
}

// The user's break key while the model runs: the run stops at the next
// record as at a breakpoint, the prompt does not take the interrupt for one
// of its own, and cont goes on to the end.
TEST_F(DebugSessionTest, AnInterruptWhileRunningStopsAtTheNextRecord) {
  host::setInputLines({"cont", "at", "cont", "at", "cont"});
  server->onArrive = [this] {
    if (engine->GetTimeNow() == 1.0) host::setInterruptPending(true);
  };
  Run();
  EXPECT_EQ(stops, std::vector<std::string>({"timerStart@1", "endOfSim@4.5"}));
  EXPECT_FALSE(hostIsInterruptPending());
  EXPECT_FALSE(engine->IsStopRequestedByDebugger());
  EXPECT_NE(host::consoleText().find("Tarnwell Debugger: Interrupted\n"), std::string::npos);
  EXPECT_EQ(host::consoleText().find("Tarnwell Debugger: Abort"), std::string::npos);
}

// With breaking off (tracing without a prompt) the interrupt is not the
// debugger's: it stays pending for whoever handles it.
TEST_F(DebugSessionTest, AnInterruptIsLeftAloneWhenBreakingIsOff) {
  breaks->SetBreakEnabled(false);
  server->onArrive = [] { host::setInterruptPending(true); };
  Run();
  EXPECT_TRUE(stops.empty());
  EXPECT_TRUE(hostIsInterruptPending());
  EXPECT_FALSE(engine->IsStopRequestedByDebugger());
}

}  // namespace
}  // namespace trace_test
