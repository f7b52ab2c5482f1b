// Attribute definitions: the name, type, read-only flag and factory value
// that every attribute of one name on entities of one type shares.
//
// Each value type has its own definition class. All of them expose the full
// set of typed getters and setters of the factory value as virtual
// operations; only the pair of the class's own type works, every other one
// raises a catalogue error naming the definition. Callers thus get typed
// access without downcasting, and a type mismatch always surfaces as a
// message the user can act on. A failed call leaves the definition as it was.
//
// Definitions are shared through RCPtr<AttribDef> (the entity type and every
// attribute of that name hold one). The host-array and pointer-to-double
// factory values are borrowed: a definition never copies or releases them.
#pragma once

#include <cstdint>
#include <string>

#include "entity/DesData.h"
#include "entity/DesDataInfo.h"
#include "entity/Pointee.h"
#include "entity/RCPtr.h"
#include "support/HostInterface.h"

// Value types of attributes. The numbers are part of the host structure
// format of entity types and must not change.
enum eAttrType : int32_t {
  eAttrInt = 0,        // "int"
  eAttrDouble = 1,     // "double"
  eAttrString = 2,     // "string"
  eAttrHvArray = 3,    // "hvArray *"
  eAttrPtrDouble = 4,  // "double *"
  eAttrDesData = 5     // "DesData"
};

// Number of attribute types; valid eAttrType values are 0 .. kAttrTypeCount-1.
constexpr int kAttrTypeCount = 6;

// The name of a type as messages show it ("int", ..., "DesData"); "unknown"
// for a number outside the table.
const char* GetAttrTypeTxt(eAttrType type);

class AttribDef : public Pointee {
 public:
  AttribDef(std::string name, eAttrType type, bool readOnly);
  AttribDef(const AttribDef&) = default;
  // Copies name, type, read-only flag and shape (then shared); the reference
  // count of this definition stays as it is.
  AttribDef& operator=(const AttribDef&) = default;

  // Slot order of the virtual operations is part of the library's boundary.
  ~AttribDef() override;
  // Whether a value of the given shape may be stored in attributes of this
  // definition. Only DesData definitions restrict shapes.
  virtual bool IsMatchToDef(const DesDataInfo& shape) const;
  virtual void GetFactVal(DesData& out) const;
  virtual void GetFactVal(hvArray*& out) const;
  virtual void GetFactVal(std::string& out) const;
  virtual void GetFactVal(double*& out) const;
  virtual void GetFactVal(double& out) const;
  virtual void GetFactVal(int& out) const;
  virtual void SetFactVal(const DesData& v);
  virtual void SetFactVal(hvArray*& v);
  virtual void SetFactVal(std::string& v);
  virtual void SetFactVal(double*& v);
  virtual void SetFactVal(double& v);
  virtual void SetFactVal(int& v);

  const std::string& GetName() const { return name; }
  std::string GetNameCopy() const { return name; }
  // A null name is taken as the empty one.
  void SetName(const char* newName) { name = newName != nullptr ? newName : ""; }
  eAttrType GetTypeEnum() const { return type; }
  bool GetReadOnly() const { return readOnly; }
  // The expected shape of DesData values; null unless one was set.
  DesDataInfo* GetDataInfo() const { return dataInfo.get(); }
  void SetDataInfo(const RCPtr<DesDataInfo>& shape) { dataInfo = shape; }

  // Byte-wise order of the names: the key of definition sets.
  bool operator<(const AttribDef& other) const { return name < other.name; }

 protected:
  // Errors of the typed access, thrown as DesExcept pointers.
  [[noreturn]] void ThrowWrongGetter() const;
  [[noreturn]] void ThrowWrongSetter() const;
  // Raised by the setter of the own type when the definition is read-only.
  void CheckWritable() const;

 private:
  std::string name;
  eAttrType type;
  bool readOnly;
  RCPtr<DesDataInfo> dataInfo;
};

class AttribDefInt : public AttribDef {
 public:
  AttribDefInt(std::string name, eAttrType type, int factVal, bool readOnly);

  using AttribDef::GetFactVal;
  using AttribDef::SetFactVal;
  void GetFactVal(int& out) const override;
  void SetFactVal(int& v) override;

 private:
  int factVal;
};

class AttribDefDouble : public AttribDef {
 public:
  AttribDefDouble(std::string name, eAttrType type, double factVal, bool readOnly);

  using AttribDef::GetFactVal;
  using AttribDef::SetFactVal;
  void GetFactVal(double& out) const override;
  void SetFactVal(double& v) override;

 private:
  double factVal;
};

class AttribDefString : public AttribDef {
 public:
  AttribDefString(std::string name, eAttrType type, std::string factVal, bool readOnly);

  using AttribDef::GetFactVal;
  using AttribDef::SetFactVal;
  void GetFactVal(std::string& out) const override;
  void SetFactVal(std::string& v) override;

 private:
  std::string factVal;
};

class AttribDefHvArray : public AttribDef {
 public:
  AttribDefHvArray(std::string name, eAttrType type, hvArray* factVal, bool readOnly);

  using AttribDef::GetFactVal;
  using AttribDef::SetFactVal;
  void GetFactVal(hvArray*& out) const override;
  void SetFactVal(hvArray*& v) override;

 private:
  hvArray* factVal;  // borrowed
};

class AttribDefPtrDouble : public AttribDef {
 public:
  AttribDefPtrDouble(std::string name, eAttrType type, double* factVal, bool readOnly);

  using AttribDef::GetFactVal;
  using AttribDef::SetFactVal;
  void GetFactVal(double*& out) const override;
  void SetFactVal(double*& v) override;

 private:
  double* factVal;  // borrowed
};

class AttribDefDesData : public AttribDef {
 public:
  // The shape becomes the definition's expected shape (shared); the factory
  // value shares its numbers with `factory`.
  AttribDefDesData(const std::string& name, eAttrType type, const RCPtr<DesDataInfo>& shape,
                   const DesData& factory, bool readOnly);

  // Equal shapes only (DesDataInfo::operator==); a definition without a
  // shape matches nothing.
  bool IsMatchToDef(const DesDataInfo& shape) const override;
  using AttribDef::GetFactVal;
  using AttribDef::SetFactVal;
  void GetFactVal(DesData& out) const override;
  void SetFactVal(const DesData& v) override;

 private:
  DesData factVal;
};
