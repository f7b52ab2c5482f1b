// Entity timers on their own (the entity tests start, read and reset them):
// the already-started warning, copies, timers that cannot reach a clock.
#include "entity/RCPtr.h"
#include "kernel/TimerData.h"
#include "tests/kernel/TimeoutTestSupport.h"

namespace {

class TimerTest : public TimeoutEngineTest {};

}  // namespace

TEST_F(TimerTest, AlreadyStartedIsAWarningThatChangesNothing) {
  RCPtr<TimerData> t = new TimerData("busy");
  t->SetTimer(3.0, queue);
  t->ProcessError(server, "busy");
  const std::vector<host::Warning>& w = host::warnings();
  ASSERT_EQ(w.size(), 1u);
  EXPECT_EQ(w[0].prefix + w[0].message,
            "Tarnwell:Warning in 'model/Server' block. Timer with tag 'busy' is already started. "
            "Select restart timer option to restart this timer.");
  EXPECT_EQ(w[0].code, DES_TimerAlreadyStarted);
  ASSERT_GE(w[0].args.size(), 2u);
  EXPECT_EQ(w[0].args[0] + "|" + w[0].args[1], "model/Server|busy");
  EXPECT_TRUE(t->GetIsSet() && !t->GetIsWarned());
  EXPECT_EQ(t->GetStartTime(), 3.0);
  EXPECT_EQ(t->GetBlock(), queue);
}

// Copies take name, flag, start and block; the warned flag and the
// reference count stay the target's own (a clone's are fresh).
TEST_F(TimerTest, CopiesAssignmentAndClones) {
  RCPtr<TimerData> source = new TimerData("src");
  source->SetTimer(2.0, queue);
  source->SetIsWarned(true);
  TimerData constructed(*source);
  EXPECT_TRUE(!constructed.GetIsWarned() && constructed.GetRefCount() == 0);
  RCPtr<TimerData> target = new TimerData("dst");
  RCPtr<TimerData> secondHolder = target;
  target->SetTimer(7.0, server);
  target->ResetTimer(0.0);
  *target = *source;
  EXPECT_EQ(target->GetName(), "src");
  EXPECT_TRUE(target->GetIsSet() && !target->GetIsWarned());
  EXPECT_EQ(target->GetStartTime(), 2.0);
  EXPECT_EQ(target->GetBlock(), queue);
  EXPECT_EQ(target->GetRefCount(), 2);
  // copy() is the same through a pointer; a null source changes nothing.
  source->ResetTimer(0.0);
  target->copy(source.get());
  target->copy(nullptr);
  EXPECT_TRUE(!target->GetIsSet() && target->GetName() == "src");
  RCPtr<TimerData> clone = source->clone();
  EXPECT_TRUE(clone.get() != source.get() && clone->GetRefCount() == 1 && !clone->GetIsWarned());
}

// A timer never started has no block to reach a clock through.
TEST_F(TimerTest, ReadingWithoutAClockIsAnErrorNotACrash) {
  RCPtr<TimerData> t = new TimerData("never");
  ThrownError thrown = CatchError([&] { t->GetLapsedTime(); });
  EXPECT_EQ(thrown.code, DES_GenericInternalErr);
  EXPECT_EQ(thrown.args, std::vector<std::string>{"timer 'never' was read before it was ever started"});
  t->SetIsSet(true);
  EXPECT_EQ(ErrorCode([&] { t->GetLapsedTimeAndReset(0.0); }), DES_GenericInternalErr);
  EXPECT_TRUE(t->GetIsSet());
}
