// Attribute definitions and attributes: typed access across all six value
// types (the right pair works, every other one fails with its own message),
// read-only protection, shape checks of DesData attributes, equality and
// renaming, copies and clones, and the per-class attribute pools.
#include <gtest/gtest.h>

#include <string>
#include <typeinfo>
#include <vector>

#include "entity/AttribDef.h"
#include "entity/Attribute.h"
#include "entity/DesData.h"
#include "entity/DesDataInfo.h"
#include "entity/DesDataPool.h"
#include "entity/DesDataValue.h"
#include "tests/entity/EntityTestSupport.h"

namespace {

using entity_test::Args;
using entity_test::Catch;
using entity_test::Thrown;

const eAttrType kAllTypes[] = {eAttrInt,     eAttrDouble,    eAttrString,
                               eAttrHvArray, eAttrPtrDouble, eAttrDesData};

// One value of every type, to read into or write from.
struct Values {
  int i = 0;
  double d = 0.0;
  std::string s;
  hvArray* h = nullptr;
  double* p = nullptr;
  DesData dd;  // needs the data-value pools
};

// Hands `access` the member of v that holds type t.
template <class Access>
void OnValueOfType(eAttrType t, Values& v, Access&& access) {
  switch (t) {
    case eAttrInt: access(v.i); break;
    case eAttrDouble: access(v.d); break;
    case eAttrString: access(v.s); break;
    case eAttrHvArray: access(v.h); break;
    case eAttrPtrDouble: access(v.p); break;
    case eAttrDesData: access(v.dd); break;
  }
}

// Typed access by type number, on definitions and on attributes alike.
void Get(const AttribDef& o, eAttrType t, Values& v) {
  OnValueOfType(t, v, [&o](auto& x) { o.GetFactVal(x); });
}
void Set(AttribDef& o, eAttrType t, Values& v) {
  OnValueOfType(t, v, [&o](auto& x) { o.SetFactVal(x); });
}
void Get(const Attribute& o, eAttrType t, Values& v) {
  OnValueOfType(t, v, [&o](auto& x) { o.GetData(x); });
}
void Set(Attribute& o, eAttrType t, Values& v) {
  OnValueOfType(t, v, [&o](auto& x) { o.SetData(x); });
}

// The attribute pools and the data-value pools, created as the engine
// creates them and destroyed after each test; every host block the test
// took must be back by then.
class AttributeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::reset();
    liveBefore = host::liveAllocations();
    arraysBefore = host::liveArrays();
    AttributeDesData::newMemPool(4, 2.0);
    AttributeDouble::newMemPool(4, 2.0);
    AttributeInt::newMemPool(4, 2.0);
    AttributeHvArray::newMemPool(4, 2.0);
    AttributePtrDouble::newMemPool(4, 2.0);
    AttributeString::newMemPool(4, 2.0);
    DesData::newMemPool(4, 2.0);
    DesDataInfo::newMemPool(4, 2.0);
    DesDataValue::newMemPool(4, 2.0);
    hostArray = hvCreateString("borrowed");
  }
  void TearDown() override {
    hvDestroyArray(hostArray);
    EXPECT_EQ(host::liveArrays(), arraysBefore) << "host arrays left behind";
    AttributeDouble::deleteMemPool();
    AttributeInt::deleteMemPool();
    AttributeHvArray::deleteMemPool();
    AttributePtrDouble::deleteMemPool();
    AttributeString::deleteMemPool();
    AttributeDesData::deleteMemPool();
    DesData::deleteMemPool();
    DesDataInfo::deleteMemPool();
    DesDataValue::deleteMemPool();
    DesDataPool::deleteMemPool();
    EXPECT_EQ(host::liveAllocations(), liveBefore) << "host blocks still held after the test";
  }

  static RCPtr<DesDataInfo> Vector4() { return RCPtr<DesDataInfo>(new DesDataInfo(4)); }
  static RCPtr<DesDataInfo> Matrix(int rows, int cols, int complexity = 0) {
    const int dims[2] = {rows, cols};
    return RCPtr<DesDataInfo>(new DesDataInfo(rows * cols, 0, complexity, 0, 2, dims));
  }

  // A definition of type t named after its type, with a recognisable
  // factory value.
  RCPtr<AttribDef> MakeDef(eAttrType t, bool readOnly = false) {
    const std::string name = std::string("attr_") + GetAttrTypeTxt(t);
    switch (t) {
      case eAttrInt: return new AttribDefInt(name, t, 7, readOnly);
      case eAttrDouble: return new AttribDefDouble(name, t, 2.5, readOnly);
      case eAttrString: return new AttribDefString(name, t, "factory", readOnly);
      case eAttrHvArray: return new AttribDefHvArray(name, t, hostArray, readOnly);
      case eAttrPtrDouble: return new AttribDefPtrDouble(name, t, numbers, readOnly);
      case eAttrDesData: return new AttribDefDesData(name, t, Vector4(), DesData(*Vector4(), 1.5), readOnly);
    }
    return nullptr;
  }
  static RCPtr<Attribute> MakeAttr(const RCPtr<AttribDef>& def) {
    switch (def->GetTypeEnum()) {
      case eAttrInt: return new AttributeInt(def);
      case eAttrDouble: return new AttributeDouble(def);
      case eAttrString: return new AttributeString(def);
      case eAttrHvArray: return new AttributeHvArray(def);
      case eAttrPtrDouble: return new AttributePtrDouble(def);
      case eAttrDesData: return new AttributeDesData(def);
    }
    return nullptr;
  }

  // The factory values of MakeDef, or (factory false) others for writing.
  Values Make(bool factory) {
    Values v;
    v.i = factory ? 7 : -3;
    v.d = factory ? 2.5 : -0.25;
    v.s = factory ? "factory" : "written";
    v.h = factory ? hostArray : nullptr;
    v.p = factory ? numbers : numbers + 1;
    v.dd = DesData(*Vector4(), factory ? 1.5 : 9.0);
    return v;
  }
  Values Factory() { return Make(true); }
  Values Others() { return Make(false); }

  // Whether the values of type t agree (DesData: the same shape and numbers).
  static bool Same(eAttrType t, const Values& a, const Values& b) {
    switch (t) {
      case eAttrInt: return a.i == b.i;
      case eAttrDouble: return a.d == b.d;
      case eAttrString: return a.s == b.s;
      case eAttrHvArray: return a.h == b.h;
      case eAttrPtrDouble: return a.p == b.p;
      case eAttrDesData: break;
    }
    if (!(a.dd.GetDataInfo() == b.dd.GetDataInfo())) return false;
    for (int k = 0; k < static_cast<int>(a.dd.GetSize() / sizeof(double)); ++k)
      if (a.dd[k] != b.dd[k]) return false;
    return true;
  }

  std::size_t liveBefore = 0;
  std::size_t arraysBefore = 0;
  hvArray* hostArray = nullptr;
  double numbers[3] = {1.0, 2.0, 3.0};
};

}  // namespace

TEST(AttrTypeTexts, NameEveryTypeAsMessagesShowIt) {
  const char* texts[] = {"int", "double", "string", "hvArray *", "double *", "DesData"};
  for (eAttrType t : kAllTypes) EXPECT_STREQ(GetAttrTypeTxt(t), texts[t]);
  EXPECT_STREQ(GetAttrTypeTxt(static_cast<eAttrType>(6)), "unknown");
  EXPECT_STREQ(GetAttrTypeTxt(static_cast<eAttrType>(-1)), "unknown");
}

// Every getter and setter on definitions and attributes of every type: the
// own type works, any other fails with its message and touches nothing, a
// read-only one refuses the write, and no write reaches the factory value.
TEST_F(AttributeTest, TypedAccessWorksForTheOwnTypeOnly) {
  for (bool readOnly : {false, true}) {
    for (eAttrType t : kAllTypes) {
      for (eAttrType a : kAllTypes) {
        SCOPED_TRACE(std::string(readOnly ? "read-only " : "") + GetAttrTypeTxt(t) + ", accessor " +
                     GetAttrTypeTxt(a));
        RCPtr<AttribDef> def = MakeDef(t, readOnly);
        RCPtr<Attribute> attr = MakeAttr(def);
        attr->InitToFactValue();
        const std::string name = def->GetName();

        Values out = Others();
        Thrown fromDef = Catch([&] { Get(*def, a, out); });
        Thrown fromAttr = Catch([&] { Get(*attr, a, out); });
        if (a == t) {
          EXPECT_EQ(fromDef.code, 0u);
          EXPECT_EQ(fromAttr.code, 0u);
          EXPECT_TRUE(Same(a, out, Factory()));
        } else {
          EXPECT_EQ(fromDef.code, DES_IllegalTypeEnumAccess);
          EXPECT_EQ(fromDef.args, Args({name, GetAttrTypeTxt(t)}));
          EXPECT_EQ(fromAttr.code, DES_IllegalTypeAccess);
          // The attribute's type text is the empty class-wide one.
          EXPECT_EQ(fromAttr.args, Args({name, ""}));
          EXPECT_TRUE(Same(a, out, Others())) << "the output was touched";
        }

        Values in = Others();
        Thrown toAttr = Catch([&] { Set(*attr, a, in); });
        Thrown toDef = Catch([&] { Set(*def, a, in); });
        Values nowAttr, nowDef;
        Get(*attr, t, nowAttr);
        Get(*def, t, nowDef);
        if (a != t) {
          EXPECT_EQ(toAttr.code, DES_IllegalTypeAccess);
          EXPECT_EQ(toAttr.args, Args({name}));
          EXPECT_EQ(toDef.code, DES_IllegalTypeAccess);
          EXPECT_EQ(toDef.args, Args({name}));
        } else if (readOnly) {
          EXPECT_EQ(toAttr.code, DES_CannotSetReadOnlyFields);
          EXPECT_EQ(toAttr.args, Args({"Entity", name}));
          EXPECT_EQ(toDef.code, DES_CannotSetReadOnlyFields);
          EXPECT_EQ(toDef.args, Args({"Attribute", name}));
        } else {
          EXPECT_EQ(toAttr.code, 0u);
          EXPECT_EQ(toDef.code, 0u);
        }
        const bool written = a == t && !readOnly;
        EXPECT_TRUE(Same(t, nowAttr, written ? Others() : Factory()));
        EXPECT_TRUE(Same(t, nowDef, written ? Others() : Factory()));
      }
    }
  }
}

TEST_F(AttributeTest, AttributeWritesNeverChangeTheSharedFactoryValue) {
  for (eAttrType t : kAllTypes) {
    RCPtr<AttribDef> def = MakeDef(t);
    RCPtr<Attribute> attr = MakeAttr(def);
    Values in = Others();
    Set(*attr, t, in);
    Values fact;
    Get(*def, t, fact);
    EXPECT_TRUE(Same(t, fact, Factory())) << GetAttrTypeTxt(t);
  }
}

TEST_F(AttributeTest, BaseClassesRefuseEveryTypedAccess) {
  RCPtr<AttribDef> def = new AttribDef("plain", eAttrDouble, false);
  RCPtr<Attribute> attr = new Attribute(def);
  for (eAttrType a : kAllTypes) {
    SCOPED_TRACE(GetAttrTypeTxt(a));
    Values v = Others();
    Thrown thrown = Catch([&] { Get(*def, a, v); });
    EXPECT_EQ(thrown.code, DES_IllegalTypeEnumAccess);
    EXPECT_EQ(thrown.args, Args({"plain", "double"}));
    thrown = Catch([&] { Set(*def, a, v); });
    EXPECT_EQ(thrown.code, DES_IllegalTypeAccess);
    EXPECT_EQ(thrown.args, Args({"plain"}));
    thrown = Catch([&] { Get(*attr, a, v); });
    EXPECT_EQ(thrown.code, DES_IllegalTypeAccess);
    EXPECT_EQ(thrown.args, Args({"plain", ""}));
    thrown = Catch([&] { Set(*attr, a, v); });
    EXPECT_EQ(thrown.code, DES_IllegalTypeAccess);
    EXPECT_EQ(thrown.args, Args({"plain"}));
  }
  const Thrown init = Catch([&] { attr->InitToFactValue(); });
  EXPECT_EQ(init.code, DES_IllegalTypeAccess);
  EXPECT_EQ(init.args, Args({"plain", "Attribute class has no type"}));
  RCPtr<Attribute> copy = attr->clone();
  EXPECT_TRUE(typeid(*copy) == typeid(Attribute));
  EXPECT_EQ(copy->GetDef().get(), def.get());
}

TEST_F(AttributeTest, InitToFactValueReportsADefinitionOfAnotherClass) {
  RCPtr<AttribDef> def = new AttribDefDouble("speed", eAttrDouble, 4.0, false);
  RCPtr<Attribute> attr = new AttributeInt(def);
  int v = 11;
  attr->SetData(v);
  const Thrown thrown = Catch([&] { attr->InitToFactValue(); });
  EXPECT_EQ(thrown.code, DES_IllegalTypeEnumAccess);
  EXPECT_EQ(thrown.args, Args({"speed", "double"}));
  attr->GetData(v);
  EXPECT_EQ(v, 11);
}

// ---------------------------------------------------------------- DesData shapes

TEST_F(AttributeTest, DesDataAttributeRefusesAValueOfAnotherShape) {
  RCPtr<AttribDef> def = MakeDef(eAttrDesData);
  RCPtr<Attribute> attr = MakeAttr(def);
  attr->InitToFactValue();

  Thrown thrown = Catch([&] { attr->SetData(DesData(*Matrix(2, 2), 3.0)); });
  EXPECT_EQ(thrown.code, DES_AttrDimNotMatch);
  EXPECT_EQ(thrown.args, Args({"attr_DesData", "a [2x2] matrix",
                               "an one dimensional vector with 4 elements"}));
  // The same four elements, but complex: the message shows it alike.
  DesDataInfo complexVector(4);
  complexVector.SetCplx(1);
  thrown = Catch([&] { attr->SetData(DesData(complexVector, 1.0)); });
  EXPECT_EQ(thrown.code, DES_AttrDimNotMatch);
  EXPECT_EQ(thrown.args.at(1), "an one dimensional vector with 4 elements");
  DesData now;
  attr->GetData(now);
  EXPECT_EQ(now[3], 1.5);

  RCPtr<Attribute> fixed = MakeAttr(MakeDef(eAttrDesData, true));
  thrown = Catch([&] { fixed->SetData(DesData(*Matrix(2, 2), 0.0)); });
  EXPECT_EQ(thrown.code, DES_CannotSetReadOnlyFields) << "read-only is checked before the shape";

  RCPtr<AttribDef> loose =
      new AttribDefDesData("loose", eAttrDesData, RCPtr<DesDataInfo>(), DesData(), false);
  EXPECT_FALSE(loose->IsMatchToDef(DesDataInfo(1)));
  thrown = Catch([&] { MakeAttr(loose)->SetData(DesData(1.0)); });
  EXPECT_EQ(thrown.code, DES_AttrDimNotMatch);
  EXPECT_EQ(thrown.args, Args({"loose", "a scalar", "unspecified shape"}));
}

TEST_F(AttributeTest, DesDataValuesShareTheStorageOfAMatchingValue) {
  RCPtr<DesDataInfo> shape = Vector4();
  const DesData factory(shape, 2.0);
  RCPtr<AttribDef> def = new AttribDefDesData("sig", eAttrDesData, shape, factory, false);
  EXPECT_TRUE(def->IsMatchToDef(DesDataInfo(4)));
  EXPECT_FALSE(def->IsMatchToDef(*Matrix(1, 4))) << "same elements, not the same shape";
  RCPtr<Attribute> attr = MakeAttr(def);
  attr->InitToFactValue();
  DesData read;
  attr->GetData(read);
  EXPECT_EQ(read.GetValuePtr().get(), factory.GetValuePtr().get());

  // A separately made record of the same shape matches; typeCode plays no part.
  const int dims[1] = {4};
  DesData mine(DesDataInfo(4, 99, 0, 0, 1, dims), 5.0);
  attr->SetData(mine);
  attr->GetData(read);
  EXPECT_EQ(read.GetValuePtr().get(), mine.GetValuePtr().get());
  EXPECT_EQ(mine.GetValuePtr()->GetRefCount(), 3);
  mine[0] = -1.0;  // copy on write keeps the holders apart
  attr->GetData(read);
  EXPECT_EQ(read[0], 5.0);
  attr = nullptr;
  read = DesData();
  EXPECT_EQ(factory.GetValuePtr()->GetRefCount(), 2) << "a released attribute releases its numbers";
}

// ---------------------------------------------------------------- names, equality

TEST_F(AttributeTest, AttributeWithoutDefinitionOrPoolIsRefused) {
  // The slot the failed construction took goes back to the pool.
  AttributeInt* probe = new AttributeInt(MakeDef(eAttrInt));
  void* slot = probe;
  delete probe;
  EXPECT_EQ(Catch([] { (void)new AttributeInt(RCPtr<AttribDef>()); }).code, DES_GenericInternalErr);
  AttributeInt* next = new AttributeInt(MakeDef(eAttrInt));
  EXPECT_EQ(static_cast<void*>(next), slot);
  delete next;

  AttributeDouble::deleteMemPool();
  EXPECT_EQ(Catch([&] { (void)new AttributeDouble(MakeDef(eAttrDouble)); }).code,
            DES_GenericInternalErr);
  AttributeDouble::newMemPool(4, 2.0);
}

// ---------------------------------------------------------------- copies and clones

TEST_F(AttributeTest, CloneMakesAnAttributeOfTheSameClassWithItsOwnValue) {
  for (eAttrType t : kAllTypes) {
    SCOPED_TRACE(GetAttrTypeTxt(t));
    RCPtr<AttribDef> def = MakeDef(t);
    RCPtr<Attribute> original = MakeAttr(def);
    original->SetExists(true);
    Values written = Others();
    Set(*original, t, written);

    RCPtr<Attribute> copy = original->clone();
    EXPECT_TRUE(typeid(*copy) == typeid(*original));
    EXPECT_EQ(copy->GetDef().get(), def.get());
    EXPECT_TRUE(copy->Exists());
    Values v;
    Get(*copy, t, v);
    EXPECT_TRUE(Same(t, v, Others()));
    Values factory = Factory();
    Set(*copy, t, factory);
    Get(*original, t, v);
    EXPECT_TRUE(Same(t, v, Others()));
  }
}

// ---------------------------------------------------------------- pools

namespace {

template <class A>
void ExpectOwnPool(const RCPtr<AttribDef>& def) {
  SCOPED_TRACE(typeid(A).name());
  std::vector<RCPtr<Attribute>> held;
  for (int i = 0; i < 4; ++i) held.push_back(new A(def));
  EXPECT_EQ(A::memPool->ChunksMade(), 2u) << "a first chunk of 4 slots serves three";
  // The last one released is the next one served, clones included.
  Attribute* freed = held[1].get();
  held[1] = nullptr;
  RCPtr<Attribute> clone = held[0]->clone();
  EXPECT_EQ(clone.get(), freed);
}

}  // namespace

TEST_F(AttributeTest, EveryAttributeClassHasAPoolOfItsOwn) {
  ExpectOwnPool<AttributeInt>(MakeDef(eAttrInt));
  ExpectOwnPool<AttributeDouble>(MakeDef(eAttrDouble));
  ExpectOwnPool<AttributeString>(MakeDef(eAttrString));
  ExpectOwnPool<AttributeHvArray>(MakeDef(eAttrHvArray));
  ExpectOwnPool<AttributePtrDouble>(MakeDef(eAttrPtrDouble));
  ExpectOwnPool<AttributeDesData>(MakeDef(eAttrDesData));
  EXPECT_EQ(AttributeInt::memPool->ChunksMade(), 2u) << "filling one pool did not touch another";
}
