// The interpreter: trapped calls, temporaries, and the standard host
// functions over the registry of host objects.
#include <gtest/gtest.h>

#include <cmath>
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
    queue = host::addObject("model/Queue");
    queue->params["Capacity"] = "25";
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
  // Calls `function` with the inputs (destroyed afterwards); returns the
  // output's text or "ERROR: <message>".
  std::string call(const char* function, std::initializer_list<hvArray*> inputs) {
    std::vector<hvArray*> in(inputs);
    hvArray* out[1] = {nullptr};
    int rc = hostCallFunctionWithTrap(1, out, static_cast<int>(in.size()), in.data(), function, true);
    for (hvArray* a : in) hvDestroyArray(a);
    if (rc != 0) {
      std::string message = hvGetLastErrMsg();
      return "ERROR: " + message.substr(message.find('\n') + 1);
    }
    char buffer[512] = "";
    hvGetString(out[0], buffer, sizeof buffer);
    hvDestroyArray(out[0]);
    return buffer;
  }
  static hvArray* str(const char* s) { return hvCreateString(s); }
  static hvArray* num(double v) { return hvCreateDoubleScalar(v); }

  host::HostObject* queue = nullptr;
  std::size_t live = 0;
};

// HostError is trapped the same way (the bridge's tests fail with it).
TEST_F(HostInterpreter, TrappedFailuresCarryAHeaderLineAndLeaveNoOutputBehind) {
  host::registerFunction("halfway", [](int, hvArray* out[], int, hvArray*[]) {
    out[0] = hvCreateString("made before failing");
    throw std::out_of_range("index 7 out of range");
  });
  hvArray* sentinel = reinterpret_cast<hvArray*>(0x1);
  hvArray* out[2] = {sentinel, sentinel};
  EXPECT_NE(hostCallFunctionWithTrap(2, out, 0, nullptr, "halfway", true), 0);
  EXPECT_TRUE(out[0] == nullptr && out[1] == nullptr);
  EXPECT_STREQ(hvGetLastErrMsg(), "Error using ==> halfway\nindex 7 out of range");
  EXPECT_NE(hostCallFunctionWithTrap(1, out, 0, nullptr, "nosuch", true), 0);
  EXPECT_STREQ(hvGetLastErrMsg(), "Error using ==> nosuch\nUndefined function 'nosuch'.");
  EXPECT_EQ(host::consoleText(), "");
  EXPECT_NE(hostCallFunctionWithTrap(0, nullptr, 0, nullptr, "nosuch", false), 0);
  EXPECT_EQ(host::consoleText(), "Error using ==> nosuch\nUndefined function 'nosuch'.\n");
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

TEST_F(HostInterpreter, TemporariesDieAtTheNextCallUnlessPersistentOrStored) {
  hvArray* kept = counted();
  hvSetArrayScope(kept, 0);
  hvArray* cell = hvCreateCellMatrix(1, 1);
  hvSetCell(cell, 0, counted());  // belongs to the cell now
  counted();
  counted();  // releases the one before
  EXPECT_EQ(host::liveArrays(), live + 4);
  hvSetArrayScope(hvGetCell(cell, 0), 1);  // a held array cannot become temporary
  host::releaseTemporaries();
  EXPECT_EQ(host::liveArrays(), live + 3);
  EXPECT_EQ(hvGetPr(kept)[0] + hvGetPr(hvGetCell(cell, 0))[0], 0.0);
  hvDestroyArray(kept);
  hvDestroyArray(cell);
  hvDestroyArray(counted());  // destroyed by its user: not destroyed again
  host::releaseTemporaries();
  // An answer nobody asked for is destroyed at once.
  EXPECT_EQ(hostCallFunctionWithTrap(0, nullptr, 0, nullptr, "count", true), 0);
  EXPECT_EQ(host::liveArrays(), live);
}

TEST_F(HostInterpreter, InputsOfACallSurviveNestedCalls) {
  host::registerFunction("outer", [](int, hvArray* out[], int nIn, hvArray* in[]) {
    hvArray* inner[1] = {nullptr};
    if (hostCallFunctionWithTrap(1, inner, 0, nullptr, "count", true) != 0)
      throw host::HostError(hvGetLastErrMsg());
    hvSetArrayScope(inner[0], 0);
    out[0] = hvCreateDoubleScalar(hvGetPr(in[0])[0] + hvGetPr(inner[0])[0] + nIn);
    hvDestroyArray(inner[0]);
  });
  hvArray* first[1] = {counted()};
  hvArray* result[1] = {nullptr};
  ASSERT_EQ(hostCallFunctionWithTrap(1, result, 1, first, "outer", true), 0);
  EXPECT_EQ(hvGetPr(result[0])[0], 1.0);
}

// The bridge's tests see the other refusals.
TEST_F(HostInterpreter, BlockParametersByHandleOrPathWithExactRefusals) {
  EXPECT_EQ(call("get_param", {str("model/Queue"), str("capacity")}), "25");  // any case
  EXPECT_EQ(call("set_param", {num(queue->handle), str("Capacity"), str("40")}), "");
  EXPECT_EQ(queue->params["Capacity"], "40");
  EXPECT_EQ(call("bdroot", {num(host::addObject("top/a/b/c")->handle)}), "top");
  EXPECT_EQ(call("set_param", {str("model/Queue"), str("Colour"), str("red")}),
            "ERROR: block does not have a parameter named 'Colour'.");
  EXPECT_EQ(call("set_param", {str("model/Queue"), str("Name"), str("Q2")}),
            "ERROR: Cannot set the read-only parameter 'Name'.");
  EXPECT_EQ(queue->params.count("Colour"), 0u);
}

TEST_F(HostInterpreter, Mat2strWritesValuesAsText) {
  hvArray* m = hvCreateDoubleMatrix(2, 3, hvREAL);
  for (int i = 0; i < 6; ++i) hvGetPr(m)[i] = i + 1;  // columns [1;2] [3;4] [5;6]
  hvArray* c = hvCreateDoubleMatrix(1, 1, hvCOMPLEX);
  hvGetPr(c)[0] = 3;
  hvGetPi(c)[0] = -4.5;
  const struct {
    hvArray* value;
    const char* expected;
  } cases[] = {
      {num(1.0 / 3.0), "0.333333333333333"}, {num(-0.0), "0"}, {num(std::nan("")), "NaN"},
      {m, "[1 3 5;2 4 6]"}, {c, "3-4.5i"}, {str("it's"), "'it''s'"},
      {hvCreateCellMatrix(1, 1), "ERROR: Input matrix must be a numeric, logical or character array."},
  };
  for (const auto& k : cases) EXPECT_EQ(call("mat2str", {k.value}), k.expected);
  // Failing to make the output is an error too.
  hvArray* one = num(1);
  host::failArrayCreationsFrom(1);
  EXPECT_EQ(call("mat2str", {one}), "ERROR: Out of memory.");
}

// The prompt keeps reading lines while the status is 1.
TEST(HostCodeBlocks, StatusIsOneWhileABlockIsOpen) {
  const struct {
    const char* text;
    int status;
  } rows[] = {
      {"x = 1", 0}, {"for i = 1:3", 1}, {"for i = 1:3\n  disp(i)\nend", 0}, {"if a, while b", 1},
      {"x = 1 + ...", 1},  // a continued line
      // A field named end, end inside brackets, keywords in texts or comments.
      {"s.end = 2", 0}, {"v(end)", 0}, {"disp('for ever')", 0}, {"% for a comment", 0}, {"", 0},
  };
  for (const auto& r : rows) EXPECT_EQ(hostIsCodeBlockComplete(r.text), r.status) << r.text;
  EXPECT_EQ(hostIsCodeBlockComplete(nullptr), 0);
}

}  // namespace
