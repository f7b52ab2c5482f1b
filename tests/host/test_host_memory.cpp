// Host memory and host arrays: failure injection, and who owns what.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "host/HostControl.h"

namespace {

// Each test ends with the blocks and arrays it began with: no leak, no second release.
class Host : public ::testing::Test {
 protected:
  void SetUp() override {
    host::reset();
    memory = host::liveAllocations();
    live = host::liveArrays();
  }
  void TearDown() override {
    EXPECT_EQ(host::liveAllocations(), memory) << "blocks leaked or released twice";
    EXPECT_EQ(host::liveArrays(), live) << "arrays leaked or destroyed twice";
    host::reset();
  }
  std::size_t memory = 0, live = 0;
};

// The library relies on calloc's zero fill, also for a block the free list hands back.
TEST_F(Host, ReusedBlocksAreZeroFilledAndOverflowingRequestsFail) {
  auto* p = static_cast<unsigned char*>(hostCalloc(3, 10));
  std::memset(p, 0xAB, 30);
  hostFree(p);
  EXPECT_EQ(hostCalloc(30, 1), p);
  EXPECT_TRUE(std::all_of(p, p + 32, [](unsigned char c) { return c == 0; }));
  hostFree(p);
  EXPECT_EQ(hostCalloc(SIZE_MAX / 2, 4), nullptr);
  EXPECT_EQ(hostCalloc(SIZE_MAX, SIZE_MAX), nullptr);
}

TEST_F(Host, FailureInjectionFailsTheNthCallAndAllLater) {
  const std::size_t calls = host::allocationCalls();
  host::failAllocationsFrom(3);
  void* a = hostCalloc(1, 8);
  void* b = hostCalloc(1, 1000);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(hostCalloc(1, 8), nullptr);
  EXPECT_EQ(hostCalloc(1, 1000), nullptr);
  hostFree(a);
  EXPECT_EQ(hostCalloc(1, 8), nullptr);  // a released block refills no request meanwhile
  EXPECT_EQ(host::allocationCalls(), calls + 5);  // failed calls count too
  host::failAllocationsFrom(0);
  void* c = hostCalloc(1, 8);
  EXPECT_NE(c, nullptr);
  hostFree(b);
  hostFree(c);
  // Array creations are counted on their own.
  host::failArrayCreationsFrom(2);
  hvArray* first = hvCreateDoubleScalar(1);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(hvCreateString("x"), nullptr);
  EXPECT_EQ(hvDuplicateArray(first), nullptr);
  host::failArrayCreationsFrom(0);
  hvDestroyArray(first);
}

// Else the free list would silently take a block the library releases twice.
TEST(HostMemoryDeath, DoubleReleaseStopsAtTheFaultAndReleasedBlocksArePoisoned) {
  auto* p = static_cast<volatile char*>(hostCalloc(1, 8));
  hostFree(const_cast<char*>(p));
  EXPECT_DEATH(hostFree(const_cast<char*>(p)), "not a live host memory block");
#if defined(__SANITIZE_ADDRESS__)
  EXPECT_DEATH((void)p[0], "use-after-poison");
#endif
}

std::string text(const hvArray* a) {
  char buffer[256];
  EXPECT_EQ(hvGetString(a, buffer, sizeof buffer), 0);
  return buffer;
}

TEST_F(Host, GetStringNeverWritesPastTheBuffer) {
  hvArray* s = hvCreateString("abcdef");
  char buffer[8];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(hvGetString(s, buffer, 4), 1);
  EXPECT_EQ(std::string(buffer, 5), std::string("abc\0#", 5));
  EXPECT_EQ(hvGetString(s, buffer, 7), 0);  // exactly fits
  EXPECT_STREQ(buffer, "abcdef");
  hvDestroyArray(s);
}

// Storing passes ownership even when refused; destroying a container destroys its contents.
TEST_F(Host, CellsAndFieldsOwnWhatIsStored) {
  hvArray* cell = hvCreateCellMatrix(2, 2);
  hvSetCell(cell, 0, hvCreateString("first"));
  hvSetCell(cell, 3, hvCreateDoubleScalar(3));
  hvSetCell(cell, 0, hvCreateString("second"));  // destroys "first"
  hvSetCell(cell, 0, hvGetCell(cell, 0));  // storing what is there changes nothing
  EXPECT_EQ(text(hvGetCell(cell, 0)), "second");
  hvSetCell(cell, 3, nullptr);
  hvSetCell(cell, 4, hvCreateString("out of range"));
  hvArray* number = hvCreateDoubleScalar(1);
  hvSetCell(number, 0, hvCreateString("not a cell"));
  EXPECT_EQ(host::liveArrays(), live + 3);
  hvDestroyArray(number);
  hvDestroyArray(cell);

  const char* names[] = {"Name", "Value"};
  hvArray* s = hvCreateStructMatrix(2, 1, 2, names);
  hvSetField(s, 0, "Name", hvCreateString("Priority"));
  hvSetField(s, 0, "Missing", hvCreateString("dropped"));
  hvSetField(s, 0, "Name", hvCreateString("Replaced"));
  EXPECT_EQ(text(hvGetField(s, 0, "Name")), "Replaced");
  EXPECT_EQ(host::liveArrays(), live + 2);
  hvDestroyArray(s);
  const char* dup[] = {"A", "A"};
  EXPECT_EQ(hvCreateStructMatrix(1, 1, 2, dup), nullptr);
}

TEST_F(Host, DuplicateIsDeepAndIndependent) {
  const char* names[] = {"Value"};
  hvArray* s = hvCreateStructMatrix(1, 1, 1, names);
  hvArray* cell = hvCreateCellMatrix(1, 2);
  hvSetCell(cell, 0, hvCreateString("inner"));
  hvArray* complexValue = hvCreateDoubleMatrix(1, 1, hvCOMPLEX);
  hvGetPi(complexValue)[0] = 2;
  hvSetCell(cell, 1, complexValue);
  hvSetField(s, 0, "Value", cell);
  hvArray* copy = hvDuplicateArray(s);
  EXPECT_EQ(host::liveArrays(), live + 8);
  hvArray* copiedCell = hvGetField(copy, 0, "Value");
  ASSERT_NE(copiedCell, nullptr);
  EXPECT_EQ(hvGetPi(hvGetCell(copiedCell, 1))[0], 2.0);
  hvDestroyArray(s);  // the copy stays intact
  EXPECT_EQ(text(hvGetCell(copiedCell, 0)), "inner");
  hvDestroyArray(copy);
}

}  // namespace
