#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "host/HostControl.h"

namespace {

class HostInterpreter : public ::testing::Test {
 protected:
  void SetUp() override {
    host::reset();
    host::captureConsole(true);
    host::registerFunction("count", countInputs);
    live = host::liveArrays();
  }
  void TearDown() override {
    host::releaseTemporaries();
    EXPECT_EQ(host::liveArrays(), live) << "arrays leaked or destroyed twice";
    host::reset();
  }
  // Returns its inputs' count as output 1 and a text as output 2.
  static void countInputs(int nOut, hvArray* out[], int nIn, hvArray*[]) {
    out[0] = hvCreateDoubleScalar(nIn);
    if (nOut > 1) out[1] = hvCreateString("second");
  }
  // Calls "count" with no inputs; its answer is a temporary.
  static hvArray* counted() {
    hvArray* out[1] = {nullptr};
    EXPECT_EQ(hostCallFunctionWithTrap(1, out, 0, nullptr, "count", true), 0);
    return out[0];
  }
  std::size_t live = 0;
};

TEST_F(HostInterpreter, CallsARegisteredFunction) {
  hvArray* in[2] = {hvCreateString("a"), hvCreateString("b")};
  hvArray* out[2] = {nullptr, nullptr};
  ASSERT_EQ(hostCallFunctionWithTrap(2, out, 2, in, "count", true), 0);
  EXPECT_EQ(hvGetPr(out[0])[0], 2.0);
  EXPECT_EQ(hvGetClassID(out[1]), hvCHAR_CLASS);
  for (hvArray* a : {out[0], out[1], in[0], in[1]}) hvDestroyArray(a);
  // An answer nobody asked for is destroyed.
  EXPECT_EQ(hostCallFunctionWithTrap(0, nullptr, 0, nullptr, "count", true), 0);
  EXPECT_EQ(host::liveArrays(), live);
}

TEST_F(HostInterpreter, TrappedFailuresCarryAHeaderLineAndPrintNothing) {
  host::registerFunction("thrower", [](int, hvArray*[], int, hvArray*[]) {
    throw std::out_of_range("index 7 out of range");
  });
  hvArray* out[1] = {nullptr};
  EXPECT_NE(hostCallFunctionWithTrap(1, out, 0, nullptr, "nosuch", true), 0);
  EXPECT_STREQ(hvGetLastErrMsg(), "Error using ==> nosuch\nUndefined function 'nosuch'.");
  EXPECT_EQ(out[0], nullptr);
  EXPECT_NE(hostCallFunctionWithTrap(0, nullptr, 0, nullptr, "thrower", true), 0);
  EXPECT_STREQ(hvGetLastErrMsg(), "Error using ==> thrower\nindex 7 out of range");
  EXPECT_EQ(host::consoleText(), "");
  // Untrapped, the same failure is printed.
  EXPECT_NE(hostCallFunctionWithTrap(0, nullptr, 0, nullptr, "nosuch", false), 0);
  EXPECT_EQ(host::consoleText(), "Error using ==> nosuch\nUndefined function 'nosuch'.\n");
}

TEST_F(HostInterpreter, FailureDestroysFilledOutputsAndNullsTheSlotsOnEveryPath) {
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

  // Interrupts and foreign exceptions pass through, after the same clean-up.
  host::registerFunction("interrupted", [](int, hvArray* out[], int, hvArray*[]) {
    out[0] = hvCreateString("lost");
    throw host::HostInterrupt();
  });
  EXPECT_THROW(hostCallFunctionWithTrap(1, out, 0, nullptr, "interrupted", true), host::HostInterrupt);
  EXPECT_EQ(out[0], nullptr);
  host::registerFunction("foreign", [](int, hvArray*[], int, hvArray*[]) { throw 42; });
  EXPECT_THROW(hostCallFunctionWithTrap(0, nullptr, 0, nullptr, "foreign", true), int);
  EXPECT_EQ(host::liveArrays(), live);
}

TEST_F(HostInterpreter, TemporariesDieAtTheNextCallUnlessMadePersistent) {
  hvArray* kept = counted();
  hvSetArrayScope(kept, 0);
  counted();
  EXPECT_EQ(host::liveArrays(), live + 2);
  counted();  // releases the one before; `kept` and this one remain
  EXPECT_EQ(host::liveArrays(), live + 2);
  host::releaseTemporaries();
  EXPECT_EQ(host::liveArrays(), live + 1);
  EXPECT_EQ(hvGetPr(kept)[0], 0.0);
  hvDestroyArray(kept);
  // A temporary destroyed by its user is not destroyed again.
  hvDestroyArray(counted());
  host::releaseTemporaries();
  EXPECT_EQ(host::liveArrays(), live);
}

TEST_F(HostInterpreter, TemporaryStoredInACellBelongsToTheCell) {
  hvArray* cell = hvCreateCellMatrix(1, 1);
  hvSetCell(cell, 0, counted());
  host::releaseTemporaries();
  EXPECT_EQ(hvGetPr(hvGetCell(cell, 0))[0], 0.0);
  hvSetArrayScope(hvGetCell(cell, 0), 1);  // a held array cannot become temporary
  host::releaseTemporaries();
  EXPECT_EQ(hvGetPr(hvGetCell(cell, 0))[0], 0.0);
  hvDestroyArray(cell);
}

TEST_F(HostInterpreter, InputsOfACallSurviveItAndNestedCalls) {
  host::registerFunction("outer", [](int, hvArray* out[], int nIn, hvArray* in[]) {
    hvArray* inner[1] = {nullptr};
    if (hostCallFunctionWithTrap(1, inner, 0, nullptr, "count", true) != 0)
      throw host::HostError(hvGetLastErrMsg());
    hvSetArrayScope(inner[0], 0);
    // The outer call's input, a temporary, is still usable after the nested call.
    out[0] = hvCreateDoubleScalar(hvGetPr(in[0])[0] + hvGetPr(inner[0])[0] + nIn);
    hvDestroyArray(inner[0]);
  });
  hvArray* first[1] = {counted()};
  hvArray* result[1] = {nullptr};
  ASSERT_EQ(hostCallFunctionWithTrap(1, result, 1, first, "outer", true), 0);
  EXPECT_EQ(hvGetPr(result[0])[0], 1.0);
}

// The prompt keeps reading lines while the status is 1.
TEST(HostCodeBlocks, StatusIsOneWhileABlockIsOpen) {
  struct Row {
    const char* text;
    int status;
  } rows[] = {
      {"x = 1", 0},
      {"for i = 1:3", 1},
      {"for i = 1:3\n  disp(i)\nend", 0},
      {"if a, while b", 1},
      {"s.end = 2", 0},           // a field named end closes nothing
      {"v(end)", 0},              // nor does end inside brackets
      {"x = 1 + ...", 1},         // a continued line
      {"disp('for ever')", 0},    // nor a keyword inside a text
      {"% for a comment", 0},
      {"", 0},
  };
  for (const Row& r : rows) EXPECT_EQ(hostIsCodeBlockComplete(r.text), r.status) << r.text;
  EXPECT_EQ(hostIsCodeBlockComplete(nullptr), 0);
}

}  // namespace
