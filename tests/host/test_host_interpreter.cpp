// Trapped calls and temporaries (the bridge's tests cover the host functions).
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
  EXPECT_EQ(host::consoleText(), "");  // trapped quietly, as the bridge asks
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

}  // namespace
