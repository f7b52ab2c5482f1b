// Timeouts firing, with separate and combined calendars and both handling
// types: their order, the block that is told, what that block sees, and
// blocks that end the entity's life while they are told.
#include <algorithm>

#include "tests/kernel/TimeoutTestSupport.h"

namespace {

class TimeoutFiring : public TimeoutEngineTest {};

INSTANTIATE_TEST_SUITE_P(AllCalendars, TimeoutFiring, AllSetups(), SetupName);

TEST_P(TimeoutFiring, EarliestDeadlineThenSmallerPriorityNumberEachAtItsDeadline) {
  Schedule(Hold(queue), "c", 3.0);
  Schedule(Hold(queue), "p5", 2.0, 5);
  Schedule(Hold(queue), "a", 1.0);
  Schedule(Hold(queue), "p1", 2.0, 1);
  EXPECT_EQ(Run(1.0), 2.0);
  EXPECT_EQ(Run(2.0), 3.0);
  EXPECT_EQ(Run(3.0), std::numeric_limits<double>::infinity());
  EXPECT_EQ(queue->Tags(), (std::vector<std::string>{"a", "p1", "p5", "c"}));
  ASSERT_EQ(queue->fired.size(), 4u);
  EXPECT_EQ(queue->fired[0].time, 1.0);
  EXPECT_EQ(queue->fired[3].time, 3.0);
  EXPECT_TRUE(NothingScheduled());
}

TEST_P(TimeoutFiring, CreationOrderBreaksTiesUnlessTheEventCalendarDraws) {
  // The timeout calendar orders ties by creation. With combined calendars
  // the ties are events of equal time and priority, and a randomising
  // event calendar draws among those.
  std::vector<std::string> made;
  for (int i = 0; i < 8; ++i) {
    made.push_back("t" + std::to_string(i));
    Schedule(Hold(queue), made.back().c_str(), 4.0, 2);
  }
  Run(4.0);
  std::vector<std::string> fired = queue->Tags();
  if (Combined() && Randomized()) std::sort(fired.begin(), fired.end());
  EXPECT_EQ(fired, made);
}

TEST_P(TimeoutFiring, TheBlockHoldingTheEntityWhenItFiresIsTold) {
  DesEvent* atQueue = Hold(queue);
  DesEntity* entity = atQueue->GetEntity();
  Schedule(atQueue, "wait", 5.0);
  Run(1.0);
  // The entity moves on to the server on another event.
  DesEvent* atServer = new DesEvent(1.0, 0, server, atQueue->ReleaseEntity());
  carriers.insert(atServer);
  entity->SetTimeoutParentEvent(atServer);
  Run(5.0);
  EXPECT_TRUE(queue->fired.empty());
  ASSERT_EQ(server->fired.size(), 1u);
  EXPECT_EQ(server->fired[0].parentEvent, atServer);
  EXPECT_EQ(server->fired[0].entityId, entity->GetId());
  EXPECT_EQ(server->fired[0].time, 5.0);
}

TEST_P(TimeoutFiring, WhileTheBlockIsToldTheTimeoutReadsCancelledAndIdle) {
  DesEvent* carrier = Hold(queue);
  TimeoutData* td = Schedule(carrier, "renege", 2.0, 7);
  Run(2.0);
  ASSERT_EQ(queue->fired.size(), 1u);
  const Fired& f = queue->fired[0];
  EXPECT_EQ(f.tag, "renege");
  EXPECT_TRUE(f.cancelled);
  EXPECT_FALSE(f.executing);
  EXPECT_EQ(f.priority, TimeoutData::kResetPriority);
  EXPECT_FALSE(f.hasTimeoutEvent);
  EXPECT_TRUE(f.stillInEntity);
  // Afterwards it is the entity's, reset, and can be cancelled harmlessly.
  EXPECT_EQ(carrier->GetEntity()->FindTimeout(queue, "renege", true), td);
  engine.ProcessTimeoutDataRemoval(td);
  EXPECT_TRUE(NothingScheduled());
}

TEST_P(TimeoutFiring, TheBlockMayDestroyTheEntityWithItsOtherTimeouts) {
  DesEvent* doomed = Hold(queue);
  Schedule(doomed, "first", 1.0);
  Schedule(doomed, "later", 1.0, 3);
  Schedule(doomed, "much later", 8.0);
  Schedule(Hold(queue), "bystander", 1.0, 5);
  queue->onTimeout = [&](DesEvent* e, TimeoutData*) {
    if (e == doomed) Drop(doomed);  // destroys the entity and its timeouts
    return true;
  };
  Run(1.0);
  Run(8.0);
  EXPECT_EQ(queue->Tags(), (std::vector<std::string>{"first", "bystander"}));
  EXPECT_TRUE(NothingScheduled());
}

TEST_P(TimeoutFiring, TheBlockMayHandTheEntityToAnEventThatIsDestroyedAtOnce) {
  DesEvent* carrier = Hold(queue);
  Schedule(carrier, "out", 2.0);
  Schedule(carrier, "other", 6.0);
  queue->onTimeout = [&](DesEvent* e, TimeoutData*) {
    DesEvent* departure = new DesEvent(2.0, 0, server, e->ReleaseEntity());
    Drop(e);
    delete departure;
    return true;
  };
  Run(2.0);
  EXPECT_EQ(Run(6.0), std::numeric_limits<double>::infinity());
  EXPECT_EQ(queue->Tags(), std::vector<std::string>{"out"});
  EXPECT_TRUE(server->fired.empty());
}

TEST_P(TimeoutFiring, ABlockThatCannotReleaseTheEntityReportsByOption) {
  queue->onTimeout = [&](DesEvent*, TimeoutData* td) {
    td->ProcessTimedoutEntityNoDest(queue);
    return false;
  };
  Schedule(Hold(queue), "warn", 1.0, 0, 2);
  Schedule(Hold(queue), "quiet", 2.0, 0, 0);
  Schedule(Hold(queue), "error", 3.0, 0, 1);
  Schedule(Hold(queue), "after", 4.0, 0, 1);
  host::clearWarnings();
  Run(1.0);
  Run(2.0);
  EXPECT_EQ(host::warnings().size(), 1u);
  ThrownError t = CatchError([&] { Run(3.0); });
  EXPECT_EQ(t.code, static_cast<uint32_t>(DES_StorageBlock_TO_port_DISABLED));
  EXPECT_EQ(t.args, (std::vector<std::string>{"Error", "model/Queue", "error"}));
  // The error left the calendars in order: the next timeout still fires.
  queue->onTimeout = nullptr;
  Run(4.0);
  EXPECT_EQ(queue->Tags(), (std::vector<std::string>{"warn", "quiet", "error", "after"}));
  EXPECT_TRUE(NothingScheduled());
}

TEST_P(TimeoutFiring, TimeoutsMixWithOrdinaryEventsInTimeOrder) {
  RecordingBlock other(&engine);
  std::vector<std::string> order;
  other.onEvent = [&](DesEvent*) { order.push_back("event"); };
  queue->onTimeout = [&](DesEvent*, TimeoutData* td) {
    order.push_back(td->GetTag());
    return true;
  };
  DesEvent* e1 = new DesEvent(1.5, 0, &other, nullptr);
  engine.AddEvt(e1);
  Schedule(Hold(queue), "one", 1.0);
  Schedule(Hold(queue), "two", 2.0);
  Run(1.0);
  Run(1.5);
  Run(2.0);
  EXPECT_EQ(order, (std::vector<std::string>{"one", "event", "two"}));
  delete e1;
}

// A block whose event asks the engine to stop, as the debugger does when
// the user quits.
class StoppingBlock : public NodeInterface {
 public:
  explicit StoppingBlock(Des* engine) { SetDesInstance(engine); }
  MSGRespEvent DoProcessEvent(DesEvent*) override {
    GetDesInstance()->SetStopRequestedByDebugger(true);
    return MSGRespEvent();
  }
};

class TimeoutStop : public TimeoutEngineTest {};
INSTANTIATE_TEST_SUITE_P(AllCalendars, TimeoutStop, AllSetups(), SetupName);

// A stop drops the events due at that time, the timeouts' events among
// them; nothing may point at a dropped event afterwards.
TEST_P(TimeoutStop, ADroppedTimeoutEventIsForgottenByTimeoutAndEngine) {
  StoppingBlock stopper(&engine);
  DesEvent* carrier = Hold(queue);
  TimeoutData* td = Schedule(carrier, "patience", 2.0, 5);
  engine.AddEvt(new DesEvent(2.0, -1, &stopper, nullptr));
  Run(2.0);
  EXPECT_TRUE(queue->fired.empty());
  EXPECT_TRUE(engine.IsEndOfSim());
  EXPECT_EQ(td->GetTimeoutEventPtr(), nullptr);
  EXPECT_EQ(engine.GetCurrentTimeoutEvent(), nullptr);
  // Ending the entity afterwards removes its timeout without touching the
  // dropped event.
  Drop(carrier);
}

}  // namespace
