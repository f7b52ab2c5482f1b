// Events and the block interface (functor-bound handlers run in every block of tests/app).
#include <climits>
#include <functional>
#include <memory>
#include <vector>

#include "entity/DesEntity.h"
#include "entity/EntityList.h"
#include "tests/kernel/KernelTestSupport.h"

class Event : public EngineTest {};

// Ids and numbers through factories, clones, assignment, reuse (carried entities: tests/entity).
TEST_F(Event, IdsNumbersCopiesAndReuse) {
  engine.Start();
  DesEvent* a = Make(1.5, 3);
  DesEvent* b = Make(1.5, 3);
  EXPECT_EQ(a->GetId() + b->GetId() + a->GetEntityId(), "ev1ev2<none>");
  EXPECT_EQ(b->GetInstanceCount(), a->GetInstanceCount() + 1);
  DesEvent* made[3] = {DesEvent::NewInternalEvent(1.0, 0, block, nullptr), DesEvent::NewTemporaryEvent(1.0, 0, block, nullptr),
                       DesEvent::NewEntityCarrierEvent(1.0, 0, block, nullptr)};
  for (DesEvent* e : made) EXPECT_TRUE(owned.insert(e).second && e->IsTempEvent() && e->GetId().empty());
  made[0]->AssignId();
  made[1]->AssignId("custom");
  EXPECT_TRUE(made[0]->GetId() + made[1]->GetId() == "ev3custom" && !made[0]->IsTempEvent() && !made[1]->IsTempEvent());
  a->SetStatus("waiting");
  DesEvent* copy = *owned.insert(a->clone()).first;
  DesEvent* temp = *owned.insert(a->cloneTemp()).first;
  EXPECT_EQ(copy->GetId() + temp->GetId() + copy->GetStatus(), "ev4ev1waiting");
  EXPECT_TRUE(!copy->IsTempEvent() && temp->IsTempEvent() && temp->GetPriority() == 3);
  EXPECT_GT(copy->GetInstanceCount(), b->GetInstanceCount());
  *copy = *a;
  EXPECT_TRUE(copy->GetInstanceCount() == a->GetInstanceCount() && copy->GetId() == "ev1");

  DesEventFunctor functor;
  b->SetIsTempEvent(true);
  b->ReuseAndReinitialize(2.0, 7, block, &functor);
  EXPECT_TRUE(b->GetTime() == 3.5 && b->GetPriority() == 7 && b->GetFunctor() == &functor && !b->IsTempEvent());
  EXPECT_TRUE(b->GetInstanceCount() == a->GetInstanceCount() + 1 && b->GetId() == "ev5");
  engine.Start();
  EXPECT_EQ(Make(0.0, 0)->GetId(), "ev1");
}

// An event for a block without an engine is refused before it draws a number.
TEST_F(Event, BlockWithoutEngineIsRefused) {
  DetachedBlock detached;
  EXPECT_EQ(ErrorCode([&] { detached.GetDesInstance(); }), DES_GenericInternalErr);
  const uint32_t before = DesEvent::next_instanceCount;
  ThrownError t = CatchError([&] { delete new DesEvent(0.0, 0, &detached, nullptr); });
  EXPECT_TRUE(t.code == DES_GenericInternalErr && t.args == std::vector<std::string>({"invalid des pointer"}));
  EXPECT_EQ(ErrorCode([&] { delete new DesEvent(0.0, 0, nullptr, nullptr); }), DES_GenericInternalErr);
  EXPECT_EQ(DesEvent::next_instanceCount, before);
  EXPECT_EQ(ErrorCode([&] { DesEvent::NewTemporaryEvent(0.0, 0, &detached, nullptr); }), DES_GenericInternalErr);
}

// Ranks without overflow; system priorities have names.
TEST_F(Event, RankAndPriorityText) {
  EXPECT_LT(Make(0.0, INT_MIN)->GetRank(), Make(0.0, INT_MAX)->GetRank());
  const std::pair<int, const char*> rows[] = {{0, "0"}, {-2, "SYS1"}, {-1, "SYS2"}, {-7, "-7"}};
  for (const auto& row : rows) EXPECT_EQ(Make(0, row.first)->GetPriorityAsString(), row.second);
}

// Assignment copies the entity, never shares it; a captured value is shared.
TEST_F(Event, CarriedEntitiesAndCapturedValues) {
  engine.Start();
  DesEvent* source = Make(2.0, 1);
  source->SetEntity(engine.GetEntityList()->CloneEntity("DefaultEntity", false));
  DesEvent* target = Make(3.0, 0);
  target->SetEntity(engine.GetEntityList()->CloneEntity("DefaultEntity", false));
  // Without memory for the entity's copy the target stays as it was, its
  // time (its place in a calendar) included.
  host::failAllocationsFrom(1);
  EXPECT_EQ(ErrorCode([&] { *target = *source; }), kMemoryError);
  host::failAllocationsFrom(0);
  EXPECT_EQ(target->GetTime(), 3.0);
  *target = *source;
  DesEntity* carried = target->GetEntity();
  ASSERT_TRUE(carried != nullptr && carried != source->GetEntity());
  EXPECT_TRUE(carried->GetCarrierEvent() == target && source->GetEntity()->GetCarrierEvent() == source);
  EXPECT_EQ(target->GetTime(), 2.0);
  target->SetEntity(nullptr);
  EXPECT_TRUE(carried->GetCarrierEvent() == nullptr && target->GetEntityId() == "<none>");
  carried->destroy();

  EXPECT_FALSE(source->GetDataUponSchedule().HasShape());
  DesData value(4.5);
  source->SetDataUponSchedule(value);
  EXPECT_EQ(source->GetDataUponSchedule()[0], 4.5);
  std::unique_ptr<DesEvent> copy(source->clone());
  EXPECT_EQ(copy->GetDataUponSchedule().GetValuePtr().get(), value.GetValuePtr().get());
}

// Status and captured value follow every kind of copy, and an empty one
// copied over a set one clears it; copies share the captured numbers.
TEST_F(Event, StatusAndCapturedValueThroughCopies) {
  const std::string longStatus(100, 's');  // beyond the short-string buffer
  const DesData value(7.25);
  struct Case {
    const char* name;
    std::function<DesEvent*(DesEvent*)> copyOf;
  };
  const Case cases[] = {
      {"clone", [](DesEvent* e) { return e->clone(); }},
      {"cloneTemp", [](DesEvent* e) { return e->cloneTemp(); }},
      {"assignment", [this](DesEvent* e) {
         DesEvent* target = new DesEvent(9.0, 0, block, nullptr);
         target->SetStatus("old");
         target->SetDataUponSchedule(DesData(1.0));
         *target = *e;
         return target;
       }},
  };
  for (const Case& c : cases) {
    DesEvent* source = Make(1.0, 0);
    EXPECT_TRUE(source->GetStatus().empty() && !source->GetDataUponSchedule().HasShape()) << c.name;
    DesEvent* bare = *owned.insert(c.copyOf(source)).first;
    EXPECT_TRUE(bare->GetStatus().empty() && !bare->GetDataUponSchedule().HasShape()) << c.name;

    source->SetStatus(longStatus);
    source->SetDataUponSchedule(value);
    DesEvent* copy = *owned.insert(c.copyOf(source)).first;
    source->SetStatus("changed");
    source->SetDataUponSchedule(DesData(DesData::NoValue{}));
    EXPECT_EQ(copy->GetStatus(), longStatus) << c.name;
    EXPECT_EQ(copy->GetDataUponSchedule().GetValuePtr().get(), value.GetValuePtr().get()) << c.name;
    EXPECT_TRUE(source->GetStatus() == "changed" && !source->GetDataUponSchedule().HasShape()) << c.name;

    source->SetStatus("");
    *copy = *source;
    EXPECT_TRUE(copy->GetStatus().empty() && !copy->GetDataUponSchedule().HasShape()) << c.name;
  }
}

// An assignment whose captured value cannot be copied (its pool has no
// memory) leaves the target as it was, status and ids included.
TEST_F(Event, FailedAssignmentLeavesTheTargetUnchanged) {
  engine.Start();
  DesEvent* source = Make(1.0, 1);
  source->SetStatus(std::string(100, 'n'));
  source->SetDataUponSchedule(DesData(2.0));
  source->AssignId("a text id");
  DesEvent* target = Make(5.0, 2);
  target->SetStatus("kept");
  // Use up the data pool's free slots, so that the next copy needs a chunk.
  std::vector<std::unique_ptr<DesData>> held;
  const std::size_t chunks = DesData::memPool->ChunksMade();
  while (DesData::memPool->ChunksMade() == chunks) held.emplace_back(new DesData(0.0));
  for (std::size_t i = 2; i < DesData::memPool->ChunkSlotCount(); ++i) held.emplace_back(new DesData(0.0));
  host::failAllocationsFrom(1);
  EXPECT_EQ(ErrorCode([&] { *target = *source; }), kMemoryError);
  host::failAllocationsFrom(0);
  EXPECT_TRUE(target->GetTime() == 5.0 && target->GetPriority() == 2 && target->GetStatus() == "kept");
  EXPECT_TRUE(target->GetId() == "ev2" && !target->GetDataUponSchedule().HasShape());
  *target = *source;
  EXPECT_TRUE(target->GetId() == "a text id" && target->GetStatus() == source->GetStatus());
  EXPECT_EQ(target->GetDataUponSchedule()[0], 2.0);
}
