// Attribute access on entities: typed reads and writes and their errors,
// numeric access across types, read-only definitions, DesData shapes,
// attributes marked not existing, and writes that create the attribute.
#include <gtest/gtest.h>

#include <functional>

#include "entity/DesData.h"
#include "entity/DesDataInfo.h"
#include "tests/entity/EntityTestSupport.h"

namespace {

using namespace entity_test;

class EntityAttributeTest : public EngineFixture {
 protected:
  void SetUp() override {
    EngineFixture::SetUp();
    Define("Part",
           List({{"i", "int", Scalar(3)},
                 {"d", "double", Scalar(2.5)},
                 {"s", "string", hvCreateString("abc")},
                 {"v", "DesData", Row({1, 2, 3})},
                 {"fixed", "int", Scalar(7), "false", "true"}},
                5),
           false);
    Define("Bag", List({{"n", "double", Scalar(1)}}), true);
    part = Clone("Part");
  }
  static DesData Vector3(double fill) {
    return DesData(RCPtr<DesDataInfo>(new DesDataInfo(3)), fill);
  }

  DesEntity* part = nullptr;
};

// ---------------------------------------------------------------- typed access

TEST_F(EntityAttributeTest, TypedReadsAndWritesOfTheRightType) {
  int i = 0;
  double d = 0;
  part->ReadFromAttribute(block, "i", &i);
  part->ReadFromAttribute(block, "d", &d);
  EXPECT_EQ(i, 3);
  EXPECT_EQ(d, 2.5);
  part->WriteToAttribute(block, "i", 11);
  part->WriteToAttribute(block, "d", -4.25);
  part->WriteToAttribute(block, "v", Vector3(9.0));
  part->ReadFromAttribute(block, "i", &i);
  part->ReadFromAttribute(block, "d", &d);
  EXPECT_EQ(i, 11);
  EXPECT_EQ(d, -4.25);
  EXPECT_EQ(Number(part, "v"), 9.0);
}

TEST_F(EntityAttributeTest, WrongTypeNamesBothTypesAndTheBlock) {
  Thrown t = Catch([&] { part->WriteToAttribute(block, "i", 1.5); });
  EXPECT_EQ(t.code, DES_AttrIncorrectType);
  EXPECT_EQ(t.args, (Args{"model/Blk", "i", "int", "double"}));
  EXPECT_EQ(t.objects, (std::vector<void*>{block}));

  double d = 0;
  t = Catch([&] { part->ReadFromAttribute(block, "i", &d); });
  EXPECT_EQ(t.args, (Args{"model/Blk", "i", "int", "double"}));
  int i = 0;
  t = Catch([&] { part->ReadFromAttribute(block, "v", &i); });
  EXPECT_EQ(t.args, (Args{"model/Blk", "v", "DesData", "int"}));
  t = Catch([&] { part->WriteToAttribute(block, "s", Vector3(0)); });
  EXPECT_EQ(t.args, (Args{"model/Blk", "s", "string", "DesData"}));
  // Nothing was written.
  part->ReadFromAttribute(block, "i", &i);
  EXPECT_EQ(i, 3);
}

TEST_F(EntityAttributeTest, MissingAttributeNamesTheBlockAndTheName) {
  int i = 0;
  for (auto op : std::vector<std::function<void()>>{
           [&] { part->WriteToAttribute(block, "nope", 1); },
           [&] { part->ReadFromAttribute(block, "nope", &i); },
           [&] { part->ReadNumberFromAttribute(block, "nope"); },
           [&] { part->WriteNumberToAttribute(block, "nope", 1.0); },
           [&] { part->FindAttrDefClass(block, "nope", false); }}) {
    Thrown t = Catch(op);
    EXPECT_EQ(t.code, DES_AttrNotFound);
    EXPECT_EQ(t.args, (Args{"model/Blk", "nope"}));
    EXPECT_EQ(t.objects, (std::vector<void*>{block}));
  }
  EXPECT_FALSE(part->FindAttrDefClass(block, "nope", true));
  EXPECT_FALSE(part->GetDef()->FindAttrDefClass("nope"));
}

TEST_F(EntityAttributeTest, IntOrDoubleReadsConvertInts) {
  double d = 0;
  part->ReadFromAttributeIntOrDbl(block, "i", &d);
  EXPECT_EQ(d, 3.0);
  part->ReadFromAttributeIntOrDbl(block, "d", &d);
  EXPECT_EQ(d, 2.5);
  // Other types fail with the attribute's own message.
  Thrown t = Catch([&] { part->ReadFromAttributeIntOrDbl(block, "s", &d); });
  EXPECT_EQ(t.code, DES_IllegalTypeAccess);
  EXPECT_EQ(t.args.at(0), "s");
}

// ---------------------------------------------------------------- numbers

TEST_F(EntityAttributeTest, NumericWritesTruncateIntsAndReplaceTheFirstElement) {
  part->WriteNumberToAttribute(block, "i", 2.9);
  EXPECT_EQ(Number(part, "i"), 2.0);
  part->WriteNumberToAttribute(block, "i", -2.9);
  EXPECT_EQ(Number(part, "i"), -2.0);
  part->WriteNumberToAttribute(block, "i", 1e300);  // saturates, no undefined conversion
  EXPECT_EQ(Number(part, "i"), 2147483647.0);
  part->WriteNumberToAttribute(block, "d", 0.125);
  EXPECT_EQ(Number(part, "d"), 0.125);

  part->WriteNumberToAttribute(block, "v", 8.0);
  DesData v;
  part->FindAttrClass(block, "v")->GetData(v);
  EXPECT_EQ(v[0], 8.0);
  EXPECT_EQ(v[1], 2.0);
  EXPECT_EQ(v[2], 3.0);

  part->WriteNumberToAttribute(block, "s", 5.0);  // other types stay as they are
  std::string s;
  part->FindAttrClass(block, "s")->GetData(s);
  EXPECT_EQ(s, "abc");
  Thrown t = Catch([&] { part->ReadNumberFromAttribute(block, "s"); });
  EXPECT_EQ(t.code, DES_AttrIncorrectType);
  EXPECT_EQ(t.args, (Args{"model/Blk", "s", "string", "double"}));
}

// ---------------------------------------------------------------- read-only and shapes

TEST_F(EntityAttributeTest, ReadOnlyDefinitionsAndDesDataShapes) {
  EXPECT_TRUE(part->FindAttrDefClass(block, "fixed", false)->GetReadOnly());
  EXPECT_FALSE(part->FindAttrDefClass(block, "i", false)->GetReadOnly());
  Thrown t = Catch([&] { part->WriteToAttribute(block, "fixed", 1); });
  EXPECT_EQ(t.code, DES_CannotSetReadOnlyFields);
  EXPECT_EQ(Number(part, "fixed"), 7.0);

  DesData scalar(5.0);
  t = Catch([&] { part->WriteToAttribute(block, "v", scalar); });
  EXPECT_EQ(t.code, DES_AttrDimNotMatch);
  EXPECT_EQ(t.args.at(0), "v");
  EXPECT_EQ(Number(part, "v"), 1.0);

  DesData written = Vector3(4.0);
  part->WriteToAttribute(block, "v", written);
  DesData read;
  part->FindAttrClass(block, "v")->GetData(read);
  EXPECT_EQ(read.GetValuePtr().get(), written.GetValuePtr().get());
  // Copy on write keeps the entity's value apart from later changes.
  written[0] = -1.0;
  EXPECT_EQ(Number(part, "v"), 4.0);
}

// ---------------------------------------------------------------- not existing

TEST_F(EntityAttributeTest, AttributesMarkedNotExistingBehaveAsMissing) {
  part->FindAttrClass(block, "i")->SetExists(false);
  EXPECT_TRUE(part->FindAttrClass(block, "i"));
  EXPECT_FALSE(part->HasAttribute(block, "i"));
  int i = 0;
  EXPECT_EQ(Catch([&] { part->ReadFromAttribute(block, "i", &i); }).code, DES_AttrNotFound);
  EXPECT_EQ(Catch([&] { part->WriteToAttribute(block, "i", 1); }).code, DES_AttrNotFound);
  EXPECT_EQ(Catch([&] { part->WriteNumberToAttribute(block, "i", 1); }).code, DES_AttrNotFound);
  // A write with creation brings it back, even on an immutable type.
  part->WriteToAttributeAllowCreate(block, "i", 42, false);
  EXPECT_TRUE(part->HasAttribute(block, "i"));
  EXPECT_EQ(Number(part, "i"), 42.0);
}

// ---------------------------------------------------------------- write with creation

TEST_F(EntityAttributeTest, CreationOnAMutableTypeFilesDefinitionAndTemplateAttribute) {
  DesEntity* bag = Clone("Bag");
  bag->WriteToAttributeAllowCreate(block, "count", 5, false);
  bag->WriteToAttributeAllowCreate(block, "load", 1.5, false);
  bag->WriteToAttributeAllowCreate(block, "shape", Vector3(2.0), false);
  EXPECT_EQ(Number(bag, "count"), 5.0);
  EXPECT_EQ(Number(bag, "load"), 1.5);
  EXPECT_EQ(Number(bag, "shape"), 2.0);

  RCPtr<EntityDef> type = bag->GetDef();
  EXPECT_EQ(type->FindAttrDefClass("count")->GetTypeEnum(), eAttrInt);
  EXPECT_EQ(type->FindAttrDefClass("load")->GetTypeEnum(), eAttrDouble);
  ASSERT_NE(type->FindAttrDefClass("shape")->GetDataInfo(), nullptr);
  EXPECT_EQ(type->FindAttrDefClass("shape")->GetDataInfo()->GetWidth(), 3);

  DesEntity* templ = registry->FindEntity("Bag");
  ASSERT_TRUE(templ->FindAttrClass(block, "count"));
  EXPECT_FALSE(templ->HasAttribute(block, "count"));

  // Later clones carry it, missing until written.
  DesEntity* next = Clone("Bag");
  EXPECT_TRUE(next->FindAttrClass(block, "count"));
  EXPECT_FALSE(next->HasAttribute(block, "count"));
  EXPECT_EQ(Catch([&] { next->ReadNumberFromAttribute(block, "count"); }).code, DES_AttrNotFound);
  next->WriteToAttributeAllowCreate(block, "count", 9, false);
  EXPECT_EQ(Number(next, "count"), 9.0);
  EXPECT_EQ(Number(bag, "count"), 5.0);
}

TEST_F(EntityAttributeTest, CreationOnAnImmutableTypeFailsAndCreatesNothing) {
  const std::size_t defs = part->GetDef()->GetAttribDefSet().size();
  const std::size_t attrs = part->GetAttributeSet().size();
  const std::size_t templAttrs = registry->FindEntity("Part")->GetAttributeSet().size();
  Thrown t = Catch([&] { part->WriteToAttributeAllowCreate(block, "extra", 1.0, false); });
  EXPECT_EQ(t.code, DES_AttrNotFound);
  EXPECT_EQ(t.args, (Args{"model/Blk", "extra"}));
  EXPECT_EQ(t.objects, (std::vector<void*>{block}));
  EXPECT_EQ(part->GetDef()->GetAttribDefSet().size(), defs);
  EXPECT_EQ(part->GetAttributeSet().size(), attrs);
  EXPECT_EQ(registry->FindEntity("Part")->GetAttributeSet().size(), templAttrs);
}

TEST_F(EntityAttributeTest, CreationNeedsTheBlocksEngine) {
  DesEntity* bag = Clone("Bag");
  TestBlock detached(nullptr);
  Thrown t = Catch([&] { bag->WriteToAttributeAllowCreate(&detached, "x", 1, false); });
  EXPECT_EQ(t.code, DES_GenericInternalErr);
  EXPECT_EQ(t.args, (Args{"invalid des pointer"}));
  EXPECT_FALSE(bag->FindAttrClass(block, "x"));
  EXPECT_FALSE(bag->GetDef()->FindAttrDefClass("x"));
}

TEST_F(EntityAttributeTest, CreationOnAnExistingAttributeStillChecksItsType) {
  DesEntity* bag = Clone("Bag");
  // The int version reports without the block's handle, the others with it.
  Thrown t = Catch([&] { bag->WriteToAttributeAllowCreate(block, "n", 1, false); });
  EXPECT_EQ(t.code, DES_AttrIncorrectType);
  EXPECT_EQ(t.args, (Args{"model/Blk", "n", "double", "int"}));
  EXPECT_TRUE(t.objects.empty());
  t = Catch([&] { bag->WriteToAttributeAllowCreate(block, "n", Vector3(0), false); });
  EXPECT_EQ(t.args, (Args{"model/Blk", "n", "double", "DesData"}));
  EXPECT_EQ(t.objects, (std::vector<void*>{block}));
  // A failed write leaves a not-existing attribute not existing.
  bag->FindAttrClass(block, "n")->SetExists(false);
  Catch([&] { bag->WriteToAttributeAllowCreate(block, "n", 1, false); });
  EXPECT_FALSE(bag->HasAttribute(block, "n"));
}

TEST(EntityTypeMap, NamesTheSixTypesInOrder) {
  DesEntity::createTypeMap();
  const char* names[] = {"int", "double", "string", "hvArray *", "double *", "DesData"};
  for (int t = 0; t < 6; ++t) EXPECT_EQ(DesEntity::getAttrType(names[t]), t);
  EXPECT_EQ(DesEntity::getAttrType("Int"), -1);
  EXPECT_EQ(DesEntity::typeMap.size(), 6u);
  DesEntity::createTypeMap();
  EXPECT_EQ(DesEntity::typeMap.size(), 6u);
}

}  // namespace
