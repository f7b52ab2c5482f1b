#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/HostControl.h"

namespace {

class HostInterpreter : public ::testing::Test {
 protected:
  void SetUp() override {
    host::reset();
    host::captureConsole(true);
    live = host::liveArrays();
  }
  void TearDown() override {
    host::releaseTemporaries();
    EXPECT_EQ(host::liveArrays(), live) << "arrays leaked or destroyed twice";
    host::reset();
  }
  std::size_t live = 0;
};

// Returns its inputs' count as output 1 and a text as output 2.
void countInputs(int nOut, hvArray* out[], int nIn, hvArray*[]) {
  out[0] = hvCreateDoubleScalar(nIn);
  if (nOut > 1) out[1] = hvCreateString("second");
}

TEST_F(HostInterpreter, CallsARegisteredFunction) {
  host::registerFunction("count", countInputs);
  EXPECT_TRUE(host::hasFunction("count"));
  hvArray* in[2] = {hvCreateString("a"), hvCreateString("b")};
  hvArray* out[2] = {nullptr, nullptr};
  ASSERT_EQ(hostCallFunctionWithTrap(2, out, 2, in, "count", true), 0);
  EXPECT_EQ(hvGetPr(out[0])[0], 2.0);
  EXPECT_EQ(hvGetClassID(out[1]), hvCHAR_CLASS);
  hvDestroyArray(out[0]);
  hvDestroyArray(out[1]);
  hvDestroyArray(in[0]);
  hvDestroyArray(in[1]);
}

TEST_F(HostInterpreter, UnknownFunctionFailsWithAHeaderLine) {
  hvArray* out[1] = {nullptr};
  EXPECT_NE(hostCallFunctionWithTrap(1, out, 0, nullptr, "nosuch", true), 0);
  EXPECT_STREQ(hvGetLastErrMsg(), "Error using ==> nosuch\nUndefined function 'nosuch'.");
  EXPECT_EQ(out[0], nullptr);
  EXPECT_EQ(host::consoleText(), "");  // trapped: nothing printed
}

TEST_F(HostInterpreter, FailureDestroysFilledOutputsAndNullsTheSlots) {
  host::registerFunction("halfway", [](int, hvArray* out[], int, hvArray*[]) {
    out[0] = hvCreateString("made before failing");
    throw host::HostError("it went wrong");
  });
  hvArray* sentinel = reinterpret_cast<hvArray*>(0x1);
  hvArray* out[2] = {sentinel, sentinel};
  EXPECT_NE(hostCallFunctionWithTrap(2, out, 0, nullptr, "halfway", true), 0);
  EXPECT_EQ(out[0], nullptr);
  EXPECT_EQ(out[1], nullptr);
  EXPECT_STREQ(hvGetLastErrMsg(), "Error using ==> halfway\nit went wrong");
  EXPECT_EQ(host::liveArrays(), live);
}

TEST_F(HostInterpreter, AnyStandardExceptionIsTrapped) {
  host::registerFunction("thrower", [](int, hvArray*[], int, hvArray*[]) {
    throw std::out_of_range("index 7 out of range");
  });
  EXPECT_NE(hostCallFunctionWithTrap(0, nullptr, 0, nullptr, "thrower", true), 0);
  EXPECT_STREQ(hvGetLastErrMsg(), "Error using ==> thrower\nindex 7 out of range");
}

TEST_F(HostInterpreter, UntrappedFailureIsPrinted) {
  EXPECT_NE(hostCallFunctionWithTrap(0, nullptr, 0, nullptr, "nosuch", false), 0);
  EXPECT_EQ(host::consoleText(), "Error using ==> nosuch\nUndefined function 'nosuch'.\n");
}

TEST_F(HostInterpreter, InterruptsAndForeignExceptionsPassThroughAfterCleanUp) {
  host::registerFunction("interrupted", [](int, hvArray* out[], int, hvArray*[]) {
    out[0] = hvCreateString("lost");
    throw host::HostInterrupt();
  });
  hvArray* out[1] = {nullptr};
  EXPECT_THROW(hostCallFunctionWithTrap(1, out, 0, nullptr, "interrupted", true),
               host::HostInterrupt);
  EXPECT_EQ(out[0], nullptr);

  host::registerFunction("foreign", [](int, hvArray*[], int, hvArray*[]) { throw 42; });
  EXPECT_THROW(hostCallFunctionWithTrap(0, nullptr, 0, nullptr, "foreign", true), int);
  EXPECT_EQ(host::liveArrays(), live);
}

TEST_F(HostInterpreter, AnswerWithNoOutputRequestedIsDestroyed) {
  host::registerFunction("count", countInputs);
  EXPECT_EQ(hostCallFunctionWithTrap(0, nullptr, 0, nullptr, "count", true), 0);
  EXPECT_EQ(host::liveArrays(), live);
}

TEST_F(HostInterpreter, TemporariesDieAtTheNextCallUnlessMadePersistent) {
  host::registerFunction("count", countInputs);
  hvArray* kept[1] = {nullptr};
  hvArray* left[1] = {nullptr};
  ASSERT_EQ(hostCallFunctionWithTrap(1, kept, 0, nullptr, "count", true), 0);
  hvSetArrayScope(kept[0], 0);
  ASSERT_EQ(hostCallFunctionWithTrap(1, left, 0, nullptr, "count", true), 0);
  EXPECT_EQ(host::liveArrays(), live + 2);
  hvArray* third[1] = {nullptr};
  ASSERT_EQ(hostCallFunctionWithTrap(1, third, 0, nullptr, "count", true), 0);
  // `left` was released by that call; `kept` and `third` remain.
  EXPECT_EQ(host::liveArrays(), live + 2);
  host::releaseTemporaries();
  EXPECT_EQ(host::liveArrays(), live + 1);
  EXPECT_EQ(hvGetPr(kept[0])[0], 0.0);
  hvDestroyArray(kept[0]);
}

TEST_F(HostInterpreter, ExplicitlyDestroyedTemporaryIsNotDestroyedAgain) {
  host::registerFunction("count", countInputs);
  hvArray* out[1] = {nullptr};
  ASSERT_EQ(hostCallFunctionWithTrap(1, out, 0, nullptr, "count", true), 0);
  hvDestroyArray(out[0]);
  host::releaseTemporaries();  // would be a double free under ASan otherwise
  EXPECT_EQ(host::liveArrays(), live);
}

TEST_F(HostInterpreter, TemporaryStoredInACellBelongsToTheCell) {
  host::registerFunction("count", countInputs);
  hvArray* out[1] = {nullptr};
  ASSERT_EQ(hostCallFunctionWithTrap(1, out, 0, nullptr, "count", true), 0);
  hvArray* cell = hvCreateCellMatrix(1, 1);
  hvSetCell(cell, 0, out[0]);
  host::releaseTemporaries();
  EXPECT_EQ(hvGetPr(hvGetCell(cell, 0))[0], 0.0);
  hvSetArrayScope(hvGetCell(cell, 0), 1);  // a held array cannot become temporary
  host::releaseTemporaries();
  EXPECT_EQ(hvGetPr(hvGetCell(cell, 0))[0], 0.0);
  hvDestroyArray(cell);
}

TEST_F(HostInterpreter, TemporaryPassedAsInputSurvivesThatCall) {
  host::registerFunction("count", countInputs);
  host::registerFunction("echoLength", [](int, hvArray* out[], int nIn, hvArray* in[]) {
    if (nIn != 1) throw host::HostError("one input");
    out[0] = hvCreateDoubleScalar(static_cast<double>(hvGetNumberOfElements(in[0])));
  });
  hvArray* first[1] = {nullptr};
  ASSERT_EQ(hostCallFunctionWithTrap(1, first, 0, nullptr, "count", true), 0);
  hvArray* second[1] = {nullptr};
  ASSERT_EQ(hostCallFunctionWithTrap(1, second, 1, first, "echoLength", true), 0);
  EXPECT_EQ(hvGetPr(second[0])[0], 1.0);
}

TEST_F(HostInterpreter, NestedCallsReleaseNothing) {
  host::registerFunction("count", countInputs);
  host::registerFunction("outer", [](int, hvArray* out[], int nIn, hvArray* in[]) {
    hvArray* inner[1] = {nullptr};
    if (hostCallFunctionWithTrap(1, inner, 0, nullptr, "count", true) != 0)
      throw host::HostError(hvGetLastErrMsg());
    hvSetArrayScope(inner[0], 0);
    // The outer call's input is still usable after the nested call.
    out[0] = hvCreateDoubleScalar(hvGetPr(in[0])[0] + hvGetPr(inner[0])[0] + nIn);
    hvDestroyArray(inner[0]);
  });
  hvArray* first[1] = {nullptr};
  ASSERT_EQ(hostCallFunctionWithTrap(1, first, 0, nullptr, "count", true), 0);
  hvArray* result[1] = {nullptr};
  ASSERT_EQ(hostCallFunctionWithTrap(1, result, 1, first, "outer", true), 0);
  EXPECT_EQ(hvGetPr(result[0])[0], 1.0);
}

TEST_F(HostInterpreter, ErrorModeReturnsThePreviousMode) {
  EXPECT_EQ(host::errorMode(), 0);
  EXPECT_EQ(hvSetErrorMode(-1), 0);
  EXPECT_EQ(host::errorMode(), -1);
  EXPECT_EQ(hvSetErrorMode(2), -1);
  host::reset();
  EXPECT_EQ(host::errorMode(), 0);
}

TEST_F(HostInterpreter, UnregisteredFunctionIsGone) {
  host::registerFunction("count", countInputs);
  host::unregisterFunction("count");
  EXPECT_FALSE(host::hasFunction("count"));
  EXPECT_NE(hostCallFunctionWithTrap(0, nullptr, 0, nullptr, "count", true), 0);
}

TEST_F(HostInterpreter, ResetRestoresOnlyTheStandardFunctions) {
  host::registerFunction("count", countInputs);
  host::unregisterFunction("mat2str");
  host::reset();
  EXPECT_FALSE(host::hasFunction("count"));
  for (const char* name : {"get_param", "set_param", "bdroot", "mat2str"})
    EXPECT_TRUE(host::hasFunction(name)) << name;
  host::captureConsole(true);
}

// ---------------------------------------------------------------- commands

struct Recorder {
  static std::vector<std::vector<std::string>> calls;
  static void record(int, hvArray*[], int nIn, hvArray* in[]) {
    std::vector<std::string> args;
    for (int i = 0; i < nIn; ++i) {
      char buffer[64];
      hvGetString(in[i], buffer, sizeof buffer);
      args.push_back(buffer);
    }
    calls.push_back(args);
  }
};
std::vector<std::vector<std::string>> Recorder::calls;

TEST_F(HostInterpreter, EvalCommandCallsByNameWithTextArguments) {
  Recorder::calls.clear();
  host::registerFunction("rec", Recorder::record);
  EXPECT_EQ(hostEvalCommand("rec one 'two words' 'it''s'"), 0);
  ASSERT_EQ(Recorder::calls.size(), 1u);
  EXPECT_EQ(Recorder::calls[0], (std::vector<std::string>{"one", "two words", "it's"}));
  EXPECT_EQ(hostEvalCommand("rec a; rec b\nrec"), 0);
  EXPECT_EQ(Recorder::calls.size(), 4u);
  EXPECT_EQ(hostEvalCommand("   "), 0);
  EXPECT_EQ(Recorder::calls.size(), 4u);
}

TEST_F(HostInterpreter, EvalCommandResolvesImportedPackages) {
  Recorder::calls.clear();
  host::registerFunction("twdb.step", Recorder::record);
  EXPECT_NE(hostEvalCommand("step"), 0);
  EXPECT_EQ(hostEvalCommand("import twdb.*"), 0);
  EXPECT_EQ(hostEvalCommand("step 2"), 0);
  ASSERT_EQ(Recorder::calls.size(), 1u);
  EXPECT_EQ(Recorder::calls[0], std::vector<std::string>{"2"});
}

TEST_F(HostInterpreter, EvalCommandFailureIsPrintedAndStopsTheRest) {
  Recorder::calls.clear();
  host::registerFunction("rec", Recorder::record);
  host::clearConsole();
  EXPECT_NE(hostEvalCommand("bogus x; rec"), 0);
  EXPECT_TRUE(Recorder::calls.empty());
  EXPECT_EQ(host::consoleText(), "Error using ==> bogus\nUndefined function 'bogus'.\n");
  EXPECT_STREQ(hvGetLastErrMsg(), "Error using ==> bogus\nUndefined function 'bogus'.");
}

TEST_F(HostInterpreter, CodeBlockCompleteness) {
  EXPECT_NE(hostIsCodeBlockComplete("x = 1"), 0);
  EXPECT_NE(hostIsCodeBlockComplete(""), 0);
  EXPECT_EQ(hostIsCodeBlockComplete("for i = 1:3"), 0);
  EXPECT_EQ(hostIsCodeBlockComplete("for i = 1:3\n  disp(i)"), 0);
  EXPECT_NE(hostIsCodeBlockComplete("for i = 1:3\n  disp(i)\nend"), 0);
  EXPECT_EQ(hostIsCodeBlockComplete("if a\n while b\n end"), 0);
  EXPECT_NE(hostIsCodeBlockComplete("if a\n while b\n end\nend"), 0);
  EXPECT_NE(hostIsCodeBlockComplete("y = x(end)"), 0);         // an index, not a closer
  EXPECT_NE(hostIsCodeBlockComplete("disp('for ever')"), 0);   // quoted
  EXPECT_NE(hostIsCodeBlockComplete("x = 1 % if only"), 0);    // comment
  EXPECT_NE(hostIsCodeBlockComplete("s.if = 2"), 0);           // a field
  EXPECT_EQ(hostIsCodeBlockComplete("x = [1 2 ..."), 0);       // continued line
  EXPECT_NE(hostIsCodeBlockComplete("x = [1 2 ...\n 3]"), 0);
  EXPECT_NE(hostIsCodeBlockComplete("a = b'; if c, d, end"), 0);  // transpose, then a block
}

TEST_F(HostInterpreter, WorkspacesSwitchAndReportThePrevious) {
  void* base = hostGetCurrentWorkspace();
  void* caller = hostGetCallersWorkspace();
  EXPECT_NE(base, nullptr);
  EXPECT_NE(caller, base);
  EXPECT_EQ(hostSetCurrentWorkspace(caller), base);
  EXPECT_EQ(hostGetCurrentWorkspace(), caller);
  EXPECT_EQ(hostSetCurrentWorkspace(base), caller);
  { HostStackWatermark mark; }
}

TEST_F(HostInterpreter, UnhandledErrorIsPrinted) {
  host::clearConsole();
  hostReportUnhandledError("Undefined function 'x'.");
  EXPECT_EQ(host::consoleText(), "??? Undefined function 'x'.\n");
}

}  // namespace
