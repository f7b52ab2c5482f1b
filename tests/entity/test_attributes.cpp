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
  return a.index() == b.index() && std::visit(
                                       [&b](const auto& x) {
                                         using T = std::decay_t<decltype(x)>;
                                         const T& y = std::get<T>(b);
                                         if constexpr (std::is_same_v<T, DesData>)
                                           return x.GetDataInfo() == y.GetDataInfo() &&
                                                  Numbers(x) == Numbers(y);
                                         else
                                           return x == y;
                                       },
                                       a);
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

// Every getter and setter on definitions and attributes of every type: the
// own type works, any other fails with its message and touches nothing, a
// read-only one refuses the write, no attribute write reaches the shared
// factory value, and a clone has a value of its own.
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
        auto unlessOwn = [own](uint32_t code) { return own ? 0u : code; };

        Value out = Make(a, false);
        Thrown fromDef = Catch([&] { Get(*def, out); });
        Thrown fromAttr = Catch([&] { Get(*attr, out); });
        EXPECT_EQ(fromDef.code, unlessOwn(DES_IllegalTypeEnumAccess));
        EXPECT_EQ(fromDef.args, own ? Args{} : Args({name, GetAttrTypeTxt(t)}));
        // The attribute's type text is the empty class-wide one.
        EXPECT_EQ(fromAttr.code, unlessOwn(DES_IllegalTypeAccess));
        EXPECT_EQ(fromAttr.args, own ? Args{} : Args({name, ""}));
        EXPECT_TRUE(Same(out, Make(a, own))) << "read or untouched";

        Value in = Make(a, false), nowAttr = Make(t, false), nowDef = nowAttr, fact = nowAttr;
        Thrown toAttr = Catch([&] { Set(*attr, in); });
        Get(*def, fact);
        EXPECT_TRUE(Same(fact, Make(t, true))) << "an attribute write reached the definition";
        Thrown toDef = Catch([&] { Set(*def, in); });
        Get(*attr, nowAttr);
        Get(*def, nowDef);
        const uint32_t refusal =
            unlessOwn(DES_IllegalTypeAccess) | (own && readOnly ? DES_CannotSetReadOnlyFields : 0u);
        EXPECT_EQ(toAttr.code, refusal);
        EXPECT_EQ(toDef.code, refusal);
        if (!own) {
          EXPECT_EQ(toAttr.args, Args({name}));
          EXPECT_EQ(toDef.args, Args({name}));
        } else if (readOnly) {
          EXPECT_EQ(toAttr.args, Args({"Entity", name}));
          EXPECT_EQ(toDef.args, Args({"Attribute", name}));
        }
        EXPECT_TRUE(Same(nowAttr, Make(t, refusal != 0)));
        EXPECT_TRUE(Same(nowDef, Make(t, refusal != 0)));
        if (!own) continue;
        // A clone: the same class and definition, a value of its own.
        attr->SetExists(!readOnly);
        RCPtr<Attribute> copy = attr->clone();
        EXPECT_TRUE(typeid(*copy) == typeid(*attr));
        EXPECT_EQ(copy->GetDef().get(), def.get());
        EXPECT_EQ(copy->Exists(), !readOnly);
        Value cloned = in, other = Make(t, refusal == 0);
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
    const Thrown t[] = {Catch([&] { Get(*def, v); }), Catch([&] { Set(*def, v); }),
                        Catch([&] { Get(*attr, v); }), Catch([&] { Set(*attr, v); }),
                        Catch([&] { attr->InitToFactValue(); })};
    EXPECT_EQ((std::vector<uint32_t>{t[0].code, t[1].code, t[2].code, t[3].code, t[4].code}),
              (std::vector<uint32_t>{DES_IllegalTypeEnumAccess, DES_IllegalTypeAccess,
                                     DES_IllegalTypeAccess, DES_IllegalTypeAccess,
                                     DES_IllegalTypeAccess}))
        << GetAttrTypeTxt(a);
    EXPECT_EQ((std::vector<Args>{t[0].args, t[1].args, t[2].args, t[3].args, t[4].args}),
              (std::vector<Args>{{"plain", "double"}, {"plain"}, {"plain", ""}, {"plain"},
                                 {"plain", "Attribute class has no type"}}));
  }
  RCPtr<Attribute> copy = attr->clone();
  EXPECT_TRUE(typeid(*copy) == typeid(Attribute));
  EXPECT_EQ(copy->GetDef().get(), def.get());
  EXPECT_EQ(Catch([] { (void)new AttributeInt(RCPtr<AttribDef>()); }).code, DES_GenericInternalErr);

  // An int attribute over a double definition keeps its value.
  RCPtr<Attribute> foreign =
      new AttributeInt(new AttribDefDouble("speed", eAttrDouble, 4.0, false));
  int v = 11;
  foreign->SetData(v);
  const Thrown mismatch = Catch([&] { foreign->InitToFactValue(); });
  EXPECT_EQ(mismatch.code, DES_IllegalTypeEnumAccess);
  EXPECT_EQ(mismatch.args, Args({"speed", "double"}));
  foreign->GetData(v);
  EXPECT_EQ(v, 11);
}

TEST_F(AttributeTest, DesDataAttributeRefusesAValueOfAnotherShape) {
  RCPtr<Attribute> attr = MakeAttr(MakeDef(eAttrDesData));
  attr->InitToFactValue();
  const int dims[] = {2, 2};
  const DesDataInfo matrix(4, 0, 0, 0, 2, dims);
  Thrown thrown = Catch([&] { attr->SetData(DesData(matrix, 3.0)); });
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
  EXPECT_EQ(Numbers(now), std::vector<double>(4, 1.5));

  RCPtr<Attribute> fixed = MakeAttr(MakeDef(eAttrDesData, true));
  EXPECT_EQ(Catch([&] { fixed->SetData(DesData(matrix, 0.0)); }).code,
            DES_CannotSetReadOnlyFields)
      << "read-only is checked before the shape";
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
