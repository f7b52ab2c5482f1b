// The entity's timeout operations: creating under a tag (a tag only ever
// names one timeout, which the entity owns), finding, following the
// entity's carrier events, filing all at once, copies, and the host
// output.
#include "tests/kernel/TimeoutTestSupport.h"

namespace {

class TimeoutEntity : public TimeoutEngineTest {};
INSTANTIATE_TEST_SUITE_P(AllCalendars, TimeoutEntity, AllSetups(), SetupName);

// A new timeout is filed under its tag with the next event id, but reaches
// no calendar until the block hands it to the engine; a missing tag is an
// error only when asked.
TEST_P(TimeoutEntity, CreateAndFindByTag) {
  DesEvent* carrier = Hold(queue);
  DesEntity* entity = carrier->GetEntity();
  const std::string nextId = "ev" + std::to_string(DesEvent::next_id);
  TimeoutData* td = entity->CreateTimeout("t", 4.0, 2, queue, carrier, 2);
  EXPECT_EQ(td->GetEventId(), nextId);
  EXPECT_EQ(td->GetEventPtrWithParentEntity(), carrier);
  EXPECT_EQ(entity->FindTimeout(server, "t", true), td);
  EXPECT_TRUE(NothingScheduled());
  EXPECT_EQ(entity->FindTimeout(queue, "none", false), nullptr);
  ThrownError t = CatchError([&] { entity->FindTimeout(queue, "none", true); });
  EXPECT_EQ(t.code, static_cast<uint32_t>(DES_TimeoutTagNotFound));
  EXPECT_EQ(t.args, (std::vector<std::string>{"Error", "model/Queue", "none"}));
  EXPECT_EQ(t.object, queue);
}

TEST_P(TimeoutEntity, ASecondTimeoutOfATagIsNeverLeftWithoutAnOwner) {
  DesEvent* carrier = Hold(queue);
  DesEntity* entity = carrier->GetEntity();
  TimeoutData* td = Schedule(carrier, "t", 3.0);
  const uint32_t number = td->GetInstanceCount();
  // Still scheduled: refused, nothing changes.
  ThrownError t = CatchError([&] { entity->CreateTimeout("t", 1.0, 0, server, carrier, 1); });
  EXPECT_EQ(t.code, static_cast<uint32_t>(DES_TimeoutAlreadyScheduled));
  EXPECT_EQ(t.args, (std::vector<std::string>{"Error", "model/Server", "t"}));
  EXPECT_EQ(td->GetTimeOfTimeoutEvent(), 3.0);
  EXPECT_EQ(entity->GetTimeoutSet().size(), 1u);
  // Cancelled: the entity's own timeout is rearmed and returned.
  engine.ProcessTimeoutDataRemoval(td);
  EXPECT_EQ(entity->CreateTimeout("t", 6.0, 1, server, carrier, 2), td);
  EXPECT_FALSE(td->IsCancelled());
  EXPECT_EQ(td->GetTimeOfTimeoutEvent(), 6.0);
  EXPECT_EQ(td->GetScheduleTimeoutBlk(), server);
  EXPECT_GT(td->GetInstanceCount(), number);
  EXPECT_FALSE(td->GetEventId().empty());
  EXPECT_EQ(entity->GetTimeoutSet().size(), 1u);
  engine.ProcessTimeoutDataAddition(td);
  // Destroying the entity takes the rearmed timeout off the calendar.
  Drop(carrier);
  EXPECT_TRUE(NothingScheduled());
}

TEST_P(TimeoutEntity, AllScheduledTimeoutsAreFiledAndRemovedTogether) {
  DesEvent* carrier = Hold(queue);
  DesEntity* entity = carrier->GetEntity();
  TimeoutData* a = entity->CreateTimeout("a", 2.0, 0, queue, carrier, 1);
  TimeoutData* b = entity->CreateTimeout("b", 1.0, 0, queue, carrier, 1);
  TimeoutData* off = entity->CreateTimeout("off", 0.5, 0, queue, carrier, 1);
  off->ResetTimeoutData();
  entity->AddAllTimeoutsToTimeoutCollection();
  EXPECT_EQ(engine.GetDesNextTime(0.0), 1.0);
  entity->RemoveAllTimeoutsFromTimeoutCollection();
  EXPECT_TRUE(a->IsCancelled());
  EXPECT_TRUE(b->IsCancelled());
  EXPECT_TRUE(NothingScheduled());
  // A scheduled timeout that knows no engine stops both before anything is
  // filed.
  TimeoutData* c = entity->CreateTimeout("c", 3.0, 0, queue, carrier, 1);
  TimeoutData* d = entity->CreateTimeout("d", 4.0, 0, queue, carrier, 1);
  DetachedBlock orphan;
  static_cast<NodeInterface&>(*d) = orphan;  // d forgets its engine
  ThrownError t = CatchError([&] { entity->AddAllTimeoutsToTimeoutCollection(); });
  EXPECT_EQ(t.code, static_cast<uint32_t>(DES_GenericInternalErr));
  EXPECT_EQ(t.args, std::vector<std::string>{"invalid des pointer"});
  EXPECT_TRUE(NothingScheduled());
  EXPECT_EQ(CatchError([&] { entity->RemoveAllTimeoutsFromTimeoutCollection(); }).code,
            static_cast<uint32_t>(DES_GenericInternalErr));
  c->ResetTimeoutData();
  d->ResetTimeoutData();
}

TEST_P(TimeoutEntity, ACopiedEntityDescribesTheScheduleWithoutFilingIt) {
  DesEvent* carrier = Hold(queue);
  DesEntity* entity = carrier->GetEntity();
  Schedule(carrier, "a", 2.0, 3);
  TimeoutData* b = entity->CreateTimeout("b", 5.0, 0, queue, carrier, 2);
  b->ResetTimeoutData();
  DesEvent* copyCarrier = carrier->clone();
  carriers.insert(copyCarrier);
  DesEntity* copy = copyCarrier->GetEntity();
  ASSERT_NE(copy, entity);
  // Destroying an unfiled copy leaves the original scheduled.
  delete carrier->clone();
  EXPECT_EQ(engine.GetDesNextTime(0.0), 2.0);
  TimeoutData* ca = copy->FindTimeout(queue, "a", true);
  EXPECT_EQ(ca->GetTimeOfTimeoutEvent(), 2.0);
  EXPECT_EQ(ca->GetPriorityOfTimeoutEvent(), 3);
  EXPECT_EQ(ca->GetEventPtrWithParentEntity(), nullptr);
  EXPECT_EQ(ca->GetTimeoutEventPtr(), nullptr);
  EXPECT_NE(copy->FindTimeout(queue, "b", false), nullptr);
  // Filing the copy's schedule makes it fire on its own.
  copy->SetTimeoutParentEvent(copyCarrier);
  copy->AddAllTimeoutsToTimeoutCollection();
  Run(2.0);
  EXPECT_EQ(queue->Tags(), (std::vector<std::string>{"a", "a"}));
  ASSERT_EQ(queue->fired.size(), 2u);
  EXPECT_NE(queue->fired[0].entityId, queue->fired[1].entityId);
}

// Inserting copies skips tags the target has; copying over matches by tag:
// "a" overwritten in place (off the calendar first), "b" gone, "c" new.
TEST_P(TimeoutEntity, CopiesBetweenEntitiesMatchTimeoutsByTag) {
  DesEvent* source = Hold(queue);
  DesEntity* from = source->GetEntity();
  from->CreateTimeout("a", 1.0, 0, queue, source, 1);
  from->CreateTimeout("c", 3.0, 0, queue, source, 1);
  DesEvent* inserted = Hold(queue);
  DesEntity* into = inserted->GetEntity();
  TimeoutData* kept = into->CreateTimeout("a", 7.0, 0, queue, inserted, 1);
  into->InsertCopiedTimeoutData(from, false);
  EXPECT_EQ(into->GetTimeoutSet().size(), 2u);
  EXPECT_EQ(into->FindTimeout(queue, "a", true), kept);
  EXPECT_EQ(kept->GetTimeOfTimeoutEvent(), 7.0);
  EXPECT_EQ(into->FindTimeout(queue, "c", true)->GetTimeOfTimeoutEvent(), 3.0);

  DesEvent* target = Hold(queue);
  DesEntity* to = target->GetEntity();
  TimeoutData* mineA = Schedule(target, "a", 9.0);
  Schedule(target, "b", 8.0);
  to->CopyTimeoutData(from, false);
  EXPECT_EQ(to->FindTimeout(queue, "a", true), mineA);
  EXPECT_EQ(mineA->GetTimeOfTimeoutEvent(), 1.0);
  EXPECT_EQ(to->FindTimeout(queue, "b", false), nullptr);
  EXPECT_EQ(to->FindTimeout(queue, "c", true)->GetTimeOfTimeoutEvent(), 3.0);
  EXPECT_TRUE(NothingScheduled());
}

TEST_P(TimeoutEntity, OutputListsTheScheduledTimeoutsFirst) {
  DesEvent* carrier = Hold(queue);
  DesEntity* entity = carrier->GetEntity();
  TimeoutData* a = entity->CreateTimeout("a", 1.5, 0, queue, carrier, 1);
  TimeoutData* b = entity->CreateTimeout("b", 2.5, 0, queue, carrier, 1);
  TimeoutData* c = entity->CreateTimeout("c", 3.5, 0, queue, carrier, 1);
  b->ResetTimeoutData();
  hvArray* out = entity->GetTimeoutDataAsHvArray();
  ASSERT_EQ(hvGetM(out), 3u);
  ASSERT_EQ(hvGetN(out), 3u);
  auto text = [&](std::size_t i) {
    char buffer[64] = {0};
    hvGetString(hvGetCell(out, i), buffer, sizeof buffer);
    return std::string(buffer);
  };
  EXPECT_EQ(text(0), "a");
  EXPECT_EQ(*hvGetPr(hvGetCell(out, 1)), 1.5);
  EXPECT_EQ(text(2), a->GetEventId());
  EXPECT_EQ(text(3), "c");
  EXPECT_EQ(*hvGetPr(hvGetCell(out, 4)), 3.5);
  EXPECT_EQ(text(5), c->GetEventId());
  for (std::size_t i = 6; i < 9; ++i) EXPECT_EQ(hvGetCell(out, i), nullptr);
  hvDestroyArray(out);
}

}  // namespace
