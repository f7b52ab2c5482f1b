// The decision taken for every record: printed or not, prompt or not,
// over switches, levels, pending breaks, single steps and the renderer's
// answer.
#include "tests/trace/TraceTestSupport.h"

namespace trace_test {
namespace {

class LoggerFrameworkTest : public DebugFixture {
 protected:
  void SetUp() override {
    DebugFixture::SetUp();
    Define("Part", entity_test::List({{"Colour", "int", entity_test::Scalar(2)}}), true);
    q = Block("model/Q");
    part = Clone("Part");
    Forget(part);
    ev = new DesEvent(2.0, 0, q, part);
  }
  void TearDown() override {
    delete ev;
    DebugFixture::TearDown();
  }

  NamedBlock* q = nullptr;
  DesEntity* part = nullptr;
  DesEvent* ev = nullptr;
};

TEST_F(LoggerFrameworkTest, PrintAndPromptDecisions) {
  enum Record { kNested, kRoot };
  struct Row {
    const char* what;
    bool event, entity, calendar;
    bool stepping;
    int stepLevel;
    bool pending;
    double answer;
    Record record;
    // expected
    bool printed;
    bool prompted;
    bool pendingAfter;
  } rows[] = {
      {"everything off", false, false, false, false, 0, false, 0, kNested, false, false, false},
      {"stepping, printing off", false, false, false, true, 1, false, 0, kNested, false, false, false},
      {"step into, entity on", false, true, false, true, 1, false, 0, kNested, true, true, false},
      {"step over, nested record", false, true, false, true, 0, false, 0, kNested, true, false, false},
      {"step over, root record", false, true, false, true, 0, false, 0, kRoot, true, true, false},
      {"calendar only, root record", false, false, true, false, 0, false, 0, kRoot, true, false, false},
      {"calendar only, nested record", false, false, true, false, 0, false, 0, kNested, false, false, false},
      {"event only, entity record", true, false, false, false, 0, false, 0, kNested, false, false, false},
      {"pending break, printing off", false, false, false, false, 0, true, 0, kNested, true, true, false},
      {"renderer says no", false, true, false, true, 1, true, 1, kNested, true, false, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    rendered.clear();
    commands.clear();
    control->SetEventLoggingEnabled(row.event);
    control->SetEntityLoggingEnabled(row.entity);
    control->SetCalendarLoggingEnabled(row.calendar);
    breaks->SetSingleSteppingEnabled(row.stepping);
    state->SetBreakPointHitPending(row.pending);
    answer = row.answer;
    host::setInputLines({"cont"});
    // The step level is relative to the record at which the step is asked.
    state->SetCurrentState(LoggerData(), 0);
    breaks->SetNextSingleStepExecLevel(row.stepLevel);
    if (row.record == kRoot)
      _Logger<5>{engine}("model");
    else
      _Logger<10>{engine}(ev, "T");
    EXPECT_EQ(rendered.size(), row.printed ? 1u : 0u);
    EXPECT_EQ(commands.size(), row.prompted ? 1u : 0u);
    EXPECT_EQ(state->IsBreakPointHitPending(), row.pendingAfter);
    EXPECT_EQ(state->GetCurrentExecLevel(), row.record == kRoot ? 0 : 1);
  }
}

// With nothing to print the host is never called, but the state view
// follows: current ids, and the registries through the components.
TEST_F(LoggerFrameworkTest, SilentRecordsStillUpdateTheState) {
  Quiet();
  _Logger<0>{engine}(ev);
  const std::size_t arrays = host::liveArrays();
  _Logger<0>{engine}(ev);
  EXPECT_TRUE(rendered.empty());
  EXPECT_EQ(state->GetCurrentEntityId(), part->GetId());
  EXPECT_EQ(state->GetEntityById(part->GetId()), part);
  EXPECT_EQ(host::liveArrays(), arrays) << "only the state's copy of the record stays";

  // stateOnly: not printed, no prompt, even with everything asking for one.
  control->SetDefaultLogging();
  breaks->SetSingleSteppingEnabled(true);
  breaks->SetNextSingleStepExecLevel(1);
  _Logger<1>{engine}(ev, true);
  EXPECT_TRUE(rendered.empty() && commands.empty());
  EXPECT_EQ(state->GetEntityById(part->GetId()), nullptr);
}

// After a root record the nested one is gone until the next nested record.
TEST_F(LoggerFrameworkTest, RootAndNestedRecordsInTheState) {
  Quiet();
  _Logger<10>{engine}(ev, "T");
  ASSERT_NE(state->GetCurrentNestedLog(), nullptr);
  EXPECT_EQ(state->GetCurrentNestedLog()->GetAction(), "timerStart");
  _Logger<5>{engine}("model");
  EXPECT_EQ(state->GetCurrentNestedLog(), nullptr);
  EXPECT_EQ(state->GetCurrentRootLog()->GetAction(), "desInit");
  EXPECT_EQ(state->GetCurrentEntityId(), "") << "ids come from the last record only";
  _Logger<4>{engine}(ev, q, q);
  EXPECT_EQ(state->GetCurrentRootLog()->GetAction(), "desInit");
  EXPECT_EQ(state->GetCurrentNestedLog()->GetAction(), "entAdvance");

  host::clearConsole();
  state->PrintCurrentSimState();
  EXPECT_EQ(host::consoleText(), "\nCurrent Operation:\n\n\n");
  EXPECT_EQ(Actions(), std::vector<std::string>({"desInit", "entAdvance"}));
}

// The user's quit at the prompt unwinds with DES_QuitDebugger; the
// component of the record is then not unregistered.
TEST_F(LoggerFrameworkTest, AbortAtThePromptThrows) {
  Command("quit", [this](const std::vector<std::string>&) { debugger->Abort(); });
  control->SetDefaultLogging();
  breaks->SetNextSingleStepExecLevel(1);
  host::setInputLines({"quit"});
  uint32_t code = 0;
  try {
    _Logger<10>{engine}(ev, "T");
  } catch (DesExcept* e) {
    code = e->getErrCode();
    delete e;
  }
  EXPECT_EQ(code, static_cast<uint32_t>(DES_QuitDebugger));
  EXPECT_TRUE(engine->IsStopRequestedByDebugger() && engine->IsEndOfSim());
  EXPECT_FALSE(control->IsAnyLoggingEnabled() || breaks->GetBreakEnabled() ||
               breaks->GetSingleSteppingEnabled());
  EXPECT_NE(host::consoleText().find("Tarnwell Debugger: Abort\n"), std::string::npos);
  rendered.clear();
  _Logger<10>{engine}(ev, "T");
  EXPECT_TRUE(rendered.empty()) << "after the abort nothing shows";
}

}  // namespace
}  // namespace trace_test
