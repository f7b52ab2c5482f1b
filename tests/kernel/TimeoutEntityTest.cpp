// The entity's timeouts (by tag, filing, copies, output) and timers on their own.
#include <memory>

#include "entity/RCPtr.h"
#include "kernel/TimerData.h"
#include "tests/kernel/TimeoutTestSupport.h"

namespace {

class TimeoutEntity : public TimeoutEngineTest {
 protected:
  void SetUp() override {
    TimeoutEngineTest::SetUp();
    carrier = Hold(queue);
    entity = carrier->GetEntity();
  }
  TimeoutData* Create(const char* tag, double t, int opt = 1) {
    return entity->CreateTimeout(tag, t, 0, queue, carrier, opt);
  }
  DesEvent* carrier = nullptr;
  DesEntity* entity = nullptr;
};
INSTANTIATE_TEST_SUITE_P(AllCalendars, TimeoutEntity, AllSetups(), SetupName);

// A tag names one timeout: refused again while scheduled, otherwise rearmed.
TEST_P(TimeoutEntity, CreateFindAndRecreateByTag) {
  const std::string nextId = "ev" + std::to_string(DesEvent::next_id);
  TimeoutData* td = entity->CreateTimeout("t", 4.0, 2, queue, carrier, 2);
  EXPECT_TRUE(td->GetEventId() == nextId && td->GetEventPtrWithParentEntity() == carrier);
  EXPECT_TRUE(entity->FindTimeout(server, "t", true) == td && NothingScheduled());
  EXPECT_EQ(entity->FindTimeout(queue, "none", false), nullptr);
  EXPECT_EQ(Described(CatchError([&] { entity->FindTimeout(queue, "none", true); })),
            std::to_string(DES_TimeoutTagNotFound) + "|Error|model/Queue|none|queue");

  engine.ProcessTimeoutDataAddition(td);
  const uint32_t number = td->GetInstanceCount();
  EXPECT_EQ(Described(CatchError([&] { entity->CreateTimeout("t", 1.0, 0, server, carrier, 1); })),
            std::to_string(DES_TimeoutAlreadyScheduled) + "|Error|model/Server|t|server");
  EXPECT_EQ(WarningOf([&] { TimeoutData::ProcessTimeoutAlreadyScheduledWarning(server, "t"); }),
            "Warning in 'model/Server' block. Timeout with tag 't' is already "
            "scheduled. To reschedule timeout events, select the rescheduling option.");
  EXPECT_TRUE(host::warnings().size() == 1 && host::warnings()[0].prefix == "Tarnwell:" &&
              host::warnings()[0].code == DES_TimeoutAlreadyScheduled);
  EXPECT_TRUE(td->GetTimeOfTimeoutEvent() == 4.0 && entity->GetTimeoutSet().size() == 1u);  // unchanged
  engine.ProcessTimeoutDataRemoval(td);
  EXPECT_EQ(entity->CreateTimeout("t", 6.0, 1, server, carrier, 2), td);
  EXPECT_TRUE(!td->IsCancelled() && td->GetTimeOfTimeoutEvent() == 6.0 && td->GetScheduleTimeoutBlk() == server);
  EXPECT_TRUE(td->GetInstanceCount() > number && !td->GetEventId().empty() && entity->GetTimeoutSet().size() == 1u);
  engine.ProcessTimeoutDataAddition(td);
  // Destroying the entity takes the rearmed timeout off the calendar.
  Drop(carrier);
  EXPECT_TRUE(NothingScheduled());
}

// Filing and removing all of an entity's timeouts; each needs its scheduling block's engine.
TEST_P(TimeoutEntity, AllScheduledTimeoutsAreFiledAndRemovedTogether) {
  TimeoutData* a = Create("a", 2.0);
  TimeoutData* b = Create("b", 1.0);
  Create("off", 0.5)->ResetTimeoutData();
  entity->AddAllTimeoutsToTimeoutCollection();
  EXPECT_EQ(engine.GetDesNextTime(0.0), 1.0);
  entity->RemoveAllTimeoutsFromTimeoutCollection();
  EXPECT_TRUE(!a->IsCancelled() && !b->IsCancelled() && NothingScheduled());  // they keep their schedule
  // A timeout that knows no engine stops both before anything is filed.
  TimeoutData* c = Create("c", 3.0);
  TimeoutData* d = Create("d", 4.0);
  EXPECT_EQ(d->GetTimeoutDesInstance(), &engine);
  DetachedBlock orphan;
  const unsigned long before = TimeoutData::next_instanceCount;
  const std::string invalid = std::to_string(DES_GenericInternalErr) + "|invalid des pointer";
  EXPECT_EQ(Described(CatchError([&] { delete new TimeoutData("t", 1.0, 0, carrier, &orphan, 1); })), invalid);
  EXPECT_EQ(TimeoutData::next_instanceCount, before);
  std::unique_ptr<TimeoutData> loose(new TimeoutData("x", 1.0, 0, nullptr, nullptr, 1));
  EXPECT_TRUE(loose->IsCancelled() && ErrorCode([&] { loose->GetResidualTime(); }) == DES_GenericInternalErr);
  EXPECT_EQ(ErrorCode([&] { loose->clone(); }), DES_GenericInternalErr);
  static_cast<NodeInterface&>(*d) = orphan;  // d forgets its engine
  EXPECT_EQ(Described(CatchError([&] { entity->AddAllTimeoutsToTimeoutCollection(); })), invalid);
  EXPECT_TRUE(NothingScheduled());
  EXPECT_EQ(ErrorCode([&] { entity->RemoveAllTimeoutsFromTimeoutCollection(); }), DES_GenericInternalErr);
  c->ResetTimeoutData();
  d->ResetTimeoutData();
}

// Removing all of an entity's timeouts and adding them all back restores
// every one with its deadline, priority and event id, with both calendar
// arrangements; out of the collection they keep their schedule but fire not.
TEST_P(TimeoutEntity, RemovingAndAddingAllTimeoutsRestoresEveryOne) {
  const std::vector<std::pair<const char*, double>> deadlines = {{"a", 3.0}, {"b", 1.0}, {"c", 2.0}, {"d", 4.0}};
  std::vector<TimeoutData*> all;
  std::vector<std::string> ids;
  for (const auto& tagAndTime : deadlines) {
    all.push_back(Schedule(carrier, tagAndTime.first, tagAndTime.second, 2));
    ids.push_back(all.back()->GetEventId());
  }
  Create("off", 0.5)->ResetTimeoutData();
  for (int round = 0; round < 2; ++round) {
    entity->RemoveAllTimeoutsFromTimeoutCollection();
    EXPECT_TRUE(NothingScheduled());
    for (std::size_t i = 0; i < all.size(); ++i) {
      EXPECT_FALSE(all[i]->IsCancelled()) << all[i]->GetTag();
      EXPECT_TRUE(all[i]->GetTimeOfTimeoutEvent() == deadlines[i].second &&
                  all[i]->GetPriorityOfTimeoutEvent() == 2 && all[i]->GetEventId() == ids[i] &&
                  all[i]->GetTimeoutEventPtr() == nullptr)
          << all[i]->GetTag();
    }
    Run(1.5);
    EXPECT_TRUE(queue->fired.empty());
    entity->AddAllTimeoutsToTimeoutCollection();
    EXPECT_EQ(engine.GetDesNextTime(0.0), 1.0);
  }
  EXPECT_TRUE(entity->FindTimeout(queue, "off", true)->IsCancelled());
  for (double t : {1.0, 2.0, 3.0, 4.0}) Run(t);
  EXPECT_EQ(queue->fired, (std::vector<std::string>{"b", "c", "a", "d"}));
  EXPECT_TRUE(NothingScheduled());
}

TEST_P(TimeoutEntity, ACopiedEntityDescribesTheScheduleWithoutFilingIt) {
  Schedule(carrier, "a", 2.0, 3);
  Create("b", 5.0, 2)->ResetTimeoutData();
  DesEntity* copy = (*carriers.insert(carrier->clone()).first)->GetEntity();
  delete carrier->clone();  // destroying an unfiled copy leaves the original scheduled
  EXPECT_EQ(engine.GetDesNextTime(0.0), 2.0);
  TimeoutData* ca = copy->FindTimeout(queue, "a", true);
  EXPECT_TRUE(ca->GetTimeOfTimeoutEvent() == 2.0 && ca->GetPriorityOfTimeoutEvent() == 3);
  EXPECT_NE(copy->FindTimeout(queue, "b", false), nullptr);
  EXPECT_TRUE(ca->GetEventPtrWithParentEntity() == nullptr && ca->GetTimeoutEventPtr() == nullptr);
}

// Inserting copies skips the target's tags; copying over matches by tag, unscheduling first.
TEST_P(TimeoutEntity, CopiesBetweenEntitiesMatchTimeoutsByTag) {
  Create("a", 1.0);
  Create("c", 3.0);
  DesEntity* into = Hold(queue)->GetEntity();
  TimeoutData* kept = into->CreateTimeout("a", 7.0, 0, queue, into->GetCarrierEvent(), 1);
  into->InsertCopiedTimeoutData(entity, false);
  EXPECT_EQ(into->GetTimeoutSet().size(), 2u);
  EXPECT_TRUE(into->FindTimeout(queue, "a", true) == kept && kept->GetTimeOfTimeoutEvent() == 7.0);
  EXPECT_EQ(into->FindTimeout(queue, "c", true)->GetTimeOfTimeoutEvent(), 3.0);

  DesEvent* target = Hold(queue);
  DesEntity* to = target->GetEntity();
  TimeoutData* mineA = Schedule(target, "a", 9.0);
  Schedule(target, "b", 8.0);
  to->CopyTimeoutData(entity, false);
  EXPECT_TRUE(to->FindTimeout(queue, "a", true) == mineA && mineA->GetTimeOfTimeoutEvent() == 1.0);
  EXPECT_EQ(to->FindTimeout(queue, "b", false), nullptr);
  EXPECT_EQ(to->FindTimeout(queue, "c", true)->GetTimeOfTimeoutEvent(), 3.0);
  EXPECT_TRUE(NothingScheduled());
}

// Scheduled timeouts only, as rows of tag, deadline and event id.
TEST_P(TimeoutEntity, OutputListsTheScheduledTimeoutsFirst) {
  TimeoutData* a = Create("a", 1.5);
  Create("b", 2.5)->ResetTimeoutData();
  TimeoutData* c = Create("c", 3.5);
  hvArray* out = entity->GetTimeoutDataAsHvArray();
  ASSERT_TRUE(hvGetM(out) == 3u && hvGetN(out) == 3u);
  std::vector<std::string> cells;
  for (std::size_t i = 0; i < 9; ++i) {
    hvArray* cell = hvGetCell(out, i);
    char text[64] = "-";
    const bool isText = cell == nullptr || hvGetString(cell, text, sizeof text) == 0;
    cells.push_back(isText ? std::string(text) : ::testing::PrintToString(*hvGetPr(cell)));
  }
  EXPECT_EQ(cells, (std::vector<std::string>{"a", "1.5", a->GetEventId(), "c", "3.5", c->GetEventId(), "-", "-", "-"}));
  hvDestroyArray(out);
}

// Timer warning, assignment and a read before start (use with entities: tests/entity).
TEST_F(TimeoutEngineTest, TimerWarningAssignmentAndReadBeforeStart) {
  auto state = [&](TimerData* x) {
    return x->GetName() + (x->GetIsSet() ? " set " : " off ") + (x->GetIsWarned() ? "warned " : "") +
           std::to_string(x->GetStartTime()) + (x->GetBlock() == queue ? " queue " : " other ") +
           std::to_string(x->GetRefCount());
  };
  RCPtr<TimerData> t = new TimerData("busy");
  t->SetTimer(3.0, queue);
  t->ProcessError(server, "busy");
  ASSERT_EQ(host::warnings().size(), 1u);
  EXPECT_EQ(host::warnings()[0].prefix + host::warnings()[0].message,
            "Tarnwell:Warning in 'model/Server' block. Timer with tag 'busy' is already started. "
            "Select restart timer option to restart this timer.");
  EXPECT_EQ(host::warnings()[0].code, DES_TimerAlreadyStarted);
  EXPECT_EQ(state(t.get()), "busy set 3.000000 queue 1");
  t->SetIsWarned(true);
  TimerData constructed(*t);
  EXPECT_EQ(state(&constructed), "busy set 3.000000 queue 0");
  RCPtr<TimerData> target = new TimerData("dst"), secondHolder = target;
  target->SetTimer(7.0, server);
  target->ResetTimer(0.0);
  *target = *t;
  EXPECT_EQ(state(target.get()), "busy set 3.000000 queue 2");
  t->ResetTimer(0.0);
  target->copy(t.get());
  target->copy(nullptr);  // changes nothing
  EXPECT_EQ(state(target.get()), "busy off 3.000000 queue 2");
  RCPtr<TimerData> clone = t->clone();
  EXPECT_TRUE(clone.get() != t.get() && clone->GetRefCount() == 1 && !clone->GetIsWarned());

  RCPtr<TimerData> never = new TimerData("never");
  ThrownError thrown = CatchError([&] { never->GetLapsedTime(); });
  EXPECT_EQ(thrown.code, DES_GenericInternalErr);
  EXPECT_EQ(thrown.args, std::vector<std::string>{"timer 'never' was read before it was ever started"});
  never->SetIsSet(true);
  EXPECT_EQ(ErrorCode([&] { never->GetLapsedTimeAndReset(0.0); }), DES_GenericInternalErr);
  EXPECT_TRUE(never->GetIsSet());  // a failed read leaves it running
}

}  // namespace
