// The boxed assertion report and the always-on checks.
#include <gtest/gtest.h>

#include <string>

#include "host/HostControl.h"
#include "support/DesExcept.h"
#include "support/PMAssertion.h"

namespace {

const std::string kHeader =
    "\n"
    "-------------------------------------------------------------------------\n"
    "                    Discrete Event Simulation Assertion                  \n"
    "-------------------------------------------------------------------------\n";
const std::string kTrace = "(stack trace not available in this host)\n";

class Assertion : public ::testing::Test {
 protected:
  void SetUp() override {
    host::reset();
    RegisterMessageCatalogue();
    host::captureConsole(true);
  }
  void TearDown() override { host::reset(); }
};

TEST_F(Assertion, ReportWithConditionAndMessage) {
  PMAssertion("calendar.cpp", 42, "count > 0", "heap is empty");
  EXPECT_EQ(host::consoleText(), kHeader +
                                     "\tAssertion Failed count > 0 at line 42 of file "
                                     "\"calendar.cpp\".\n"
                                     "\theap is empty\n\n\n" +
                                     kTrace);
}

TEST_F(Assertion, ForcedReportHasNoMessageLine) {
  PMAssertion("x.cpp", 7, nullptr, nullptr);
  EXPECT_EQ(host::consoleText(),
            kHeader + "\tForced Assertion at line 7 of file \"x.cpp\".\n\n\n" + kTrace);
}

TEST_F(Assertion, ForcedAssertionReachesTheHost) {
  pmForceAssertion("f.cpp", "a == b", 3, "mismatch");
  EXPECT_NE(host::consoleText().find("a == b"), std::string::npos);
  EXPECT_NE(host::consoleText().find("mismatch"), std::string::npos);
}

TEST_F(Assertion, EnsureThrowsAnInternalErrorNamingTheCheck) {
  try {
    TW_ENSURE(1 + 1 == 3);
    FAIL() << "no exception";
  } catch (DesExcept* e) {
    EXPECT_EQ(e->getErrCode(), DES_GenericInternalErr);
    EXPECT_NE(std::string(e->getMessage()).find("1 + 1 == 3"), std::string::npos);
    delete e;
  }
}

}  // namespace
