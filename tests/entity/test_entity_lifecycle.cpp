// The life of an entity: ids, clones and temporary clones, recycling of
// immutable types, events that carry entities, timers, and the allocation
// count of a steady stream of recycled entities.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "entity/DesData.h"
#include "tests/entity/EntityTestSupport.h"

// Counts every use of the global allocator while counting is switched on.
namespace {
bool countNew = false;
std::size_t newCalls = 0;
}  // namespace

void* operator new(std::size_t size) {
  if (countNew) ++newCalls;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
// The replaced operator new takes its memory from malloc, so free is the
// matching release; GCC cannot see that pairing across the replacement.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace {

using namespace entity_test;

class EntityLifecycleTest : public EngineFixture {
 protected:
  void SetUp() override {
    EngineFixture::SetUp();
    Define("Job", List({{"Priority", "DesData", Scalar(10)}, {"n", "int", Scalar(1)}}), false);
    Define("Box", List({{"w", "double", Scalar(2)}}), true);
  }
  DesEvent* Carry(DesEntity* e, double t = 0.0) {
    Forget(e);
    return new DesEvent(t, 0, block, e);
  }
};

// ---------------------------------------------------------------- ids

TEST_F(EntityLifecycleTest, IdsStartAtOneEachRunAndAreNeverShared) {
  DesEntity* a = Clone("Job");
  DesEntity* b = registry->FindEntity("Job")->clone(false);
  owned.push_back(b);
  EXPECT_EQ(a->GetId(), "en1");
  EXPECT_EQ(b->GetId(), "en2");
  EXPECT_EQ(registry->FindEntity("Job")->GetId(), "<none>");
  // Temporary clones keep the source's id.
  DesEntity* temp = a->cloneTemp(false);
  owned.push_back(temp);
  EXPECT_EQ(temp->GetId(), a->GetId());
  DesEntity* fromTemplate = registry->CloneTempEntity("Box", false);
  owned.push_back(fromTemplate);
  EXPECT_EQ(fromTemplate->GetId(), "<none>");
  DesEntity::InitIds();
  EXPECT_EQ(DesEntity::ReserveNewEntityId(), "en1");
}

TEST_F(EntityLifecycleTest, ClonesTakeValuesOrDefaults) {
  DesEntity* a = Clone("Box");
  a->WriteToAttribute(block, "w", 7.0);
  DesEntity* copy = a->clone(false);
  DesEntity* fresh = a->clone(true);
  owned.push_back(copy);
  owned.push_back(fresh);
  EXPECT_EQ(Number(copy, "w"), 7.0);
  EXPECT_EQ(Number(fresh, "w"), 2.0);
  // Attributes are copies, not shared.
  EXPECT_NE(copy->FindAttrClass(block, "w").get(), a->FindAttrClass(block, "w").get());
  copy->WriteToAttribute(block, "w", 1.0);
  EXPECT_EQ(Number(a, "w"), 7.0);
}

TEST_F(EntityLifecycleTest, BlankClonesHaveNothingButTheirTypeAndCopiesCopyTheMembers) {
  Define("Pallet", List({{"Box", "Entity", Entity("Box", List({{"w", "double", Scalar(1)}}))},
                         {"x", "int", Scalar(1)}}),
         true);
  DesEntity* blank = registry->CreateBlankEntity("Pallet", false);
  owned.push_back(blank);
  EXPECT_EQ(blank->GetName(), "Pallet");
  EXPECT_TRUE(blank->GetAttributeSet().empty());
  EXPECT_TRUE(blank->GetEntitySet()->empty());
  EXPECT_NE(blank->GetId(), "<none>");
  DesEntity* temp = registry->CreateBlankTempEntity("Pallet", false);
  owned.push_back(temp);
  EXPECT_EQ(temp->GetId(), "<none>");

  DesEntity* p = Clone("Pallet");
  DesEntity* templMember = registry->FindEntity("Pallet")->FindEntity("Box");
  ASSERT_NE(templMember, nullptr);
  DesEntity* member = p->FindEntity("Box");
  ASSERT_NE(member, nullptr);
  EXPECT_NE(member, templMember);
  EXPECT_TRUE(member->GetIsSubEntity());
  EXPECT_EQ(Number(member, "w"), 1.0);
}

// ---------------------------------------------------------------- recycling

TEST_F(EntityLifecycleTest, DestroyedImmutableEntitiesComeBackWithTemplateValues) {
  DesEntity* a = Clone("Job");
  a->WriteToAttribute(block, "n", 99);
  a->WriteNumberToAttribute(block, "Priority", 3.0);
  const std::string firstId = a->GetId();
  Forget(a);
  a->destroy();

  RCPtr<EntityDef> type = registry->FindEntity("Job")->GetDef();
  EXPECT_EQ(type->GetEntityDefPresentFlag(), 1);
  ASSERT_LT(type->GetPoolIndex(), registry->GetPartialEntityList()->size());
  EXPECT_EQ((*registry->GetPartialEntityList())[type->GetPoolIndex()]->size(), 1u);

  const std::size_t hostCalls = host::allocationCalls();
  newCalls = 0;
  countNew = true;
  DesEntity* b = registry->CloneEntity("Job", false);
  countNew = false;
  owned.push_back(b);
  EXPECT_EQ(b, a);
  EXPECT_EQ(newCalls, 0u);
  EXPECT_EQ(host::allocationCalls(), hostCalls);
  EXPECT_NE(b->GetId(), firstId);
  EXPECT_EQ(Number(b, "n"), 1.0);
  EXPECT_EQ(Number(b, "Priority"), 10.0);
  EXPECT_TRUE((*registry->GetPartialEntityList())[type->GetPoolIndex()]->empty());

  // Mutable types are never recycled.
  const std::size_t lists = registry->GetPartialEntityList()->size();
  DesEntity* box = Clone("Box");
  Forget(box);
  box->destroy();
  EXPECT_EQ(registry->FindEntity("Box")->GetDef()->GetEntityDefPresentFlag(), 0);
  EXPECT_EQ(registry->GetPartialEntityList()->size(), lists);
}

TEST_F(EntityLifecycleTest, ARecycledEntityTakesTheSourcesTimersWhateverItHeld) {
  DesEntity* templ = registry->FindEntity("Job");
  templ->FindOrCreateTimer(block, "t0")->SetTimer(2.0, block);
  DesEntity* a = Clone("Job");
  a->FindOrCreateTimer(block, "t1");
  a->FindOrCreateTimer(block, "t2");
  a->FindOrCreateTimer(block, "t3");
  Forget(a);
  a->destroy();

  DesEntity* b = Clone("Job");
  ASSERT_EQ(b, a);
  ASSERT_EQ(b->GetTimerSet().size(), 1u);
  RCPtr<TimerData> t0 = b->FindTimer(block, "t0", true);
  EXPECT_NE(t0.get(), templ->FindTimer(block, "t0", true).get());
  EXPECT_TRUE(t0->GetIsSet());
  EXPECT_EQ(t0->GetStartTime(), 2.0);
  EXPECT_FALSE(b->FindTimer(block, "t1", false));

  // And the other way round: more timers in the source than in the target.
  templ->FindOrCreateTimer(block, "t4");
  templ->FindOrCreateTimer(block, "t5");
  Forget(b);
  b->destroy();
  DesEntity* c = Clone("Job");
  ASSERT_EQ(c, a);
  EXPECT_EQ(c->GetTimerSet().size(), 3u);
}

TEST_F(EntityLifecycleTest, RecyclingWithDefaultsResetsValuesAndTheLocalTimer) {
  DesEntity* a = Clone("Job");
  a->WriteToAttribute(block, "n", 5);
  a->GetLocalTimer()->SetTimer(1.0, block);
  Forget(a);
  a->destroy();
  DesEntity* b = Clone("Job", true);
  ASSERT_EQ(b, a);
  EXPECT_EQ(Number(b, "n"), 1.0);
  EXPECT_FALSE(b->GetLocalTimer()->GetIsSet());
}

// ---------------------------------------------------------------- events

TEST_F(EntityLifecycleTest, EventsCarryTheirEntity) {
  DesEntity* a = Clone("Box");
  DesEvent* ev = Carry(a, 3.0);
  EXPECT_EQ(ev->GetEntity(), a);
  EXPECT_EQ(ev->GetEntityId(), a->GetId());
  EXPECT_EQ(a->GetCarrierEvent(), ev);
  // A fresh id is written into the carrier.
  a->AssignId();
  EXPECT_EQ(ev->GetEntityId(), a->GetId());

  DesEvent* copy = ev->clone();
  ASSERT_NE(copy->GetEntity(), nullptr);
  EXPECT_NE(copy->GetEntity(), a);
  EXPECT_NE(copy->GetEntityId(), a->GetId());
  EXPECT_EQ(copy->GetEntity()->GetCarrierEvent(), copy);
  DesEvent* temp = ev->cloneTemp();
  EXPECT_EQ(temp->GetEntityId(), a->GetId());

  DesEntity* released = ev->ReleaseEntity();
  EXPECT_EQ(released, a);
  EXPECT_EQ(a->GetCarrierEvent(), nullptr);
  delete ev;
  delete copy;
  delete temp;
  owned.push_back(released);
}

TEST_F(EntityLifecycleTest, DestroyingTheEventDestroysTheEntity) {
  DesEntity* a = Clone("Job");
  delete Carry(a);
  RCPtr<EntityDef> type = registry->FindEntity("Job")->GetDef();
  auto& list = *(*registry->GetPartialEntityList())[type->GetPoolIndex()];
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list.front(), a);
  // The recycled entity no longer points at the event that is gone.
  EXPECT_EQ(a->GetCarrierEvent(), nullptr);
}

TEST_F(EntityLifecycleTest, ReusingAnEventRestartsTheLocalTimer) {
  TestBlock next(engine);
  DesEntity* a = Clone("Box");
  DesEvent* ev = Carry(a, 4.0);
  ev->ReuseAndReinitialize(1.5, 0, &next, nullptr);
  TimerData* local = a->GetLocalTimer();
  EXPECT_EQ(local->GetName(), "___Local_Timer__123-345");
  EXPECT_TRUE(local->GetIsSet());
  EXPECT_EQ(local->GetStartTime(), 4.0);
  EXPECT_EQ(local->GetBlock(), &next);
  EXPECT_EQ(ev->GetTime(), 5.5);
  delete ev;
}

// ---------------------------------------------------------------- timers

TEST_F(EntityLifecycleTest, TimersAreStartedReadResetAndCopied) {
  DesEntity* a = Clone("Box");
  Thrown t = Catch([&] { a->FindTimer(block, "tt", true); });
  EXPECT_EQ(t.code, DES_TimerTagNotFound);
  EXPECT_EQ(t.args, (Args{"Error", "model/Blk", "tt"}));
  EXPECT_TRUE(t.objects.empty());
  EXPECT_FALSE(a->FindTimer(block, "tt", false));

  RCPtr<TimerData> timer = a->FindOrCreateTimer(block, "tt");
  EXPECT_FALSE(timer->GetIsSet());
  EXPECT_EQ(a->FindOrCreateTimer(block, "tt").get(), timer.get());
  timer->SetTimer(1.0, block);
  engine->SetTimeNow(4.5);
  EXPECT_EQ(a->FindTimer(block, "tt", true)->GetLapsedTime(), 3.5);
  timer->ResetTimer(0);
  EXPECT_FALSE(timer->GetIsSet());
  EXPECT_EQ(timer->GetLapsedTime(), 3.5);

  timer->SetTimer(2.0, block);
  DesEntity* copy = a->clone(false);
  owned.push_back(copy);
  RCPtr<TimerData> copied = copy->FindTimer(block, "tt", true);
  EXPECT_NE(copied.get(), timer.get());
  EXPECT_TRUE(copied->GetIsSet());
  EXPECT_EQ(copied->GetLapsedTime(), 2.5);
}

// ---------------------------------------------------------------- allocation

// Entities of an immutable type cloned, carried on an event and destroyed
// with it: once the pools and the recycle list are warm, no call reaches the
// host allocator or the global operator new.
TEST_F(EntityLifecycleTest, ASteadyStreamOfImmutableEntitiesAllocatesNothing) {
  auto cycle = [&](int i) {
    DesEntity* e = registry->CloneEntity("Job", false);
    e->WriteToAttribute(block, "n", i);
    e->WriteNumberToAttribute(block, "Priority", i * 0.5);
    DesEvent* ev = new DesEvent(i, 0, block, e);
    ev->ReuseAndReinitialize(1.0, 0, block, nullptr);
    delete ev;
  };
  for (int i = 0; i < 16; ++i) cycle(i);
  const std::size_t hostCalls = host::allocationCalls();
  newCalls = 0;
  countNew = true;
  for (int i = 0; i < 10000; ++i) cycle(i);
  countNew = false;
  const std::size_t hostDelta = host::allocationCalls() - hostCalls;
  EXPECT_EQ(hostDelta, 0u);
  EXPECT_EQ(newCalls, 0u);
  RecordProperty("hostAllocations", static_cast<int>(hostDelta));
  RecordProperty("globalNew", static_cast<int>(newCalls));
  std::printf("steady stream of 10000 entities: %zu host allocations, %zu global new calls\n",
              hostDelta, newCalls);
}

}  // namespace
