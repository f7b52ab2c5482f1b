// The prompt: reading inputs (pieces, statement blocks), the "help"
// rewrite, start-up commands, host errors, interrupts and end of input.
#include "tests/trace/TraceTestSupport.h"

namespace trace_test {
namespace {

class ShellTest : public DebugFixture {
 protected:
  void SetUp() override {
    DebugFixture::SetUp();
    Quiet();
    HostEventManager::addListener(&Requested, this);
  }
  void TearDown() override {
    HostEventManager::removeListener(&Requested, this);
    DebugFixture::TearDown();
  }
  static void Requested(const HostInputRequestEvent&, void* self) {
    static_cast<ShellTest*>(self)->requesters.push_back(host::inputRequester());
  }
  // One stop at the prompt with these lines typed; true when it aborted.
  bool Stop(const std::vector<std::string>& lines) {
    commands.clear();
    host::setInputLines(lines);
    debugger->StartShell();
    return engine->IsStopRequestedByDebugger();
  }
  std::string NextTypedLine() {
    char buffer[1024];
    return hostReadLine(buffer) ? buffer : "<end>";
  }

  std::vector<intptr_t> requesters;
};

// A statement block is read until complete and evaluated as one input;
// its further lines are read with the continuation requester.
TEST_F(ShellTest, StatementBlocksSpanLines) {
  Command("if", [](const std::vector<std::string>&) {});
  Command("end", [](const std::vector<std::string>&) {});
  EXPECT_EQ(host::inputRequester(), CommandLineShell::kRequesterAtConstruction);
  EXPECT_FALSE(Stop({"if x", "end", "cont"}));
  EXPECT_EQ(commands, std::vector<std::string>({"if", "end", "cont"}));
  EXPECT_EQ(requesters, std::vector<intptr_t>({10, 10, 7, 10, -1}));
}

TEST_F(ShellTest, LongLinesArriveInPieces) {
  std::size_t length = 0;
  Command("echo", [&](const std::vector<std::string>& args) { length = args.at(0).size(); });
  EXPECT_FALSE(Stop({"echo " + std::string(2500, 'x'), "echo " + std::string(2041, 'y'), "cont"}));
  EXPECT_EQ(commands, std::vector<std::string>({"echo", "echo", "cont"}));
  EXPECT_EQ(length, 2041u) << "2046 characters: one full piece, then the rest";
}

TEST_F(ShellTest, ALoneHelpAsksForTheDebuggersHelp) {
  struct Row {
    const char* typed;
    const char* evaluated;
  } rows[] = {{"help", "help twdb"},   {"help;", "help twdb"},   {"  help  ", "help twdb"},
              {"help(", "help twdb"},  {"help step", "help step"}};
  for (const Row& row : rows) {
    EXPECT_FALSE(Stop({row.typed, "cont"}));
    EXPECT_EQ(commands, std::vector<std::string>({row.evaluated, "cont"})) << row.typed;
  }
}

// Queued commands run before anyone is asked; the command window is
// activated only before the first question to the user.
TEST_F(ShellTest, StartUpCommandsRunWithoutAsking) {
  hvArray* queue = hvCreateCellMatrix(1, 2);
  hvSetCell(queue, 0, hvCreateString("help"));
  hvSetCell(queue, 1, hvCreateString("cont"));
  TWDebugger::SetStartFcn(queue);
  hvDestroyArray(queue);
  EXPECT_FALSE(Stop({"typed"}));
  EXPECT_EQ(commands, std::vector<std::string>({"help twdb", "cont"}));
  EXPECT_EQ(activations, 0);
  EXPECT_EQ(NextTypedLine(), "typed") << "the user was not asked";

  EXPECT_FALSE(Stop({"", "cont"}));
  EXPECT_FALSE(Stop({"cont"}));
  EXPECT_EQ(activations, 1);
}

// A command that fails is reported as the host's own prompt would and the
// prompt asks again; commands run in the caller's workspace, under a stack
// mark and with deferred interrupts, all restored afterwards.
TEST_F(ShellTest, HostErrorsLeaveTheSimulationStopped) {
  void* base = hostGetCurrentWorkspace();
  std::string seen;
  Command("where", [&](const std::vector<std::string>&) {
    seen = std::to_string(hostGetCurrentWorkspace() == hostGetCallersWorkspace()) +
           std::to_string(host::stackWatermarks()) + std::to_string(host::interruptsDeferred());
  });
  Command("fail", [](const std::vector<std::string>&) { throw host::HostError("it broke"); });
  EXPECT_FALSE(Stop({"nosuch", "fail", "where", "cont"}));
  EXPECT_EQ(commands, std::vector<std::string>({"fail", "where", "cont"}));
  EXPECT_EQ(host::consoleText(),
            "??? Error using ==> nosuch\nUndefined function 'nosuch'.\n"
            "??? Error using ==> twdb.fail\nit broke\n");
  EXPECT_EQ(seen, "111");
  EXPECT_EQ(hostGetCurrentWorkspace(), base);
  EXPECT_EQ(host::stackWatermarks(), 0);
  EXPECT_FALSE(host::interruptsDeferred());
}

// The user's interrupt, while a command runs or while the prompt waits,
// and the end of input all abort the simulation.
TEST_F(ShellTest, InterruptsAndEndOfInputAbort) {
  Command("hang", [](const std::vector<std::string>&) {
    host::setInterruptPending(true);
    hostRaiseIfInterruptPending();
  });
  struct Row {
    const char* what;
    std::vector<std::string> lines;
    bool interruptFirst;
  } rows[] = {
      {"interrupt in a command", {"hang", "cont"}, false},
      {"interrupt at the prompt", {"cont"}, true},
      {"end of input", {}, false},
      {"end of input in a block", {"if x"}, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    engine->SetStopRequestedByDebugger(false);
    host::clearConsole();
    host::setInterruptPending(row.interruptFirst);
    EXPECT_TRUE(Stop(row.lines));
    EXPECT_EQ(host::consoleText(), "Tarnwell Debugger: Abort\n");
    EXPECT_FALSE(host::interruptsDeferred() || hostIsInterruptPending());
    EXPECT_EQ(host::inputRequester(), -1);
    breaks->SetBreakEnabled(true);
  }
}

// At a logged stop the abort unwinds with DES_QuitDebugger.
TEST_F(ShellTest, AnAbortAtALoggedStopThrows) {
  control->SetDefaultLogging();
  breaks->SetSingleSteppingEnabled(true);
  host::setInputLines({});
  uint32_t code = 0;
  try {
    _Logger<5>{engine}("model");
  } catch (DesExcept* e) {
    code = e->getErrCode();
    delete e;
  }
  EXPECT_EQ(code, static_cast<uint32_t>(DES_QuitDebugger));
}

}  // namespace
}  // namespace trace_test
