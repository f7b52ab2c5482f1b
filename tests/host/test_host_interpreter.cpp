// The interpreter: trapped calls, temporaries, and mat2str. (The bridge's
// tests cover get_param, set_param and bdroot.)
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>

#include "host/HostControl.h"

namespace {

class HostInterpreter : public ::testing::Test {
 protected:
  void SetUp() override {
    host::reset();
    host::captureConsole(true);
    host::registerFunction("count", [](int, hvArray* out[], int nIn, hvArray*[]) {
      out[0] = hvCreateDoubleScalar(nIn);
    });
    live = host::liveArrays();
  }
  void TearDown() override {
    host::releaseTemporaries();
    EXPECT_EQ(host::liveArrays(), live) << "arrays leaked or destroyed twice";
    host::reset();
  }
  // Calls "count" with no inputs; its answer is a temporary.
  static hvArray* counted() {
    hvArray* out[1] = {nullptr};
    EXPECT_EQ(hostCallFunctionWithTrap(1, out, 0, nullptr, "count", true), 0);
    return out[0];
  }
  std::size_t live = 0;
};

// The bridge strips the header line; HostError is trapped the same way.
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
  // Interrupts pass through, after the same clean-up.
  host::registerFunction("interrupted", [](int, hvArray* out[], int, hvArray*[]) {
    out[0] = hvCreateString("lost");
    throw host::HostInterrupt();
  });
  EXPECT_THROW(hostCallFunctionWithTrap(1, out, 0, nullptr, "interrupted", true), host::HostInterrupt);
  EXPECT_EQ(out[0], nullptr);
  EXPECT_EQ(host::liveArrays(), live);
}

// The bridge makes its outputs persistent and destroys them itself.
TEST_F(HostInterpreter, TemporariesDieAtTheNextCallUnlessPersistentOrStored) {
  hvArray* kept = counted();
  hvSetArrayScope(kept, 0);
  hvArray* cell = hvCreateCellMatrix(1, 1);
  hvSetCell(cell, 0, counted());  // belongs to the cell now
  counted();
  counted();  // releases the one before
  EXPECT_EQ(host::liveArrays(), live + 4);
  host::releaseTemporaries();
  EXPECT_EQ(host::liveArrays(), live + 3);
  hvDestroyArray(kept);
  hvDestroyArray(cell);
  hvDestroyArray(counted());  // destroyed by its user: not destroyed again
  host::releaseTemporaries();
  // An answer nobody asked for is destroyed at once.
  EXPECT_EQ(hostCallFunctionWithTrap(0, nullptr, 0, nullptr, "count", true), 0);
  EXPECT_EQ(host::liveArrays(), live);
}

// The library's value texts and error messages come from mat2str.
TEST_F(HostInterpreter, Mat2strWritesValuesAsText) {
  hvArray* m = hvCreateDoubleMatrix(2, 3, hvREAL);
  for (int i = 0; i < 6; ++i) hvGetPr(m)[i] = i + 1;  // columns [1;2] [3;4] [5;6]
  hvArray* c = hvCreateDoubleMatrix(1, 1, hvCOMPLEX);
  hvGetPr(c)[0] = 3;
  hvGetPi(c)[0] = -4.5;
  struct {
    hvArray* value;
    const char* expected;
  } cases[] = {
      {hvCreateDoubleScalar(1.0 / 3.0), "0.333333333333333"}, {hvCreateDoubleScalar(-0.0), "0"},
      {hvCreateDoubleScalar(std::nan("")), "NaN"}, {m, "[1 3 5;2 4 6]"}, {c, "3-4.5i"},
      {hvCreateCellMatrix(1, 1), "ERROR: Input matrix must be a numeric, logical or character array."},
      {hvCreateDoubleScalar(1), "ERROR: Out of memory."},  // the output cannot be made
  };
  for (auto& k : cases) {
    if (&k == &cases[6]) host::failArrayCreationsFrom(1);
    hvArray* out[1] = {nullptr};
    std::string got = "ERROR: ";
    if (hostCallFunctionWithTrap(1, out, 1, &k.value, "mat2str", true) != 0) {
      got += std::strchr(hvGetLastErrMsg(), '\n') + 1;
    } else {
      char buffer[512] = "";
      hvGetString(out[0], buffer, sizeof buffer);
      got = buffer;
      hvDestroyArray(out[0]);
    }
    EXPECT_EQ(got, k.expected);
    hvDestroyArray(k.value);
  }
}

}  // namespace
