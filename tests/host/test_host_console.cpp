#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/HostControl.h"

namespace {

class HostConsole : public ::testing::Test {
 protected:
  void SetUp() override {
    host::reset();
    host::captureConsole(true);
  }
  void TearDown() override { host::reset(); }
};

TEST_F(HostConsole, PrintfAndHvxPrintfAreCaptured) {
  EXPECT_EQ(hostPrintf("%s=%d\n", "x", 42), 5);
  EXPECT_EQ(hvxPrintf("%.2f", 1.5), 4);
  EXPECT_EQ(host::consoleText(), "x=42\n1.50");
  host::clearConsole();
  EXPECT_EQ(host::consoleText(), "");
  std::string big(10000, 'q');
  hostPrintf("%s", big.c_str());
  EXPECT_EQ(host::consoleText(), big);
}

TEST_F(HostConsole, AssertAndStackTracePrintOneLineEach) {
  hostAssert("file.cpp", "x > 0", 12, "x must be positive");
  EXPECT_EQ(host::consoleText(),
            "Assertion failed: x > 0 at line 12 of file \"file.cpp\": x must be positive\n");
  host::clearConsole();
  hostAssert("f.cpp", nullptr, 3, nullptr);
  EXPECT_EQ(host::consoleText(), "Assertion failed: (forced) at line 3 of file \"f.cpp\"\n");
  host::clearConsole();
  hostDumpStackTrace(-1, 0, nullptr);
  std::string trace = host::consoleText();
  EXPECT_FALSE(trace.empty());
  EXPECT_EQ(trace.find('\n'), trace.size() - 1);
  EXPECT_NE(hostIsSignalThread(), 0);
}

TEST_F(HostConsole, InterruptIsRaisedOnceAndCleared) {
  EXPECT_FALSE(hostIsInterruptPending());
  EXPECT_NO_THROW(hostRaiseIfInterruptPending());
  host::setInterruptPending(true);
  EXPECT_TRUE(hostIsInterruptPending());
  {
    HostInterruptMode mode(true);
    EXPECT_THROW(hostRaiseIfInterruptPending(), host::HostInterrupt);
  }
  EXPECT_FALSE(hostIsInterruptPending());
  EXPECT_NO_THROW(hostRaiseIfInterruptPending());
  host::setInterruptPending(true);
  host::reset();
  EXPECT_FALSE(hostIsInterruptPending());
}

// ---------------------------------------------------------------- command window

TEST_F(HostConsole, ReadLineHandsOutQueuedLinesThenEndOfInput) {
  host::setInputLines({"step", "", "cont"});
  char buffer[1024];
  ASSERT_TRUE(hostReadLine(buffer));
  EXPECT_STREQ(buffer, "step");
  ASSERT_TRUE(hostReadLine(buffer));
  EXPECT_STREQ(buffer, "");
  ASSERT_TRUE(hostReadLine(buffer));
  EXPECT_STREQ(buffer, "cont");
  EXPECT_FALSE(hostReadLine(buffer));
  EXPECT_STREQ(buffer, "");
  host::setInputLines({"again"});
  ASSERT_TRUE(hostReadLine(buffer));
  EXPECT_STREQ(buffer, "again");
}

TEST_F(HostConsole, LongLinesComeInPiecesOf1023) {
  std::string longLine = std::string(1023, 'a') + std::string(1023, 'b') + "tail";
  std::string exact(1023, 'c');
  host::setInputLines({longLine, exact, "next"});
  std::vector<std::string> pieces;
  char buffer[1024];
  while (hostReadLine(buffer)) pieces.push_back(buffer);
  ASSERT_EQ(pieces.size(), 6u);
  EXPECT_EQ(pieces[0], std::string(1023, 'a'));  // 1023: the line goes on
  EXPECT_EQ(pieces[1], std::string(1023, 'b'));
  EXPECT_EQ(pieces[2], "tail");                   // shorter: the line ends
  EXPECT_EQ(pieces[3], exact);
  EXPECT_EQ(pieces[4], "");                       // ends a line of exactly 1023
  EXPECT_EQ(pieces[5], "next");
}

TEST_F(HostConsole, SettersReturnThePreviousValue) {
  auto seven = reinterpret_cast<HostInputRequester>(static_cast<intptr_t>(7));
  auto ten = reinterpret_cast<HostInputRequester>(static_cast<intptr_t>(10));
  EXPECT_EQ(hostSetInputRequester(ten), nullptr);
  EXPECT_EQ(hostSetInputRequester(seven), ten);
  EXPECT_EQ(hostSetInputRequester(nullptr), seven);
  EXPECT_EQ(hostSetExecutionStatus(3), 0);
  EXPECT_EQ(hostSetExecutionStatus(0), 3);
  EXPECT_EQ(hostSetCodeBlockStatus(1), 0);
  EXPECT_EQ(hostSetCodeBlockStatus(0), 1);
  hostSetCodeBlockStatus(5);
  host::reset();
  EXPECT_EQ(hostSetCodeBlockStatus(0), 0);
}

struct Heard {
  std::vector<std::string> prompts;
};
void listen(const HostInputRequestEvent& e, void* data) {
  static_cast<Heard*>(data)->prompts.push_back(e.prompt ? e.prompt : "");
}
void removeSelf(const HostInputRequestEvent&, void* data) {
  HostEventManager::removeListener(removeSelf, data);
}

TEST_F(HostConsole, ListenersHearInputRequests) {
  Heard a, b;
  HostEventManager::addListener(listen, &a);
  HostEventManager::addListener(listen, &b);
  HostEventManager::addListener(listen, &a);  // once per pair
  HostEventManager::fire({"twdb>> "});
  EXPECT_EQ(a.prompts, std::vector<std::string>{"twdb>> "});
  EXPECT_EQ(b.prompts, std::vector<std::string>{"twdb>> "});
  HostEventManager::removeListener(listen, &a);
  HostEventManager::addListener(removeSelf, nullptr);
  HostEventManager::fire({nullptr});
  HostEventManager::fire({"x"});
  EXPECT_EQ(a.prompts.size(), 1u);
  EXPECT_EQ(b.prompts, (std::vector<std::string>{"twdb>> ", "", "x"}));
  host::reset();
  HostEventManager::fire({"y"});
  EXPECT_EQ(b.prompts.size(), 3u);
}

// ---------------------------------------------------------------- whole host

TEST_F(HostConsole, ResetReturnsTheHostToItsStateAtLoad) {
  host::failAllocationsFrom(1);
  host::failArrayCreationsFrom(1);
  host::addObject("m/b");
  host::setInputLines({"x"});
  hvSetErrorMode(-1);
  hostSetCurrentWorkspace(hostGetCallersWorkspace());
  hostPrintf("text");
  host::reset();
  void* p = hostCalloc(1, 1);
  EXPECT_NE(p, nullptr);
  hostFree(p);
  hvArray* a = hvCreateDoubleScalar(1);
  EXPECT_NE(a, nullptr);
  hvDestroyArray(a);
  EXPECT_EQ(host::findObject("m/b"), nullptr);
  char buffer[1024];
  EXPECT_FALSE(hostReadLine(buffer));
  EXPECT_EQ(host::errorMode(), 0);
  EXPECT_NE(hostGetCurrentWorkspace(), hostGetCallersWorkspace());
  EXPECT_EQ(host::consoleText(), "");
}

}  // namespace
