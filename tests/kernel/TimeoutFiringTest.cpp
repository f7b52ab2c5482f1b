// Timeouts firing in every set-up: order, the block told and what it sees and does.
#include <algorithm>
#include <memory>

#include "tests/kernel/TimeoutTestSupport.h"

namespace {

class TimeoutFiring : public TimeoutEngineTest {};
INSTANTIATE_TEST_SUITE_P(AllCalendars, TimeoutFiring, AllSetups(), SetupName);

// Deadline, priority, creation, among ordinary events (combined randomised: ties drawn).
TEST_P(TimeoutFiring, DeadlinePriorityAndCreationOrder) {
  RecordingBlock other(&engine);
  std::vector<std::string> order;
  other.onEvent = [&](DesEvent*) { order.push_back("event"); };
  queue->onTimeout = [&](DesEvent*, TimeoutData* td) { return order.push_back(td->GetTag()), true; };
  std::unique_ptr<DesEvent> ordinary(new DesEvent(1.5, 0, &other, nullptr));
  engine.AddEvt(ordinary.get());
  Schedule(Hold(queue), "c", 3.0);
  Schedule(Hold(queue), "p5", 2.0, 5);
  Schedule(Hold(queue), "a", 1.0);
  Schedule(Hold(queue), "p1", 2.0, 1);
  for (const auto& step : {std::make_pair(1.0, 1.5), {1.5, 2.0}, {2.0, 3.0}, {3.0, kNever}})
    EXPECT_EQ(Run(step.first), step.second);  // each step returns the next time
  EXPECT_EQ(order, (std::vector<std::string>{"a", "event", "p1", "p5", "c"}));

  const std::vector<std::string> made = {"t0", "t1", "t2", "t3", "t4", "t5", "t6", "t7"};
  for (const std::string& tag : made) Schedule(Hold(queue), tag.c_str(), 4.0, 2);
  Run(4.0);
  std::vector<std::string> fired(order.begin() + 5, order.end());
  if (Combined() && Randomized()) std::sort(fired.begin(), fired.end());
  EXPECT_EQ(fired, made);
  EXPECT_TRUE(NothingScheduled());
}

// The block holding the entity is told, and sees the timeout reset.
TEST_P(TimeoutFiring, WhatTheBlockHoldingTheEntityIsTold) {
  DesEvent* atQueue = Hold(queue);
  DesEntity* entity = atQueue->GetEntity();
  TimeoutData* td = Schedule(atQueue, "renege", 5.0, 7);
  Run(1.0);
  DesEvent* atServer = *carriers.insert(new DesEvent(1.0, 0, server, atQueue->ReleaseEntity())).first;
  entity->SetTimeoutParentEvent(atServer);
  server->onTimeout = [&](DesEvent* e, TimeoutData* fired) {
    EXPECT_TRUE(e == atServer && fired == td && engine.GetTimeNow() == 5.0);
    EXPECT_TRUE(td->IsCancelled() && !td->IsExecuting() && td->GetTimeoutEventPtr() == nullptr);
    EXPECT_EQ(td->GetPriorityOfTimeoutEvent(), TimeoutData::kResetPriority);
    EXPECT_EQ(entity->FindTimeout(server, "renege", false), td);
    return true;
  };
  Run(5.0);
  EXPECT_TRUE(queue->fired.empty() && server->firedEntities == std::vector<std::string>{entity->GetId()});
  EXPECT_EQ(entity->FindTimeout(queue, "renege", true), td);
  engine.ProcessTimeoutDataRemoval(td);
  EXPECT_TRUE(NothingScheduled());
}

// The block may destroy the entity, or hand it to an event destroyed at once.
TEST_P(TimeoutFiring, TheBlockMayEndTheEntitysLife) {
  DesEvent* doomed = Hold(queue);
  Schedule(doomed, "first", 1.0);
  Schedule(doomed, "later", 1.0, 3);
  Schedule(doomed, "much later", 8.0);
  Schedule(Hold(queue), "bystander", 1.0, 5);
  DesEvent* handed = Hold(queue);
  Schedule(handed, "out", 2.0);
  Schedule(handed, "other", 6.0);
  queue->onTimeout = [&](DesEvent* e, TimeoutData*) {
    if (e == doomed) Drop(doomed);  // destroys the entity and its timeouts
    if (e != handed) return true;
    DesEvent* departure = new DesEvent(2.0, 0, server, e->ReleaseEntity());
    Drop(e);
    delete departure;
    return true;
  };
  Run(1.0);
  Run(2.0);
  EXPECT_EQ(Run(8.0), kNever);
  EXPECT_EQ(queue->fired, (std::vector<std::string>{"first", "bystander", "out"}));
  EXPECT_TRUE(server->fired.empty() && NothingScheduled());
}

// A block that cannot release the entity reports by the timeout's option.
TEST_P(TimeoutFiring, ABlockThatCannotReleaseTheEntityReportsByOption) {
  queue->onTimeout = [&](DesEvent*, TimeoutData* td) {
    td->ProcessTimedoutEntityNoDest(server);
    return false;
  };
  Schedule(Hold(queue), "warn", 1.0, 0, 2);
  Schedule(Hold(queue), "quiet", 2.0, 0, 0);
  Schedule(Hold(queue), "error", 3.0, 0, 1);
  Schedule(Hold(queue), "after", 4.0, 0, 1);
  EXPECT_EQ(WarningOf([&] { Run(1.0); Run(2.0); }),
            "Warning in 'model/Server' block: An entity has timed out but this block is not "
            "configured to support timeouts. Enable the TO port on this block so the timed-out "
            "entity can depart.");
  EXPECT_EQ(Described(CatchError([&] { Run(3.0); })),
            std::to_string(DES_StorageBlock_TO_port_DISABLED) + "|Error|model/Server|error|server");
  // The error left the calendars in order: the next timeout still fires.
  queue->onTimeout = nullptr;
  Run(4.0);
  EXPECT_EQ(queue->fired, (std::vector<std::string>{"warn", "quiet", "error", "after"}));
  EXPECT_TRUE(NothingScheduled());
}

// A stop drops due events; nothing may point at a dropped timeout event afterwards.
TEST_P(TimeoutFiring, ADroppedTimeoutEventIsForgottenByTimeoutAndEngine) {
  RecordingBlock stopper(&engine);
  stopper.onEvent = [&](DesEvent*) { engine.SetStopRequestedByDebugger(true); };
  DesEvent* carrier = Hold(queue);
  TimeoutData* td = Schedule(carrier, "patience", 2.0, 5);
  engine.AddEvt(new DesEvent(2.0, -1, &stopper, nullptr));
  Run(2.0);
  EXPECT_TRUE(queue->fired.empty() && engine.IsEndOfSim());
  EXPECT_TRUE(td->GetTimeoutEventPtr() == nullptr && engine.GetCurrentTimeoutEvent() == nullptr);
  Drop(carrier);
}

}  // namespace
