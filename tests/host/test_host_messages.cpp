#include <gtest/gtest.h>

#include <string>

#include "host/HostControl.h"

namespace {

const uint32_t kCodes[] = {0x00630001, 0x00630002, 0x00630003, 0x00630004, 0xFFFFFFFF};
const char* const kIds[] = {"T_Plain", "T_Two", "T_Percent", "T_Number"};
const char* const kTexts[] = {"Plain text.", "Entity '%s' in block '%s'.", "100%% of %s",
                              "Type '%s' (id = '%d') unknown; 5% off"};
const hostMessageTable kTable = {4, 0x63, kCodes, kIds, kTexts, "TEST:"};

// The table is added in the memory context, as the engine does, and looked
// up in the message context.
class HostMessages : public ::testing::Test {
 protected:
  void SetUp() override {
    host::reset();
    ASSERT_EQ(hostAddMessageTable(hostMemoryContext(), &kTable), 0);
  }
  void TearDown() override { hostRemoveMessageTable(hostMemoryContext(), &kTable); }

  std::string format(uint32_t code, const char* a1 = nullptr, const char* a2 = nullptr,
                     std::size_t max = 4095) {
    std::string buffer(max + 1, '\x7f');
    last = hostFormatMessage(hostMessageContext(), &buffer[0], max, code, a1, a2);
    return buffer.c_str();
  }
  int last = 0;
};

TEST_F(HostMessages, PlaceholdersAreFilledInOrder) {
  const struct {
    uint32_t code;
    const char* a1;
    const char* a2;
    const char* expected;
  } cases[] = {
      {0x00630001, nullptr, nullptr, "Plain text."},
      {0x00630002, "en1", "Queue", "Entity 'en1' in block 'Queue'."},
      {0x00630002, nullptr, "Queue", "Entity '' in block 'Queue'."},  // null reads as empty
      {0x00630003, "the cases", nullptr, "100% of the cases"},       // %% takes no argument
      // %d takes text too; a '%' not followed by s, d or % stays as written.
      {0x00630004, "foo", "7", "Type 'foo' (id = '7') unknown; 5% off"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(format(c.code, c.a1, c.a2), c.expected);
    EXPECT_EQ(last, static_cast<int>(std::string(c.expected).size()));
  }
  EXPECT_STREQ(hostMessageIdentifier(hostMessageContext(), 0x00630002), "TEST:T_Two");
}

TEST_F(HostMessages, TruncatesToExactlyMaxCharsPlusTerminator) {
  std::string buffer(20, '#');
  int n = hostFormatMessage(hostMessageContext(), &buffer[0], 10, 0x00630002, "abcdef", "x");
  EXPECT_EQ(n, 10);
  EXPECT_EQ(buffer.substr(0, 11), std::string("Entity 'ab") + '\0');
  EXPECT_EQ(buffer.substr(11), std::string(9, '#'));  // nothing written past the NUL

  EXPECT_EQ(format(0x00630001, nullptr, nullptr, 11), "Plain text.");
  EXPECT_EQ(format(0x00630001, nullptr, nullptr, 5), "Plain");
  EXPECT_EQ(format(0x00630001, nullptr, nullptr, 0), "");
  EXPECT_EQ(last, 0);

  std::string big(5000, 'z');
  EXPECT_EQ(format(0x00630002, big.c_str(), "Q").size(), 4095u);
  EXPECT_EQ(last, 4095);
}

TEST_F(HostMessages, UnknownCodeReturnsMinusOneWithANote) {
  std::string text = format(0x00639999);
  EXPECT_EQ(last, -1);
  EXPECT_NE(text.find("00639999"), std::string::npos);
  EXPECT_EQ(format(0x00639999, nullptr, nullptr, 4).size(), 4u);
  EXPECT_EQ(hostMessageIdentifier(hostMessageContext(), 0x00639999), nullptr);
}

TEST_F(HostMessages, TablesAreRegisteredOnceAndRemoved) {
  ASSERT_EQ(hostAddMessageTable(hostMemoryContext(), &kTable), 0);  // again: still once
  EXPECT_EQ(hostRemoveMessageTable(hostMemoryContext(), &kTable), 0);
  EXPECT_EQ(hostRemoveMessageTable(hostMemoryContext(), &kTable), 1);  // not registered
  format(0x00630001);
  EXPECT_EQ(last, -1);
  EXPECT_EQ(hostMessageIdentifier(hostMessageContext(), 0x00630001), nullptr);
  EXPECT_NE(hostAddMessageTable(hostMemoryContext(), nullptr), 0);
  ASSERT_EQ(hostAddMessageTable(hostMemoryContext(), &kTable), 0);
}

}  // namespace
