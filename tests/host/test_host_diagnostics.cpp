// The message service and what is built on it: diagnostics, warnings, console.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/HostControl.h"

namespace {

const uint32_t kCodes[] = {0x00630001, 0x00630002, 0x00630003, 0x00630004, 0x00630005, 0xFFFFFFFF};
const char* const kIds[] = {"T_Plain", "T_Two", "T_Percent", "T_Number", "T_Three"};
const char* const kTexts[] = {"Plain text.", "Entity '%s' in block '%s'.", "100%% of %s",
                              "Type '%s' (id = '%d') unknown; 5% off",
                              "%s in '%s' block. Timeout with tag '%s' is already scheduled."};
const hostMessageTable kTable = {5, 0x63, kCodes, kIds, kTexts, "TEST:"};

// Reads the handle from the start of each object, as the engine's converter
// does; counts its calls.
int converterCalls = 0;
double* readHandles(void* const* first, void* const* last, size_t* count, const char*) {
  ++converterCalls;
  *count = static_cast<size_t>(last - first);
  if (*count == 0) return nullptr;
  auto* handles = static_cast<double*>(hostCalloc(*count, sizeof(double)));
  for (size_t i = 0; i < *count; ++i) handles[i] = *static_cast<const double*>(first[i]);
  return handles;
}

std::string lastCallbackText;
void remember(const char* text) { lastCallbackText = text; }

// The table is added in the memory context, as the engine does, and looked
// up in the message context.
class HostMessages : public ::testing::Test {
 protected:
  void SetUp() override {
    host::reset();
    host::captureConsole(true);
    ASSERT_EQ(hostAddMessageTable(hostMemoryContext(), &kTable), 0);
    converterCalls = 0;
    memory = host::liveAllocations();
  }
  void TearDown() override {
    EXPECT_EQ(host::liveAllocations(), memory) << "the converter's array was not released";
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

TEST_F(HostMessages, PlaceholdersAreFilledInOrder) {
  const struct {
    uint32_t code;
    const char *a1, *a2, *expected;
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
    EXPECT_EQ(last, static_cast<int>(std::strlen(c.expected)));
  }
  EXPECT_STREQ(hostMessageIdentifier(hostMessageContext(), 0x00630002), "TEST:T_Two");
}

TEST_F(HostMessages, TruncatesToExactlyMaxCharsPlusTerminator) {
  std::string buffer(20, '#');
  EXPECT_EQ(hostFormatMessage(hostMessageContext(), &buffer[0], 10, 0x00630002, "abcdef", "x"), 10);
  EXPECT_EQ(buffer, std::string("Entity 'ab") + '\0' + std::string(9, '#'));
  EXPECT_EQ(format(0x00630001, nullptr, nullptr, 5), "Plain");
  EXPECT_EQ(format(0x00630001, nullptr, nullptr, 0), "");
  EXPECT_EQ(last, 0);
  std::string big(5000, 'z');
  EXPECT_EQ(format(0x00630002, big.c_str(), "Q").size(), 4095u);
  EXPECT_EQ(last, 4095);
  EXPECT_EQ(std::strlen(brsvDiagnosticMessage(plain(0x00630002, big.c_str()))), 4095u);
}

TEST_F(HostMessages, UnknownCodesAndRemovedTablesGiveMinusOneWithANote) {
  EXPECT_NE(format(0x00639999).find("00639999"), std::string::npos);
  EXPECT_EQ(last, -1);
  EXPECT_EQ(format(0x00639999, nullptr, nullptr, 4).size(), 4u);
  EXPECT_EQ(hostMessageIdentifier(hostMessageContext(), 0x00639999), nullptr);
  EXPECT_STREQ(brsvDiagnosticIdentifier(plain(0x00639999)), "");

  ASSERT_EQ(hostAddMessageTable(hostMemoryContext(), &kTable), 0);  // again: still once
  EXPECT_EQ(hostRemoveMessageTable(hostMemoryContext(), &kTable), 0);
  EXPECT_EQ(hostRemoveMessageTable(hostMemoryContext(), &kTable), 1);  // not registered
  format(0x00630001);
  EXPECT_EQ(last, -1);
  EXPECT_EQ(hostMessageIdentifier(hostMessageContext(), 0x00630001), nullptr);
  EXPECT_NE(hostAddMessageTable(hostMemoryContext(), nullptr), 0);
  ASSERT_EQ(hostAddMessageTable(hostMemoryContext(), &kTable), 0);
}

// The rendering shows a whole diagnostic at once: message, identifier, the
// blocks its handles name and what was appended, each in order.
TEST_F(HostMessages, ObjectErrorsKeepCodeIdentifierMessageHandlesAndAppendedInOrder) {
  void* objects[] = {host::addObject("model/Queue"), host::addObject("model/Server")};
  brsvDiagnosticImpl* top = brsvObjectError(objects, 2, nullptr, readHandles, 0x00630002, "en1", "Q");
  EXPECT_EQ(converterCalls, 1);
  EXPECT_EQ(brsvDiagnosticCode(top), 0x00630002u);
  // Without objects the converter is not called; the callback hears the text.
  brsvDiagnosticImpl* first = brsvObjectError(nullptr, 0, remember, readHandles, 0x00630001);
  EXPECT_EQ(converterCalls, 1);
  EXPECT_EQ(lastCallbackText, "Plain text.");
  brsvConcatenateDiagnostics(top, first, false);
  brsvConcatenateDiagnostics(top, plain(0x00630002, "b"), true);
  brsvConcatenateDiagnostics(top, top, false);
  brsvConcatenateDiagnostics(first, top, false);
  brsvConcatenateDiagnostics(nullptr, top, false);
  brsvConcatenateDiagnostics(top, nullptr, false);
  EXPECT_EQ(brsvDiagnosticChildCount(top), 2u);
  EXPECT_EQ(host::renderDiagnostic(top),
            "Entity 'en1' in block 'Q'.\nIdentifier: TEST:T_Two\nBlock: model/Queue\nBlock: model/Server\n"
            "Also:\n  Plain text.\n  Identifier: TEST:T_Plain\n"
            "Caused by:\n  Entity 'b' in block ''.\n  Identifier: TEST:T_Two\n");
  const std::size_t made = host::diagnosticCount();
  auto throwing = [](void* const*, void* const*, size_t*, const char*) -> double* { throw std::bad_alloc(); };
  EXPECT_THROW(brsvObjectError(objects, 1, nullptr, throwing, 0x00630001), std::bad_alloc);
  EXPECT_EQ(host::diagnosticCount(), made);
  host::clearObjects();
  EXPECT_NE(host::renderDiagnostic(top).find("unknown handle"), std::string::npos);
}

// The engine's warnings go through these (their texts are checked there).
TEST_F(HostMessages, ConsoleCapturesPrintfAssertionsAndWarnings) {
  EXPECT_EQ(hostPrintf("%s=%d\n", "x", 42), 5);
  const std::string big(10000, 'q');
  hostPrintf("%s", big.c_str());
  hostAssert("file.cpp", "x > 0", 12, "x must be positive");
  brsvWarning(remember, "Tarnwell:", 0x00630005, "Warning", "Queue", "t1");
  const std::string message = "Warning in 'Queue' block. Timeout with tag 't1' is already scheduled.";
  EXPECT_EQ(host::consoleText(), "x=42\n" + big +
            "Assertion failed: x > 0 at line 12 of file \"file.cpp\": x must be positive\n"
            "Warning: " + message + "\n");
  EXPECT_EQ(lastCallbackText, message);
  ASSERT_EQ(host::warnings().size(), 1u);
  const host::Warning& w = host::warnings()[0];
  EXPECT_EQ(w.prefix + w.identifier + "|" + w.message, "Tarnwell:TEST:T_Three|" + message);
  EXPECT_EQ(w.args, (std::vector<std::string>{"Warning", "Queue", "t1"}));
  // A missing argument reads as empty and is marked as null.
  brsvWarning(nullptr, "P:", 0x00630005, "Error", nullptr);
  EXPECT_EQ(host::warnings().at(1).argIsNull, (std::vector<bool>{false, true, true}));
}

}  // namespace
