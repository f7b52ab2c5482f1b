// The life of an entity: ids, clones, recycling of immutable types, events
// that carry entities, timers, and the allocations of a steady stream.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
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
// malloc above, so free here; GCC cannot see the pairing across the replacement.
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
  void Destroy(DesEntity* e) {
    Forget(e);
    e->destroy();
  }
  pmlist<DesEntity*>& RecycleList(const char* type) {
    const RCPtr<EntityDef> def = registry->FindEntity(type)->GetDef();
    EXPECT_LT(def->GetPoolIndex(), registry->GetPartialEntityList()->size());
    return *(*registry->GetPartialEntityList())[def->GetPoolIndex()];
  }
};

TEST_F(EntityLifecycleTest, IdsStartAtOneEachRunAndAreNeverShared) {
  DesEntity* a = Clone("Job");
  owned.push_back(registry->FindEntity("Job")->clone(false));
  // Templates and temporary clones of templates have none; other temporary
  // clones keep the source's.
  owned.push_back(a->cloneTemp(false));
  owned.push_back(registry->CloneTempEntity("Box", false));
  EXPECT_EQ((Args{a->GetId(), owned[1]->GetId(), registry->FindEntity("Job")->GetId(),
                  owned[2]->GetId(), owned[3]->GetId()}),
            (Args{"en1", "en2", "<none>", "en1", "<none>"}));
  DesEntity::InitIds();
  EXPECT_EQ(DesEntity::ReserveNewEntityId(), "en1");
}

TEST_F(EntityLifecycleTest, ClonesCopyValuesOrTakeDefaultsAndBlankOnesAreEmpty) {
  DesEntity* a = Clone("Box");
  a->WriteToAttribute(block, "w", 7.0);
  DesEntity* copy = a->clone(false);
  DesEntity* fresh = a->clone(true);
  owned.insert(owned.end(), {copy, fresh});
  copy->WriteToAttribute(block, "w", 1.0);  // attributes are copies, not shared
  EXPECT_EQ((std::vector<double>{Number(a, "w"), Number(copy, "w"), Number(fresh, "w")}),
            (std::vector<double>{7, 1, 2}));

  Define("Pallet", List({{"Box", "Entity", Entity("Box", List({{"w", "double", Scalar(1)}}))},
                         {"x", "int", Scalar(1)}}),
         true);
  DesEntity* blank = registry->CreateBlankEntity("Pallet", false);
  DesEntity* temp = registry->CreateBlankTempEntity("Pallet", false);
  owned.insert(owned.end(), {blank, temp});
  EXPECT_EQ(blank->GetName(), "Pallet");
  EXPECT_TRUE(blank->GetAttributeSet().empty() && blank->GetEntitySet()->empty());
  EXPECT_NE(blank->GetId(), "<none>");
  EXPECT_EQ(temp->GetId(), "<none>");
}

// An ended immutable entity waits on its type's recycle list and is the next
// clone: no allocation, the template's values, a new id.
TEST_F(EntityLifecycleTest, EndedImmutableEntitiesComeBackWithTemplateValues) {
  DesEntity* a = Clone("Job");
  a->WriteToAttribute(block, "n", 99);
  a->WriteNumberToAttribute(block, "Priority", 3.0);
  const std::string firstId = a->GetId();
  delete Carry(a);
  EXPECT_EQ(registry->FindEntity("Job")->GetDef()->GetEntityDefPresentFlag(), 1);
  EXPECT_EQ(RecycleList("Job"), (pmlist<DesEntity*>{a}));
  EXPECT_EQ(a->GetCarrierEvent(), nullptr) << "the recycled entity forgets the event";

  const std::size_t hostCalls = host::allocationCalls();
  newCalls = 0;
  countNew = true;
  DesEntity* b = Clone("Job");
  countNew = false;
  EXPECT_EQ(b, a);
  EXPECT_EQ(newCalls + host::allocationCalls() - hostCalls, 0u);
  EXPECT_NE(b->GetId(), firstId);
  EXPECT_EQ((std::vector<double>{Number(b, "n"), Number(b, "Priority")}),
            (std::vector<double>{1, 10}));
  EXPECT_TRUE(RecycleList("Job").empty());

  b->WriteToAttribute(block, "n", 5);
  b->GetLocalTimer()->SetTimer(1.0, block);
  Destroy(b);
  DesEntity* c = Clone("Job", true);
  ASSERT_EQ(c, a);
  EXPECT_EQ(Number(c, "n"), 1.0);
  EXPECT_FALSE(c->GetLocalTimer()->GetIsSet());

  const std::size_t lists = registry->GetPartialEntityList()->size();
  Destroy(Clone("Box"));  // mutable types are never recycled
  EXPECT_EQ(registry->FindEntity("Box")->GetDef()->GetEntityDefPresentFlag(), 0);
  EXPECT_EQ(registry->GetPartialEntityList()->size(), lists);
}

// A recycled entity is overwritten in place only where nobody else can see
// it: an attribute someone still holds keeps the value it had, and the new
// entity gets an attribute of its own.
TEST_F(EntityLifecycleTest, AnAttributeHeldElsewhereOutlivesTheRecycling) {
  DesEntity* a = Clone("Job");
  a->WriteToAttribute(block, "n", 42);
  a->WriteNumberToAttribute(block, "Priority", 7.0);
  const RCPtr<Attribute> held = a->FindAttrClass(block, "n");
  const Attribute* priority = a->FindAttrClass(block, "Priority").get();  // not held
  Destroy(a);
  DesEntity* b = Clone("Job");
  ASSERT_EQ(b, a);
  int n = 0;
  held->GetData(n);
  EXPECT_EQ(n, 42) << "the held attribute keeps its value";
  EXPECT_NE(b->FindAttrClass(block, "n").get(), held.get());
  EXPECT_EQ(Number(b, "n"), 1.0);
  EXPECT_EQ(Number(b, "Priority"), 10.0);
  EXPECT_EQ(b->FindAttrClass(block, "Priority").get(), priority) << "overwritten in place";
}

// Ending an entity must not fail: without memory for what recycling needs
// (the type's list, a node in it), the entity is freed instead.
TEST_F(EntityLifecycleTest, WithoutMemoryToRecycleAnEndedEntityIsFreed) {
  DesEntity* a = Clone("Job");
  DesEntity* b = Clone("Job");
  DesEntity* c = Clone("Job");
  host::failAllocationsFrom(1);
  EXPECT_NO_THROW(delete Carry(a));
  host::failAllocationsFrom(0);
  EXPECT_EQ(registry->FindEntity("Job")->GetDef()->GetEntityDefPresentFlag(), 0)
      << "no list was made";
  Destroy(b);
  EXPECT_EQ(RecycleList("Job"), (pmlist<DesEntity*>{b}));
  host::failAllocationsFrom(1);
  EXPECT_NO_THROW(Destroy(c));
  host::failAllocationsFrom(0);
  EXPECT_EQ(RecycleList("Job"), (pmlist<DesEntity*>{b})) << "no node for c: freed";
}

// A recycled entity is overwritten from the template key by key, whether it
// held more timers than the template or fewer.
TEST_F(EntityLifecycleTest, ARecycledEntityTakesTheSourcesTimersWhateverItHeld) {
  DesEntity* templ = registry->FindEntity("Job");
  templ->FindOrCreateTimer(block, "t0")->SetTimer(2.0, block);
  DesEntity* a = Clone("Job");
  for (const char* tag : {"t1", "t2", "t3"}) a->FindOrCreateTimer(block, tag);
  Destroy(a);
  DesEntity* b = Clone("Job");
  ASSERT_EQ(b, a);
  ASSERT_EQ(b->GetTimerSet().size(), 1u);
  RCPtr<TimerData> t0 = b->FindTimer(block, "t0", true);
  EXPECT_NE(t0.get(), templ->FindTimer(block, "t0", true).get());
  EXPECT_TRUE(t0->GetIsSet() && t0->GetStartTime() == 2.0);

  templ->FindOrCreateTimer(block, "t4");
  templ->FindOrCreateTimer(block, "t5");
  Destroy(b);
  DesEntity* c = Clone("Job");
  ASSERT_EQ(c, a);
  EXPECT_EQ(c->GetTimerSet().size(), 3u);
}

TEST_F(EntityLifecycleTest, EventsCarryTheirEntityAndRestartItsLocalTimerOnReuse) {
  DesEntity* a = Clone("Box");
  DesEvent* ev = Carry(a, 3.0);
  EXPECT_EQ(a->GetCarrierEvent(), ev);
  a->AssignId();
  EXPECT_EQ(ev->GetEntityId(), a->GetId()) << "a fresh id is written into the carrier";
  // A clone carries a copy with an id of its own, a temporary clone keeps the id.
  std::unique_ptr<DesEvent> copy(ev->clone()), temp(ev->cloneTemp());
  ASSERT_TRUE(copy->GetEntity() != nullptr && copy->GetEntity() != a);
  EXPECT_NE(copy->GetEntityId(), a->GetId());
  EXPECT_EQ(copy->GetEntity()->GetCarrierEvent(), copy.get());
  EXPECT_EQ(temp->GetEntityId(), a->GetId());

  TestBlock next(engine);
  ev->ReuseAndReinitialize(1.5, 0, &next, nullptr);
  TimerData* local = a->GetLocalTimer();
  EXPECT_EQ(local->GetName(), "___Local_Timer__123-345");
  EXPECT_TRUE(local->GetIsSet() && local->GetStartTime() == 3.0 && local->GetBlock() == &next);
  EXPECT_EQ(ev->GetTime(), 4.5);
  EXPECT_EQ(ev->ReleaseEntity(), a);
  EXPECT_EQ(a->GetCarrierEvent(), nullptr);
  owned.push_back(a);
  delete ev;
}

TEST_F(EntityLifecycleTest, TimersAreStartedReadResetAndCopied) {
  DesEntity* a = Clone("Box");
  Thrown t = Catch([&] { a->FindTimer(block, "tt", true); });
  EXPECT_EQ(t.code, DES_TimerTagNotFound);
  EXPECT_EQ(t.args, (Args{"Error", "model/Blk", "tt"}));
  EXPECT_TRUE(t.objects.empty());
  RCPtr<TimerData> timer = a->FindOrCreateTimer(block, "tt");
  EXPECT_EQ(a->FindOrCreateTimer(block, "tt").get(), timer.get());
  timer->SetTimer(1.0, block);
  engine->SetTimeNow(4.5);
  EXPECT_EQ(a->FindTimer(block, "tt", true)->GetLapsedTime(), 3.5);
  timer->SetTimer(2.0, block);
  DesEntity* copy = a->clone(false);
  owned.push_back(copy);
  RCPtr<TimerData> copied = copy->FindTimer(block, "tt", true);
  timer->ResetTimer(0);
  EXPECT_TRUE(!timer->GetIsSet() && copied->GetIsSet());
  EXPECT_EQ(copied->GetLapsedTime(), 2.5);
}

// Immutable entities cloned, given a timer and a timeout, carried on an event
// and destroyed with it: once warm, no call reaches the host allocator or the
// global operator new.
TEST_F(EntityLifecycleTest, ASteadyStreamOfImmutableEntitiesAllocatesNothing) {
  auto cycle = [&](int i) {
    DesEntity* e = registry->CloneEntity("Job", false);
    e->WriteToAttribute(block, "n", i);
    e->WriteNumberToAttribute(block, "Priority", i * 0.5);
    DesEvent* ev = new DesEvent(i, 0, block, e);
    // A timer and a timeout, dropped when the entity is overwritten for reuse:
    // their set nodes are kept for the next ones.
    e->FindOrCreateTimer(block, "wait");
    e->CreateTimeout("patience", i + 5.0, 0, block, ev, 1);
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
  std::printf("steady stream of 10000 entities: %zu host allocations, %zu global new calls\n",
              hostDelta, newCalls);
}

}  // namespace
