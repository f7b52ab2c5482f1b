#include "entity/EntityList.h"

#include <new>

#include "entity/AttribDef.h"
#include "entity/DesEntity.h"
#include "entity/EntityDef.h"
#include "kernel/TimeoutData.h"
#include "kernel/TimerData.h"
#include "support/DesExcept.h"
#include "support/HvCleaner.h"
#include "support/MessageCatalogue.h"
#include "support/PMMallocError.h"

namespace {

// Template types read their name from their structure and may gain
// attributes at run time.
const uint32_t kTemplateLookupLevel = 1;

hvArray* Made(hvArray* a) {
  if (a == nullptr) pmThrowMemoryException();
  return a;
}

// An entity structure {Name, Type "Entity", Value}, owned by `guard`.
hvArray* EntityStructure(HvCleaner& guard, const char* name, hvArray* value) {
  const char* fields[] = {DesEntity::nameTag, DesEntity::typeTag, DesEntity::valTag};
  // The value goes into the structure only once the structure exists, so
  // that it is always owned by exactly one of the guard and the structure.
  hvArray* made = Made(hvCreateStructMatrix(1, 1, 3, fields));
  guard.addHvArray(made);
  guard.removeHvArray(value);
  hvSetFieldByNumber(made, 0, 2, value);
  hvSetFieldByNumber(made, 0, 0, Made(hvCreateString(name)));
  hvSetFieldByNumber(made, 0, 1, Made(hvCreateString(DesEntity::entityTag)));
  return made;
}

}  // namespace

EntityList::EntityList()
    : dummyAttribDef(nullptr),
      dummyDesEntity(nullptr),
      dummyEntityDef(nullptr),
      dummyTimeoutData(nullptr),
      partialEntityList(nullptr) {}

EntityList::~EntityList() {
  TemplateSet templates;
  templates.swap(templateSet);
  for (DesEntity* t : templates) delete t;
  Termination();
}

void EntityList::Initialization(unsigned capacity) {
  try {
    BuildProbes(capacity);
    AddDefaultTemplates();
  } catch (...) {
    TemplateSet templates;
    templates.swap(templateSet);
    for (DesEntity* t : templates) delete t;
    Termination();
    throw;
  }
}

void EntityList::BuildProbes(unsigned capacity) {
  PartialEntityList* lists =
      static_cast<PartialEntityList*>(hostCalloc(1, sizeof(PartialEntityList)));
  if (lists == nullptr) pmThrowMemoryException();
  partialEntityList = new (lists) PartialEntityList();
  partialEntityList->reserve(capacity);

  RCPtr<AttribDef> attribDef(new AttribDef("<ILLEGAL>", eAttrDouble, false));
  dummyAttribDef = attribDef.get();
  RCPtr<EntityDef> entityDef(new EntityDef(this, "<ILLEGAL", nullptr, false, false, 0));
  dummyEntityDef = entityDef.get();
  dummyAttribute = RCPtr<Attribute>(new Attribute(attribDef));
  dummyDesEntity = new DesEntity(this, entityDef, nullptr, false, 0, false);
  dummyTimerData = RCPtr<TimerData>(new TimerData("<ILLEGAL>"));
  // Lookups use only the probe's tag.
  dummyTimeoutData = new TimeoutData("", 0.0, 0, nullptr, nullptr, 1);
}

void EntityList::AddDefaultTemplates() {
  // "DefaultEntity": Priority 10 and Count 0, both DesData.
  {
    HvCleaner guard;
    const char* fields[] = {DesEntity::nameTag, DesEntity::typeTag, DesEntity::valTag};
    hvArray* attrs = Made(hvCreateStructMatrix(2, 1, 3, fields));
    guard.addHvArray(attrs);
    const char* names[] = {"Priority", "Count"};
    const double values[] = {10.0, 0.0};
    for (size_t i = 0; i < 2; ++i) {
      hvSetFieldByNumber(attrs, i, 0, Made(hvCreateString(names[i])));
      hvSetFieldByNumber(attrs, i, 1, Made(hvCreateString(GetAttrTypeTxt(eAttrDesData))));
      hvSetFieldByNumber(attrs, i, 2, Made(hvCreateDoubleScalar(values[i])));
    }
    hvArray* entity = EntityStructure(guard, "DefaultEntity", attrs);
    RCPtr<EntityDef> type(new EntityDef(this, "", nullptr, false, true, kTemplateLookupLevel));
    DesEntity* made = new DesEntity(this, type, entity, false, 0, true);
    AdoptTemplate(made);
  }
  // "BlankEntity": no attributes.
  {
    HvCleaner guard;
    hvArray* empty = Made(hvCreateDoubleMatrix(0, 0, hvREAL));
    guard.addHvArray(empty);
    hvArray* entity = EntityStructure(guard, "BlankEntity", empty);
    RCPtr<EntityDef> type(new EntityDef(this, "", nullptr, false, true, kTemplateLookupLevel));
    DesEntity* made = new DesEntity(this, type, entity, false, 0, true);
    AdoptTemplate(made);
  }
}

bool EntityList::AddToList(DesEntity* entity) {
  if (entity == nullptr) return false;
  return templateSet.insert(entity).second;
}

bool TemplateLess::operator()(const DesEntity* a, const DesEntity* b) const { return *a < *b; }

bool TemplateLess::operator()(const DesEntity* a, const Key& k) const {
  const int byName = a->GetName().compare(k.name);
  return byName != 0 ? byName < 0 : a->GetSequence() < k.sequence;
}

bool TemplateLess::operator()(const Key& k, const DesEntity* b) const {
  const int byName = b->GetName().compare(k.name);
  return byName != 0 ? byName > 0 : k.sequence < b->GetSequence();
}

void EntityList::AdoptTemplate(DesEntity* entity) {
  bool inserted = false;
  try {
    inserted = AddToList(entity);
  } catch (...) {
    delete entity;
    throw;
  }
  if (!inserted) delete entity;
}

DesEntity* EntityList::FindEntity(const char* typeName) const {
  const char* key = typeName != nullptr ? typeName : "";
  TemplateSet::const_iterator it = templateSet.find(TemplateLess::Key{key, 0});
  if (it != templateSet.end()) return *it;
  for (DesEntity* t : templateSet) {
    DesEntity* member = t->FindEntity(key);
    if (member != nullptr) return member;
  }
  throw new DesExcept(DES_EntityNotFound, key);
}

DesEntity* EntityList::CloneEntity(const char* typeName, bool initToDefault) const {
  return FindEntity(typeName)->clone(initToDefault);
}

DesEntity* EntityList::CloneTempEntity(const char* typeName, bool initToDefault) const {
  return FindEntity(typeName)->cloneTemp(initToDefault);
}

DesEntity* EntityList::CreateBlankEntity(const char* typeName, bool initToDefault) const {
  return FindEntity(typeName)->CloneBlank(initToDefault);
}

DesEntity* EntityList::CreateBlankTempEntity(const char* typeName, bool initToDefault) const {
  return FindEntity(typeName)->CloneBlankTemp(initToDefault);
}

void* EntityList::InitAll() {
  for (DesEntity* t : templateSet) t->DoInit();
  return nullptr;
}

void* EntityList::CompileAll() {
  for (DesEntity* t : templateSet) t->DoCompile();
  return nullptr;
}

void* EntityList::TerminateAll() {
  for (DesEntity* t : templateSet) t->DoStop();
  return nullptr;
}

void EntityList::Termination() {
  // The probe definition lives as long as the probe attribute, the probe
  // entity's type as long as the probe entity.
  dummyAttribute = RCPtr<Attribute>();
  dummyAttribDef = nullptr;
  dummyTimerData = RCPtr<TimerData>();
  DesEntity* probe = dummyDesEntity;
  dummyDesEntity = nullptr;
  dummyEntityDef = nullptr;
  delete probe;
  TimeoutData* timeoutProbe = dummyTimeoutData;
  dummyTimeoutData = nullptr;
  delete timeoutProbe;
  ReleaseRecycleLists();
}

void EntityList::ReleaseRecycleLists() {
  PartialEntityList* lists = partialEntityList;
  partialEntityList = nullptr;
  if (lists != nullptr) {
    for (RecycleList* list : *lists) {
      if (list == nullptr) continue;
      for (DesEntity* e : *list) delete e;
      list->~RecycleList();
      hostFree(list);
    }
    lists->~PartialEntityList();
    hostFree(lists);
  }
  spareRecycleNodes.clear();
}

std::size_t EntityList::AddRecycleList() {
  RecycleList* list = static_cast<RecycleList*>(hostCalloc(1, sizeof(RecycleList)));
  if (list == nullptr) pmThrowMemoryException();
  new (list) RecycleList();
  try {
    partialEntityList->push_back(list);
  } catch (...) {
    list->~RecycleList();
    hostFree(list);
    throw;
  }
  return partialEntityList->size() - 1;
}

void EntityList::ReserveRecycleNode() {
  if (spareRecycleNodes.empty()) spareRecycleNodes.push_back(nullptr);
}

void EntityList::AppendRecycled(RecycleList& list, DesEntity* entity) {
  if (spareRecycleNodes.empty()) {
    list.push_back(entity);
    return;
  }
  list.splice(list.end(), spareRecycleNodes, spareRecycleNodes.begin());
  list.back() = entity;
}

DesEntity* EntityList::TakeRecycled(RecycleList& list) {
  DesEntity* entity = list.front();
  list.front() = nullptr;
  spareRecycleNodes.splice(spareRecycleNodes.begin(), list, list.begin());
  return entity;
}
