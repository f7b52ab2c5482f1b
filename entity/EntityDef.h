// An entity type: its name, the definitions of its attributes, the
// type-wide flags (read-only, mutable) and the bookkeeping of its recycle
// list. Every entity of the type and the type's template share one
// EntityDef through RCPtr<EntityDef>, so flags and definitions changed here
// act on the whole type.
#pragma once

#include <cstdint>
#include <string>

#include "entity/AttribDef.h"
#include "entity/Pointee.h"
#include "entity/RCPtr.h"
#include "entity/pmallocator.h"
#include "support/PMMemMgr.h"

class EntityList;
class EntityEditorBlock;  // host-side block that defines the type

class EntityDef : public Pointee, public PMMemMgr {
 public:
  typedef pmset<RCPtr<AttribDef>, less_ptr<RCPtr<AttribDef>>> AttribDefSet;
  typedef pmset<EntityDef*, less_ptr<EntityDef*>> EntityDefSet;

  // Empty sets, pool index 0, no recycle list yet. A null name is taken as
  // the empty one.
  EntityDef(EntityList* registry, const char* name, EntityEditorBlock* node, bool readOnly,
            bool isMutable, uint32_t maxLookupLevel);
  EntityDef(const EntityDef& other);
  // Copies every field, the sets included: the attribute definitions are
  // then shared, not cloned. The reference count stays.
  EntityDef& operator=(const EntityDef& other);
  ~EntityDef() override;

  // The definition of that name, or null. Searches with the registry's
  // probe definition as key, so nothing is allocated.
  RCPtr<AttribDef> FindAttrDefClass(const char* name) const;

  EntityList* GetEntityList() const { return registry; }
  AttribDefSet& GetAttribDefSet() { return attribDefSet; }
  const AttribDefSet& GetAttribDefSet() const { return attribDefSet; }
  EntityDefSet& GetEntityDefSet() { return entityDefSet; }
  const EntityDefSet& GetEntityDefSet() const { return entityDefSet; }
  uint64_t GetPoolIndex() const { return poolIndex; }
  void SetPoolIndex(uint64_t index) { poolIndex = index; }
  unsigned char GetEntityDefPresentFlag() const { return entityDefPresentFlag; }
  void SetEntityDefPresentFlag(unsigned char flag) { entityDefPresentFlag = flag; }
  bool GetMutable() const { return isMutable; }
  void SetMutable(bool flag) { isMutable = flag; }
  bool GetReadOnly() const { return readOnly; }
  const std::string& GetName() const { return name; }
  void SetName(const std::string& newName) { name = pmCopyText(newName); }
  void SetName(const char* newName) { name = pmCopyText(newName); }
  EntityEditorBlock* GetNode() const { return node; }
  void SetNode(EntityEditorBlock* block) { node = block; }
  uint32_t GetMaxLookupLevel() const { return maxLookupLevel; }

  bool operator<(const EntityDef& other) const { return name < other.name; }

 private:
  void SetMaxLookupLevel(uint32_t level) { maxLookupLevel = level; }

  EntityList* registry;  // not owned
  AttribDefSet attribDefSet;
  EntityDefSet entityDefSet;  // not owned
  uint64_t poolIndex;
  unsigned char entityDefPresentFlag;
  bool isMutable;
  bool readOnly;
  std::string name;
  EntityEditorBlock* node;  // not owned
  uint32_t maxLookupLevel;
};
