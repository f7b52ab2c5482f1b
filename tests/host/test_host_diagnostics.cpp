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
  brsvDiagnosticImpl* d =
      brsvObjectError(objects, 2, nullptr, readHandles, 0x00650001, "en7");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(converterCalls, 1);
  EXPECT_EQ(brsvDiagnosticCode(d), 0x00650001u);
  EXPECT_STREQ(brsvDiagnosticIdentifier(d), "DIAG:D_NotFound");
  EXPECT_STREQ(brsvDiagnosticMessage(d), "Could not find entity, 'en7'.");
  ASSERT_EQ(brsvDiagnosticHandleCount(d), 2u);
  EXPECT_EQ(brsvDiagnosticHandle(d, 0), queue->handle);
  EXPECT_EQ(brsvDiagnosticHandle(d, 1), server->handle);
  EXPECT_EQ(brsvDiagnosticChildCount(d), 0u);
  EXPECT_EQ(host::diagnosticCount(), 1u);
}

TEST_F(HostDiagnostics, ConverterIsNotCalledWithoutObjects) {
  brsvDiagnosticImpl* d = brsvObjectError(nullptr, 0, remember, readHandles, 0x00650003);
  EXPECT_EQ(converterCalls, 0);
  EXPECT_EQ(brsvDiagnosticHandleCount(d), 0u);
  EXPECT_EQ(lastCallbackText, "Nothing to fill.");
  brsvDiagnosticImpl* e = brsvObjectError(nullptr, 0, nullptr, nullptr, 0x00650003);
  EXPECT_STREQ(brsvDiagnosticMessage(e), "Nothing to fill.");
}

TEST_F(HostDiagnostics, ConverterFailureLeavesNoDiagnosticBehind) {
  host::HostObject* queue = host::addObject("model/Queue");
  void* objects[] = {queue};
  auto throwing = [](void* const*, void* const*, size_t*, const char*) -> double* {
    throw std::bad_alloc();
  };
  EXPECT_THROW(brsvObjectError(objects, 1, nullptr, throwing, 0x00650001), std::bad_alloc);
  EXPECT_EQ(host::diagnosticCount(), 0u);
}

TEST_F(HostDiagnostics, MessageIsCutAt4095Characters) {
  std::string big(5000, 'x');
  brsvDiagnosticImpl* d = brsvObjectError(nullptr, 0, nullptr, nullptr, 0x00650001, big.c_str());
  EXPECT_EQ(std::string(brsvDiagnosticMessage(d)).size(), 4095u);
}

TEST_F(HostDiagnostics, UnregisteredCodeStillMakesADiagnostic) {
  brsvDiagnosticImpl* d = brsvObjectError(nullptr, 0, nullptr, nullptr, 0x00659999);
  EXPECT_STREQ(brsvDiagnosticIdentifier(d), "");
  EXPECT_NE(std::string(brsvDiagnosticMessage(d)).find("00659999"), std::string::npos);
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
  host::HostObject* queue = host::addObject("model/Queue");
  void* objects[] = {queue};
  brsvDiagnosticImpl* top = brsvObjectError(objects, 1, nullptr, readHandles, 0x00650001, "en1");
  brsvDiagnosticImpl* child = brsvObjectError(nullptr, 0, nullptr, nullptr, 0x00650003);
  brsvConcatenateDiagnostics(top, child, false);
  EXPECT_EQ(host::renderDiagnostic(top),
            "Could not find entity, 'en1'.\n"
            "Identifier: DIAG:D_NotFound\n"
            "Block: model/Queue\n"
            "Also:\n"
            "  Nothing to fill.\n"
            "  Identifier: DIAG:D_Plain\n");
  host::clearObjects();
  EXPECT_NE(host::renderDiagnostic(top).find("unknown handle"), std::string::npos);
  EXPECT_EQ(host::renderDiagnostic(nullptr), "");
}

TEST_F(HostDiagnostics, ReleaseDiagnosticsEmptiesTheRegistry) {
  brsvObjectError(nullptr, 0, nullptr, nullptr, 0x00650003);
  brsvObjectError(nullptr, 0, nullptr, nullptr, 0x00650003);
  EXPECT_EQ(host::diagnosticCount(), 2u);
  host::releaseDiagnostics();
  EXPECT_EQ(host::diagnosticCount(), 0u);
}

TEST_F(HostDiagnostics, WarningIsRecordedAndPrinted) {
  brsvWarning(remember, "Tarnwell:", 0x00650002, "Warning", "Queue", "t1");
  ASSERT_EQ(host::warnings().size(), 1u);
  const host::Warning& w = host::warnings()[0];
  EXPECT_EQ(w.prefix, "Tarnwell:");
  EXPECT_EQ(w.code, 0x00650002u);
  EXPECT_EQ(w.identifier, "DIAG:D_Timeout");
  EXPECT_EQ(w.message, "Warning in 'Queue' block. Timeout with tag 't1' is already scheduled.");
  EXPECT_EQ(w.args, (std::vector<std::string>{"Warning", "Queue", "t1"}));
  EXPECT_EQ(w.argIsNull, (std::vector<bool>{false, false, false}));
  EXPECT_EQ(host::consoleText(), "Warning: " + w.message + "\n");
  EXPECT_EQ(lastCallbackText, w.message);
  host::clearWarnings();
  EXPECT_TRUE(host::warnings().empty());
}

TEST_F(HostDiagnostics, WarningKeepsNullArgumentsUpToThePlaceholders) {
  brsvWarning(nullptr, "P:", 0x00650002, "Error", nullptr);
  const host::Warning& w = host::warnings().at(0);
  EXPECT_EQ(w.args, (std::vector<std::string>{"Error", "", ""}));
  EXPECT_EQ(w.argIsNull, (std::vector<bool>{false, true, true}));
  EXPECT_EQ(w.message, "Error in '' block. Timeout with tag '' is already scheduled.");

  // Arguments beyond the placeholders are kept when given.
  brsvWarning(nullptr, "P:", 0x00650003, nullptr, "extra");
  EXPECT_EQ(host::warnings().at(1).args, (std::vector<std::string>{"", "extra"}));
}

void warnV(uint32_t code, ...) {
  va_list args;
  va_start(args, code);
  brsvWarningV(nullptr, "Tarnwell:", code, args);
  va_end(args);
}

TEST_F(HostDiagnostics, ArgumentListWarningReadsOneTextPerPlaceholder) {
  warnV(0x00650002, "Warning", "Server", "late");
  warnV(0x00650003);  // no placeholders: reads nothing
  ASSERT_EQ(host::warnings().size(), 2u);
  EXPECT_EQ(host::warnings()[0].args, (std::vector<std::string>{"Warning", "Server", "late"}));
  EXPECT_EQ(host::warnings()[0].message,
            "Warning in 'Server' block. Timeout with tag 'late' is already scheduled.");
  EXPECT_TRUE(host::warnings()[1].args.empty());
  EXPECT_EQ(host::warnings()[1].message, "Nothing to fill.");
}

}  // namespace
