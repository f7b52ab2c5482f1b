#include <gtest/gtest.h>

#include <cstdarg>
#include <string>

#include "host/HostControl.h"

namespace {

const uint32_t kCodes[] = {0x00650001, 0x00650002, 0x00650003, 0xFFFFFFFF};
const char* const kIds[] = {"D_NotFound", "D_Timeout", "D_Plain"};
const char* const kTexts[] = {"Could not find entity, '%s'.",
                              "%s in '%s' block. Timeout with tag '%s' is already scheduled.",
                              "Nothing to fill."};
const hostMessageTable kTable = {3, 0x65, kCodes, kIds, kTexts, "DIAG:"};

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

class HostDiagnostics : public ::testing::Test {
 protected:
  void SetUp() override {
    host::reset();
    host::captureConsole(true);
    hostAddMessageTable(hostMemoryContext(), &kTable);
    converterCalls = 0;
    memory = host::liveAllocations();
  }
  void TearDown() override {
    EXPECT_EQ(host::liveAllocations(), memory) << "the converter's array was not released";
    hostRemoveMessageTable(hostMemoryContext(), &kTable);
    host::reset();
  }
  std::size_t memory = 0;
};

TEST_F(HostDiagnostics, ObjectErrorKeepsCodeIdentifierMessageAndHandles) {
  host::HostObject* queue = host::addObject("model/Queue");
  host::HostObject* server = host::addObject("model/Server");
  void* objects[] = {queue, server};
  brsvDiagnosticImpl* d = brsvObjectError(objects, 2, nullptr, readHandles, 0x00650001, "en7");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(converterCalls, 1);
  EXPECT_EQ(brsvDiagnosticCode(d), 0x00650001u);
  EXPECT_STREQ(brsvDiagnosticIdentifier(d), "DIAG:D_NotFound");
  EXPECT_STREQ(brsvDiagnosticMessage(d), "Could not find entity, 'en7'.");
  ASSERT_EQ(brsvDiagnosticHandleCount(d), 2u);
  EXPECT_EQ(brsvDiagnosticHandle(d, 0), queue->handle);
  EXPECT_EQ(brsvDiagnosticHandle(d, 1), server->handle);
  EXPECT_EQ(host::diagnosticCount(), 1u);

  // Without objects the converter is not called; the callback hears the text.
  brsvDiagnosticImpl* e = brsvObjectError(nullptr, 0, remember, readHandles, 0x00650003);
  EXPECT_EQ(converterCalls, 1);
  EXPECT_EQ(brsvDiagnosticHandleCount(e), 0u);
  EXPECT_EQ(lastCallbackText, "Nothing to fill.");
}

TEST_F(HostDiagnostics, ConverterFailureLeavesNoDiagnosticBehind) {
  void* objects[] = {host::addObject("model/Queue")};
  auto throwing = [](void* const*, void* const*, size_t*, const char*) -> double* {
    throw std::bad_alloc();
  };
  EXPECT_THROW(brsvObjectError(objects, 1, nullptr, throwing, 0x00650001), std::bad_alloc);
  EXPECT_EQ(host::diagnosticCount(), 0u);
}

TEST_F(HostDiagnostics, LongMessagesAreCutAndUnregisteredCodesNoted) {
  std::string big(5000, 'x');
  brsvDiagnosticImpl* d = brsvObjectError(nullptr, 0, nullptr, nullptr, 0x00650001, big.c_str());
  EXPECT_EQ(std::string(brsvDiagnosticMessage(d)).size(), 4095u);
  brsvDiagnosticImpl* e = brsvObjectError(nullptr, 0, nullptr, nullptr, 0x00659999);
  EXPECT_STREQ(brsvDiagnosticIdentifier(e), "");
  EXPECT_NE(std::string(brsvDiagnosticMessage(e)).find("00659999"), std::string::npos);
}

TEST_F(HostDiagnostics, ConcatenationKeepsOrderAndRefusesCycles) {
  brsvDiagnosticImpl* top = brsvObjectError(nullptr, 0, nullptr, nullptr, 0x00650001, "a");
  brsvDiagnosticImpl* first = brsvObjectError(nullptr, 0, nullptr, nullptr, 0x00650001, "b");
  brsvDiagnosticImpl* second = brsvObjectError(nullptr, 0, nullptr, nullptr, 0x00650003);
  brsvConcatenateDiagnostics(top, first, false);
  brsvConcatenateDiagnostics(top, second, true);
  ASSERT_EQ(brsvDiagnosticChildCount(top), 2u);
  EXPECT_EQ(brsvDiagnosticChild(top, 0), first);
  EXPECT_EQ(brsvDiagnosticChild(top, 1), second);
  EXPECT_EQ(brsvDiagnosticChild(top, 2), nullptr);

  brsvConcatenateDiagnostics(top, top, false);
  brsvConcatenateDiagnostics(first, top, false);  // top already reaches first
  brsvConcatenateDiagnostics(nullptr, top, false);
  brsvConcatenateDiagnostics(top, nullptr, false);
  EXPECT_EQ(brsvDiagnosticChildCount(top), 2u);
  EXPECT_EQ(brsvDiagnosticChildCount(first), 0u);
}

TEST_F(HostDiagnostics, RenderingShowsMessageIdentifierBlocksAndAppended) {
  void* objects[] = {host::addObject("model/Queue")};
  brsvDiagnosticImpl* top = brsvObjectError(objects, 1, nullptr, readHandles, 0x00650001, "en1");
  brsvConcatenateDiagnostics(top, brsvObjectError(nullptr, 0, nullptr, nullptr, 0x00650003), false);
  EXPECT_EQ(host::renderDiagnostic(top),
            "Could not find entity, 'en1'.\n"
            "Identifier: DIAG:D_NotFound\n"
            "Block: model/Queue\n"
            "Also:\n"
            "  Nothing to fill.\n"
            "  Identifier: DIAG:D_Plain\n");
  host::clearObjects();
  EXPECT_NE(host::renderDiagnostic(top).find("unknown handle"), std::string::npos);
}

void warnV(uint32_t code, ...) {
  va_list args;
  va_start(args, code);
  brsvWarningV(nullptr, "Tarnwell:", code, args);
  va_end(args);
}

TEST_F(HostDiagnostics, WarningsAreRecordedAndPrinted) {
  brsvWarning(remember, "Tarnwell:", 0x00650002, "Warning", "Queue", "t1");
  ASSERT_EQ(host::warnings().size(), 1u);
  const host::Warning& w = host::warnings()[0];
  EXPECT_EQ(w.prefix, "Tarnwell:");
  EXPECT_EQ(w.identifier, "DIAG:D_Timeout");
  EXPECT_EQ(w.message, "Warning in 'Queue' block. Timeout with tag 't1' is already scheduled.");
  EXPECT_EQ(w.args, (std::vector<std::string>{"Warning", "Queue", "t1"}));
  EXPECT_EQ(host::consoleText(), "Warning: " + w.message + "\n");
  EXPECT_EQ(lastCallbackText, w.message);

  // A missing argument reads as empty and is marked as null.
  brsvWarning(nullptr, "P:", 0x00650002, "Error", nullptr);
  EXPECT_EQ(host::warnings().at(1).argIsNull, (std::vector<bool>{false, true, true}));

  // The argument-list form reads one text per placeholder.
  warnV(0x00650002, "Warning", "Server", "late");
  warnV(0x00650003);
  ASSERT_EQ(host::warnings().size(), 4u);
  EXPECT_EQ(host::warnings()[2].message,
            "Warning in 'Server' block. Timeout with tag 'late' is already scheduled.");
  EXPECT_TRUE(host::warnings()[3].args.empty());
}

// ---------------------------------------------------------------- console

TEST_F(HostDiagnostics, PrintfIsCapturedWhole) {
  EXPECT_EQ(hostPrintf("%s=%d\n", "x", 42), 5);
  EXPECT_EQ(host::consoleText(), "x=42\n");
  host::clearConsole();
  std::string big(10000, 'q');
  hostPrintf("%s", big.c_str());
  EXPECT_EQ(host::consoleText(), big);
}

TEST_F(HostDiagnostics, AssertAndStackTracePrintOneLineEach) {
  hostAssert("file.cpp", "x > 0", 12, "x must be positive");
  EXPECT_EQ(host::consoleText(),
            "Assertion failed: x > 0 at line 12 of file \"file.cpp\": x must be positive\n");
  host::clearConsole();
  hostDumpStackTrace(-1, 0, nullptr);
  std::string trace = host::consoleText();
  EXPECT_FALSE(trace.empty());
  EXPECT_EQ(trace.find('\n'), trace.size() - 1);
  EXPECT_NE(hostIsSignalThread(), 0);
}

// Tests rely on reset to undo whatever a test before them injected.
TEST_F(HostDiagnostics, ResetReturnsTheHostToItsStateAtLoad) {
  host::failAllocationsFrom(1);
  host::failArrayCreationsFrom(1);
  host::addObject("m/b");
  hostPrintf("text");
  host::reset();
  void* p = hostCalloc(1, 1);
  EXPECT_NE(p, nullptr);
  hostFree(p);
  hvArray* a = hvCreateDoubleScalar(1);
  EXPECT_NE(a, nullptr);
  hvDestroyArray(a);
  EXPECT_EQ(host::findObject("m/b"), nullptr);
  EXPECT_EQ(host::consoleText(), "");
}

}  // namespace
