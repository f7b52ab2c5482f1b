// Entity types read from host structures; attributes and timers written out
// as cell arrays.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "entity/DesData.h"
#include "tests/entity/EntityTestSupport.h"

namespace {

using namespace entity_test;

class StructureFormatTest : public EngineFixture {
 protected:
  DesEntity* ReadOwned(hvArray* s, const char* name = "T") {
    made.push_back(Read(name, s));
    return made.back();
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
hvArray* With(hvArray* s, const char* field, hvArray* value) {
  hvSetField(s, 0, field, value);
  return s;
}
hvArray* Text(const char* text) { return hvCreateString(text); }
// An array of doubles of the given dimensions (any of them huge only with
// another one 0).
hvArray* Shaped(std::initializer_list<uint64_t> dims) {
  std::vector<uint64_t> d(dims);
  return hvCreateNumericArray(d.size(), d.data(), hvDOUBLE_CLASS, hvREAL);
}

TEST_F(StructureFormatTest, EveryFormatErrorWithItsArguments) {
  const char* six[] = {"Name", "Type", "Value", "isMutable", "RO", "X"};
  const char* attr = "DesEntity/Attribute";
  auto in = [](hvArray* list) { return Entity("T", list); };
  auto one = [](const char* type, hvArray* v) { return Entity("T", List({{"a", type, v}})); };
  const struct {
    hvArray* s;
    uint32_t code;
    Args args;
  } rows[] = {
      {Scalar(1), DES_NotHvStructFormat, {"T"}},
      {StructWith({"Name", "Type", "Value"}, 2), DES_InvalidHvArrayNumFields, {"T"}},
      {StructWith({"Name", "Type", "Value", "RO", "X"}), DES_InvalidHvArrayNumFields, {"T"}},
      {StructWith({"Name", "Type"}), DES_InvalidHvArrayNumFields, {"T"}},
      {StructWith({"Name", "Type", "Other"}), DES_MissingHvArrayFieldName,
       {"Entity", "T", "Value"}},
      {With(Entity("T", Empty(), "x"), "RO", Scalar(1)), DES_MissingHvArrayFieldName,
       {attr, "T", "RO"}},
      // The attribute list.
      {in(Scalar(1)), DES_NotHvStructFormat, {"T"}},
      {in(Text("abc")), DES_NotHvStructFormat, {"T"}},
      {in(hvCreateStructMatrix(1, 1, 6, six)), DES_InvalidHvArrayNumFields, {"T"}},
      {in(With(List({{"a", "int", Scalar(1)}}), "Type", Scalar(0))), DES_MissingHvArrayFieldName,
       {attr, "T", "Type"}},
      {in(With(StructWith({"Nom", "Type", "Value"}), "Type", Text("int"))),
       DES_MissingHvArrayFieldName, {attr, "T", "Name"}},
      {in(With(With(StructWith({"Name", "Type", "Val"}), "Name", Text("a")), "Type", Text("int"))),
       DES_MissingAttrFieldName, {"a", "T", "Value"}},
      {in(List({{"a", "int", Scalar(1)}, {"a", "double", Scalar(2)}})),
       DES_DuplicateAttribNameInEntity, {"a"}},
      {in(List({{"M", "Entity", Entity("M", Empty())}, {"M", "Entity", Entity("M", Empty())}})),
       DES_DuplicateAttribNameInEntity, {"M"}},
      // Types: the six names as written, or anything beginning with "Entity".
      {one("Int", Scalar(1)), DES_IllegalBlockTypeName, {"a", "-1"}},
      {one("entity", Entity("c", Empty())), DES_IllegalBlockTypeName, {"a", "-1"}},
      {one("int", Text("x")), DES_InvalidHvArrayFieldName, {"Attribute", "a", "Value"}},
      {one("double", Empty()), DES_InvalidHvArrayFieldName, {"Attribute", "a", "Value"}},
      // Values of the wrong class, and shapes a data description cannot
      // hold, are refused before anything is sized.
      {one("string", Scalar(1)), DES_InvalidHvArrayFieldName, {"Attribute", "a", "Value"}},
      {one("double *", Text("x")), DES_InvalidHvArrayFieldName, {"Attribute", "a", "Value"}},
      {one("DesData", Text("x")), DES_InvalidHvArrayFieldName, {"Attribute", "a", "Value"}},
      {one("DesData", hvCreateCellMatrix(1, 1)), DES_InvalidHvArrayFieldName,
       {"Attribute", "a", "Value"}},
      {one("DesData", Shaped({0, uint64_t{1} << 31})), DES_InvalidHvArrayFieldName,
       {"Attribute", "a", "Value"}},
      {one("DesData", Shaped({0, (uint64_t{1} << 32) + 3})), DES_InvalidHvArrayFieldName,
       {"Attribute", "a", "Value"}},
  };
  for (const auto& r : rows)
    EXPECT_EQ(Err(Catch([&] { ReadOwned(r.s); })), Error(r.code, r.args)) << "row " << &r - rows;
  EXPECT_TRUE(made.empty());
}

TEST_F(StructureFormatTest, AcceptedShapes) {
  for (hvArray* empty :
       {Empty(), hvCreateCellMatrix(0, 0), StructWith({"Name", "Type", "Value"}, 0)})
    EXPECT_TRUE(ReadOwned(Entity("T", empty))->GetAttributeSet().empty());
  // The name comes from the structure when the type has none; a text "RO" changes nothing.
  EXPECT_EQ(ReadOwned(Entity("Widget", Empty()), "")->GetName(), "Widget");
  EXPECT_FALSE(ReadOwned(Entity("T", Empty(), "true"))->GetReadOnly());
  DesEntity* e = ReadOwned(Entity("T", List({{"A", "Entity", Entity("A", Empty())},
                                             {"B", "EntityOfSorts", Entity("B", Empty())}})));
  EXPECT_EQ(e->GetHasSubEntity(), 0u) << "members read from a structure: not a composite";
  EXPECT_TRUE(e->FindEntity("A") != nullptr && e->FindEntity("B") != nullptr);
}

TEST_F(StructureFormatTest, TrueIsTrueInAnyCaseAndNothingElseIs) {
  DesEntity* e = ReadOwned(Entity(
      "T", List({{"M1", "Entity", Entity("M1", Empty()), "TRUE", "tRuE"},
                 {"M2", "Entity", Entity("M2", Empty()), "yes", "1"},
                 {"a", "int", Scalar(1), "false", "True"},
                 {"b", "int", Scalar(1), "true", "truer"}},
                5)));
  DesEntity *m1 = e->FindEntity("M1"), *m2 = e->FindEntity("M2");
  auto ro = [&](const char* n) { return e->FindAttrDefClass(block, n, false)->GetReadOnly(); };
  EXPECT_EQ((std::vector<bool>{m1->GetMutable(), m1->GetReadOnly(), m2->GetMutable(),
                               m2->GetReadOnly(), ro("a"), ro("b")}),
            (std::vector<bool>{true, true, false, false, true, false}));
  // With four fields "isMutable" counts and nothing is read-only.
  DesEntity* four =
      ReadOwned(Entity("T", List({{"M", "Entity", Entity("M", Empty()), "True", "true"}}, 4)));
  EXPECT_TRUE(four->FindEntity("M")->GetMutable() && !four->FindEntity("M")->GetReadOnly());
}

TEST_F(StructureFormatTest, ValuesConvertPerType) {
  DesEntity* e = ReadOwned(Entity("T", List({{"up", "int", Scalar(2.7)},
                                             {"down", "int", Scalar(-2.7)},
                                             {"d", "double", Row({1.5, 9})},
                                             {"s", "string", Text("hello")},
                                             {"row", "DesData", Row({1, 2, 3, 4, 5})},
                                             {"col", "DesData", Row({1, 2, 3}, 3)},
                                             {"mat", "DesData", Row({1, 2, 3, 4, 5, 6}, 2)},
                                             {"h", "hvArray *", Row({7, 8})}})));
  EXPECT_EQ((std::vector<double>{Number(e, "up"), Number(e, "down"), Number(e, "d")}),
            (std::vector<double>{2, -2, 1.5}));
  std::string s;
  e->FindAttrClass(block, "s")->GetData(s);
  EXPECT_EQ(s, "hello");
  EXPECT_TRUE(e->HasAttribute(block, "h"));
  // Rows and columns become one-dimensional vectors.
  auto shape = [&](const char* name) {
    const DesDataInfo* info = e->FindAttrDefClass(block, name, false)->GetDataInfo();
    return info->GetDimStr() + ", " + std::to_string(info->GetWidth());
  };
  EXPECT_EQ((Args{shape("row"), shape("col"), shape("mat")}),
            (Args{"an one dimensional vector with 5 elements, 5",
                  "an one dimensional vector with 3 elements, 3", "a [2x3] matrix, 6"}));
  DesData v;
  e->FindAttrClass(block, "mat")->GetData(v);
  EXPECT_EQ(Numbers(v), (std::vector<double>{1, 2, 3, 4, 5, 6}));
}

// "hvArray *" and "double *" defaults are the definition's own: the
// structure goes right after it has been read (as the example blocks do),
// the defaults stay readable in every clone, and they go with the type.
TEST_F(StructureFormatTest, HostArrayDefaultsAreDuplicatesTheTypeOwns) {
  const std::size_t arrays = host::liveArrays();
  std::vector<const hvArray*> destroyed;
  std::vector<std::pair<const double*, const double*>> destroyedNumbers;
  host::observeArrayDestruction([&](const hvArray* a) {
    destroyed.push_back(a);
    if (const double* pr = hvGetPr(a)) destroyedNumbers.push_back({pr, pr + hvGetNumberOfElements(a)});
  });
  DesEntity* e = Read("T", Entity("T", List({{"h", "hvArray *", Row({7, 8})},
                                             {"p", "double *", Row({4.5, 5.5})}})));
  host::observeArrayDestruction(nullptr);
  EXPECT_FALSE(destroyed.empty()) << "the structure is gone";
  EXPECT_EQ(host::liveArrays(), arrays + 2) << "one duplicate per definition";

  hvArray* h = nullptr;
  double* p = nullptr;
  e->FindAttrDefClass(block, "h", false)->GetFactVal(h);
  e->FindAttrDefClass(block, "p", false)->GetFactVal(p);
  ASSERT_TRUE(h != nullptr && p != nullptr);
  // Checked before anything is read through them.
  ASSERT_EQ(std::count(destroyed.begin(), destroyed.end(), h), 0) << "the destroyed structure's own array";
  bool intoDestroyed = false;
  for (const auto& numbers : destroyedNumbers)
    intoDestroyed = intoDestroyed || (p >= numbers.first && p < numbers.second);
  ASSERT_FALSE(intoDestroyed) << "points into the destroyed structure";
  EXPECT_TRUE(hvGetNumberOfElements(h) == 2 && hvGetPr(h)[0] == 7.0 && hvGetPr(h)[1] == 8.0);
  EXPECT_TRUE(p[0] == 4.5 && p[1] == 5.5);

  DesEntity* copy = e->clone(false);
  delete e;
  hvArray* out = copy->GetAttributeDataAsHvArray();
  const hvArray* value = hvGetCell(out, 1);  // "h" is the first column
  ASSERT_TRUE(value != nullptr && hvGetNumberOfElements(value) == 2);
  EXPECT_TRUE(hvGetPr(value)[0] == 7.0 && hvGetPr(value)[1] == 8.0);
  hvDestroyArray(out);
  double* q = nullptr;
  copy->FindAttrClass(block, "p")->GetData(q);
  EXPECT_TRUE(q == p && q[1] == 5.5);
  delete copy;  // the last holder of the type
  EXPECT_EQ(host::liveArrays(), arrays);
}

// Levels depth..levels, each in the previous one's list, with attribute "a<depth>".
hvArray* Nested(int depth, int levels) {
  const std::string name = "L" + std::to_string(depth), attr = "a" + std::to_string(depth);
  if (depth == levels) return Entity(name.c_str(), List({{attr, "double", Scalar(depth)}}));
  const std::string inner = "L" + std::to_string(depth + 1);
  return Entity(name.c_str(), List({{attr, "double", Scalar(depth)},
                                    {inner, "Entity", Nested(depth + 1, levels)}}));
}

TEST_F(StructureFormatTest, EightLevelsAreReadAndTheNinthIsNot) {
  DesEntity* at = ReadOwned(Nested(1, 9), "L1");
  for (int depth = 1; depth <= 9; ++depth) {
    ASSERT_NE(at, nullptr) << depth;
    EXPECT_EQ(at->HasAttribute(block, ("a" + std::to_string(depth)).c_str()), depth <= 8) << depth;
    DesEntity* next = nullptr;
    for (DesEntity* m : *at->GetEntitySet())
      if (m->GetName() == "L" + std::to_string(depth + 1)) next = m;
    at = depth < 9 ? next : nullptr;
  }
  EXPECT_EQ(DesEntity::genLevel, 0u) << "the next top-level entity reads normally";
}

TEST_F(StructureFormatTest, AFailedReadLeavesNothingBehindAndTheRegistryUsable) {
  auto structure = [](const char* lastType) {
    return Entity("T", List({{"ok", "DesData", Row({1, 2})},
                             {"M", "Entity", Entity("M", List({{"k", "int", Scalar(1)}}))},
                             {"s", "string", Text("text")}, {"bad", lastType, Scalar(1)}}));
  };
  delete Read("T", structure("int"));  // warms the pools
  const std::size_t arrays = host::liveArrays();
  HostMemoryMark mark(true);
  EXPECT_EQ(Catch([&] { ReadOwned(structure("nonsense")); }).code, DES_IllegalBlockTypeName);
  EXPECT_EQ(mark.Growth(), 0);
  EXPECT_EQ(host::liveArrays(), arrays);
  EXPECT_EQ(DesEntity::genLevel, 0u);

  auto read = [&] { delete Read("T", structure("int")); };
  EXPECT_GT(SweepAllocationFailures(read, [&] { EXPECT_EQ(host::liveArrays(), arrays); }), 0u);
  EXPECT_EQ(Number(Clone("DefaultEntity"), "Priority"), 10.0);
  EXPECT_TRUE(ReadOwned(Entity("T", List({{"x", "int", Scalar(1)}})))->HasAttribute(block, "x"));
}


class EntityOutputTest : public EngineFixture {
 protected:
  void SetUp() override {
    EngineFixture::SetUp();
    Define("Job", List({{"a", "int", Scalar(3)}, {"b", "DesData", Row({1, 2})},
                        {"c", "string", Text("x")}}),
           true);
    job = Clone("Job");
  }
  // The cells column by column (texts, numbers, "-" if empty), then the shape.
  static std::vector<std::string> Cells(hvArray* out) {
    std::vector<std::string> cells;
    for (std::size_t i = 0; i < hvGetNumberOfElements(out); ++i) {
      const hvArray* c = hvGetCell(out, i);
      char text[64] = "-";
      if (c != nullptr && hvGetClassID(c) == hvCHAR_CLASS) {
        hvGetString(c, text, sizeof text);
      } else if (c != nullptr) {
        text[0] = 0;
        for (std::size_t k = 0, n = 0; k < hvGetNumberOfElements(c); ++k)
          n += std::snprintf(text + n, sizeof text - n, k ? " %g" : "%g", hvGetPr(c)[k]);
      }
      cells.push_back(text);
    }
    cells.push_back(std::to_string(hvGetM(out)) + "x" + std::to_string(hvGetN(out)));
    hvDestroyArray(out);
    return cells;
  }
  DesEntity* job = nullptr;
};

TEST_F(EntityOutputTest, AttributesAndTimersAreNamesOverValues) {
  job->FindAttrClass(block, "c")->SetExists(false);  // its column stays empty
  EXPECT_EQ(Cells(job->GetAttributeDataAsHvArray()),
            (std::vector<std::string>{"a", "3", "b", "1 2", "-", "-", "2x3"}));
  DesEntity* blank = registry->CreateBlankTempEntity("Job", false);
  owned.push_back(blank);
  EXPECT_EQ(Cells(blank->GetAttributeDataAsHvArray()), (std::vector<std::string>{"2x0"}));
  EXPECT_EQ(Cells(job->GetTimeoutDataAsHvArray()), (std::vector<std::string>{"3x0"}));

  job->FindOrCreateTimer(block, "t1")->SetTimer(1.0, block);
  job->FindOrCreateTimer(block, "t2")->SetTimer(2.5, block);
  engine->SetTimeNow(4.0);
  EXPECT_EQ(Cells(job->GetTimerDataAsHvArray()),
            (std::vector<std::string>{"t1", "3", "t2", "1.5", "2x2"}));
  // A timer never started fails the whole output, without leaks.
  job->FindOrCreateTimer(block, "t3");
  const std::size_t arrays = host::liveArrays();
  EXPECT_EQ(Catch([&] { job->GetTimerDataAsHvArray(); }).code, DES_GenericInternalErr);
  EXPECT_EQ(host::liveArrays(), arrays);
}

TEST_F(EntityOutputTest, AHostWithoutArraysGetsTheMemoryErrorAndKeepsNothing) {
  const std::size_t arrays = host::liveArrays();
  std::size_t n = 1;
  for (;; ++n) {
    host::failArrayCreationsFrom(n);
    const Thrown t = Catch([&] { hvDestroyArray(job->GetAttributeDataAsHvArray()); });
    host::failArrayCreationsFrom(0);
    if (t.code == 0 || n > 8) break;
    EXPECT_EQ(t.code, DES_MemoryAllocErr) << n;
    EXPECT_EQ(host::liveArrays(), arrays) << n;
  }
  EXPECT_GT(n, 1u);
}

}  // namespace
