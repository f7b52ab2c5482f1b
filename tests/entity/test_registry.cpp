// The registry of entity types: the default templates, lookups by type name
// (templates and their members), adding templates, entity types, and the
// end of a registry through the engine.
#include <gtest/gtest.h>

#include <functional>
#include <type_traits>

#include "entity/DesData.h"
#include "kernel/TimeoutData.h"
#include "tests/entity/EntityTestSupport.h"

namespace {

using namespace entity_test;

class RegistryTest : public EngineFixture {};

TEST_F(RegistryTest, DefaultTemplatesExist) {
  DesEntity* def = registry->FindEntity("DefaultEntity");
  DesEntity* blank = registry->FindEntity("BlankEntity");
  EXPECT_EQ(def->GetId(), "<none>");
  EXPECT_TRUE(def->GetMutable());
  EXPECT_FALSE(def->GetReadOnly());
  EXPECT_EQ(def->GetDef()->GetMaxLookupLevel(), 1u);
  EXPECT_TRUE(blank->GetAttributeSet().empty());

  DesEntity* e = Clone("DefaultEntity");
  EXPECT_EQ(e->GetAttributeSet().size(), 2u);
  for (const char* name : {"Priority", "Count"}) {
    RCPtr<Attribute> a = e->FindAttrClass(block, name);
    ASSERT_TRUE(a) << name;
    EXPECT_TRUE(a->Exists());
    EXPECT_EQ(a->GetTypeEnum(), eAttrDesData);
    DesData v;
    a->GetData(v);
    EXPECT_EQ(v.GetDataInfo().GetWidth(), 1);
  }
  EXPECT_EQ(Number(e, "Priority"), 10.0);
  EXPECT_EQ(Number(e, "Count"), 0.0);
}

TEST_F(RegistryTest, UnknownTypesAreReportedByName) {
  for (auto op : std::vector<std::function<void()>>{
           [&] { registry->CloneEntity("Ghost", false); },
           [&] { registry->CloneTempEntity("Ghost", false); },
           [&] { registry->CreateBlankEntity("Ghost", false); },
           [&] { registry->CreateBlankTempEntity("Ghost", false); },
           [&] { registry->FindEntity("Ghost"); }}) {
    Thrown t = Catch(op);
    EXPECT_EQ(t.code, DES_EntityNotFound);
    EXPECT_EQ(t.args, (Args{"Ghost"}));
  }
}

TEST_F(RegistryTest, TypesKnownOnlyAsMembersAreFoundThroughTheirTemplate) {
  Define("Pallet", List({{"Crate", "Entity", Entity("Crate", List({{"k", "int", Scalar(4)}}))}}),
         false);
  DesEntity* crate = registry->FindEntity("Crate");
  EXPECT_EQ(crate->GetName(), "Crate");
  EXPECT_TRUE(crate->GetIsSubEntity());
  DesEntity* e = Clone("Crate");
  EXPECT_EQ(Number(e, "k"), 4.0);
}

TEST_F(RegistryTest, ASecondTemplateOfATypeDoesNotReplaceTheFirst) {
  DesEntity* first = Define("Part", List({{"a", "int", Scalar(1)}}), true);
  hvArray* s = Entity("Part", List({{"b", "int", Scalar(2)}}));
  RCPtr<EntityDef> type(new EntityDef(registry, "Part", nullptr, false, true, 1));
  DesEntity* second = new DesEntity(registry, type, s, false, 0, true);
  hvDestroyArray(s);
  EXPECT_FALSE(registry->AddToList(second));
  delete second;
  EXPECT_EQ(registry->FindEntity("Part"), first);
  EXPECT_TRUE(Clone("Part")->HasAttribute(block, "a"));
}

TEST_F(RegistryTest, RegistriesAreNotCopied) {
  EXPECT_FALSE(std::is_copy_constructible<EntityList>::value);
  EXPECT_FALSE(std::is_copy_assignable<EntityList>::value);
}

// The engine ends its registry once, however it is asked to.
TEST(RegistryEnd, DestroyingTheRegistryBeforeTerminateEndsItOnce) {
  host::reset();
  Des::InitMsgContext();
  DesEntity::createTypeMap();
  const std::size_t live = host::liveAllocations();
  {
    Des engine;
    engine.Initialize();
    engine.Start();
    EntityList* registry = engine.GetEntityList();
    ASSERT_NE(registry, nullptr);
    // Leave a recycled entity behind for Termination to release.
    RCPtr<EntityDef> type(new EntityDef(registry, "Imm", nullptr, false, false, 1));
    DesEntity* templ = new DesEntity(registry, type, nullptr, false, 0, true);
    registry->AddToList(templ);
    registry->CloneEntity("Imm", false)->destroy();
    engine.DestroyEntitylist();
    EXPECT_EQ(engine.GetEntityList(), nullptr);
    engine.DestroyEntitylist();
    engine.Terminate();
    engine.Terminate();
  }
  EXPECT_EQ(host::liveAllocations(), live);
  UnregisterMessageCatalogue();
  host::reset();
}

TEST(RegistryEnd, TerminationTwiceReleasesOnce) {
  host::reset();
  DesEntity::createTypeMap();
  Des engine;
  engine.Initialize();
  EntityList* registry = engine.GetEntityList();
  registry->Termination();
  registry->Termination();
  EXPECT_EQ(registry->GetDummyDesEntity(), nullptr);
  EXPECT_EQ(registry->GetPartialEntityList(), nullptr);
  // Lookups still work without probes.
  EXPECT_NE(registry->FindEntity("BlankEntity"), nullptr);
  engine.Terminate();
  host::reset();
}

TEST(RegistryEnd, ASecondEngineSharesThePools) {
  host::reset();
  DesEntity::createTypeMap();
  Des first;
  Des second;
  first.Initialize();
  Pool<DesEntity>* pool = DesEntity::memPool;
  second.Initialize();
  EXPECT_EQ(DesEntity::memPool, pool);
  EXPECT_NE(first.GetEntityList(), second.GetEntityList());
  second.Terminate();
  EXPECT_EQ(DesEntity::memPool, pool);
  EXPECT_NE(first.GetEntityList()->FindEntity("DefaultEntity"), nullptr);
  first.Terminate();
  EXPECT_EQ(DesEntity::memPool, nullptr);
  EXPECT_EQ(TimerData::memPool, nullptr);
  EXPECT_EQ(AttributeDesData::memPool, nullptr);
  host::reset();
}

}  // namespace
