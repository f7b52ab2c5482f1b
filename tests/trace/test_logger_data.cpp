// Log records: pairs in order, independent copies, values released on
// every path.
#include "tests/trace/TraceTestSupport.h"

namespace trace_test {
namespace {

class LoggerDataTest : public DebugFixture {};

TEST_F(LoggerDataTest, PairsKeepTheirOrderAndKinds) {
  LoggerData record;
  EXPECT_EQ(record.GetAction(), "");
  record.AddNameValuePair("FormatStr", std::string("%s"));
  record.AddNameValuePair("Action", "act");
  record.AddNameValuePair("D", 2.5);
  record.AddNameValuePair("I", -3);
  record.AddNameValuePair("U", uint64_t(7));
  record.AddNameValuePair("Data", DesData(4.0));
  record.AddNameValuePair("Cell", hvCreateCellMatrix(1, 2));
  Pairs seen;
  for (const LoggerData::Pair& p : record.GetData()) seen.emplace_back(p.first, Text(p.second));
  EXPECT_EQ(seen, (Pairs{{"FormatStr", "%s"}, {"Action", "act"}, {"D", "2.5"}, {"I", "-3"},
                         {"U", "7"}, {"Data", "4"}, {"Cell", "<cell 1x2>"}}));
  EXPECT_EQ(record.GetAction(), "act") << "the first pair called Action, wherever it stands";
}

// A copy, made either way, owns arrays of its own: printing (which takes
// the values) or destroying one record leaves the other readable, and no
// array is destroyed twice.
TEST_F(LoggerDataTest, CopiesAreIndependent) {
  const std::size_t before = host::liveArrays();
  {
    LoggerData original;
    original.AddNameValuePair("Action", "first");
    original.AddNameValuePair("Time", 1.0);
    LoggerData assigned;
    assigned.AddNameValuePair("Action", "old");
    assigned = original;
    LoggerData constructed(original);
    EXPECT_NE(assigned.GetData()[0].second, original.GetData()[0].second);
    EXPECT_NE(constructed.GetData()[0].second, original.GetData()[0].second);

    _Logger<5> logger(engine);  // any logger: DoPrintLog is the framework's
    LogConditionManager print{&logger, state, false, false, true};
    logger.DoPrintLog(original, &print);
    EXPECT_EQ(rendered.size(), 1u);
    EXPECT_EQ(assigned.GetAction(), "first");
    EXPECT_EQ(Text(assigned.GetData()[1].second), "1");
    logger.DoPrintLog(assigned, &print);
    EXPECT_EQ(constructed.GetAction(), "first");
  }
  EXPECT_EQ(host::liveArrays(), before);
}

// A record that never reaches DoPrintLog releases its values itself.
TEST_F(LoggerDataTest, UnprintedRecordsReleaseTheirValues) {
  const std::size_t before = host::liveArrays();
  {
    LoggerData record;
    record.AddNameValuePair("Action", "kept");
    record.AddNameValuePair("Cell", hvCreateCellMatrix(2, 2));
    LoggerData copy(record);
    copy = record;
  }
  EXPECT_EQ(host::liveArrays(), before);
}

TEST_F(LoggerDataTest, PrintLogSendsCopiesAndKeepsTheRecord) {
  LoggerData record;
  record.AddNameValuePair("Action", "shown");
  record.AddNameValuePair("N", 3.0);
  record.PrintLog();
  record.PrintLog();
  ASSERT_EQ(rendered.size(), 2u);
  EXPECT_EQ(rendered[1].pairs, (Pairs{{"Action", "shown"}, {"N", "3"}}));
  LoggerData empty;
  empty.PrintLog();
  EXPECT_EQ(rendered.size(), 2u) << "an empty record is not sent";
}

// Without memory for a value the record is left as it was.
TEST_F(LoggerDataTest, AValueTheHostCannotMakeIsRefused) {
  LoggerData record;
  record.AddNameValuePair("Action", "a");
  host::failArrayCreationsFrom(1);
  uint32_t code = 0;
  try {
    record.AddNameValuePair("Data", DesData(1.0));
  } catch (ErrExcept* e) {
    code = e->getErrCode();
    delete e;
  }
  host::failArrayCreationsFrom(0);
  EXPECT_EQ(code, static_cast<uint32_t>(DES_MemoryAllocErr));
  EXPECT_EQ(record.GetData().size(), 1u);
}

}  // namespace
}  // namespace trace_test
