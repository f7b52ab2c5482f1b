// Events, handler bindings and the block interface on their own.
#include <climits>

#include "entity/DesEntity.h"
#include "entity/EntityList.h"
#include "tests/kernel/KernelTestSupport.h"

namespace {

class TwoHandlerBlock : public NodeInterface {
 public:
  explicit TwoHandlerBlock(Des* engine) { SetDesInstance(engine); }
  MSGRespEvent OnArrival(DesEvent*) {
    ++arrivals;
    return MSGRespEvent(true, 1);
  }
  MSGRespEvent DoProcessEvent(DesEvent*) override {
    ++defaults;
    return MSGRespEvent();
  }
  int arrivals = 0;
  int defaults = 0;
};

}  // namespace

class Event : public EngineTest {};

TEST_F(Event, IdsAndInstanceCountsRestartWithTheEngine) {
  engine.Start();
  DesEvent* a = Make(1.5, 3);
  DesEvent* b = Make(1.5, 3);
  EXPECT_EQ(a->GetId(), "ev1");
  EXPECT_EQ(b->GetId(), "ev2");
  EXPECT_EQ(b->GetInstanceCount(), a->GetInstanceCount() + 1);
  EXPECT_EQ(a->GetEntityId(), "<none>");
  engine.Start();
  EXPECT_EQ(Make(0.0, 0)->GetId(), "ev1");
}

TEST_F(Event, BlockWithoutEngineIsRefused) {
  DetachedBlock detached;
  EXPECT_EQ(detached.GetEventType(), "Unknown");
  const uint32_t internal = static_cast<uint32_t>(DES_GenericInternalErr);
  EXPECT_EQ(CatchError([&] { detached.GetDesInstance(); }).code, internal);
  const uint32_t before = DesEvent::next_instanceCount;
  ThrownError t = CatchError([&] { delete new DesEvent(0.0, 0, &detached, nullptr); });
  EXPECT_EQ(t.code, internal);
  EXPECT_EQ(t.args, std::vector<std::string>({"invalid des pointer"}));
  EXPECT_EQ(CatchError([&] { delete new DesEvent(0.0, 0, nullptr, nullptr); }).code, internal);
  EXPECT_EQ(DesEvent::next_instanceCount, before);
  EXPECT_EQ(CatchError([&] { DesEvent::NewTemporaryEvent(0.0, 0, &detached, nullptr); }).code, internal);
}

TEST_F(Event, FactoryEventsAreTemporaryUntilGivenAnId) {
  engine.Start();
  DesEvent* made[3] = {DesEvent::NewInternalEvent(1.0, 0, block, nullptr),
                       DesEvent::NewTemporaryEvent(1.0, 0, block, nullptr),
                       DesEvent::NewEntityCarrierEvent(1.0, 0, block, nullptr)};
  for (DesEvent* e : made) {
    owned.insert(e);
    EXPECT_TRUE(e->IsTempEvent());
    EXPECT_EQ(e->GetId(), "");
  }
  made[0]->AssignId();
  EXPECT_EQ(made[0]->GetId(), "ev1");
  EXPECT_FALSE(made[0]->IsTempEvent());
  made[1]->AssignId("custom");
  EXPECT_EQ(made[1]->GetId(), "custom");
  EXPECT_FALSE(made[1]->IsTempEvent());
}

// Clones draw a new number and id, temporary clones keep the id;
// assignment copies everything, the number included.
TEST_F(Event, ClonesAndAssignment) {
  DesEvent* e = Make(2.0, 4);
  e->SetStatus("waiting");
  DesEvent* copy = e->clone();
  DesEvent* temp = e->cloneTemp();
  owned.insert(copy);
  owned.insert(temp);
  EXPECT_NE(copy->GetId(), e->GetId());
  EXPECT_FALSE(copy->IsTempEvent());
  EXPECT_GT(copy->GetInstanceCount(), e->GetInstanceCount());
  EXPECT_EQ(copy->GetStatus(), "waiting");
  EXPECT_EQ(temp->GetId(), e->GetId());
  EXPECT_TRUE(temp->IsTempEvent());
  EXPECT_EQ(temp->GetPriority(), 4);
  *copy = *e;
  EXPECT_EQ(copy->GetInstanceCount(), e->GetInstanceCount());
  EXPECT_EQ(copy->GetId(), e->GetId());
  EXPECT_TRUE(*e == *copy);
}

TEST_F(Event, OrderingPredicates) {
  DesEvent* early = Make(1.0, 5);
  DesEvent* lateHigh = Make(2.0, -1);
  DesEvent* lateLow = Make(2.0, 3);
  DesEvent* lateLow2 = Make(2.0, 3);
  EXPECT_TRUE(*lateHigh < *early);   // "less" of a max-heap: runs after
  EXPECT_FALSE(*early < *lateHigh);
  EXPECT_TRUE(*lateLow < *lateHigh);
  EXPECT_TRUE(*lateLow2 < *lateLow);
  EXPECT_TRUE(isTqGreater(lateHigh, early));  // current set ignores time
  EXPECT_TRUE(isTqGreater(lateLow, lateLow2));
  EXPECT_TRUE(IdentOrder(lateLow, lateLow2));
  EXPECT_FALSE(IdentOrder(lateLow, lateHigh));
  EXPECT_TRUE(*lateLow == *lateLow2);
  EXPECT_FALSE(*lateLow == *lateHigh);
  // Negative priorities order before positive ones in the rank.
  EXPECT_LT(Make(0.0, -2)->GetRank(), Make(0.0, 0)->GetRank());
  EXPECT_LT(Make(0.0, INT_MIN)->GetRank(), Make(0.0, INT_MAX)->GetRank());
}

TEST_F(Event, PriorityText) {
  const std::pair<int, const char*> rows[] = {{0, "0"}, {-2, "SYS1"}, {-1, "SYS2"}, {-7, "-7"}};
  for (const auto& row : rows) EXPECT_EQ(Make(0, row.first)->GetPriorityAsString(), row.second);
}

TEST_F(Event, ProcessCallsTheFunctorOrTheDefaultHandler) {
  TwoHandlerBlock target(&engine);
  target.SetEventType("Arrival");
  DesEventFunctor functor;
  EXPECT_STREQ(functor.GetName(), "unknown");
  functor.BindTo(&target, &TwoHandlerBlock::OnArrival, "arrive");
  DesEvent* e = new DesEvent(0.0, 0, &target, nullptr);
  owned.insert(e);
  EXPECT_EQ(e->GetEventType(), "Arrival");
  e->Process();
  EXPECT_EQ(target.defaults, 1);
  e->SetFunctor(&functor);
  EXPECT_EQ(e->GetEventType(), "arrive");
  e->Process();
  EXPECT_EQ(target.arrivals, 1);
  EXPECT_EQ(functor.GetBlock(), &target);
  DesEventFunctor copy = functor;
  copy(e);
  EXPECT_EQ(target.arrivals, 2);
}

TEST_F(Event, ReuseKeepsTheCountAndGivesANewId) {
  DesEventFunctor functor;
  DesEvent* e = Make(3.0, 1);
  const uint32_t count = e->GetInstanceCount();
  const std::string id = e->GetId();
  e->SetIsTempEvent(true);
  e->ReuseAndReinitialize(2.0, 7, block, &functor);
  EXPECT_EQ(e->GetTime(), 5.0);
  EXPECT_EQ(e->GetPriority(), 7);
  EXPECT_EQ(e->GetFunctor(), &functor);
  EXPECT_EQ(e->GetInstanceCount(), count);
  EXPECT_NE(e->GetId(), id);
  EXPECT_FALSE(e->IsTempEvent());
}

TEST_F(Event, AssignmentGivesTheTargetItsOwnEntity) {
  engine.Start();
  DesEntity* carried = engine.GetEntityList()->CloneEntity("DefaultEntity", false);
  DesEvent* source = Make(2.0, 1);
  source->SetEntity(carried);
  DesEvent* target = Make(3.0, 0);
  target->SetEntity(engine.GetEntityList()->CloneEntity("DefaultEntity", false));

  *target = *source;
  ASSERT_NE(target->GetEntity(), nullptr);
  EXPECT_NE(target->GetEntity(), source->GetEntity());
  EXPECT_EQ(target->GetEntity()->GetCarrierEvent(), target);
  EXPECT_EQ(source->GetEntity()->GetCarrierEvent(), source);
  EXPECT_EQ(target->GetInstanceCount(), source->GetInstanceCount());
  EXPECT_EQ(target->GetTime(), 2.0);
  // Each event destroys only its own entity at the end of the test.
}

TEST_F(Event, CapturedValueIsSharedNotCopied) {
  engine.Start();
  DesEvent* e = Make(1.0, 0);
  EXPECT_FALSE(e->GetDataUponSchedule().HasShape());
  DesData value(4.5);
  e->SetDataUponSchedule(value);
  DesData got = e->GetDataUponSchedule();
  EXPECT_EQ(got.GetValuePtr().get(), value.GetValuePtr().get());
  EXPECT_EQ(got[0], 4.5);
  DesEvent* copy = e->clone();
  EXPECT_EQ(copy->GetDataUponSchedule().GetValuePtr().get(), value.GetValuePtr().get());
  delete copy;
}

TEST_F(Event, AnEntityTakenOffAnEventNoLongerPointsAtIt) {
  engine.Start();
  DesEntity* carried = engine.GetEntityList()->CloneEntity("DefaultEntity", false);
  DesEvent* e = Make(1.0, 0);
  e->SetEntity(carried);
  ASSERT_EQ(carried->GetCarrierEvent(), e);
  e->SetEntity(nullptr);
  EXPECT_EQ(carried->GetCarrierEvent(), nullptr);
  EXPECT_EQ(e->GetEntityId(), "<none>");
  carried->destroy();
}
