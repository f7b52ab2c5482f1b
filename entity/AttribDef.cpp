#include "entity/AttribDef.h"

#include <utility>

#include "support/DesExcept.h"
#include "support/MessageCatalogue.h"

const char* GetAttrTypeTxt(eAttrType type) {
  static const char* const texts[kAttrTypeCount] = {"int",       "double",   "string",
                                                    "hvArray *", "double *", "DesData"};
  const int i = static_cast<int>(type);
  return i >= 0 && i < kAttrTypeCount ? texts[i] : "unknown";
}

// ---------------------------------------------------------------- AttribDef

AttribDef::AttribDef(std::string name, eAttrType type, bool readOnly)
    : name(std::move(name)), type(type), readOnly(readOnly), dataInfo() {}

AttribDef::~AttribDef() = default;

bool AttribDef::IsMatchToDef(const DesDataInfo&) const { return true; }

// The base class has no value of its own: every typed access is refused.
void AttribDef::GetFactVal(DesData&) const { ThrowWrongGetter(); }
void AttribDef::GetFactVal(hvArray*&) const { ThrowWrongGetter(); }
void AttribDef::GetFactVal(std::string&) const { ThrowWrongGetter(); }
void AttribDef::GetFactVal(double*&) const { ThrowWrongGetter(); }
void AttribDef::GetFactVal(double&) const { ThrowWrongGetter(); }
void AttribDef::GetFactVal(int&) const { ThrowWrongGetter(); }
void AttribDef::SetFactVal(const DesData&) { ThrowWrongSetter(); }
void AttribDef::SetFactVal(hvArray*&) { ThrowWrongSetter(); }
void AttribDef::SetFactVal(std::string&) { ThrowWrongSetter(); }
void AttribDef::SetFactVal(double*&) { ThrowWrongSetter(); }
void AttribDef::SetFactVal(double&) { ThrowWrongSetter(); }
void AttribDef::SetFactVal(int&) { ThrowWrongSetter(); }

void AttribDef::ThrowWrongGetter() const {
  // The message tells the user which type the definition does hold.
  throw new DesExcept(DES_IllegalTypeEnumAccess, name.c_str(), GetAttrTypeTxt(type));
}

void AttribDef::ThrowWrongSetter() const {
  throw new DesExcept(DES_IllegalTypeAccess, name.c_str());
}

void AttribDef::CheckWritable() const {
  if (readOnly) throw new DesExcept(DES_CannotSetReadOnlyFields, "Attribute", name.c_str());
}

// ---------------------------------------------------------------- subclasses

AttribDefInt::AttribDefInt(std::string name, eAttrType type, int factVal, bool readOnly)
    : AttribDef(std::move(name), type, readOnly), factVal(factVal) {}

void AttribDefInt::GetFactVal(int& out) const { out = factVal; }

void AttribDefInt::SetFactVal(int& v) {
  CheckWritable();
  factVal = v;
}

AttribDefDouble::AttribDefDouble(std::string name, eAttrType type, double factVal,
                                 bool readOnly)
    : AttribDef(std::move(name), type, readOnly), factVal(factVal) {}

void AttribDefDouble::GetFactVal(double& out) const { out = factVal; }

void AttribDefDouble::SetFactVal(double& v) {
  CheckWritable();
  factVal = v;
}

AttribDefString::AttribDefString(std::string name, eAttrType type, std::string factVal,
                                 bool readOnly)
    : AttribDef(std::move(name), type, readOnly), factVal(std::move(factVal)) {}

void AttribDefString::GetFactVal(std::string& out) const { out = factVal; }

void AttribDefString::SetFactVal(std::string& v) {
  CheckWritable();
  factVal = v;
}

AttribDefHvArray::AttribDefHvArray(std::string name, eAttrType type, hvArray* factVal,
                                   bool readOnly)
    : AttribDef(std::move(name), type, readOnly), factVal(factVal) {}

void AttribDefHvArray::GetFactVal(hvArray*& out) const { out = factVal; }

void AttribDefHvArray::SetFactVal(hvArray*& v) {
  CheckWritable();
  factVal = v;
}

AttribDefPtrDouble::AttribDefPtrDouble(std::string name, eAttrType type, double* factVal,
                                       bool readOnly)
    : AttribDef(std::move(name), type, readOnly), factVal(factVal) {}

void AttribDefPtrDouble::GetFactVal(double*& out) const { out = factVal; }

void AttribDefPtrDouble::SetFactVal(double*& v) {
  CheckWritable();
  factVal = v;
}

AttribDefDesData::AttribDefDesData(const std::string& name, eAttrType type,
                                   const RCPtr<DesDataInfo>& shape, const DesData& factory,
                                   bool readOnly)
    : AttribDef(name, type, readOnly), factVal(factory) {
  SetDataInfo(shape);
}

bool AttribDefDesData::IsMatchToDef(const DesDataInfo& shape) const {
  const DesDataInfo* expected = GetDataInfo();
  return expected != nullptr && *expected == shape;
}

void AttribDefDesData::GetFactVal(DesData& out) const { out = factVal; }

void AttribDefDesData::SetFactVal(const DesData& v) {
  CheckWritable();
  factVal = v;
}
