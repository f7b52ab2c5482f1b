// The timeout itself: the engine it needs, the event it cannot make without
// its entity's, and the errors and warnings it reports.
#include <memory>

#include "tests/kernel/TimeoutTestSupport.h"

namespace {

class TimeoutDataTest : public TimeoutEngineTest {};

// Without a scheduling block's engine a timeout is not made (no number drawn).
TEST_F(TimeoutDataTest, ItNeedsTheEngineOfASchedulingBlock) {
  DesEvent* carrier = Hold(queue);
  EXPECT_EQ(carrier->GetEntity()->CreateTimeout("t", 5.0, 2, queue, carrier, 1)->GetTimeoutDesInstance(), &engine);
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
  std::unique_ptr<TimeoutData> td(new TimeoutData("lost", 5.0, 0, nullptr, queue, 1));
  ThrownError t = CatchError([&] { td->CreateTimeoutDesEvent(); });
  EXPECT_EQ(t.code, DES_GenericInternalErr);
  ASSERT_EQ(t.args.size(), 1u);
  EXPECT_NE(t.args[0].find("'lost'"), std::string::npos);
  std::unique_ptr<DesEvent> e(DesEvent::NewTemporaryEvent(1.0, 2, queue, nullptr));
  EXPECT_EQ(ErrorCode([&] { td->SetupCurrentTimeoutEventFromTimeoutData(e.get()); }), DES_GenericInternalErr);
  EXPECT_TRUE(e->GetTime() == 1.0 && e->GetDstObj() == queue && td->GetTimeoutEventPtr() == nullptr);
}

TEST_F(TimeoutDataTest, AlreadyScheduledIsAnErrorOrAWarningNamingBlockAndTag) {
  ThrownError t = CatchError([&] { TimeoutData::ProcessTimeoutAlreadyScheduledError(queue, "t1"); });
  EXPECT_EQ(t.code, DES_TimeoutAlreadyScheduled);
  EXPECT_EQ(t.args, (std::vector<std::string>{"Error", "model/Queue", "t1"}));
  EXPECT_EQ(t.object, queue);
  EXPECT_EQ(WarningOf([&] { TimeoutData::ProcessTimeoutAlreadyScheduledWarning(queue, "t1"); }),
            "Warning in 'model/Queue' block. Timeout with tag 't1' is already "
            "scheduled. To reschedule timeout events, select the rescheduling option.");
  ASSERT_FALSE(host::warnings().empty());
  EXPECT_EQ(host::warnings()[0].prefix, "Tarnwell:");
  EXPECT_EQ(host::warnings()[0].code, DES_TimeoutAlreadyScheduled);
}

}  // namespace
