#include "entity/EntityDef.h"

#include "entity/EntityList.h"

EntityDef::EntityDef(EntityList* registry, const char* name, EntityEditorBlock* node,
                     bool readOnly, bool isMutable, uint32_t maxLookupLevel)
    : registry(registry),
      poolIndex(0),
      entityDefPresentFlag(0),
      isMutable(isMutable),
      readOnly(readOnly),
      name(pmCopyText(name)),
      node(node),
      maxLookupLevel(maxLookupLevel) {}

EntityDef::EntityDef(const EntityDef& other)
    : Pointee(other),
      PMMemMgr(other),
      registry(other.registry),
      attribDefSet(other.attribDefSet),
      entityDefSet(other.entityDefSet),
      poolIndex(other.poolIndex),
      entityDefPresentFlag(other.entityDefPresentFlag),
      isMutable(other.isMutable),
      readOnly(other.readOnly),
      name(pmCopyText(other.name)),
      node(other.node),
      maxLookupLevel(other.maxLookupLevel) {}

EntityDef& EntityDef::operator=(const EntityDef& other) {
  if (this == &other) return *this;
  registry = other.registry;
  attribDefSet = other.attribDefSet;
  entityDefSet = other.entityDefSet;
  poolIndex = other.poolIndex;
  entityDefPresentFlag = other.entityDefPresentFlag;
  isMutable = other.isMutable;
  readOnly = other.readOnly;
  name = other.name;
  node = other.node;
  SetMaxLookupLevel(other.maxLookupLevel);
  return *this;
}

EntityDef::~EntityDef() {
  attribDefSet.clear();
  entityDefSet.clear();
}

RCPtr<AttribDef> EntityDef::FindAttrDefClass(const char* wanted) const {
  const char* key = wanted != nullptr ? wanted : "";
  AttribDef* probe = registry != nullptr ? registry->GetDummyAttribDef() : nullptr;
  if (probe == nullptr) {
    // A type outside any registry (or one whose registry has terminated)
    // has no probe; its sets are small, so a scan does.
    for (const RCPtr<AttribDef>& def : attribDefSet)
      if (def->GetName() == key) return def;
    return RCPtr<AttribDef>();
  }
  probe->SetName(key);
  // The probe stays alive through the registry's probe attribute; this
  // handle only borrows it.
  const RCPtr<AttribDef> probeKey(probe);
  AttribDefSet::const_iterator it = attribDefSet.lower_bound(probeKey);
  if (it != attribDefSet.end() && (*it)->GetName() == probe->GetName()) return *it;
  return RCPtr<AttribDef>();
}
