// The registry of entity types: default templates, lookups, adding
// templates, and the end of a registry.
#include <gtest/gtest.h>

#include <type_traits>

#include "entity/DesData.h"
#include "tests/entity/EntityTestSupport.h"

namespace {

using namespace entity_test;

class RegistryTest : public EngineFixture {};

TEST_F(RegistryTest, DefaultTemplatesExist) {
  DesEntity* def = registry->FindEntity("DefaultEntity");
  EXPECT_EQ(def->GetId(), "<none>");
  EXPECT_TRUE(def->GetMutable());
  EXPECT_FALSE(def->GetReadOnly());
  EXPECT_EQ(def->GetDef()->GetMaxLookupLevel(), 1u);
  EXPECT_TRUE(registry->FindEntity("BlankEntity")->GetAttributeSet().empty());
  DesEntity* e = Clone("DefaultEntity");
  EXPECT_EQ(e->GetAttributeSet().size(), 2u);
  for (const char* name : {"Priority", "Count"}) {
    DesData v;  // a DesData attribute of one element
    e->FindAttrClass(block, name)->GetData(v);
    EXPECT_EQ(v.GetDataInfo().GetWidth(), 1);
  }
  EXPECT_EQ((std::vector<double>{Number(e, "Priority"), Number(e, "Count")}),
            (std::vector<double>{10, 0}));
}

TEST_F(RegistryTest, LookupsAndTemplates) {
  // Every way of making an entity by type name starts with this lookup.
  for (const Thrown& t : {Catch([&] { registry->FindEntity("Ghost"); }),
                          Catch([&] { registry->CloneEntity("Ghost", false); })})
    EXPECT_EQ(Err(t), Error(DES_EntityNotFound, {"Ghost"}));
  // A second template of a type does not replace the first.
  DesEntity* first = Define("Part", List({{"a", "int", Scalar(1)}}), true);
  DesEntity* second = Read("Part", Entity("Part", List({{"b", "int", Scalar(2)}})));
  EXPECT_FALSE(registry->AddToList(second));
  delete second;
  EXPECT_EQ(registry->FindEntity("Part"), first);
  EXPECT_TRUE(Clone("Part")->HasAttribute(block, "a"));
  // Adopting gives the template up whatever happens: a duplicate, or one
  // the registry has no memory to file, is released (the sanitizer tree
  // finds it if not).
  registry->AdoptTemplate(Read("Part", Entity("Part", Empty())));
  EXPECT_EQ(registry->FindEntity("Part"), first);
  DesEntity* unfiled = Read("Late", Entity("Late", Empty()));
  host::failAllocationsFrom(1);
  EXPECT_TRUE(Catch([&] { registry->AdoptTemplate(unfiled); }).Memory());
  host::failAllocationsFrom(0);
  EXPECT_TRUE(Catch([&] { registry->FindEntity("Late"); }).code == DES_EntityNotFound);
  // Copies would leave two registries deleting the same probes.
  EXPECT_FALSE(std::is_copy_constructible<EntityList>::value);
  EXPECT_FALSE(std::is_copy_assignable<EntityList>::value);
}

// Engines made and ended by the test itself.
class RegistryEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    host::reset();
    Des::InitMsgContext();
    DesEntity::createTypeMap();
  }
  void TearDown() override {
    UnregisterMessageCatalogue();
    host::reset();
  }
};

// Termination twice, then DestroyEntitylist and Terminate twice each: all
// end the registry once (a double free shows under the sanitizer).
TEST_F(RegistryEnd, HoweverItIsEndedTheRegistryEndsOnce) {
  const std::size_t live = host::liveAllocations();
  {
    Des engine;
    engine.Initialize();
    engine.Start();
    EntityList* registry = engine.GetEntityList();
    ASSERT_NE(registry, nullptr);
    // A recycled entity for Termination to release.
    RCPtr<EntityDef> type(new EntityDef(registry, "Imm", nullptr, false, false, 1));
    registry->AddToList(new DesEntity(registry, type, nullptr, false, 0, true));
    registry->CloneEntity("Imm", false)->destroy();
    registry->Termination();
    registry->Termination();
    EXPECT_EQ(registry->GetDummyDesEntity(), nullptr);
    EXPECT_EQ(registry->GetPartialEntityList(), nullptr);
    EXPECT_NE(registry->FindEntity("BlankEntity"), nullptr);
    engine.DestroyEntitylist();
    EXPECT_EQ(engine.GetEntityList(), nullptr);
    engine.DestroyEntitylist();
    engine.Terminate();
    engine.Terminate();
  }
  EXPECT_EQ(host::liveAllocations(), live);
}

}  // namespace
