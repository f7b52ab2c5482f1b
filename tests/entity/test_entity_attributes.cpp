// Attribute access on entities: typed and numeric access and their errors,
// read-only, attributes marked not existing, writes that create.
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
  static DesData Vector3(double fill) { return DesData(DesDataInfo(3), fill); }
  // Each operation's error: code, texts, whether the block's handle is attached.
  struct Refusal {
    std::function<void()> op;
    uint32_t code;
    Args args;
    bool withBlock = true;
  };
  void ExpectRefusals(const std::vector<Refusal>& refusals) {
    for (const Refusal& r : refusals) {
      const Thrown t = Catch(r.op);
      EXPECT_EQ(Err(t), Error(r.code, r.args)) << &r - refusals.data();
      EXPECT_EQ(t.objects, r.withBlock ? std::vector<void*>{block} : std::vector<void*>{})
          << &r - refusals.data();
    }
  }

  DesEntity* part = nullptr;
};

TEST_F(EntityAttributeTest, TypedAccessAndItsErrorsWithTheirArguments) {
  int i = 0;
  double d = 0;
  part->WriteToAttribute(block, "i", 11);
  part->WriteToAttribute(block, "d", -4.25);
  part->WriteToAttribute(block, "v", Vector3(9.0));
  part->ReadFromAttribute(block, "i", &i);
  part->ReadFromAttribute(block, "d", &d);
  EXPECT_EQ((std::vector<double>{1.0 * i, d, Number(part, "v")}),
            (std::vector<double>{11, -4.25, 9}));
  part->ReadFromAttributeIntOrDbl(block, "i", &d);  // an int read as a double
  EXPECT_EQ(d, 11.0);

  const Args missing = {"model/Blk", "nope"};
  ExpectRefusals({
      {[&] { part->WriteToAttribute(block, "i", 1.5); }, DES_AttrIncorrectType,
       {"model/Blk", "i", "int", "double"}},
      {[&] { part->ReadFromAttribute(block, "i", &d); }, DES_AttrIncorrectType,
       {"model/Blk", "i", "int", "double"}},
      {[&] { part->ReadFromAttribute(block, "v", &i); }, DES_AttrIncorrectType,
       {"model/Blk", "v", "DesData", "int"}},
      {[&] { part->WriteToAttribute(block, "s", Vector3(0)); }, DES_AttrIncorrectType,
       {"model/Blk", "s", "string", "DesData"}},
      {[&] { part->ReadNumberFromAttribute(block, "s"); }, DES_AttrIncorrectType,
       {"model/Blk", "s", "string", "double"}},
      // Other types fail with the attribute's own message.
      {[&] { part->ReadFromAttributeIntOrDbl(block, "s", &d); }, DES_IllegalTypeAccess,
       {"s", "string"}, false},
      {[&] { part->WriteToAttribute(block, "fixed", 1); }, DES_CannotSetReadOnlyFields,
       {"Entity", "fixed"}, false},
      {[&] { part->WriteToAttribute(block, "nope", 1); }, DES_AttrNotFound, missing},
      {[&] { part->ReadFromAttribute(block, "nope", &i); }, DES_AttrNotFound, missing},
      {[&] { part->ReadNumberFromAttribute(block, "nope"); }, DES_AttrNotFound, missing},
      {[&] { part->WriteNumberToAttribute(block, "nope", 1.0); }, DES_AttrNotFound, missing},
      {[&] { part->FindAttrDefClass(block, "nope", false); }, DES_AttrNotFound, missing},
  });
  EXPECT_FALSE(part->FindAttrDefClass(block, "nope", true));
  EXPECT_EQ((std::vector<double>{Number(part, "i"), Number(part, "fixed")}),
            (std::vector<double>{11, 7}));
}

TEST_F(EntityAttributeTest, NumericWritesTruncateIntsAndReplaceTheFirstElement) {
  std::vector<double> ints;
  for (double v : {2.9, -2.9, 1e300}) {  // the last saturates, no undefined conversion
    part->WriteNumberToAttribute(block, "i", v);
    ints.push_back(Number(part, "i"));
  }
  EXPECT_EQ(ints, (std::vector<double>{2, -2, 2147483647.0}));
  part->WriteNumberToAttribute(block, "d", 0.125);
  part->WriteNumberToAttribute(block, "v", 8.0);
  DesData v;
  part->FindAttrClass(block, "v")->GetData(v);
  EXPECT_EQ(Numbers(v), (std::vector<double>{8, 2, 3}));
  EXPECT_EQ(Number(part, "d"), 0.125);
  part->WriteNumberToAttribute(block, "s", 5.0);  // other types stay as they are
  std::string s;
  part->FindAttrClass(block, "s")->GetData(s);
  EXPECT_EQ(s, "abc");
}

TEST_F(EntityAttributeTest, AttributesMarkedNotExistingBehaveAsMissing) {
  part->FindAttrClass(block, "i")->SetExists(false);
  EXPECT_FALSE(part->HasAttribute(block, "i"));
  int i = 0;
  for (const Thrown& t : {Catch([&] { part->ReadFromAttribute(block, "i", &i); }),
                          Catch([&] { part->WriteToAttribute(block, "i", 1); }),
                          Catch([&] { part->WriteNumberToAttribute(block, "i", 1); })})
    EXPECT_EQ(t.code, DES_AttrNotFound);
  // A write with creation brings it back, even on an immutable type.
  part->WriteToAttributeAllowCreate(block, "i", 42, false);
  EXPECT_TRUE(part->HasAttribute(block, "i"));
  EXPECT_EQ(Number(part, "i"), 42.0);
}

TEST_F(EntityAttributeTest, CreationOnAMutableTypeFilesDefinitionAndTemplateAttribute) {
  DesEntity* bag = Clone("Bag");
  bag->WriteToAttributeAllowCreate(block, "count", 5, false);
  bag->WriteToAttributeAllowCreate(block, "load", 1.5, false);
  bag->WriteToAttributeAllowCreate(block, "shape", Vector3(2.0), false);
  EXPECT_EQ((std::vector<double>{Number(bag, "count"), Number(bag, "load"), Number(bag, "shape")}),
            (std::vector<double>{5, 1.5, 2}));
  RCPtr<EntityDef> type = bag->GetDef();
  EXPECT_EQ((std::vector<int>{type->FindAttrDefClass("count")->GetTypeEnum(),
                              type->FindAttrDefClass("load")->GetTypeEnum(),
                              type->FindAttrDefClass("shape")->GetDataInfo()->GetWidth()}),
            (std::vector<int>{eAttrInt, eAttrDouble, 3}));
  DesEntity* templ = registry->FindEntity("Bag");
  ASSERT_TRUE(templ->FindAttrClass(block, "count"));
  EXPECT_FALSE(templ->HasAttribute(block, "count"));

  // Later clones carry it, missing until written.
  DesEntity* next = Clone("Bag");
  EXPECT_TRUE(next->FindAttrClass(block, "count"));
  EXPECT_EQ(Catch([&] { next->ReadNumberFromAttribute(block, "count"); }).code, DES_AttrNotFound);
  next->WriteToAttributeAllowCreate(block, "count", 9, false);
  EXPECT_EQ((std::vector<double>{Number(next, "count"), Number(bag, "count")}),
            (std::vector<double>{9, 5}));

  // Without the block's engine nothing is created.
  TestBlock detached(nullptr);
  EXPECT_EQ(Err(Catch([&] { bag->WriteToAttributeAllowCreate(&detached, "x", 1, false); })),
            (Error{DES_GenericInternalErr, {"invalid des pointer"}}));
  EXPECT_FALSE(bag->FindAttrClass(block, "x") || type->FindAttrDefClass("x"));
}

// A read-only attribute created by a write takes the written value; every
// later write is refused. Each entity's creating write stores its own value.
TEST_F(EntityAttributeTest, AReadOnlyAttributeCreatedByAWriteKeepsItsValue) {
  DesEntity* early = Clone("Bag");  // made before the type has the definitions
  DesEntity* bag = Clone("Bag");
  bag->WriteToAttributeAllowCreate(block, "serial", 17, true);
  bag->WriteToAttributeAllowCreate(block, "weight", 2.5, true);
  bag->WriteToAttributeAllowCreate(block, "pos", Vector3(4.0), true);
  auto values = [&](DesEntity* e) {
    return std::vector<double>{Number(e, "serial"), Number(e, "weight"), Number(e, "pos")};
  };
  EXPECT_EQ(values(bag), (std::vector<double>{17, 2.5, 4}));
  RCPtr<EntityDef> type = bag->GetDef();
  for (const char* name : {"serial", "weight", "pos"})
    EXPECT_TRUE(type->FindAttrDefClass(name)->GetReadOnly()) << name;

  const std::vector<Refusal> laterWrites = {
      {[&] { bag->WriteToAttributeAllowCreate(block, "serial", 18, true); },
       DES_CannotSetReadOnlyFields, {"Entity", "serial"}, false},
      {[&] { bag->WriteToAttribute(block, "serial", 18); }, DES_CannotSetReadOnlyFields,
       {"Entity", "serial"}, false},
      {[&] { bag->WriteNumberToAttribute(block, "weight", 3.0); }, DES_CannotSetReadOnlyFields,
       {"Entity", "weight"}, false},
      {[&] { bag->WriteToAttributeAllowCreate(block, "pos", Vector3(1.0), false); },
       DES_CannotSetReadOnlyFields, {"Entity", "pos"}, false},
  };
  ExpectRefusals(laterWrites);
  EXPECT_EQ(values(bag), (std::vector<double>{17, 2.5, 4}));

  // A later clone carries the attributes marked not existing, an earlier one
  // lacks them: in both, the first write creates and stores.
  DesEntity* next = Clone("Bag");
  for (DesEntity* e : {next, early}) {
    const double base = e == next ? 20 : 30;
    e->WriteToAttributeAllowCreate(block, "serial", static_cast<int>(base), true);
    e->WriteToAttributeAllowCreate(block, "weight", base + 0.5, false);
    e->WriteToAttributeAllowCreate(block, "pos", Vector3(base), false);
    EXPECT_EQ(values(e), (std::vector<double>{base, base + 0.5, base}));
    EXPECT_EQ(Catch([&] { e->WriteToAttribute(block, "serial", 1); }).code,
              DES_CannotSetReadOnlyFields);
  }
  EXPECT_EQ(values(bag), (std::vector<double>{17, 2.5, 4}));
}

// A refused creating write leaves the entity, its type and the template as they were.
TEST_F(EntityAttributeTest, ARefusedCreatingWriteChangesNothing) {
  DesEntity* early = Clone("Bag");
  DesEntity* bag = Clone("Bag");
  bag->WriteToAttributeAllowCreate(block, "count", 5, false);
  bag->WriteToAttributeAllowCreate(block, "shape", Vector3(2.0), false);
  DesEntity* templ = registry->FindEntity("Bag");
  auto sizes = [&] {
    return std::vector<std::size_t>{bag->GetDef()->GetAttribDefSet().size(),
                                    early->GetAttributeSet().size(),
                                    templ->GetAttributeSet().size()};
  };
  const std::vector<std::size_t> before = sizes();
  ExpectRefusals({
      {[&] { early->WriteToAttributeAllowCreate(block, "count", 1.5, false); },
       DES_AttrIncorrectType, {"model/Blk", "count", "int", "double"}},
      {[&] { early->WriteToAttributeAllowCreate(block, "shape", 1, true); },
       DES_AttrIncorrectType, {"model/Blk", "shape", "DesData", "int"}, false},
      {[&] { early->WriteToAttributeAllowCreate(block, "shape", DesData(DesDataInfo(2), 1.0), false); },
       DES_AttrDimNotMatch,
       {"shape", "an one dimensional vector with 2 elements",
        "an one dimensional vector with 3 elements"},
       false},
  });
  EXPECT_EQ(sizes(), before);
  EXPECT_FALSE(early->FindAttrClass(block, "count") || early->FindAttrClass(block, "shape"));
  EXPECT_FALSE(early->GetDef()->FindAttrDefClass("count")->GetReadOnly());
}

// Creation on an immutable type, or with the wrong type, fails and creates nothing.
TEST_F(EntityAttributeTest, RefusedCreationsCreateNothing) {
  auto sizes = [&] {
    return std::vector<std::size_t>{part->GetDef()->GetAttribDefSet().size(),
                                    part->GetAttributeSet().size(),
                                    registry->FindEntity("Part")->GetAttributeSet().size()};
  };
  const std::vector<std::size_t> before = sizes();
  DesEntity* bag = Clone("Bag");
  // The int version reports without the block's handle, the others with it.
  ExpectRefusals({
      {[&] { part->WriteToAttributeAllowCreate(block, "extra", 1.0, false); }, DES_AttrNotFound,
       {"model/Blk", "extra"}},
      {[&] { bag->WriteToAttributeAllowCreate(block, "n", 1, false); }, DES_AttrIncorrectType,
       {"model/Blk", "n", "double", "int"}, false},
      {[&] { bag->WriteToAttributeAllowCreate(block, "n", Vector3(0), false); },
       DES_AttrIncorrectType, {"model/Blk", "n", "double", "DesData"}},
  });
  EXPECT_EQ(sizes(), before);
  // A failed write leaves a not-existing attribute not existing.
  bag->FindAttrClass(block, "n")->SetExists(false);
  Catch([&] { bag->WriteToAttributeAllowCreate(block, "n", 1, false); });
  EXPECT_FALSE(bag->HasAttribute(block, "n"));
}

// A handle learns where its name sits in one type's attribute set and must
// still find it, or report it missing exactly as a lookup by name does, on
// entities of other types, where the same position holds another name.
TEST_F(EntityAttributeTest, HandlesFindTheirNameWhereverItSits) {
  Define("Early", List({{"a", "double", Scalar(1)}, {"d", "double", Scalar(8)}}), false);
  DesEntity* early = Clone("Early");
  const NameHandle d("d");
  part->WriteNumberToAttribute(block, d, 6.5);  // fourth of five in Part
  EXPECT_EQ(early->ReadNumberFromAttribute(block, d), 8.0);  // second of two
  early->WriteNumberToAttribute(block, d, 9.0);
  EXPECT_EQ((std::vector<double>{Number(part, "d"), Number(early, "d"), part->ReadNumberFromAttribute(block, d)}),
            (std::vector<double>{6.5, 9.0, 6.5}));

  const NameHandle i("i"), missing("zz");
  const Thrown byName = Catch([&] { Number(early, "i"); });
  const Thrown byHandle = Catch([&] { early->ReadNumberFromAttribute(block, i); });
  EXPECT_EQ(Err(byHandle), Err(byName));
  EXPECT_EQ(Err(Catch([&] { part->WriteNumberToAttribute(block, missing, 1.0); })),
            Error(DES_AttrNotFound, {"model/Blk", "zz"}));
  part->WriteNumberToAttribute(block, i, 4.9);
  EXPECT_EQ(Number(part, "i"), 4.0);

  // Timers: created through the handle, then found by it and by name.
  const NameHandle tag("T");
  EXPECT_EQ(early->FindTimer(block, tag, false).get(), nullptr);
  RCPtr<TimerData> timer = early->FindOrCreateTimer(block, tag);
  EXPECT_EQ(early->FindOrCreateTimer(block, tag).get(), timer.get());
  EXPECT_EQ(early->FindTimer(block, "T", true).get(), timer.get());
  EXPECT_EQ(Err(Catch([&] { part->FindTimer(block, tag, true); })),
            Err(Catch([&] { part->FindTimer(block, "T", true); })));
}

}  // namespace
