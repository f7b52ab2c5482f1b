// The timeout itself: the engine it needs, the event it cannot make without
// its entity's, and the errors and warnings it reports.
#include <memory>

#include "tests/kernel/TimeoutTestSupport.h"

namespace {

class TimeoutDataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartTestEngine(engine);
    engine.StartCalendar(0, 0, 0, 0, 1000);
    block = new HoldingBlock(&engine, "model/Schedule Timeout");
    carrier = new DesEvent(0.0, 0, block, engine.GetEntityList()->CloneEntity("DefaultEntity", false));
  }
  void TearDown() override {
    delete carrier;
    delete block;
    StopTestEngine(engine);
  }
  std::unique_ptr<TimeoutData> Make(const char* tag, double t, int p, DesEvent* parent) {
    return std::unique_ptr<TimeoutData>(new TimeoutData(tag, t, p, parent, block, 1));
  }
  // The single warning raised by f.
  template <class F>
  std::string WarningOf(F&& f) {
    host::clearWarnings();
    f();
    EXPECT_EQ(host::warnings().size(), 1u);
    return host::warnings().empty() ? "" : host::warnings()[0].message;
  }

  Des engine;
  HoldingBlock* block = nullptr;
  DesEvent* carrier = nullptr;
};

// The timeout takes its engine from the scheduling block; without one it
// refuses to be made (drawing no number) or to ask for the time.
TEST_F(TimeoutDataTest, ItNeedsTheEngineOfASchedulingBlock) {
  EXPECT_EQ(Make("t", 5.0, 2, carrier)->GetTimeoutDesInstance(), &engine);
  DetachedBlock orphan;
  const unsigned long before = TimeoutData::next_instanceCount;
  ThrownError t = CatchError([&] { delete new TimeoutData("t", 1.0, 0, carrier, &orphan, 1); });
  EXPECT_EQ(t.code, DES_GenericInternalErr);
  EXPECT_EQ(t.args, std::vector<std::string>{"invalid des pointer"});
  EXPECT_EQ(TimeoutData::next_instanceCount, before);
  std::unique_ptr<TimeoutData> loose(new TimeoutData("x", 1.0, 0, nullptr, nullptr, 1));
  EXPECT_TRUE(loose->IsCancelled());
  EXPECT_EQ(ErrorCode([&] { loose->GetResidualTime(); }), DES_GenericInternalErr);
  EXPECT_EQ(ErrorCode([&] { loose->clone(); }), DES_GenericInternalErr);
}

TEST_F(TimeoutDataTest, WithoutTheEventCarryingItsEntityItCannotMakeOrRetargetAnEvent) {
  std::unique_ptr<TimeoutData> td = Make("lost", 5.0, 0, nullptr);
  ThrownError t = CatchError([&] { td->CreateTimeoutDesEvent(); });
  EXPECT_EQ(t.code, DES_GenericInternalErr);
  ASSERT_EQ(t.args.size(), 1u);
  EXPECT_NE(t.args[0].find("'lost'"), std::string::npos);
  std::unique_ptr<DesEvent> e(DesEvent::NewTemporaryEvent(1.0, 2, block, nullptr));
  EXPECT_EQ(ErrorCode([&] { td->SetupCurrentTimeoutEventFromTimeoutData(e.get()); }), DES_GenericInternalErr);
  EXPECT_EQ(e->GetTime(), 1.0);
  EXPECT_EQ(e->GetDstObj(), block);
  EXPECT_EQ(td->GetTimeoutEventPtr(), nullptr);
}

TEST_F(TimeoutDataTest, ErrorsAndWarningsNameBlockAndTag) {
  ThrownError t = CatchError([&] { TimeoutData::ProcessTimeoutAlreadyScheduledError(block, "t1"); });
  EXPECT_EQ(t.code, DES_TimeoutAlreadyScheduled);
  EXPECT_EQ(t.args, (std::vector<std::string>{"Error", "model/Schedule Timeout", "t1"}));
  EXPECT_EQ(t.object, block);
  EXPECT_EQ(WarningOf([&] { TimeoutData::ProcessTimeoutAlreadyScheduledWarning(block, "t1"); }),
            "Warning in 'model/Schedule Timeout' block. Timeout with tag 't1' is already "
            "scheduled. To reschedule timeout events, select the rescheduling option.");
  ASSERT_FALSE(host::warnings().empty());
  EXPECT_EQ(host::warnings()[0].prefix, "Tarnwell:");
  EXPECT_EQ(host::warnings()[0].code, DES_TimeoutAlreadyScheduled);

  // No destination: an error, a warning or nothing, by option.
  HoldingBlock server(&engine, "model/Server");
  std::unique_ptr<TimeoutData> td = Make("t", 1.0, 0, carrier);
  t = CatchError([&] { td->ProcessTimedoutEntityNoDest(&server); });
  EXPECT_EQ(t.code, DES_StorageBlock_TO_port_DISABLED);
  EXPECT_EQ(t.args, (std::vector<std::string>{"Error", "model/Server", "t"}));
  EXPECT_EQ(t.object, &server);
  td->SetTimedOutEntityHasNoDestinationOpt(2);
  EXPECT_EQ(WarningOf([&] { td->ProcessTimedoutEntityNoDest(&server); }),
            "Warning in 'model/Server' block: An entity has timed out but this block is not "
            "configured to support timeouts. Enable the TO port on this block so the timed-out "
            "entity can depart.");
  host::clearWarnings();
  td->SetTimedOutEntityHasNoDestinationOpt(0);
  td->ProcessTimedoutEntityNoDest(&server);
  EXPECT_TRUE(host::warnings().empty());
}

}  // namespace
