// Reading entity types from host structures: the accepted shapes, every
// format error with its arguments, value conversion per attribute type,
// nested entities and the nesting limit, and failures that leave nothing
// behind.
#include <gtest/gtest.h>

#include <string>

#include "entity/DesData.h"
#include "tests/entity/EntityTestSupport.h"
#include "tests/entity/MemoryChecks.h"

namespace {

using namespace entity_test;

class StructureFormatTest : public EngineFixture {
 protected:
  // Reads `s` (destroyed afterwards) into a new entity of a fresh mutable
  // type named `name`; the test owns the result.
  DesEntity* Read(hvArray* s, const char* name = "T", bool isSub = false) {
    RCPtr<EntityDef> type(new EntityDef(registry, name, nullptr, false, true, 1));
    DesEntity* e = nullptr;
    try {
      e = new DesEntity(registry, type, s, isSub, 0, true);
    } catch (...) {
      hvDestroyArray(s);
      throw;
    }
    hvDestroyArray(s);
    made.push_back(e);
    return e;
  }
  Thrown ReadFails(hvArray* s, const char* name = "T") {
    return Catch([&] { Read(s, name); });
  }
  void TearDown() override {
    for (DesEntity* e : made) delete e;
    EngineFixture::TearDown();
  }
  std::vector<DesEntity*> made;
};

hvArray* StructWith(std::initializer_list<const char*> fields, std::size_t m = 1) {
  std::vector<const char*> names(fields);
  return hvCreateStructMatrix(m, 1, static_cast<int>(names.size()), names.data());
}

// ---------------------------------------------------------------- entity structure

TEST_F(StructureFormatTest, EntityStructureErrors) {
  Thrown t = ReadFails(Scalar(1));
  EXPECT_EQ(t.code, DES_NotHvStructFormat);
  EXPECT_EQ(t.args, (Args{"T"}));

  t = ReadFails(StructWith({"Name", "Type", "Value"}, 2));
  EXPECT_EQ(t.code, DES_InvalidHvArrayNumFields);
  EXPECT_EQ(t.args, (Args{"T"}));
  t = ReadFails(StructWith({"Name", "Type", "Value", "RO", "X"}));
  EXPECT_EQ(t.code, DES_InvalidHvArrayNumFields);
  t = ReadFails(StructWith({"Name", "Type"}));
  EXPECT_EQ(t.code, DES_InvalidHvArrayNumFields);

  hvArray* noValue = StructWith({"Name", "Type", "Other"});
  t = ReadFails(noValue);
  EXPECT_EQ(t.code, DES_MissingHvArrayFieldName);
  EXPECT_EQ(t.args, (Args{"Entity", "T", "Value"}));

  hvArray* roNumber = Entity("T", Empty(), "x");
  hvSetField(roNumber, 0, "RO", Scalar(1));
  t = ReadFails(roNumber);
  EXPECT_EQ(t.code, DES_MissingHvArrayFieldName);
  EXPECT_EQ(t.args, (Args{"DesEntity/Attribute", "T", "RO"}));

  // A text "RO" is accepted and changes nothing.
  DesEntity* e = Read(Entity("T", Empty(), "true"));
  EXPECT_FALSE(e->GetReadOnly());
}

TEST_F(StructureFormatTest, EmptyListsMakeNoAttributes) {
  EXPECT_TRUE(Read(Entity("T", Empty()))->GetAttributeSet().empty());
  EXPECT_TRUE(Read(Entity("T", hvCreateCellMatrix(0, 0)))->GetAttributeSet().empty());
  EXPECT_TRUE(Read(Entity("T", StructWith({"Name", "Type", "Value"}, 0)))
                  ->GetAttributeSet()
                  .empty());
  Thrown t = ReadFails(Entity("T", Scalar(1)));
  EXPECT_EQ(t.code, DES_NotHvStructFormat);
  EXPECT_EQ(t.args, (Args{"T"}));
  t = ReadFails(Entity("T", hvCreateString("abc")));
  EXPECT_EQ(t.code, DES_NotHvStructFormat);
}

TEST_F(StructureFormatTest, TheNameComesFromTheStructureWhenTheTypeHasNone) {
  DesEntity* e = Read(Entity("Widget", Empty()), "");
  EXPECT_EQ(e->GetName(), "Widget");
}

// ---------------------------------------------------------------- attribute lists

TEST_F(StructureFormatTest, AttributeListErrors) {
  const char* six[] = {"Name", "Type", "Value", "isMutable", "RO", "X"};
  hvArray* wide = hvCreateStructMatrix(1, 1, 6, six);
  Thrown t = ReadFails(Entity("T", wide));
  EXPECT_EQ(t.code, DES_InvalidHvArrayNumFields);
  EXPECT_EQ(t.args, (Args{"T"}));

  hvArray* typeNumber = List({{"a", "int", Scalar(1)}});
  hvSetField(typeNumber, 0, "Type", Scalar(0));
  t = ReadFails(Entity("T", typeNumber));
  EXPECT_EQ(t.code, DES_MissingHvArrayFieldName);
  EXPECT_EQ(t.args, (Args{"DesEntity/Attribute", "T", "Type"}));

  hvArray* noName = StructWith({"Nom", "Type", "Value"});
  hvSetField(noName, 0, "Type", hvCreateString("int"));
  t = ReadFails(Entity("T", noName));
  EXPECT_EQ(t.args, (Args{"DesEntity/Attribute", "T", "Name"}));

  hvArray* noValue = StructWith({"Name", "Type", "Val"});
  hvSetField(noValue, 0, "Name", hvCreateString("a"));
  hvSetField(noValue, 0, "Type", hvCreateString("int"));
  t = ReadFails(Entity("T", noValue));
  EXPECT_EQ(t.code, DES_MissingAttrFieldName);
  EXPECT_EQ(t.args, (Args{"a", "T", "Value"}));

  t = ReadFails(Entity("T", List({{"a", "int", Scalar(1)}, {"a", "double", Scalar(2)}})));
  EXPECT_EQ(t.code, DES_DuplicateAttribNameInEntity);
  EXPECT_EQ(t.args, (Args{"a"}));
  t = ReadFails(Entity("T", List({{"M", "Entity", Entity("M", Empty())},
                                  {"M", "Entity", Entity("M", Empty())}})));
  EXPECT_EQ(t.code, DES_DuplicateAttribNameInEntity);
  EXPECT_EQ(t.args, (Args{"M"}));

  t = ReadFails(Entity("T", List({{"a", "Int", Scalar(1)}})));
  EXPECT_EQ(t.code, DES_IllegalBlockTypeName);
  EXPECT_EQ(t.args, (Args{"a", "-1"}));

  t = ReadFails(Entity("T", List({{"a", "int", hvCreateString("x")}})));
  EXPECT_EQ(t.code, DES_InvalidHvArrayFieldName);
  EXPECT_EQ(t.args, (Args{"Attribute", "a", "Value"}));
  t = ReadFails(Entity("T", List({{"a", "double", Empty()}})));
  EXPECT_EQ(t.code, DES_InvalidHvArrayFieldName);
}

TEST_F(StructureFormatTest, EntityTypesBeginWithEntityInCapitals) {
  DesEntity* e = Read(Entity("T", List({{"A", "Entity", Entity("A", Empty())},
                                        {"B", "EntityOfSorts", Entity("B", Empty())}})));
  EXPECT_EQ(e->GetEntitySet()->size(), 2u);
  EXPECT_EQ(e->GetHasSubEntity(), 0u);  // members read from a structure: not a composite
  EXPECT_NE(e->FindEntity("A"), nullptr);
  EXPECT_NE(e->FindEntity("B"), nullptr);
  Thrown t = ReadFails(Entity("T", List({{"c", "entity", Entity("c", Empty())}})));
  EXPECT_EQ(t.code, DES_IllegalBlockTypeName);
  EXPECT_EQ(t.args, (Args{"c", "-1"}));
}

TEST_F(StructureFormatTest, TrueIsTrueInAnyCaseAndNothingElseIs) {
  DesEntity* e = Read(Entity(
      "T", List({{"M1", "Entity", Entity("M1", Empty()), "TRUE", "tRuE"},
                 {"M2", "Entity", Entity("M2", Empty()), "yes", "1"},
                 {"a", "int", Scalar(1), "false", "True"},
                 {"b", "int", Scalar(1), "true", "truer"}},
                5)));
  EXPECT_TRUE(e->FindEntity("M1")->GetMutable());
  EXPECT_TRUE(e->FindEntity("M1")->GetReadOnly());
  EXPECT_FALSE(e->FindEntity("M2")->GetMutable());
  EXPECT_FALSE(e->FindEntity("M2")->GetReadOnly());
  EXPECT_TRUE(e->FindAttrDefClass(block, "a", false)->GetReadOnly());
  EXPECT_FALSE(e->FindAttrDefClass(block, "b", false)->GetReadOnly());

  // With four fields "isMutable" counts and nothing is read-only.
  DesEntity* four = Read(Entity(
      "T", List({{"M", "Entity", Entity("M", Empty()), "True", "true"}}, 4)));
  EXPECT_TRUE(four->FindEntity("M")->GetMutable());
  EXPECT_FALSE(four->FindEntity("M")->GetReadOnly());
}

// ---------------------------------------------------------------- values

TEST_F(StructureFormatTest, ValuesConvertPerType) {
  hvArray* host = Row({7, 8});
  DesEntity* e = Read(Entity("T", List({{"up", "int", Scalar(2.7)},
                                        {"down", "int", Scalar(-2.7)},
                                        {"d", "double", Row({1.5, 9})},
                                        {"s", "string", hvCreateString("hello")},
                                        {"row", "DesData", Row({1, 2, 3, 4, 5})},
                                        {"col", "DesData", Row({1, 2, 3}, 3)},
                                        {"mat", "DesData", Row({1, 2, 3, 4, 5, 6}, 2)},
                                        {"h", "hvArray *", host}})));
  EXPECT_EQ(Number(e, "up"), 2.0);
  EXPECT_EQ(Number(e, "down"), -2.0);
  EXPECT_EQ(Number(e, "d"), 1.5);
  std::string s;
  e->FindAttrClass(block, "s")->GetData(s);
  EXPECT_EQ(s, "hello");

  const DesDataInfo* row = e->FindAttrDefClass(block, "row", false)->GetDataInfo();
  EXPECT_EQ(row->GetNumDims(), 1);
  EXPECT_EQ(row->GetWidth(), 5);
  EXPECT_EQ(row->GetDim(0), 5);
  const DesDataInfo* col = e->FindAttrDefClass(block, "col", false)->GetDataInfo();
  EXPECT_EQ(col->GetNumDims(), 1);
  EXPECT_EQ(col->GetDim(0), 3);
  const DesDataInfo* mat = e->FindAttrDefClass(block, "mat", false)->GetDataInfo();
  EXPECT_EQ(mat->GetNumDims(), 2);
  EXPECT_EQ(mat->GetDim(0), 2);
  EXPECT_EQ(mat->GetDim(1), 3);
  DesData v;
  e->FindAttrClass(block, "mat")->GetData(v);
  EXPECT_EQ(v[5], 6.0);
  EXPECT_TRUE(e->HasAttribute(block, "h"));
}

// ---------------------------------------------------------------- nesting

// Nine entities, each inside the previous one's attribute list, each with
// an attribute "a<depth>".
hvArray* Nested(int depth, int levels) {
  const std::string name = "L" + std::to_string(depth);
  const std::string attr = "a" + std::to_string(depth);
  if (depth == levels) return Entity(name.c_str(), List({{attr, "double", Scalar(depth)}}));
  const std::string inner = "L" + std::to_string(depth + 1);
  return Entity(name.c_str(), List({{attr, "double", Scalar(depth)},
                                    {inner, "Entity", Nested(depth + 1, levels)}}));
}

TEST_F(StructureFormatTest, EightLevelsAreReadAndTheNinthIsNot) {
  DesEntity* top = Read(Nested(1, 9), "L1");
  DesEntity* at = top;
  for (int depth = 1; depth <= 9; ++depth) {
    ASSERT_NE(at, nullptr) << depth;
    const std::string attr = "a" + std::to_string(depth);
    EXPECT_EQ(at->HasAttribute(block, attr.c_str()), depth <= 8) << depth;
    if (depth == 9) break;
    const std::string inner = "L" + std::to_string(depth + 1);
    DesEntity* next = nullptr;
    for (DesEntity* m : *at->GetEntitySet())
      if (m->GetName() == inner) next = m;
    at = next;
  }
  EXPECT_EQ(DesEntity::genLevel, 0u);
  // The next top-level entity reads normally.
  DesEntity* again = Read(Entity("T", List({{"x", "int", Scalar(1)}})));
  EXPECT_TRUE(again->HasAttribute(block, "x"));
}

// ---------------------------------------------------------------- failures

TEST_F(StructureFormatTest, AFailedReadLeavesNothingBehind) {
  auto structure = [] {
    return Entity("T", List({{"ok", "DesData", Row({1, 2})},
                             {"M", "Entity", Entity("M", List({{"k", "int", Scalar(1)}}))},
                             {"bad", "nonsense", Scalar(1)}}));
  };
  // Warm the pools with a successful read of the same shape.
  hvArray* good = structure();
  hvSetField(hvGetField(good, 0, "Value"), 2, "Type", hvCreateString("int"));
  delete Read(good);
  made.clear();

  const std::size_t arrays = host::liveArrays();
  HostMemoryMark mark(true);
  Thrown t = ReadFails(structure());
  EXPECT_EQ(t.code, DES_IllegalBlockTypeName);
  EXPECT_EQ(mark.Growth(), 0);
  EXPECT_EQ(host::liveArrays(), arrays);
  EXPECT_EQ(DesEntity::genLevel, 0u);
  // The registry is still usable.
  EXPECT_EQ(Number(Clone("DefaultEntity"), "Priority"), 10.0);
  EXPECT_TRUE(Read(Entity("T", List({{"x", "int", Scalar(1)}})))->HasAttribute(block, "x"));
}

TEST_F(StructureFormatTest, RunningOutOfMemoryWhileReadingLeavesNothingBehind) {
  auto read = [&] {
    hvArray* s = Entity("T", List({{"v", "DesData", Row({1, 2, 3})},
                                   {"s", "string", hvCreateString("text")},
                                   {"M", "Entity", Entity("M", List({{"k", "int", Scalar(1)}}))}},
                                  4));
    DesEntity* e = Read(s);
    made.pop_back();
    delete e;
  };
  read();  // warm the pools
  const std::size_t arrays = host::liveArrays();
  const std::size_t runs = SweepAllocationFailures(read, [&] {
    EXPECT_EQ(host::liveArrays(), arrays);
  });
  EXPECT_GT(runs, 0u);
  EXPECT_EQ(Number(Clone("DefaultEntity"), "Count"), 0.0);
}

}  // namespace
