// Entities and host structures: reading an entity type's structure (its
// attribute list, attribute values and nested member entities) into an
// entity and its type, and writing an entity's attributes, timers and
// timeouts out as host cell arrays.
#include <cstring>
#include <strings.h>

#include "entity/DesEntity.h"
#include "entity/EntityList.h"
#include "kernel/TimeoutData.h"
#include "support/DesExcept.h"
#include "support/ErrExcept.h"
#include "support/HostBridge.h"
#include "support/HvCleaner.h"
#include "support/MessageCatalogue.h"
#include "support/PMMallocError.h"

namespace {

const char kFieldOwner[] = "DesEntity/Attribute";

// Owns a text from hostCalloc.
class HostText {
 public:
  explicit HostText(char* text) : text(text) {}
  ~HostText() { hostFree(text); }
  HostText(const HostText&) = delete;
  HostText& operator=(const HostText&) = delete;
  const char* get() const { return text; }

 private:
  char* text;
};

// Restores the generation level on every way out of reading a list.
class GenerationGuard {
 public:
  GenerationGuard() : saved(DesEntity::genLevel) {}
  ~GenerationGuard() { DesEntity::genLevel = saved; }
  GenerationGuard(const GenerationGuard&) = delete;
  GenerationGuard& operator=(const GenerationGuard&) = delete;

 private:
  uint32_t saved;
};

bool IsTrue(const char* text) { return text != nullptr && strcasecmp(text, "true") == 0; }

// A host array made for output; null means the host has no memory for it.
hvArray* Made(hvArray* a) {
  if (a == nullptr) throw new ErrExcept(DES_MemoryAllocErr);
  return a;
}

// Largest count and rank a data description can hold.
constexpr uint64_t kMaxIntSize = 2147483647u;
constexpr size_t kMaxDims = 32;

[[noreturn]] void RefuseValue(const char* attrName) {
  throw new DesExcept(DES_InvalidHvArrayFieldName, "Attribute", attrName, DesEntity::valTag);
}

// Numeric defaults are read from real numbers only: any other class is
// refused rather than taken as no data.
void RequireNumbers(const char* attrName, hvArray* value) {
  if (hvGetClassID(value) != hvDOUBLE_CLASS || hvGetPr(value) == nullptr) RefuseValue(attrName);
}

// The first number of a numeric value, for int and double defaults.
double FirstNumber(const char* attrName, hvArray* value) {
  RequireNumbers(attrName, value);
  if (hvGetNumberOfElements(value) == 0) RefuseValue(attrName);
  return hvGetPr(value)[0];
}

int TruncateToInt(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return 2147483647;
  if (v <= -2147483648.0) return -2147483647 - 1;
  return static_cast<int>(v);
}

// Defaults of "hvArray *" and "double *" attributes read from a host
// structure. The structure is the caller's, who usually destroys it right
// after it has been read, so the definition keeps a duplicate of the value
// array of its own and releases it with itself: an "hvArray *" default is
// that duplicate, a "double *" default points into its numbers. Attributes
// holding the default hold the definition too, so it outlives them.
class OwnedDuplicate {
 public:
  explicit OwnedDuplicate(hvArray* duplicate) : duplicate(duplicate) {}
  ~OwnedDuplicate() { hvDestroyArray(duplicate); }
  OwnedDuplicate(const OwnedDuplicate&) = delete;
  OwnedDuplicate& operator=(const OwnedDuplicate&) = delete;

 private:
  hvArray* duplicate;
};

class AttribDefHvArrayFromHost : private OwnedDuplicate, public AttribDefHvArray {
 public:
  AttribDefHvArrayFromHost(const char* name, eAttrType type, hvArray* duplicate, bool readOnly)
      : OwnedDuplicate(duplicate), AttribDefHvArray(name, type, duplicate, readOnly) {}
};

class AttribDefPtrDoubleFromHost : private OwnedDuplicate, public AttribDefPtrDouble {
 public:
  AttribDefPtrDoubleFromHost(const char* name, eAttrType type, hvArray* duplicate, bool readOnly)
      : OwnedDuplicate(duplicate), AttribDefPtrDouble(name, type, hvGetPr(duplicate), readOnly) {}
};

// A duplicate of `value` for a definition to own; the memory error when the
// host cannot make one.
hvArray* DuplicateForDefinition(hvArray* value) {
  hvArray* duplicate = hvDuplicateArray(value);
  if (duplicate == nullptr) pmThrowMemoryException();
  return duplicate;
}

// A new rows x columns cell array that `fill` fills in. If filling fails,
// the array goes, with the cells already set in it.
template <class Fill>
hvArray* FilledCells(size_t rows, size_t columns, Fill&& fill) {
  HvCleaner guard;
  hvArray* cells = Made(hvCreateCellMatrix(rows, columns));
  guard.addHvArray(cells);
  fill(cells);
  guard.removeHvArray(cells);
  return cells;
}

}  // namespace

// ---------------------------------------------------------------- reading

void DesEntity::InitFromMask(hvArray* initVals) {
  InitFromMask();
  if (initVals == nullptr) return;
  const char* typeName = GetName().c_str();
  if (hvGetClassID(initVals) != hvSTRUCT_CLASS)
    throw new DesExcept(DES_NotHvStructFormat, typeName);
  const int fields = hvGetNumberOfFields(initVals);
  if (hvGetNumberOfElements(initVals) != 1 || (fields != 3 && fields != 4))
    throw new DesExcept(DES_InvalidHvArrayNumFields, typeName);
  if (fields == 4) {
    // Must be text; what it should change is not settled, so it changes
    // nothing.
    HostText ro(GetStringField(initVals, roTag, 0));
  }
  hvArray* list = hvGetField(initVals, 0, valTag);
  if (list == nullptr)
    throw new DesExcept(DES_MissingHvArrayFieldName, entityTag, typeName, valTag);
  InitFromHvArray(list);
}

void DesEntity::InitFromHvArray(hvArray* list) {
  GenerationGuard restore;
  ++genLevel;
  // Lists nested deeper than the limit are not read.
  if (genLevel > maxGenLevel) return;
  const hvClassID classId = hvGetClassID(list);
  if ((classId == hvCELL_CLASS || classId == hvDOUBLE_CLASS) && hvIsEmpty(list)) return;
  if (classId != hvSTRUCT_CLASS) throw new DesExcept(DES_NotHvStructFormat, GetName().c_str());
  const size_t count = hvGetNumberOfElements(list);
  for (size_t i = 0; i < count; ++i) {
    const int fields = hvGetNumberOfFields(list);
    if (fields < 3 || fields > 5)
      throw new DesExcept(DES_InvalidHvArrayNumFields, GetName().c_str());
    bool readOnly = false;
    bool isMutable = false;
    if (fields == 5) {
      HostText ro(GetStringField(list, roTag, i));
      readOnly = IsTrue(ro.get());
    }
    if (fields >= 4) {
      HostText mut(GetStringField(list, mutTag, i));
      isMutable = IsTrue(mut.get());
    }
    HostText type(GetStringField(list, typeTag, i));
    HostText name(GetStringField(list, nameTag, i));
    if (std::strncmp(type.get(), entityTag, std::strlen(entityTag)) == 0)
      ParseEntity(list, name.get(), i, readOnly, isMutable, definition->GetMaxLookupLevel());
    else
      ParseAttribute(list, name.get(), i, readOnly);
  }
}

void DesEntity::ParseAttribute(hvArray* list, const char* name, size_t index, bool readOnly) {
  if (FindAttrClass(nullptr, name)) throw new DesExcept(DES_DuplicateAttribNameInEntity, name);
  HostText type(GetStringField(list, typeTag, index));
  hvArray* value = hvGetField(list, index, valTag);
  if (value == nullptr)
    throw new DesExcept(DES_MissingAttrFieldName, name, GetName().c_str(), valTag);
  RCPtr<AttribDef> def = CreateAttrDef(name, getAttrType(type.get()), value, readOnly);
  RCPtr<Attribute> attribute = CreateAttribute(def);
  attribute->InitToFactValue();
  attribute->SetExists(true);
  definition->GetAttribDefSet().insert(def);
  attributes.insert(attribute);
}

void DesEntity::ParseEntity(hvArray* list, const char* name, size_t index, bool readOnly,
                            bool isMutable, uint32_t maxLookupLevel) {
  if (FindEntity(name) != nullptr) throw new DesExcept(DES_DuplicateAttribNameInEntity, name);
  hvArray* value = hvGetField(list, index, valTag);
  if (value == nullptr)
    throw new DesExcept(DES_MissingHvArrayFieldName, entityTag, GetName().c_str(), valTag);
  // The member's type stays private to this entity: it is not registered.
  RCPtr<EntityDef> memberType(
      new EntityDef(entityList, name, definition->GetNode(), readOnly, isMutable, maxLookupLevel));
  DesEntity* member = new DesEntity(entityList, memberType, value, true, 0, false);
  try {
    if (!subEntities.insert(member).second) delete member;
  } catch (...) {
    delete member;
    throw;
  }
}

char* DesEntity::GetStringField(hvArray* list, const char* field, size_t index) const {
  hvArray* text = hvGetField(list, index, field);
  if (text == nullptr || hvGetClassID(text) != hvCHAR_CLASS)
    throw new DesExcept(DES_MissingHvArrayFieldName, kFieldOwner, GetName().c_str(), field);
  const size_t length = hvGetNumberOfElements(text) + 1;
  char* buffer = static_cast<char*>(hostCalloc(length, 1));
  if (buffer == nullptr) pmThrowMemoryException();
  if (hvGetString(text, buffer, length) != 0) {
    hostFree(buffer);
    throw new DesExcept(DES_InvalidHvArrayFieldName, kFieldOwner, GetName().c_str(), field);
  }
  return buffer;
}

RCPtr<AttribDef> DesEntity::CreateAttrDef(const char* name, eAttrType type, hvArray* value,
                                          bool readOnly) const {
  // The definitions keep their names and string defaults in std::string.
  return pmWithMemoryError([&] { return CreateAttrDefOf(name, type, value, readOnly); });
}

RCPtr<AttribDef> DesEntity::CreateAttrDefOf(const char* name, eAttrType type, hvArray* value,
                                            bool readOnly) const {
  switch (type) {
    case eAttrInt:
      return RCPtr<AttribDef>(
          new AttribDefInt(name, type, TruncateToInt(FirstNumber(name, value)), readOnly));
    case eAttrDouble:
      return RCPtr<AttribDef>(new AttribDefDouble(name, type, FirstNumber(name, value), readOnly));
    case eAttrString: {
      if (hvGetClassID(value) != hvCHAR_CLASS) RefuseValue(name);
      HostText text(pmHvArrayToString(value));
      return RCPtr<AttribDef>(new AttribDefString(name, type, text.get(), readOnly));
    }
    // The definition owns the duplicate as soon as it is made: the base
    // holding it is built first, so a failure after that releases it.
    case eAttrHvArray:
      return RCPtr<AttribDef>(
          new AttribDefHvArrayFromHost(name, type, DuplicateForDefinition(value), readOnly));
    case eAttrPtrDouble:
      RequireNumbers(name, value);
      return RCPtr<AttribDef>(
          new AttribDefPtrDoubleFromHost(name, type, DuplicateForDefinition(value), readOnly));
    case eAttrDesData: {
      // The data description counts in int: a value whose element count or
      // any dimension does not fit is refused before anything is sized.
      RequireNumbers(name, value);
      const size_t numDims = hvGetNumberOfDimensions(value);
      const uint64_t* hostDims = hvGetDimensions(value);
      const size_t count = hvGetNumberOfElements(value);
      if (count > kMaxIntSize || numDims > kMaxDims) RefuseValue(name);
      int dims[kMaxDims];
      for (size_t d = 0; d < numDims; ++d) {
        if (hostDims[d] > kMaxIntSize) RefuseValue(name);
        dims[d] = static_cast<int>(hostDims[d]);
      }
      const int elements = static_cast<int>(count);
      RCPtr<DesDataInfo> shape;
      if (numDims == 2 && (hostDims[0] == 1 || hostDims[1] == 1))
        shape = RCPtr<DesDataInfo>(new DesDataInfo(elements, 0, 0, 0, 1, &elements));
      else
        shape = RCPtr<DesDataInfo>(
            new DesDataInfo(elements, 0, 0, 0, static_cast<int>(numDims), dims));
      DesData factory(*shape, hvGetPr(value), nullptr);
      factory.SetInfoPtr(shape);
      return RCPtr<AttribDef>(new AttribDefDesData(name, type, shape, factory, readOnly));
    }
  }
  const std::string number = std::to_string(static_cast<int>(type));
  throw new DesExcept(DES_IllegalBlockTypeName, name, number.c_str());
}

RCPtr<AttribDef> DesEntity::CreateAttrDefDesData(const char* name, const DesDataInfo& shape,
                                                 const DesData& value, bool readOnly) {
  RCPtr<AttribDef> existing = FindAttrDefClass(nullptr, name, true);
  if (existing) {
    if (!existing->IsMatchToDef(shape)) {
      const std::string given = shape.GetDimStr();
      const std::string expected = existing->GetDataInfo() != nullptr
                                       ? existing->GetDataInfo()->GetDimStr()
                                       : std::string(GetAttrTypeTxt(existing->GetTypeEnum()));
      throw new DesExcept(DES_AttrDimNotMatch, name, given.c_str(), expected.c_str());
    }
    return existing;
  }
  RCPtr<DesDataInfo> ownShape(new DesDataInfo(shape));
  RCPtr<AttribDef> def(new AttribDefDesData(name, eAttrDesData, ownShape, value, readOnly));
  definition->GetAttribDefSet().insert(def);
  return def;
}

// ---------------------------------------------------------------- writing

hvArray* DesEntity::GetAttributeDataAsHvArray() const {
  return FilledCells(2, attributes.size(), [this](hvArray* cells) {
    size_t column = 0;
    for (const RCPtr<Attribute>& a : attributes) {
      const size_t at = 2 * column++;
      if (!a->Exists()) continue;
      hvSetCell(cells, at, Made(hvCreateString(a->GetName().c_str())));
      hvArray* value = nullptr;
      // DesData values are converted as they are; the scalar and text types
      // are given their natural host form rather than failing the whole
      // array. Pointer values have no known length and stay empty.
      switch (a->GetTypeEnum()) {
        case eAttrDesData: {
          DesData v;
          a->GetData(v);
          value = v.GetDataValueAsHvArray();
          break;
        }
        case eAttrInt: {
          int v = 0;
          a->GetData(v);
          value = Made(hvCreateDoubleScalar(v));
          break;
        }
        case eAttrDouble: {
          double v = 0.0;
          a->GetData(v);
          value = Made(hvCreateDoubleScalar(v));
          break;
        }
        case eAttrString: {
          std::string v;
          a->GetData(v);
          value = Made(hvCreateString(v.c_str()));
          break;
        }
        case eAttrHvArray: {
          hvArray* v = nullptr;
          a->GetData(v);
          if (v != nullptr) value = Made(hvDuplicateArray(v));
          break;
        }
        case eAttrPtrDouble:
          break;
      }
      if (value != nullptr) hvSetCell(cells, at + 1, value);
    }
  });
}

hvArray* DesEntity::GetTimerDataAsHvArray() const {
  return FilledCells(2, timers.size(), [this](hvArray* cells) {
    size_t column = 0;
    for (const RCPtr<TimerData>& t : timers) {
      const size_t at = 2 * column++;
      // Read first: a timer that was never started fails here, before
      // anything of its column is made.
      const double lapsed = t->GetLapsedTime();
      hvSetCell(cells, at, Made(hvCreateString(t->GetName().c_str())));
      hvSetCell(cells, at + 1, Made(hvCreateDoubleScalar(lapsed)));
    }
  });
}

hvArray* DesEntity::GetTimeoutDataAsHvArray() const {
  // One column per timeout; the scheduled ones fill the first columns in
  // tag order and the rest stay empty.
  return FilledCells(3, timeouts.size(), [this](hvArray* cells) {
    size_t column = 0;
    for (const TimeoutData* td : timeouts) {
      if (td->IsCancelled()) continue;
      const size_t at = 3 * column++;
      hvSetCell(cells, at, Made(hvCreateString(td->GetTag().c_str())));
      hvSetCell(cells, at + 1, Made(hvCreateDoubleScalar(td->GetTimeOfTimeoutEvent())));
      hvSetCell(cells, at + 2, Made(hvCreateString(td->GetEventId().c_str())));
    }
  });
}
