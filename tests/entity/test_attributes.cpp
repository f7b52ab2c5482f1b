// Attribute definitions and attributes: typed access across the six value
// types and its errors, read-only protection, shape checks of DesData
// attributes, clones.
#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <typeinfo>
#include <variant>
#include <vector>

#include "entity/AttribDef.h"
#include "entity/Attribute.h"
#include "entity/DesEntity.h"
#include "tests/entity/MemoryChecks.h"

using namespace entity_test;

namespace {

const eAttrType kAllTypes[] = {eAttrInt,     eAttrDouble,    eAttrString,
                               eAttrHvArray, eAttrPtrDouble, eAttrDesData};

// A value of any attribute type; the index of the alternative is the type.
using Value = std::variant<int, double, std::string, hvArray*, double*, DesData>;

// Typed access with the accessor of the value's type.
void Get(const AttribDef& o, Value& v) { std::visit([&o](auto& x) { o.GetFactVal(x); }, v); }
void Set(AttribDef& o, Value& v) { std::visit([&o](auto& x) { o.SetFactVal(x); }, v); }
void Get(const Attribute& o, Value& v) { std::visit([&o](auto& x) { o.GetData(x); }, v); }
void Set(Attribute& o, Value& v) { std::visit([&o](auto& x) { o.SetData(x); }, v); }

// Values of one type that agree (DesData: the same shape and numbers).
bool Same(const Value& a, const Value& b) {
  if (a.index() != b.index()) return false;
  auto same = [&b](const auto& x) {
    using T = std::decay_t<decltype(x)>;
    const T& y = std::get<T>(b);
    if constexpr (std::is_same_v<T, DesData>)
      return x.GetDataInfo() == y.GetDataInfo() && Numbers(x) == Numbers(y);
    else
      return x == y;
  };
  return std::visit(same, a);
}

template <class... P>
struct Pools {
  static void New() { (P::newMemPool(4, 2.0), ...); }
  static void Delete() { (P::deleteMemPool(), ...); }
};
using AttributePools = Pools<AttributeInt, AttributeDouble, AttributeString, AttributeHvArray,
                             AttributePtrDouble, AttributeDesData>;

// The attribute pools beside the data-value pools, as the engine makes them.
class AttributeTest : public DataPoolsTest {
 protected:
  void SetUp() override {
    DataPoolsTest::SetUp();
    AttributePools::New();
    hostArray = hvCreateString("borrowed");
  }
  void TearDown() override {
    hvDestroyArray(hostArray);
    EXPECT_EQ(host::liveArrays(), arraysBefore) << "host arrays left behind";
    AttributePools::Delete();
    DataPoolsTest::TearDown();
  }

  static RCPtr<DesDataInfo> Vector4() { return RCPtr<DesDataInfo>(new DesDataInfo(4)); }

  // A definition of type t named after its type, with the factory value Make(t, true).
  RCPtr<AttribDef> MakeDef(eAttrType t, bool readOnly = false) {
    const std::string name = std::string("attr_") + GetAttrTypeTxt(t);
    switch (t) {
      case eAttrInt: return new AttribDefInt(name, t, 7, readOnly);
      case eAttrDouble: return new AttribDefDouble(name, t, 2.5, readOnly);
      case eAttrString: return new AttribDefString(name, t, "factory", readOnly);
      case eAttrHvArray: return new AttribDefHvArray(name, t, hostArray, readOnly);
      case eAttrPtrDouble: return new AttribDefPtrDouble(name, t, numbers, readOnly);
      case eAttrDesData:
        return new AttribDefDesData(name, t, Vector4(), DesData(*Vector4(), 1.5), readOnly);
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
  // The factory value of MakeDef, or (factory false) another for writing.
  Value Make(eAttrType t, bool factory) {
    switch (t) {
      case eAttrInt: return factory ? 7 : -3;
      case eAttrDouble: return factory ? 2.5 : -0.25;
      case eAttrString: return std::string(factory ? "factory" : "written");
      case eAttrHvArray: return factory ? hostArray : nullptr;
      case eAttrPtrDouble: return factory ? numbers : numbers + 1;
      case eAttrDesData: break;
    }
    return DesData(*Vector4(), factory ? 1.5 : 9.0);
  }

  const std::size_t arraysBefore = host::liveArrays();
  hvArray* hostArray = nullptr;
  double numbers[3] = {1.0, 2.0, 3.0};
};

}  // namespace

TEST(AttrTypeTexts, NameEveryTypeAsMessagesShowIt) {
  DesEntity::createTypeMap();
  const char* texts[] = {"int", "double", "string", "hvArray *", "double *", "DesData"};
  for (eAttrType t : kAllTypes) {
    EXPECT_STREQ(GetAttrTypeTxt(t), texts[t]);
    EXPECT_EQ(DesEntity::getAttrType(texts[t]), t);
  }
  EXPECT_STREQ(GetAttrTypeTxt(static_cast<eAttrType>(6)), "unknown");
  EXPECT_STREQ(GetAttrTypeTxt(static_cast<eAttrType>(-1)), "unknown");
  EXPECT_EQ(DesEntity::getAttrType("Int"), -1);
}

// Every getter and setter of every type: the own type works, any other
// fails with its message and touches nothing, read-only refuses the write,
// no attribute write reaches the factory value, a clone has its own value.
TEST_F(AttributeTest, TypedAccessWorksForTheOwnTypeOnly) {
  for (bool readOnly : {false, true}) {
    for (eAttrType t : kAllTypes) {
      for (eAttrType a : kAllTypes) {
        SCOPED_TRACE(std::string(readOnly ? "read-only " : "") + GetAttrTypeTxt(t) +
                     ", accessor " + GetAttrTypeTxt(a));
        RCPtr<AttribDef> def = MakeDef(t, readOnly);
        RCPtr<Attribute> attr = MakeAttr(def);
        attr->InitToFactValue();
        const std::string name = def->GetName();
        const bool own = a == t;
        // Both name the type they hold.
        Value out = Make(a, false);
        EXPECT_EQ(Err(Catch([&] { Get(*def, out); })),
                  (own ? Error{} : Error{DES_IllegalTypeEnumAccess, {name, GetAttrTypeTxt(t)}}));
        EXPECT_EQ(Err(Catch([&] { Get(*attr, out); })),
                  (own ? Error{} : Error{DES_IllegalTypeAccess, {name, GetAttrTypeTxt(t)}}));
        EXPECT_TRUE(Same(out, Make(a, own))) << "read or untouched";

        Value in = Make(a, false), nowAttr = Make(t, false), nowDef = nowAttr, fact = nowAttr;
        const Thrown toAttr = Catch([&] { Set(*attr, in); });
        Get(*def, fact);
        EXPECT_TRUE(Same(fact, Make(t, true))) << "an attribute write reached the definition";
        const Thrown toDef = Catch([&] { Set(*def, in); });
        Get(*attr, nowAttr);
        Get(*def, nowDef);
        auto refusal = [&](const char* kind) {
          return !own      ? Error{DES_IllegalTypeAccess, {name}}
                 : readOnly ? Error{DES_CannotSetReadOnlyFields, {kind, name}}
                            : Error{};
        };
        EXPECT_EQ(Err(toAttr), refusal("Entity"));
        EXPECT_EQ(Err(toDef), refusal("Attribute"));
        const bool refused = !own || readOnly;
        EXPECT_TRUE(Same(nowAttr, Make(t, refused)) && Same(nowDef, Make(t, refused)));
        if (!own) continue;
        // A clone: the same class and definition, a value of its own.
        attr->SetExists(!readOnly);
        RCPtr<Attribute> copy = attr->clone();
        const Attribute& copied = *copy;
        const Attribute& original = *attr;
        EXPECT_TRUE(typeid(copied) == typeid(original) && copy->GetDef().get() == def.get());
        EXPECT_EQ(copy->Exists(), !readOnly);
        Value cloned = in, other = Make(t, !refused);
        Get(*copy, cloned);
        EXPECT_TRUE(Same(cloned, nowAttr));
        if (!readOnly) Set(*copy, other);
        Get(*attr, cloned);
        EXPECT_TRUE(Same(cloned, nowAttr)) << "a write to the clone reached its source";
      }
    }
  }
}

TEST_F(AttributeTest, BaseClassesAndForeignDefinitionsRefuseTypedAccess) {
  RCPtr<AttribDef> def = new AttribDef("plain", eAttrDouble, false);
  RCPtr<Attribute> attr = new Attribute(def);
  for (eAttrType a : kAllTypes) {
    Value v = Make(a, false);
    auto err = [](auto op) { return Err(Catch(op)); };
    const Error wrongType = {DES_IllegalTypeAccess, {"plain"}};
    const Error noType = {DES_IllegalTypeAccess, {"plain", "Attribute class has no type"}};
    EXPECT_EQ((std::vector<Error>{err([&] { Get(*def, v); }), err([&] { Set(*def, v); }),
                                  err([&] { Get(*attr, v); }), err([&] { Set(*attr, v); }),
                                  err([&] { attr->InitToFactValue(); })}),
              (std::vector<Error>{{DES_IllegalTypeEnumAccess, {"plain", "double"}}, wrongType,
                                  {DES_IllegalTypeAccess, {"plain", "double"}}, wrongType,
                                  noType}))
        << GetAttrTypeTxt(a);
  }
  RCPtr<Attribute> copy = attr->clone();
  const Attribute& copied = *copy;
  EXPECT_TRUE(typeid(copied) == typeid(Attribute) && copy->GetDef().get() == def.get());
  EXPECT_EQ(Catch([] { (void)new AttributeInt(RCPtr<AttribDef>()); }).code, DES_GenericInternalErr);

  // An int attribute over a double definition keeps its value.
  RCPtr<Attribute> foreign =
      new AttributeInt(new AttribDefDouble("speed", eAttrDouble, 4.0, false));
  int v = 11;
  foreign->SetData(v);
  EXPECT_EQ(Err(Catch([&] { foreign->InitToFactValue(); })),
            (Error{DES_IllegalTypeEnumAccess, {"speed", "double"}}));
  foreign->GetData(v);
  EXPECT_EQ(v, 11);
}

TEST_F(AttributeTest, DesDataAttributeRefusesAValueOfAnotherShape) {
  RCPtr<Attribute> attr = MakeAttr(MakeDef(eAttrDesData));
  attr->InitToFactValue();
  const int dims[] = {2, 2};
  const DesDataInfo matrix(4, 0, 0, 0, 2, dims);
  const std::string vector4 = "an one dimensional vector with 4 elements";
  EXPECT_EQ(Err(Catch([&] { attr->SetData(DesData(matrix, 3.0)); })),
            (Error{DES_AttrDimNotMatch, {"attr_DesData", "a [2x2] matrix", vector4}}));
  // The same four elements, but complex: the message shows it alike.
  DesDataInfo complexVector(4);
  complexVector.SetCplx(1);
  EXPECT_EQ(Err(Catch([&] { attr->SetData(DesData(complexVector, 1.0)); })),
            (Error{DES_AttrDimNotMatch, {"attr_DesData", vector4, vector4}}));
  DesData now;
  attr->GetData(now);
  EXPECT_EQ(Numbers(now), std::vector<double>(4, 1.5));

  RCPtr<Attribute> fixed = MakeAttr(MakeDef(eAttrDesData, true));
  EXPECT_EQ(Catch([&] { fixed->SetData(DesData(matrix, 0.0)); }).code,
            DES_CannotSetReadOnlyFields)
      << "read-only is checked before the shape";
  RCPtr<AttribDef> loose =
      new AttribDefDesData("loose", eAttrDesData, RCPtr<DesDataInfo>(), DesData(), false);
  EXPECT_FALSE(loose->IsMatchToDef(DesDataInfo(1)));
  EXPECT_EQ(Err(Catch([&] { MakeAttr(loose)->SetData(DesData(1.0)); })),
            (Error{DES_AttrDimNotMatch, {"loose", "a scalar", "unspecified shape"}}));
}

TEST_F(AttributeTest, DesDataValuesShareTheStorageOfAMatchingValue) {
  RCPtr<DesDataInfo> shape = Vector4();
  const DesData factory(shape, 2.0);
  RCPtr<AttribDef> def = new AttribDefDesData("sig", eAttrDesData, shape, factory, false);
  EXPECT_TRUE(def->IsMatchToDef(DesDataInfo(4)));
  EXPECT_FALSE(def->IsMatchToDef(Shape(4, {1, 4}))) << "same elements, not the same shape";
  RCPtr<Attribute> attr = MakeAttr(def);
  attr->InitToFactValue();
  DesData read;
  attr->GetData(read);
  EXPECT_EQ(read.GetValuePtr().get(), factory.GetValuePtr().get());

  // A separately made value of the same shape matches; typeCode plays no part.
  DesData mine(Shape(4, {4}, 0, 0, 99), 5.0);
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
