// Attributes: the current value of one named attribute of one entity,
// together with the shared definition that gives its name, type, read-only
// flag and factory value.
//
// As with definitions, every attribute class exposes the typed getters and
// setters of all six value types as virtual operations and only the pair of
// its own type works; the others raise catalogue errors naming the
// attribute. A failed call leaves the attribute as it was.
//
// Attributes are reference-counted (entities share them through
// RCPtr<Attribute>) and each concrete class takes its objects from a pool of
// its own, which must exist while attributes of that class are made. The
// definition is shared, never copied: renaming an attribute renames every
// attribute of that definition. Host-array and pointer-to-double values are
// borrowed handles that an attribute never releases.
#pragma once

#include <string>

#include "entity/AttribDef.h"
#include "entity/DesData.h"
#include "entity/Pointee.h"
#include "entity/Pool.h"
#include "entity/RCPtr.h"
#include "support/HostInterface.h"

class Attribute : public Pointee {
 public:
  // The type text of the base class, which holds no value: empty.
  static const char* const typeTxt;

  // Shares the definition, which must not be null (DES_GenericInternalErr
  // otherwise). The attribute starts as not existing.
  explicit Attribute(const RCPtr<AttribDef>& def);
  // Copies share the definition and take the exists flag; the reference
  // count of the target stays as it is.
  Attribute(const Attribute& other) = default;
  Attribute& operator=(const Attribute& other) = default;

  // Slot order of the virtual operations is part of the library's boundary.
  ~Attribute() override;
  // Sets the value to the definition's factory value.
  virtual void InitToFactValue();
  virtual void GetData(DesData& out) const;
  virtual void GetData(hvArray*& out) const;
  virtual void GetData(std::string& out) const;
  virtual void GetData(double*& out) const;
  virtual void GetData(double& out) const;
  virtual void GetData(int& out) const;
  virtual void SetData(const DesData& v);
  virtual void SetData(hvArray*& v);
  virtual void SetData(std::string& v);
  virtual void SetData(double*& v);
  virtual void SetData(double& v);
  virtual void SetData(int& v);
  // Takes other's definition and exists flag, not its value.
  virtual void copy(const Attribute* other);
  // A new attribute of the same class (from its pool) with the same
  // definition, exists flag and value. The caller owns it.
  virtual Attribute* clone();

  const RCPtr<AttribDef>& GetDef() const { return def; }
  const std::string& GetName() const { return def->GetName(); }
  // Renames the shared definition.
  void SetName(const char* name) { def->SetName(name); }
  bool GetReadOnly() const { return def->GetReadOnly(); }
  eAttrType GetTypeEnum() const { return def->GetTypeEnum(); }
  bool Exists() const { return exists; }
  void SetExists(bool flag) { exists = flag; }
  const char* GetTypeTxt() const { return typeTxt; }

  // Byte-wise order of the names: the key of an entity's attribute set.
  bool operator<(const Attribute& other) const { return GetName() < other.GetName(); }
  // Same name and same exists flag; values are not compared.
  bool operator==(const Attribute& other) const {
    return exists == other.exists && GetName() == other.GetName();
  }
  bool operator!=(const Attribute& other) const { return !(*this == other); }

 protected:
  [[noreturn]] void ThrowWrongGetter() const;
  [[noreturn]] void ThrowWrongSetter() const;
  // Raised by the setter of the own type when the definition is read-only.
  void CheckWritable() const;

 private:
  RCPtr<AttribDef> def;
  bool exists;
};

class AttributeInt : public Attribute {
  TW_POOLED_CLASS(AttributeInt)

 public:
  explicit AttributeInt(const RCPtr<AttribDef>& def) : Attribute(def), value(0) {}
  AttributeInt(const AttributeInt&) = default;
  AttributeInt& operator=(const AttributeInt&) = default;

  void InitToFactValue() override;
  using Attribute::GetData;
  using Attribute::SetData;
  void GetData(int& out) const override { out = value; }
  void SetData(int& v) override;
  Attribute* clone() override;

 private:
  int value;
};

class AttributeDouble : public Attribute {
  TW_POOLED_CLASS(AttributeDouble)

 public:
  explicit AttributeDouble(const RCPtr<AttribDef>& def) : Attribute(def), value(0.0) {}
  AttributeDouble(const AttributeDouble&) = default;
  AttributeDouble& operator=(const AttributeDouble&) = default;

  void InitToFactValue() override;
  using Attribute::GetData;
  using Attribute::SetData;
  void GetData(double& out) const override { out = value; }
  void SetData(double& v) override;
  Attribute* clone() override;

 private:
  double value;
};

class AttributeString : public Attribute {
  TW_POOLED_CLASS(AttributeString)

 public:
  explicit AttributeString(const RCPtr<AttribDef>& def) : Attribute(def), value() {}
  AttributeString(const AttributeString&) = default;
  AttributeString& operator=(const AttributeString&) = default;

  void InitToFactValue() override;
  using Attribute::GetData;
  using Attribute::SetData;
  void GetData(std::string& out) const override { out = value; }
  void SetData(std::string& v) override;
  Attribute* clone() override;

 private:
  std::string value;
};

class AttributeHvArray : public Attribute {
  TW_POOLED_CLASS(AttributeHvArray)

 public:
  explicit AttributeHvArray(const RCPtr<AttribDef>& def) : Attribute(def), value(nullptr) {}
  AttributeHvArray(const AttributeHvArray&) = default;
  AttributeHvArray& operator=(const AttributeHvArray&) = default;

  void InitToFactValue() override;
  using Attribute::GetData;
  using Attribute::SetData;
  void GetData(hvArray*& out) const override { out = value; }
  void SetData(hvArray*& v) override;
  Attribute* clone() override;

 private:
  hvArray* value;  // borrowed
};

class AttributePtrDouble : public Attribute {
  TW_POOLED_CLASS(AttributePtrDouble)

 public:
  explicit AttributePtrDouble(const RCPtr<AttribDef>& def) : Attribute(def), value(nullptr) {}
  AttributePtrDouble(const AttributePtrDouble&) = default;
  AttributePtrDouble& operator=(const AttributePtrDouble&) = default;

  void InitToFactValue() override;
  using Attribute::GetData;
  using Attribute::SetData;
  void GetData(double*& out) const override { out = value; }
  void SetData(double*& v) override;
  Attribute* clone() override;

 private:
  double* value;  // borrowed
};

class AttributeDesData : public Attribute {
  TW_POOLED_CLASS(AttributeDesData)

 public:
  // The value starts as a real scalar 0.0 until InitToFactValue or SetData.
  explicit AttributeDesData(const RCPtr<AttribDef>& def) : Attribute(def), value() {}
  AttributeDesData(const AttributeDesData&) = default;
  AttributeDesData& operator=(const AttributeDesData&) = default;

  void InitToFactValue() override;
  using Attribute::GetData;
  using Attribute::SetData;
  // Shares the numbers with the attribute (copy on write keeps them apart).
  void GetData(DesData& out) const override { out = value; }
  // Accepts only values whose shape the definition expects
  // (DES_AttrDimNotMatch otherwise); the value is then shared.
  void SetData(const DesData& v) override;
  Attribute* clone() override;

 private:
  DesData value;
};
