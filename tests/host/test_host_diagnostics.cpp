// Message bounds and diagnostics ownership (the catalogue tests fill the placeholders).
#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>

#include "host/HostControl.h"

namespace {

const uint32_t kCodes[] = {0x00630001, 0x00630002, 0xFFFFFFFF};
const char* const kIds[] = {"T_Plain", "T_Two"};
const char* const kTexts[] = {"Plain text.", "Entity '%s' in block '%s'."};
const hostMessageTable kTable = {2, 0x63, kCodes, kIds, kTexts, "TEST:"};

// Added in the memory context as the engine does, looked up in the message context.
class HostMessages : public ::testing::Test {
 protected:
  void SetUp() override {
    host::reset();
    host::captureConsole(true);
    ASSERT_EQ(hostAddMessageTable(hostMemoryContext(), &kTable), 0);
    memory = host::liveAllocations();
  }
  void TearDown() override {
    EXPECT_EQ(host::liveAllocations(), memory) << "blocks leaked";
    hostRemoveMessageTable(hostMemoryContext(), &kTable);
    host::reset();
  }
  std::string format(uint32_t code, const char* a1 = nullptr, const char* a2 = nullptr,
                     std::size_t max = 4095) {
    std::string buffer(max + 1, '\x7f');
    last = hostFormatMessage(hostMessageContext(), &buffer[0], max, code, a1, a2);
    return buffer.c_str();
  }
  static brsvDiagnosticImpl* plain(uint32_t code, const char* arg = nullptr) {
    return brsvObjectError(nullptr, 0, nullptr, nullptr, code, arg);
  }
  int last = 0;
  std::size_t memory = 0;
};

TEST_F(HostMessages, TruncatesToExactlyMaxCharsPlusTerminator) {
  std::string buffer(20, '#');
  EXPECT_EQ(hostFormatMessage(hostMessageContext(), &buffer[0], 10, 0x00630002, "abcdef", "x"), 10);
  EXPECT_EQ(buffer, std::string("Entity 'ab") + '\0' + std::string(9, '#'));
  EXPECT_EQ(format(0x00630001, nullptr, nullptr, 0), "");
  EXPECT_EQ(last, 0);
  std::string big(5000, 'z');
  EXPECT_EQ(format(0x00630002, big.c_str(), "Q").size(), 4095u);
  EXPECT_EQ(last, 4095);
  EXPECT_EQ(std::strlen(brsvDiagnosticMessage(plain(0x00630002, big.c_str()))), 4095u);
  // The console is not cut (calendar dumps print long lines).
  hostPrintf("%s", big.c_str());
  EXPECT_EQ(host::consoleText(), big);
}

// The catalogue removes its table when the library unloads.
TEST_F(HostMessages, UnknownCodesAndRemovedTablesGiveMinusOneWithANote) {
  EXPECT_NE(format(0x00639999).find("00639999"), std::string::npos);
  EXPECT_EQ(last, -1);
  EXPECT_EQ(format(0x00639999, nullptr, nullptr, 4).size(), 4u);
  EXPECT_STREQ(brsvDiagnosticIdentifier(plain(0x00639999)), "");
  ASSERT_EQ(hostAddMessageTable(hostMemoryContext(), &kTable), 0);  // again: still once
  EXPECT_EQ(hostRemoveMessageTable(hostMemoryContext(), &kTable), 0);
  EXPECT_EQ(hostRemoveMessageTable(hostMemoryContext(), &kTable), 1);  // not registered
  format(0x00630001);
  EXPECT_EQ(last, -1);
  EXPECT_EQ(hostMessageIdentifier(hostMessageContext(), 0x00630001), nullptr);
  ASSERT_EQ(hostAddMessageTable(hostMemoryContext(), &kTable), 0);
}

// The library's handle converter throws when memory runs out: no half-made diagnostic.
TEST_F(HostMessages, AThrowingConverterLeavesNoDiagnosticBehind) {
  void* objects[] = {host::addObject("model/Queue")};
  const std::size_t made = host::diagnosticCount();
  auto throwing = [](void* const*, void* const*, size_t*, const char*) -> double* { throw std::bad_alloc(); };
  EXPECT_THROW(brsvObjectError(objects, 1, nullptr, throwing, 0x00630001), std::bad_alloc);
  EXPECT_EQ(host::diagnosticCount(), made);
}

}  // namespace
