// The tracing switches, the debug levels and the diagnostic printer.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "host/HostControl.h"
#include "trace/DbLevel.h"
#include "trace/LogControl.h"

namespace {

TEST(LogControlTest, SwitchesStartOffTakeTheDefaultsAndGoOffTogether) {
  LogControl control(nullptr);
  auto switches = [&] {
    return std::to_string(control.GetEventLoggingEnabled()) +
           std::to_string(control.GetEntityLoggingEnabled()) +
           std::to_string(control.GetCalendarLoggingEnabled()) +
           std::to_string(control.IsAnyLoggingEnabled());
  };
  EXPECT_EQ(switches(), "0000");
  control.SetDefaultLogging();
  EXPECT_EQ(switches(), "1101");
  control.SetCalendarLoggingEnabled(true);
  control.SetEventLoggingEnabled(false);
  control.SetEntityLoggingEnabled(false);
  EXPECT_EQ(switches(), "0011");
  control.DisableAllLogging();
  EXPECT_EQ(switches(), "0000");
}

class DbLevelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::reset();
    host::captureConsole(true);
  }
  void TearDown() override {
    unsetenv(kVariable);
    dbLevelThreshold = 0;
    host::reset();
  }
  static constexpr const char* kVariable = "TARNWELL_TEST_DB_LEVEL";
};

TEST_F(DbLevelTest, LevelsFromTheEnvironment) {
  char name[] = "TARNWELL_TEST_DB_LEVEL";
  unsetenv(kVariable);
  EXPECT_EQ(getDbLevel(name), DDB_ERROR);
  EXPECT_EQ(host::consoleText(), "") << "an unset variable is not echoed";

  struct Row {
    const char* value;
    int level;
  } rows[] = {
      {"DDB_WARNING", 4},      {"DDB_EVERYTHING1", 12}, {"DDB_EVERYTHING", 11},
      {"DDB_E", 2},            {"", 0},                 {"ddb_error", 14},
      {"DDB_TRACE      ", 0},  {"DDB_TRACE       ", 14}, {"DDB_DEFAULT", 13},
  };
  for (const Row& row : rows) {
    host::clearConsole();
    setenv(kVariable, row.value, 1);
    EXPECT_EQ(getDbLevel(name), row.level) << '"' << row.value << '"';
    EXPECT_EQ(host::consoleText(),
              std::string("Env Var., TARNWELL_TEST_DB_LEVEL has value: ") + row.value + "\n");
  }
}

TEST_F(DbLevelTest, MessagesExpandTheirConversions) {
  const std::string s63(63, 'a');
  const std::string s64 = s63 + "b";
  struct Row {
    std::function<void()> print;
    std::string expected;
  } rows[] = {
      {[] { printDbMessage(DDB_TRACE, "%d items, %i more", 5, -2); }, "DDB_TRACE      : 5 items, -2 more"},
      {[] { printDbMessage(DDB_TRACE, "%f|%g|%h", 1.5, 0.25, 1.5); },
       "DDB_TRACE      : 1.500000|0.25|1.500000000000000"},
      {[] { printDbMessage(DDB_TRACE, "at %p", 255u); }, "DDB_TRACE      : at FF"},
      {[] { printDbMessage(DDB_TRACE, "100%% and %x%d", 3); }, "DDB_TRACE      : 100% and %3"},
      {[&] { printDbMessage(DDB_TRACE, "%s", s63.c_str()); }, "DDB_TRACE      : " + s63},
      {[&] { printDbMessage(DDB_TRACE, "%s", s64.c_str()); },
       "DDB_TRACE      : [trunc.]" + s63 + "[snip]"},
      {[] { printDbMessage(DDB_NONE, "above the threshold"); }, ""},
  };
  for (const Row& row : rows) {
    host::clearConsole();
    row.print();
    EXPECT_EQ(host::consoleText(), row.expected);
  }
  dbLevelThreshold = DDB_WARNING;
  host::clearConsole();
  printDbMessage(DDB_WARNING, "shown");
  EXPECT_EQ(host::consoleText(), "DDB_WARNING    : shown");
}

// Conversions that expand far beyond their two characters must not write
// past the 1024-byte line: the line is cut instead.
TEST_F(DbLevelTest, LongExpansionsStayWithinOneLine) {
  const std::string long64(64, 'x');
  std::string format;
  while (format.size() < 1000) format += "%s";
  host::clearConsole();
  printDbMessage(DDB_TRACE, format.c_str(), long64.c_str(), long64.c_str(), long64.c_str(),
                 long64.c_str(), long64.c_str(), long64.c_str(), long64.c_str(), long64.c_str(),
                 long64.c_str(), long64.c_str(), long64.c_str(), long64.c_str(), long64.c_str(),
                 long64.c_str(), long64.c_str(), long64.c_str(), long64.c_str(), long64.c_str(),
                 long64.c_str(), long64.c_str());
  const std::string out = host::consoleText();
  EXPECT_EQ(out.size(), 1023u);
  EXPECT_EQ(out.compare(0, 25, "DDB_TRACE      : [trunc.]"), 0);

  host::clearConsole();
  printDbMessage(DDB_TRACE, "%h%h%h%h", 1e300, 1e300, 1e300, 1e300);
  EXPECT_EQ(host::consoleText().size(), 1023u);
}

}  // namespace
