#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/HostControl.h"

namespace {

// Every test ends with as many arrays alive as it began with: a leak or a
// second destruction shows here (and under ASan).
class HostArrays : public ::testing::Test {
 protected:
  void SetUp() override {
    host::reset();
    live = host::liveArrays();
  }
  void TearDown() override {
    EXPECT_EQ(host::liveArrays(), live) << "arrays leaked or destroyed twice";
    host::reset();
  }
  std::size_t live = 0;
};

std::string text(const hvArray* a) {
  char buffer[256];
  EXPECT_EQ(hvGetString(a, buffer, sizeof buffer), 0);
  return buffer;
}

TEST_F(HostArrays, GetStringCutsAtTheBufferAndSaysSo) {
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

TEST_F(HostArrays, NumericArraysDropTrailingSingletonsAndRefuseBadShapes) {
  const uint64_t flat[] = {2, 3, 1, 1}, huge[] = {UINT64_MAX, UINT64_MAX};
  hvArray* b = hvCreateNumericArray(4, flat, hvDOUBLE_CLASS, hvCOMPLEX);
  EXPECT_EQ(hvGetNumberOfDimensions(b), 2u);
  EXPECT_NE(hvGetPi(b), nullptr);
  hvDestroyArray(b);
  EXPECT_EQ(hvCreateNumericArray(2, flat, hvCELL_CLASS, hvREAL), nullptr);
  EXPECT_EQ(hvCreateNumericArray(2, huge, hvDOUBLE_CLASS, hvREAL), nullptr);
}

// Storing passes ownership, even when the store itself is refused.
TEST_F(HostArrays, CellsOwnWhatIsStoredAndReplacingDestroysTheOld) {
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

TEST_F(HostArrays, StructureFieldsPerElement) {
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

TEST_F(HostArrays, DuplicateIsDeepAndIndependent) {
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

TEST_F(HostArrays, CreationFailureInjection) {
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

}  // namespace
