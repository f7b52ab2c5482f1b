// Attribute definitions and attributes: typed access across all six value
// types (the right pair works, every other one fails with its own message),
// read-only protection, shape checks of DesData attributes, equality and
// renaming, copies and clones, and the per-class attribute pools.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <typeinfo>
#include <vector>

#include "entity/AttribDef.h"
#include "entity/Attribute.h"
#include "entity/DesData.h"
#include "entity/DesDataInfo.h"
#include "entity/DesDataPool.h"
#include "entity/DesDataValue.h"
#include "host/HostControl.h"
#include "support/DesExcept.h"
#include "support/MessageCatalogue.h"

namespace {

const eAttrType kAllTypes[] = {eAttrInt,     eAttrDouble,    eAttrString,
                               eAttrHvArray, eAttrPtrDouble, eAttrDesData};

// What a call threw: the catalogue code (0 when nothing was thrown) and its
// arguments up to the last non-null one, a null argument shown as "(null)".
struct Thrown {
  uint32_t code = 0;
  std::vector<std::string> args;
};

template <class F>
Thrown Catch(F&& f) {
  Thrown t;
  try {
    f();
  } catch (DesExcept* e) {
    t.code = e->getErrCode();
    for (unsigned i = 0; i < 8; ++i) t.args.push_back(e->getString(i) ? e->getString(i) : "(null)");
    while (!t.args.empty() && t.args.back() == "(null)") t.args.pop_back();
    delete e;
  }
  return t;
}

using Args = std::vector<std::string>;

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

  // Values other than the factory values, for writing.
  Values Others() {
    Values v;
    v.i = -3;
    v.d = -0.25;
    v.s = "written";
    v.h = nullptr;
    v.p = numbers + 1;
    v.dd = DesData(*Vector4(), 9.0);
    return v;
  }

  // Whether the values of type t in a and b are the same (DesData: the same
  // shape and numbers).
  static bool Same(eAttrType t, const Values& a, const Values& b) {
    switch (t) {
      case eAttrInt: return a.i == b.i;
      case eAttrDouble: return a.d == b.d;
      case eAttrString: return a.s == b.s;
      case eAttrHvArray: return a.h == b.h;
      case eAttrPtrDouble: return a.p == b.p;
      case eAttrDesData: {
        if (!(a.dd.GetDataInfo() == b.dd.GetDataInfo())) return false;
        for (std::size_t k = 0; k < a.dd.GetSize() / sizeof(double); ++k)
          if (a.dd[static_cast<int>(k)] != b.dd[static_cast<int>(k)]) return false;
        return true;
      }
    }
    return false;
  }

  Values Factory() {
    Values v;
    v.i = 7;
    v.d = 2.5;
    v.s = "factory";
    v.h = hostArray;
    v.p = numbers;
    v.dd = DesData(*Vector4(), 1.5);
    return v;
  }

  std::size_t liveBefore = 0;
  std::size_t arraysBefore = 0;
  hvArray* hostArray = nullptr;
  double numbers[3] = {1.0, 2.0, 3.0};
};

}  // namespace

// ---------------------------------------------------------------- type texts

TEST(AttrTypeTexts, NameEveryTypeAsMessagesShowIt) {
  EXPECT_STREQ(GetAttrTypeTxt(eAttrInt), "int");
  EXPECT_STREQ(GetAttrTypeTxt(eAttrDouble), "double");
  EXPECT_STREQ(GetAttrTypeTxt(eAttrString), "string");
  EXPECT_STREQ(GetAttrTypeTxt(eAttrHvArray), "hvArray *");
  EXPECT_STREQ(GetAttrTypeTxt(eAttrPtrDouble), "double *");
  EXPECT_STREQ(GetAttrTypeTxt(eAttrDesData), "DesData");
  EXPECT_STREQ(GetAttrTypeTxt(static_cast<eAttrType>(6)), "unknown");
  EXPECT_STREQ(GetAttrTypeTxt(static_cast<eAttrType>(-1)), "unknown");
  EXPECT_EQ(sizeof(eAttrType), 4u);
}

// ---------------------------------------------------------------- typed access, 6 x 6

TEST_F(AttributeTest, DefinitionGettersWorkForTheOwnTypeOnly) {
  const Values expected = Factory();
  for (eAttrType t : kAllTypes) {
    RCPtr<AttribDef> def = MakeDef(t);
    for (eAttrType a : kAllTypes) {
      SCOPED_TRACE(std::string("definition ") + GetAttrTypeTxt(t) + ", getter " + GetAttrTypeTxt(a));
      Values out = Others();
      const Thrown thrown = Catch([&] { Get(*def, a, out); });
      if (a == t) {
        EXPECT_EQ(thrown.code, 0u);
        EXPECT_TRUE(Same(a, out, expected));
      } else {
        EXPECT_EQ(thrown.code, DES_IllegalTypeEnumAccess);
        EXPECT_EQ(thrown.args, Args({def->GetName(), GetAttrTypeTxt(t)}));
        EXPECT_TRUE(Same(a, out, Others())) << "the output was touched";
      }
    }
  }
}

TEST_F(AttributeTest, DefinitionSettersWorkForTheOwnTypeOnly) {
  for (bool readOnly : {false, true}) {
    for (eAttrType t : kAllTypes) {
      for (eAttrType a : kAllTypes) {
        RCPtr<AttribDef> def = MakeDef(t, readOnly);
        SCOPED_TRACE(std::string(readOnly ? "read-only " : "") + "definition " + GetAttrTypeTxt(t) +
                     ", setter " + GetAttrTypeTxt(a));
        Values in = Others();
        const Thrown thrown = Catch([&] { Set(*def, a, in); });
        Values now;
        Get(*def, t, now);
        if (a != t) {
          EXPECT_EQ(thrown.code, DES_IllegalTypeAccess);
          EXPECT_EQ(thrown.args, Args({def->GetName()}));
          EXPECT_TRUE(Same(t, now, Factory()));
        } else if (readOnly) {
          EXPECT_EQ(thrown.code, DES_CannotSetReadOnlyFields);
          EXPECT_EQ(thrown.args, Args({"Attribute", def->GetName()}));
          EXPECT_TRUE(Same(t, now, Factory()));
        } else {
          EXPECT_EQ(thrown.code, 0u);
          EXPECT_TRUE(Same(t, now, Others()));
        }
      }
    }
  }
}

TEST_F(AttributeTest, AttributeGettersWorkForTheOwnTypeOnly) {
  const Values expected = Factory();
  for (eAttrType t : kAllTypes) {
    RCPtr<AttribDef> def = MakeDef(t);
    RCPtr<Attribute> attr = MakeAttr(def);
    attr->InitToFactValue();
    for (eAttrType a : kAllTypes) {
      SCOPED_TRACE(std::string("attribute ") + GetAttrTypeTxt(t) + ", getter " + GetAttrTypeTxt(a));
      Values out = Others();
      const Thrown thrown = Catch([&] { Get(*attr, a, out); });
      if (a == t) {
        EXPECT_EQ(thrown.code, 0u);
        EXPECT_TRUE(Same(a, out, expected));
      } else {
        EXPECT_EQ(thrown.code, DES_IllegalTypeAccess);
        // The attribute's type text is the empty class-wide one.
        EXPECT_EQ(thrown.args, Args({def->GetName(), ""}));
        EXPECT_TRUE(Same(a, out, Others()));
      }
    }
  }
}

TEST_F(AttributeTest, AttributeSettersWorkForTheOwnTypeOnly) {
  for (bool readOnly : {false, true}) {
    for (eAttrType t : kAllTypes) {
      for (eAttrType a : kAllTypes) {
        RCPtr<AttribDef> def = MakeDef(t, readOnly);
        RCPtr<Attribute> attr = MakeAttr(def);
        attr->InitToFactValue();
        SCOPED_TRACE(std::string(readOnly ? "read-only " : "") + "attribute " + GetAttrTypeTxt(t) +
                     ", setter " + GetAttrTypeTxt(a));
        Values in = Others();
        const Thrown thrown = Catch([&] { Set(*attr, a, in); });
        Values now;
        Get(*attr, t, now);
        if (a != t) {
          EXPECT_EQ(thrown.code, DES_IllegalTypeAccess);
          EXPECT_EQ(thrown.args, Args({def->GetName()}));
          EXPECT_TRUE(Same(t, now, Factory()));
        } else if (readOnly) {
          EXPECT_EQ(thrown.code, DES_CannotSetReadOnlyFields);
          EXPECT_EQ(thrown.args, Args({"Entity", def->GetName()}));
          EXPECT_TRUE(Same(t, now, Factory()));
        } else {
          EXPECT_EQ(thrown.code, 0u);
          EXPECT_TRUE(Same(t, now, Others()));
        }
        // Writing the value never changes the shared factory value.
        Values fact;
        Get(*def, t, fact);
        EXPECT_TRUE(Same(t, fact, Factory()));
      }
    }
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
  EXPECT_STREQ(Attribute::typeTxt, "");
  EXPECT_STREQ(attr->GetTypeTxt(), "");
  EXPECT_TRUE(def->IsMatchToDef(*Matrix(2, 2)));
}

// ---------------------------------------------------------------- factory values

TEST_F(AttributeTest, InitToFactValueReportsADefinitionOfAnotherClass) {
  // An int attribute on a double definition cannot take its factory value.
  RCPtr<AttribDef> def = new AttribDefDouble("speed", eAttrDouble, 4.0, false);
  AttributeInt* raw = new AttributeInt(def);
  RCPtr<Attribute> attr = raw;
  int v = 11;
  attr->SetData(v);
  const Thrown thrown = Catch([&] { attr->InitToFactValue(); });
  EXPECT_EQ(thrown.code, DES_IllegalTypeEnumAccess);
  EXPECT_EQ(thrown.args, Args({"speed", "double"}));
  attr->GetData(v);
  EXPECT_EQ(v, 11);
}

TEST_F(AttributeTest, HostArrayHandlesAreBorrowedNotReleased) {
  // Definitions and attributes of host arrays hand out the very handle they
  // were given and never release it (TearDown destroys the array itself).
  RCPtr<AttribDef> arrays = MakeDef(eAttrHvArray);
  RCPtr<Attribute> attr = MakeAttr(arrays);
  attr->InitToFactValue();
  hvArray* h = nullptr;
  attr->GetData(h);
  EXPECT_EQ(h, hostArray);
  attr = nullptr;
  arrays = nullptr;
  EXPECT_EQ(host::liveArrays(), arraysBefore + 1);
}

// ---------------------------------------------------------------- DesData shapes

TEST_F(AttributeTest, DesDataAttributeRefusesAValueOfAnotherShape) {
  RCPtr<AttribDef> def = MakeDef(eAttrDesData);
  RCPtr<Attribute> attr = MakeAttr(def);
  attr->InitToFactValue();

  const DesData square(*Matrix(2, 2), 3.0);
  Thrown thrown = Catch([&] { attr->SetData(square); });
  EXPECT_EQ(thrown.code, DES_AttrDimNotMatch);
  EXPECT_EQ(thrown.args, Args({"attr_DesData", "a [2x2] matrix",
                               "an one dimensional vector with 4 elements"}));

  // The same four elements, but complex: the shape differs beyond the
  // dimensions, which the message shows alike.
  DesDataInfo complexVector(4);
  complexVector.SetCplx(1);
  thrown = Catch([&] { attr->SetData(DesData(complexVector, 1.0)); });
  EXPECT_EQ(thrown.code, DES_AttrDimNotMatch);
  EXPECT_EQ(thrown.args[1], "an one dimensional vector with 4 elements");

  DesData now;
  attr->GetData(now);
  EXPECT_EQ(now.GetDataInfo().GetWidth(), 4);
  EXPECT_EQ(now[3], 1.5);
}

TEST_F(AttributeTest, DesDataAttributeSharesTheStorageOfAMatchingValue) {
  RCPtr<AttribDef> def = MakeDef(eAttrDesData);
  RCPtr<Attribute> attr = MakeAttr(def);
  // A separately made shape record that describes the same shape matches;
  // typeCode plays no part.
  const int dims[1] = {4};
  const DesDataInfo sameShape(4, 99, 0, 0, 1, dims);
  DesData mine(sameShape, 5.0);
  attr->SetData(mine);
  DesData read;
  attr->GetData(read);
  EXPECT_EQ(read.GetValuePtr().get(), mine.GetValuePtr().get());

  // Copy on write keeps the holders apart afterwards.
  mine[0] = -1.0;
  attr->GetData(read);
  EXPECT_EQ(read[0], 5.0);
}

TEST_F(AttributeTest, DesDataDefinitionSharesItsFactoryValueAndShape) {
  RCPtr<DesDataInfo> shape = Vector4();
  const DesData factory(shape, 2.0);
  RCPtr<AttribDef> def = new AttribDefDesData("sig", eAttrDesData, shape, factory, false);
  EXPECT_EQ(def->GetDataInfo(), shape.get());
  DesData out;
  def->GetFactVal(out);
  EXPECT_EQ(out.GetValuePtr().get(), factory.GetValuePtr().get());
  EXPECT_TRUE(def->IsMatchToDef(DesDataInfo(4)));
  EXPECT_FALSE(def->IsMatchToDef(*Matrix(2, 2)));
  // A [1x4] row has the same elements but not the same shape.
  EXPECT_FALSE(def->IsMatchToDef(*Matrix(1, 4)));

  RCPtr<Attribute> attr = MakeAttr(def);
  attr->InitToFactValue();
  DesData value;
  attr->GetData(value);
  EXPECT_EQ(value.GetValuePtr().get(), factory.GetValuePtr().get());
}

TEST_F(AttributeTest, DesDataDefinitionWithoutAShapeAcceptsNoValue) {
  RCPtr<AttribDef> def =
      new AttribDefDesData("loose", eAttrDesData, RCPtr<DesDataInfo>(), DesData(), false);
  EXPECT_EQ(def->GetDataInfo(), nullptr);
  EXPECT_FALSE(def->IsMatchToDef(DesDataInfo(1)));
  RCPtr<Attribute> attr = MakeAttr(def);
  const Thrown thrown = Catch([&] { attr->SetData(DesData(1.0)); });
  EXPECT_EQ(thrown.code, DES_AttrDimNotMatch);
  EXPECT_EQ(thrown.args, Args({"loose", "a scalar", "unspecified shape"}));
}

TEST_F(AttributeTest, ReadOnlyIsCheckedBeforeTheShape) {
  RCPtr<AttribDef> def = MakeDef(eAttrDesData, true);
  RCPtr<Attribute> attr = MakeAttr(def);
  const Thrown thrown = Catch([&] { attr->SetData(DesData(*Matrix(2, 2), 0.0)); });
  EXPECT_EQ(thrown.code, DES_CannotSetReadOnlyFields);
  EXPECT_EQ(thrown.args, Args({"Entity", "attr_DesData"}));
}

// ---------------------------------------------------------------- names, equality

TEST_F(AttributeTest, EqualityComparesNamesAndExistsFlagsNotValues) {
  RCPtr<AttribDef> first = new AttribDefInt("qty", eAttrInt, 0, false);
  RCPtr<AttribDef> second = new AttribDefInt("qty", eAttrInt, 0, false);
  AttributeInt a(first), b(second);
  int one = 1, two = 2;
  a.SetData(one);
  b.SetData(two);
  EXPECT_TRUE(a == b);
  b.SetExists(true);
  EXPECT_FALSE(a == b);
  EXPECT_TRUE(a != b);
  a.SetExists(true);
  EXPECT_TRUE(a == b);

  RCPtr<AttribDef> other = new AttribDefInt("qtz", eAttrInt, 0, false);
  AttributeInt c(other);
  c.SetExists(true);
  EXPECT_FALSE(a == c);
  EXPECT_TRUE(a < c);
  EXPECT_FALSE(c < a);
}

TEST_F(AttributeTest, OrderIsByteWiseByName) {
  RCPtr<AttribDef> upper = new AttribDefInt("Zeta", eAttrInt, 0, false);
  RCPtr<AttribDef> lower = new AttribDefInt("alpha", eAttrInt, 0, false);
  RCPtr<AttribDef> high = new AttribDefInt("\xC3\xA9t\xC3\xA9", eAttrInt, 0, false);
  EXPECT_TRUE(*upper < *lower);
  EXPECT_TRUE(*lower < *high);  // bytes above 0x7F sort last
  EXPECT_FALSE(*lower < *lower);
  AttributeInt u(upper), l(lower);
  EXPECT_TRUE(u < l);
  EXPECT_FALSE(l < u);
}

TEST_F(AttributeTest, RenamingAnAttributeRenamesItsSharedDefinition) {
  RCPtr<AttribDef> def = MakeDef(eAttrDouble);
  RCPtr<Attribute> a = MakeAttr(def);
  RCPtr<Attribute> b = MakeAttr(def);
  a->SetName("renamed");
  EXPECT_EQ(def->GetName(), "renamed");
  EXPECT_EQ(b->GetName(), "renamed");
  EXPECT_EQ(def->GetNameCopy(), "renamed");
  // Messages name the definition by its new name.
  int wrong = 0;
  const Thrown thrown = Catch([&] { b->SetData(wrong); });
  EXPECT_EQ(thrown.args, Args({"renamed"}));
  a->SetName(nullptr);
  EXPECT_EQ(b->GetName(), "");
}

TEST_F(AttributeTest, AttributeWithoutDefinitionIsRefused) {
  // The slot the failed construction took goes back to the pool: the next
  // attribute gets it.
  AttributeInt* probe = new AttributeInt(MakeDef(eAttrInt));
  void* slot = probe;
  delete probe;
  const Thrown thrown = Catch([] { (void)new AttributeInt(RCPtr<AttribDef>()); });
  EXPECT_EQ(thrown.code, DES_GenericInternalErr);
  AttributeInt* next = new AttributeInt(MakeDef(eAttrInt));
  EXPECT_EQ(static_cast<void*>(next), slot);
  delete next;
}

// ---------------------------------------------------------------- copies and clones

TEST_F(AttributeTest, CloneMakesAnAttributeOfTheSameClassWithTheSameValue) {
  for (eAttrType t : kAllTypes) {
    SCOPED_TRACE(GetAttrTypeTxt(t));
    RCPtr<AttribDef> def = MakeDef(t);
    RCPtr<Attribute> original = MakeAttr(def);
    original->SetExists(true);
    Values written = Others();
    Set(*original, t, written);

    RCPtr<Attribute> copy = original->clone();
    EXPECT_TRUE(typeid(*copy) == typeid(*original));
    EXPECT_NE(copy.get(), original.get());
    EXPECT_EQ(copy->GetDef().get(), def.get());
    EXPECT_TRUE(copy->Exists());
    EXPECT_EQ(copy->GetRefCount(), 1);
    Values v;
    Get(*copy, t, v);
    EXPECT_TRUE(Same(t, v, Others()));

    // The clone's value is its own.
    Values factory = Factory();
    Set(*copy, t, factory);
    Get(*original, t, v);
    EXPECT_TRUE(Same(t, v, Others()));
  }
}

TEST_F(AttributeTest, BaseCloneSharesTheDefinitionAndExists) {
  RCPtr<AttribDef> def = MakeDef(eAttrInt);
  RCPtr<Attribute> plain = new Attribute(def);
  plain->SetExists(true);
  RCPtr<Attribute> copy = plain->clone();
  EXPECT_TRUE(typeid(*copy) == typeid(Attribute));
  EXPECT_EQ(copy->GetDef().get(), def.get());
  EXPECT_TRUE(copy->Exists());
}

TEST_F(AttributeTest, CopyTakesDefinitionAndExistsButNotTheValue) {
  RCPtr<AttribDef> defA = new AttribDefInt("a", eAttrInt, 0, false);
  RCPtr<AttribDef> defB = new AttribDefInt("b", eAttrInt, 0, false);
  RCPtr<Attribute> a = new AttributeInt(defA);
  RCPtr<Attribute> b = new AttributeInt(defB);
  int va = 1, vb = 2;
  a->SetData(va);
  b->SetData(vb);
  b->SetExists(true);

  a->copy(b.get());
  EXPECT_EQ(a->GetDef().get(), defB.get());
  EXPECT_EQ(a->GetName(), "b");
  EXPECT_TRUE(a->Exists());
  int v = 0;
  a->GetData(v);
  EXPECT_EQ(v, 1);
  EXPECT_EQ(defA->GetRefCount(), 1);
  EXPECT_EQ(defB->GetRefCount(), 3);

  a->copy(a.get());
  a->copy(nullptr);
  EXPECT_EQ(a->GetDef().get(), defB.get());
  EXPECT_EQ(a->GetRefCount(), 1);
}

TEST_F(AttributeTest, AssignmentKeepsTheTargetsReferenceCount) {
  RCPtr<AttribDef> def = MakeDef(eAttrString);
  RCPtr<Attribute> target = MakeAttr(def);
  RCPtr<Attribute> alsoTarget = target;
  AttributeString source(MakeDef(eAttrString));
  std::string s = "from source";
  source.SetData(s);
  source.SetExists(true);
  static_cast<AttributeString&>(*target) = source;
  EXPECT_EQ(target->GetRefCount(), 2);
  EXPECT_EQ(source.GetRefCount(), 0);
  EXPECT_EQ(target->GetDef().get(), source.GetDef().get());
  EXPECT_TRUE(target->Exists());
  std::string out;
  target->GetData(out);
  EXPECT_EQ(out, "from source");
}

TEST_F(AttributeTest, DefinitionAssignmentCopiesEverythingButTheCount) {
  RCPtr<DesDataInfo> shape = Vector4();
  RCPtr<AttribDef> source =
      new AttribDefDesData("src", eAttrDesData, shape, DesData(shape, 4.0), true);
  RCPtr<AttribDef> target =
      new AttribDefDesData("dst", eAttrDesData, Matrix(2, 2), DesData(*Matrix(2, 2), 0.0), false);
  RCPtr<AttribDef> secondHolder = target;
  static_cast<AttribDefDesData&>(*target) = static_cast<AttribDefDesData&>(*source);
  EXPECT_EQ(target->GetRefCount(), 2);
  EXPECT_EQ(target->GetName(), "src");
  EXPECT_TRUE(target->GetReadOnly());
  EXPECT_EQ(target->GetDataInfo(), shape.get());
  DesData a, b;
  target->GetFactVal(a);
  source->GetFactVal(b);
  EXPECT_EQ(a.GetValuePtr().get(), b.GetValuePtr().get());

  // Renaming the copy leaves the source alone.
  target->SetName("copy");
  EXPECT_EQ(source->GetName(), "src");
}

// ---------------------------------------------------------------- pools

namespace {

template <class A>
void ExpectOwnPool(const RCPtr<AttribDef>& def) {
  SCOPED_TRACE(typeid(A).name());
  ASSERT_NE(A::memPool, nullptr);
  EXPECT_EQ(A::memPool->ChunksMade(), 1u);
  std::vector<RCPtr<Attribute>> held;
  for (int i = 0; i < 3; ++i) held.push_back(new A(def));
  EXPECT_EQ(A::memPool->ChunksMade(), 1u) << "a first chunk of 4 slots serves three";
  held.push_back(new A(def));
  EXPECT_EQ(A::memPool->ChunksMade(), 2u);
  EXPECT_EQ(A::memPool->ChunkSlotCount(), 8u);

  // The last one released is the next one served, clones included.
  Attribute* freed = held[1].get();
  held[1] = nullptr;
  RCPtr<Attribute> clone = held[0]->clone();
  EXPECT_EQ(clone.get(), freed);
  EXPECT_EQ(def->GetRefCount(), 5);
}

}  // namespace

TEST_F(AttributeTest, EveryAttributeClassHasAPoolOfItsOwn) {
  ExpectOwnPool<AttributeInt>(MakeDef(eAttrInt));
  ExpectOwnPool<AttributeDouble>(MakeDef(eAttrDouble));
  ExpectOwnPool<AttributeString>(MakeDef(eAttrString));
  ExpectOwnPool<AttributeHvArray>(MakeDef(eAttrHvArray));
  ExpectOwnPool<AttributePtrDouble>(MakeDef(eAttrPtrDouble));
  ExpectOwnPool<AttributeDesData>(MakeDef(eAttrDesData));
  // Filling one pool did not touch another.
  EXPECT_EQ(AttributeInt::memPool->ChunksMade(), 2u);
}

TEST_F(AttributeTest, ReleasingADesDataAttributeReleasesItsNumbers) {
  RCPtr<AttribDef> def = MakeDef(eAttrDesData);
  DesData value(*Vector4(), 6.0);
  {
    RCPtr<Attribute> attr = MakeAttr(def);
    attr->SetData(value);
    EXPECT_EQ(value.GetValuePtr()->GetRefCount(), 2);
  }
  EXPECT_EQ(value.GetValuePtr()->GetRefCount(), 1);
}

TEST_F(AttributeTest, MakingAnAttributeWithoutItsPoolIsAnError) {
  AttributeDouble::deleteMemPool();
  const Thrown thrown = Catch([&] { (void)new AttributeDouble(MakeDef(eAttrDouble)); });
  EXPECT_EQ(thrown.code, DES_GenericInternalErr);
  AttributeDouble::newMemPool(4, 2.0);
}
