// Host memory and host arrays: failure injection, and who owns what.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "host/HostControl.h"

namespace {

// Every test ends with as many blocks and arrays alive as it began with: a
// leak or a second release shows here (and under ASan).
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

bool allZero(const void* p, std::size_t n) {
  const auto* b = static_cast<const unsigned char*>(p);
  return std::all_of(b, b + n, [](unsigned char c) { return c == 0; });
}

TEST_F(Host, BlocksAreZeroFilledAlignedAndEveryCallCounted) {
  const std::size_t calls = host::allocationCalls();
  std::vector<void*> blocks;
  for (std::size_t size : {0u, 0u, 1u, 15u, 16u, 17u, 255u, 256u, 257u, 5000u, 70000u}) {
    void* p = hostCalloc(1, size);
    ASSERT_NE(p, nullptr) << size;  // even an empty request gives a live block
    EXPECT_TRUE(allZero(p, size) && reinterpret_cast<std::uintptr_t>(p) % 16 == 0) << size;
    blocks.push_back(p);
  }
  EXPECT_NE(blocks[0], blocks[1]);
  EXPECT_EQ(host::liveAllocations(), memory + 11);
  for (void* p : blocks) hostFree(p);
  hostFree(nullptr);
  // An overflowing request fails, and still counts as a call.
  EXPECT_EQ(hostCalloc(SIZE_MAX / 2, 4), nullptr);
  EXPECT_EQ(hostCalloc(SIZE_MAX, SIZE_MAX), nullptr);
  EXPECT_EQ(host::allocationCalls(), calls + 13);
  // A block the free list hands back is zero-filled again.
  auto* p = static_cast<unsigned char*>(hostCalloc(3, 10));
  std::memset(p, 0xAB, 30);
  hostFree(p);
  EXPECT_EQ(hostCalloc(30, 1), p);
  EXPECT_TRUE(allZero(p, 32));
  hostFree(p);
}

TEST_F(Host, FailureInjectionFailsTheNthCallAndAllLater) {
  host::failAllocationsFrom(3);
  void* a = hostCalloc(1, 8);
  void* b = hostCalloc(1, 1000);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(hostCalloc(1, 8), nullptr);
  EXPECT_EQ(hostCalloc(1, 1000), nullptr);
  hostFree(a);
  EXPECT_EQ(hostCalloc(1, 8), nullptr);  // a released block refills no request meanwhile
  EXPECT_EQ(host::liveAllocations(), memory + 1);
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
  hvArray* second = hvDuplicateArray(first);
  EXPECT_NE(second, nullptr);
  hvDestroyArray(first);
  hvDestroyArray(second);
}

TEST(HostMemoryDeath, DoubleReleaseStopsAtTheFaultAndReleasedBlocksArePoisoned) {
  auto* p = static_cast<volatile char*>(hostCalloc(1, 8));
  hostFree(const_cast<char*>(p));
  EXPECT_DEATH(hostFree(const_cast<char*>(p)), "not a live host memory block");
#if defined(__SANITIZE_ADDRESS__)
  // Blocks kept for reuse stay off limits until handed out again.
  EXPECT_DEATH((void)p[0], "use-after-poison");
#endif
}

std::string text(const hvArray* a) {
  char buffer[256];
  EXPECT_EQ(hvGetString(a, buffer, sizeof buffer), 0);
  return buffer;
}

TEST_F(Host, GetStringCutsAtTheBufferAndSaysSo) {
  hvArray* s = hvCreateString("abcdef");
  char buffer[8];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(hvGetString(s, buffer, 4), 1);
  EXPECT_STREQ(buffer, "abc");
  EXPECT_EQ(buffer[4], '#');
  EXPECT_EQ(hvGetString(s, buffer, 7), 0);  // exactly fits
  EXPECT_STREQ(buffer, "abcdef");
  EXPECT_EQ(hvGetString(s, buffer, 0), 1);
  hvDestroyArray(s);
  hvArray* d = hvCreateDoubleScalar(1);
  EXPECT_EQ(hvGetString(d, buffer, sizeof buffer), 1);  // not text
  EXPECT_STREQ(buffer, "");
  hvDestroyArray(d);
}

TEST_F(Host, NumericArraysDropTrailingSingletonsAndRefuseBadShapes) {
  const uint64_t flat[] = {2, 3, 1, 1}, huge[] = {UINT64_MAX, UINT64_MAX};
  hvArray* b = hvCreateNumericArray(4, flat, hvDOUBLE_CLASS, hvCOMPLEX);
  EXPECT_EQ(hvGetNumberOfDimensions(b), 2u);
  EXPECT_NE(hvGetPi(b), nullptr);
  hvDestroyArray(b);
  EXPECT_EQ(hvCreateNumericArray(2, flat, hvCELL_CLASS, hvREAL), nullptr);
  EXPECT_EQ(hvCreateNumericArray(2, huge, hvDOUBLE_CLASS, hvREAL), nullptr);
}

// Storing passes ownership, even when the store itself is refused.
TEST_F(Host, CellsOwnWhatIsStoredAndReplacingDestroysTheOld) {
  hvArray* cell = hvCreateCellMatrix(2, 2);
  hvSetCell(cell, 0, hvCreateString("first"));
  hvSetCell(cell, 3, hvCreateDoubleScalar(3));
  hvSetCell(cell, 0, hvCreateString("second"));
  EXPECT_EQ(host::liveArrays(), live + 3);
  hvSetCell(cell, 0, hvGetCell(cell, 0));  // storing what is there changes nothing
  EXPECT_EQ(text(hvGetCell(cell, 0)), "second");
  hvSetCell(cell, 3, nullptr);  // empties the slot
  EXPECT_EQ(hvGetCell(cell, 3), nullptr);
  hvSetCell(cell, 4, hvCreateString("out of range"));
  hvArray* number = hvCreateDoubleScalar(1);
  hvSetCell(number, 0, hvCreateString("not a cell"));
  hvSetCell(nullptr, 0, hvCreateString("no cell"));
  EXPECT_EQ(host::liveArrays(), live + 3);
  hvDestroyArray(number);
  hvDestroyArray(cell);  // destroys its contents
}

TEST_F(Host, StructureFieldsPerElement) {
  const char* names[] = {"Name", "Type", "Value"};
  hvArray* s = hvCreateStructMatrix(2, 1, 3, names);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(hvGetFieldNumber(s, "type"), -1);  // names are exact
  hvSetField(s, 0, "Name", hvCreateString("Priority"));
  hvSetFieldByNumber(s, 1, 2, hvCreateDoubleScalar(7));
  EXPECT_EQ(hvGetPr(hvGetField(s, 1, "Value"))[0], 7.0);
  EXPECT_EQ(hvGetField(s, 0, "Value"), nullptr);    // not set
  EXPECT_EQ(hvGetField(s, 0, "Missing"), nullptr);  // no such field
  EXPECT_EQ(hvGetField(s, 2, "Name"), nullptr);     // no such element
  hvSetField(s, 0, "Missing", hvCreateString("dropped"));  // taken and destroyed
  hvSetField(s, 0, "Name", hvCreateString("Replaced"));
  EXPECT_EQ(text(hvGetField(s, 0, "Name")), "Replaced");
  EXPECT_EQ(host::liveArrays(), live + 3);
  hvDestroyArray(s);
  const char* dup[] = {"A", "A"};
  EXPECT_EQ(hvCreateStructMatrix(1, 1, 2, dup), nullptr);
  EXPECT_EQ(hvCreateStructMatrix(1, 1, -1, nullptr), nullptr);
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
  EXPECT_NE(hvGetCell(copiedCell, 0), hvGetCell(cell, 0));
  EXPECT_EQ(hvGetPi(hvGetCell(copiedCell, 1))[0], 2.0);
  hvDestroyArray(s);  // the copy stays intact
  EXPECT_EQ(text(hvGetCell(copiedCell, 0)), "inner");
  hvDestroyArray(copy);
  EXPECT_EQ(hvDuplicateArray(nullptr), nullptr);
  hvDestroyArray(nullptr);
}

}  // namespace
