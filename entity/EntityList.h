// The per-engine registry of entity types: one template entity per type,
// from which blocks make entities by naming the type; the probe objects that
// serve as search keys for every lookup by name (so lookups allocate
// nothing); and the recycle lists of entities of immutable types.
//
// Lifecycle: the engine creates the registry, calls Initialization(10),
// blocks add templates, the run clones them, and the engine calls
// Termination before deleting the registry. Termination may be called more
// than once; the second call finds nothing left to release.
#pragma once

#include <cstdint>
#include <string_view>

#include "entity/Attribute.h"
#include "entity/RCPtr.h"
#include "entity/pmallocator.h"
#include "support/PMMemMgr.h"

class AttribDef;
class DesEntity;
class EntityDef;
class TimerData;
class TimeoutData;

// The order of DesEntity::operator< (type name, then sequence), also
// against a bare (name, sequence) key, so that the templates are searched
// without a key entity.
struct TemplateLess {
  typedef void is_transparent;
  struct Key {
    std::string_view name;
    uint32_t sequence;
  };
  bool operator()(const DesEntity* a, const DesEntity* b) const;
  bool operator()(const DesEntity* a, const Key& k) const;
  bool operator()(const Key& k, const DesEntity* b) const;
};

class EntityList : public PMMemMgr {
 public:
  typedef pmset<DesEntity*, TemplateLess> TemplateSet;
  typedef pmlist<DesEntity*> RecycleList;
  typedef pmvector<RecycleList*> PartialEntityList;

  EntityList();
  // The probes and templates belong to one registry: a copy would leave two
  // registries deleting the same objects, so registries are not copied.
  EntityList(const EntityList&) = delete;
  EntityList& operator=(const EntityList&) = delete;
  // Deletes the templates (and releases whatever Termination has not).
  virtual ~EntityList();

  // Builds the probes and the templates "DefaultEntity" and "BlankEntity"
  // and reserves room for `capacity` recycle lists. On failure nothing of
  // it is kept.
  void Initialization(unsigned capacity);
  // Inserts a template (owned from now on); a template of a type name and
  // sequence already present is not inserted and stays the caller's.
  // Returns whether it was inserted.
  bool AddToList(DesEntity* entity);
  // Inserts a template the caller gives up whatever happens: one that is
  // not inserted (a duplicate, or no memory to file it) is released.
  void AdoptTemplate(DesEntity* entity);
  // The template of that type, else the first template member of that type;
  // DES_EntityNotFound otherwise.
  DesEntity* FindEntity(const char* typeName) const;

  // Entities made from the type's template (DES_EntityNotFound for an
  // unknown type): with a fresh id, as a temporary (no new id), and blank
  // (no attributes, timers or members) with or without an id.
  DesEntity* CloneEntity(const char* typeName, bool initToDefault) const;
  DesEntity* CloneTempEntity(const char* typeName, bool initToDefault) const;
  DesEntity* CreateBlankEntity(const char* typeName, bool initToDefault) const;
  DesEntity* CreateBlankTempEntity(const char* typeName, bool initToDefault) const;

  void* InitAll();
  void* StartAll() { return nullptr; }
  void* CompileAll();
  void* TerminateAll();

  // Releases the probes and every recycled entity with the lists.
  void Termination();

  AttribDef* GetDummyAttribDef() const { return dummyAttribDef; }
  const RCPtr<Attribute>& GetDummyAttribute() const { return dummyAttribute; }
  DesEntity* GetDummyDesEntity() const { return dummyDesEntity; }
  EntityDef* GetDummyEntityDef() const { return dummyEntityDef; }
  const RCPtr<TimerData>& GetDummyTimerData() const { return dummyTimerData; }
  TimeoutData* GetDummyTimeoutData() const { return dummyTimeoutData; }
  PartialEntityList* GetPartialEntityList() const { return partialEntityList; }
  const TemplateSet& GetTemplateSet() const { return templateSet; }

  // Recycle-list traffic. A list node that an entity leaves is kept for the
  // next entity that arrives, so a steady stream of recycled entities makes
  // no allocations once the lists have grown.
  void AppendRecycled(RecycleList& list, DesEntity* entity);
  // Makes sure a spare node is at hand, so that the next AppendRecycled
  // allocates nothing.
  void ReserveRecycleNode();
  // Adds an empty recycle list; returns its position.
  std::size_t AddRecycleList();
  DesEntity* TakeRecycled(RecycleList& list);

 private:
  void BuildProbes(unsigned capacity);
  void AddDefaultTemplates();
  void ReleaseRecycleLists();

  TemplateSet templateSet;  // owned
  RCPtr<Attribute> dummyAttribute;
  AttribDef* dummyAttribDef;  // kept alive by dummyAttribute
  DesEntity* dummyDesEntity;  // owned
  EntityDef* dummyEntityDef;  // kept alive by dummyDesEntity
  RCPtr<TimerData> dummyTimerData;
  TimeoutData* dummyTimeoutData;  // owned
  PartialEntityList* partialEntityList;  // owned, with its lists
  // List nodes given up by recycled entities that were taken again.
  RecycleList spareRecycleNodes;
};
