#include "entity/Attribute.h"

#include "support/DesExcept.h"
#include "support/MessageCatalogue.h"
#include "support/PMMallocError.h"

TW_POOLED_CLASS_DEFINE(AttributeInt)
TW_POOLED_CLASS_DEFINE(AttributeDouble)
TW_POOLED_CLASS_DEFINE(AttributeString)
TW_POOLED_CLASS_DEFINE(AttributeHvArray)
TW_POOLED_CLASS_DEFINE(AttributePtrDouble)
TW_POOLED_CLASS_DEFINE(AttributeDesData)

const char* const Attribute::typeTxt = "";

// ---------------------------------------------------------------- Attribute

Attribute::Attribute(const RCPtr<AttribDef>& def) : def(def), exists(false) {
  // Every accessor reads through the definition; refuse to make an attribute
  // that would crash on its first use.
  if (!this->def) throw new DesExcept(DES_GenericInternalErr, "attribute without definition");
}

Attribute::~Attribute() = default;

void Attribute::InitToFactValue() {
  throw new DesExcept(DES_IllegalTypeAccess, GetName().c_str(), "Attribute class has no type");
}

// The base class holds no value: every typed access is refused.
void Attribute::GetData(DesData&) const { ThrowWrongGetter(); }
void Attribute::GetData(hvArray*&) const { ThrowWrongGetter(); }
void Attribute::GetData(std::string&) const { ThrowWrongGetter(); }
void Attribute::GetData(double*&) const { ThrowWrongGetter(); }
void Attribute::GetData(double&) const { ThrowWrongGetter(); }
void Attribute::GetData(int&) const { ThrowWrongGetter(); }
void Attribute::SetData(const DesData&) { ThrowWrongSetter(); }
void Attribute::SetData(hvArray*&) { ThrowWrongSetter(); }
void Attribute::SetData(std::string&) { ThrowWrongSetter(); }
void Attribute::SetData(double*&) { ThrowWrongSetter(); }
void Attribute::SetData(double&) { ThrowWrongSetter(); }
void Attribute::SetData(int&) { ThrowWrongSetter(); }

void Attribute::copy(const Attribute* other) {
  if (other == nullptr || other == this) return;
  def = other->def;
  exists = other->exists;
}

Attribute* Attribute::clone() { return new Attribute(*this); }

void Attribute::ThrowWrongGetter() const {
  // The message names the type to use: the one the attribute holds.
  throw new DesExcept(DES_IllegalTypeAccess, GetName().c_str(), GetAttrTypeTxt(GetTypeEnum()));
}

void Attribute::ThrowWrongSetter() const {
  throw new DesExcept(DES_IllegalTypeAccess, GetName().c_str());
}

void Attribute::CheckWritable() const {
  if (def->GetReadOnly())
    throw new DesExcept(DES_CannotSetReadOnlyFields, "Entity", GetName().c_str());
}

// ---------------------------------------------------------------- subclasses
//
// InitToFactValue reads through the definition's getter of the own type, so
// a definition of another class reports the mismatch instead of handing out
// a wrong value.

void AttributeInt::InitToFactValue() { GetDef()->GetFactVal(value); }

void AttributeInt::SetData(int& v) {
  CheckWritable();
  value = v;
}

Attribute* AttributeInt::clone() { return new AttributeInt(*this); }

void AttributeDouble::InitToFactValue() { GetDef()->GetFactVal(value); }

void AttributeDouble::SetData(double& v) {
  CheckWritable();
  value = v;
}

Attribute* AttributeDouble::clone() { return new AttributeDouble(*this); }

// A text longer than a short string needs the general allocator.
void AttributeString::InitToFactValue() {
  pmWithMemoryError([this] { GetDef()->GetFactVal(value); });
}

void AttributeString::SetData(std::string& v) {
  CheckWritable();
  pmWithMemoryError([&] { value = v; });
}

Attribute* AttributeString::clone() {
  return pmWithMemoryError([this] { return new AttributeString(*this); });
}

void AttributeHvArray::InitToFactValue() { GetDef()->GetFactVal(value); }

void AttributeHvArray::SetData(hvArray*& v) {
  CheckWritable();
  value = v;
}

Attribute* AttributeHvArray::clone() { return new AttributeHvArray(*this); }

void AttributePtrDouble::InitToFactValue() { GetDef()->GetFactVal(value); }

void AttributePtrDouble::SetData(double*& v) {
  CheckWritable();
  value = v;
}

Attribute* AttributePtrDouble::clone() { return new AttributePtrDouble(*this); }

void AttributeDesData::InitToFactValue() { GetDef()->GetFactVal(value); }

void AttributeDesData::SetData(const DesData& v) {
  CheckWritable();
  const AttribDef& def = *GetDef();
  if (!def.IsMatchToDef(v.GetDataInfo())) {
    const std::string provided = v.GetDataInfo().GetDimStr();
    const DesDataInfo* shape = def.GetDataInfo();
    const std::string expected = shape != nullptr ? shape->GetDimStr() : "unspecified shape";
    throw new DesExcept(DES_AttrDimNotMatch, def.GetName().c_str(), provided.c_str(),
                        expected.c_str());
  }
  value = v;
}

Attribute* AttributeDesData::clone() { return new AttributeDesData(*this); }
