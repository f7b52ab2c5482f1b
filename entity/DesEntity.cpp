#include "entity/DesEntity.h"

#include <cmath>
#include <limits>
#include <new>
#include <typeinfo>
#include <utility>

#include "entity/EntityList.h"
#include "kernel/Des.h"
#include "kernel/DesEvent.h"
#include "kernel/NodeInterface.h"
#include "support/DesExcept.h"
#include "support/MessageCatalogue.h"
#include "support/PMException.h"
#include "support/PrefixedNumber.h"

TW_POOLED_CLASS_DEFINE(DesEntity)

std::string DesEntity::id_prefix = kIdPrefix;
unsigned long DesEntity::next_id = 1;
pmmap<std::string, eAttrType> DesEntity::typeMap;
uint32_t DesEntity::lookupLevel = 0;
uint32_t DesEntity::genLevel = 0;
const uint32_t DesEntity::maxGenLevel;
const char* const DesEntity::entityTag = "Entity";
const char* const DesEntity::nameTag = "Name";
const char* const DesEntity::typeTag = "Type";
const char* const DesEntity::valTag = "Value";
const char* const DesEntity::roTag = "RO";
const char* const DesEntity::roTrue = "true";
const char* const DesEntity::mutTag = "isMutable";
const char* const DesEntity::mutTrue = "true";
const char* const DesEntity::localTimerName = "___Local_Timer__123-345";

namespace {

const char kNoId[] = "<none>";

// Files a newly made member copy in `set`, which owns it from then on. The
// copy is released when it is not filed: a duplicate key, or no memory for
// the set's node.
void AdoptMember(DesEntity::EntitySet& set, DesEntity::EntitySet::iterator hint,
                 DesEntity* copy) {
  const std::size_t before = set.size();
  try {
    set.insert(hint, copy);
  } catch (...) {
    delete copy;
    throw;
  }
  if (set.size() == before) delete copy;
}

// Lookups may nest (a lookup on a composite searches its members); the
// depth is kept right on every way out.
class LookupDepth {
 public:
  LookupDepth() { ++DesEntity::lookupLevel; }
  ~LookupDepth() { --DesEntity::lookupLevel; }
  LookupDepth(const LookupDepth&) = delete;
  LookupDepth& operator=(const LookupDepth&) = delete;
};

const char* BlockName(NodeInterface* blk) {
  return blk != nullptr ? blk->GetBlkParentName() : nullptr;
}

void* BlockHandle(NodeInterface* blk) { return blk != nullptr ? blk->getObjProxy() : nullptr; }

// The write that creates an attribute (or makes it exist) stores its value
// even when the definition is read-only; every later write is refused. The
// value goes in through a writable twin of the definition (same name, type
// and shape), after which the attribute reads through its own definition
// again. Attribute::copy is what swaps the definition (it takes another
// attribute's definition and exists flag, not its value).
RCPtr<AttribDef> WritableTwin(const AttribDef& def) {
  switch (def.GetTypeEnum()) {
    case eAttrInt:
      return RCPtr<AttribDef>(new AttribDefInt(def.GetName(), eAttrInt, 0, false));
    case eAttrDouble:
      return RCPtr<AttribDef>(new AttribDefDouble(def.GetName(), eAttrDouble, 0.0, false));
    case eAttrDesData:
      return RCPtr<AttribDef>(new AttribDefDesData(def.GetName(), eAttrDesData,
                                                   RCPtr<DesDataInfo>(def.GetDataInfo()),
                                                   DesData(), false));
    default:  // only int, double and DesData values are written with creation
      throw new DesExcept(DES_IllegalTypeAccess, def.GetName().c_str());
  }
}

void ReadThrough(Attribute& a, const RCPtr<AttribDef>& def) {
  Attribute carrier(def);
  carrier.SetExists(a.Exists());
  a.copy(&carrier);
}

template <class Value>
void StoreCreatingWrite(Attribute& a, Value& value) {
  if (!a.GetReadOnly()) {
    a.SetData(value);
    return;
  }
  const RCPtr<AttribDef> own = a.GetDef();
  ReadThrough(a, WritableTwin(*own));
  try {
    a.SetData(value);
  } catch (...) {
    ReadThrough(a, own);
    throw;
  }
  ReadThrough(a, own);
}

// A value to read a DesData attribute into. It shares the definition's
// shape: a default-made value would build a shape of its own, and shapes
// take host memory for their dimensions, which the hot path must not.
DesData ReadTarget(const Attribute* a) {
  DesDataInfo* shape = a->GetDef()->GetDataInfo();
  if (shape == nullptr) return DesData();
  return DesData(RCPtr<DesDataInfo>(shape), 0.0);
}

// The integer part of v, saturated at the ends of int (NaN reads as 0):
// a conversion of an out-of-range double would be undefined.
int TruncateToInt(double v) {
  if (std::isnan(v)) return 0;
  if (v >= static_cast<double>(std::numeric_limits<int>::max()))
    return std::numeric_limits<int>::max();
  if (v <= static_cast<double>(std::numeric_limits<int>::min()))
    return std::numeric_limits<int>::min();
  return static_cast<int>(v);
}

}  // namespace

// ---------------------------------------------------------------- construction

DesEntity::DesEntity(EntityList* registry, const RCPtr<EntityDef>& def, hvArray* initVals,
                     bool isSub, uint32_t level, bool noId)
    : entityList(registry),
      definition(def),
      isSubEntity(isSub),
      sequence(0),
      subEntityLevel(level),
      localTimer(nullptr),
      carrierEvent(nullptr) {
  id.SetStaticText(kNoId);
  try {
    InitFromMask(initVals);
    localTimer = new TimerData(localTimerName);
    if (definition->GetName().empty() && initVals != nullptr) {
      char* name = GetStringField(initVals, nameTag, 0);
      try {
        definition->SetName(name);
      } catch (...) {
        hostFree(name);
        throw;
      }
      hostFree(name);
    }
    if (!noId) AssignId();
  } catch (...) {
    DiscardOwned();
    throw;
  }
}

DesEntity::DesEntity(const DesEntity& other, bool)
    : BlockData(other),
      entityList(other.entityList),
      definition(other.definition),
      isSubEntity(other.isSubEntity),
      sequence(other.sequence),
      subEntityLevel(other.subEntityLevel),
      localTimer(nullptr),
      id(other.id),
      carrierEvent(other.carrierEvent) {
  try {
    for (DesEntity* member : other.subEntities)
      AdoptMember(subEntities, subEntities.end(), new DesEntity(*member, false));
    for (const RCPtr<Attribute>& a : other.attributes) attributes.insert(RCPtr<Attribute>(a->clone()));
    for (const RCPtr<TimerData>& t : other.timers) timers.insert(RCPtr<TimerData>(t->clone()));
    CopyTimeoutData(&other, false);
    localTimer = new TimerData(*other.localTimer);
    RelinkSharedWithMembers(other);
    for (DesEntity* member : subEntities) member->SetCarrierEvent(carrierEvent);
  } catch (...) {
    DiscardOwned();
    throw;
  }
}

DesEntity::~DesEntity() {
  DeleteSubEntities();
  attributes.clear();
  timers.clear();
  DeleteTimeouts();
  delete localTimer;
  localTimer = nullptr;
  carrierEvent = nullptr;
}

void DesEntity::DiscardOwned() {
  DeleteSubEntities();
  attributes.clear();
  timers.clear();
  DeleteTimeouts();
  delete localTimer;
  localTimer = nullptr;
}

void DesEntity::DeleteSubEntities() {
  EntitySet members;
  members.swap(subEntities);
  for (DesEntity* member : members) delete member;
}

void DesEntity::InitFromMask() {
  if (!isSubEntity) genLevel = 0;
}

// ---------------------------------------------------------------- ids

void DesEntity::InitIds() {
  id_prefix = kIdPrefix;
  next_id = 1;
}

std::string DesEntity::ReserveNewEntityId() { return PrefixedNumber(id_prefix, next_id++); }

void DesEntity::ReserveNewEntityId(NumberedId& into) {
  if (id_prefix.size() == 2 && id_prefix[0] == kIdPrefix[0] && id_prefix[1] == kIdPrefix[1])
    into.SetNumber(next_id++);
  else
    into.SetText(ReserveNewEntityId(), kIdPrefix);
}

void DesEntity::AssignId() {
  NumberedId fresh;
  ReserveNewEntityId(fresh);
  AssignNumberedId(fresh);
  // An event's entity id names the entity it carries; a member shares its
  // composite's carrier, whose id is the composite's.
  if (carrierEvent != nullptr && carrierEvent->GetEntity() == this)
    carrierEvent->SetEntityId(id);
}

void DesEntity::AssignId(const std::string& newId) {
  NumberedId given;
  given.SetText(newId, kIdPrefix);
  AssignNumberedId(given);
}

void DesEntity::AssignNumberedId(const NumberedId& newId) {
  id = newId;
  if (subEntities.empty() || subEntityLevel == 0) return;
  for (DesEntity* member : subEntities) {
    NumberedId fresh;
    ReserveNewEntityId(fresh);
    member->AssignNumberedId(fresh);
    if (member->carrierEvent != nullptr && member->carrierEvent->GetEntity() == member)
      member->carrierEvent->SetEntityId(member->id);
  }
}

// ---------------------------------------------------------------- copies

DesEntity* DesEntity::cloneTemp(bool initToDefault) const {
  DesEntity* result = nullptr;
  bool reused = false;
  EntityDef* type = definition.get();
  if (!type->GetMutable() && type->GetEntityDefPresentFlag() != 0 && entityList != nullptr &&
      entityList->GetPartialEntityList() != nullptr &&
      type->GetPoolIndex() < entityList->GetPartialEntityList()->size()) {
    EntityList::RecycleList* list = (*entityList->GetPartialEntityList())[type->GetPoolIndex()];
    if (list != nullptr && !list->empty()) {
      result = entityList->TakeRecycled(*list);
      reused = true;
    }
  }
  if (result == nullptr) result = new DesEntity(*this, initToDefault);
  try {
    if (!initToDefault) {
      // A new copy already holds this entity's values.
      if (reused) *result = *this;
    } else {
      result->InitToFactValue();
      result->localTimer->SetIsSet(false);
    }
  } catch (...) {
    delete result;
    throw;
  }
  return result;
}

DesEntity* DesEntity::clone(bool initToDefault) const {
  DesEntity* result = cloneTemp(initToDefault);
  try {
    result->AssignId();
  } catch (...) {
    delete result;
    throw;
  }
  return result;
}

DesEntity* DesEntity::CloneBlankTemp(bool initToDefault) {
  DesEntity* result = cloneTemp(initToDefault);
  // The members are this clone's own copies (or left from its previous
  // use): nobody else holds them.
  result->DeleteSubEntities();
  result->ResetEntity();
  return result;
}

DesEntity* DesEntity::CloneBlank(bool initToDefault) {
  DesEntity* result = CloneBlankTemp(initToDefault);
  result->AssignId();
  return result;
}

DesEntity& DesEntity::operator=(const DesEntity& other) {
  if (this == &other) return *this;
  CopyEntities(&other, false);
  CopyAttributes(&other, false);
  CopyTimerData(&other, false);
  CopyTimeoutData(&other, false);
  RelinkSharedWithMembers(other);
  definition = other.definition;
  isSubEntity = other.isSubEntity;
  subEntityLevel = other.subEntityLevel;
  *localTimer = *other.localTimer;
  sequence = other.sequence;
  id = other.id;
  SetCarrierEvent(other.carrierEvent);
  return *this;
}

namespace {

// Elements whose keys are known equal without comparing them: attributes
// that share their definition (those of entities of one type) bear its name.
template <class T>
bool KnownSameKey(const T&, const T&) {
  return false;
}
bool KnownSameKey(const RCPtr<Attribute>& a, const RCPtr<Attribute>& b) {
  return a->GetDef().get() == b->GetDef().get();
}

template <class Exact>
bool AssignAs(Attribute& mine, const Attribute& theirs) {
  if (typeid(theirs) != typeid(Exact)) return false;
  static_cast<Exact&>(mine) = static_cast<const Exact&>(theirs);
  return true;
}

// Gives `mine` the definition, exists flag and value of `theirs` in place,
// where that cannot be told apart from replacing it with a clone: nobody
// else holds `mine` (the set's is the only reference), both are of the same
// library class, and the copy can neither fail nor allocate (so text
// attributes, whose copy may need memory, are cloned as before). Recycled
// entities are overwritten from their type's template on every creation;
// this spares each attribute a trip through its pool.
bool OverwriteInPlace(Attribute& mine, const Attribute& theirs) {
  if (mine.GetRefCount() != 1 || typeid(mine) != typeid(theirs)) return false;
  return AssignAs<AttributeDouble>(mine, theirs) || AssignAs<AttributeInt>(mine, theirs) ||
         AssignAs<AttributeDesData>(mine, theirs) || AssignAs<AttributePtrDouble>(mine, theirs) ||
         AssignAs<AttributeHvArray>(mine, theirs);
}

// A key both sets have: `mine` becomes a clone of `theirs`, or, for an
// attribute where that cannot be told apart, takes its value in place.
template <class Ptr>
void OverwriteWithClone(Ptr& mine, const Ptr& theirs) {
  mine = Ptr(theirs->clone());
}
void OverwriteWithClone(RCPtr<Attribute>& mine, const RCPtr<Attribute>& theirs) {
  if (!OverwriteInPlace(*mine, *theirs)) mine = RCPtr<Attribute>(theirs->clone());
}

// Makes `target` hold the keys of `source`, walking both ordered sets side
// by side: an element of a key both have is handed to `overwrite` in place
// (its key does not change), a key only the source has is added through
// `copyIn`, and an element only the target has goes to `drop`. Elements are
// never paired across different keys or past the end of either set.
template <class Set, class Overwrite, class CopyIn, class Drop>
void MatchSets(Set& target, const Set& source, Overwrite overwrite, CopyIn copyIn, Drop drop) {
  typename Set::key_compare less = target.key_comp();
  typename Set::iterator t = target.begin();
  typename Set::const_iterator s = source.begin();
  while (t != target.end() || s != source.end()) {
    if (t != target.end() && s != source.end() && KnownSameKey(*t, *s)) {
      overwrite(const_cast<typename Set::value_type&>(*t), *s);
      ++t;
      ++s;
    } else if (s == source.end() || (t != target.end() && less(*t, *s))) {
      typename Set::iterator gone = t++;
      drop(target, gone);
    } else if (t == target.end() || less(*s, *t)) {
      copyIn(target, t, *s);
      ++s;
    } else {
      overwrite(const_cast<typename Set::value_type&>(*t), *s);
      ++t;
      ++s;
    }
  }
}

// MatchSets over a set of reference-counted clones (attributes, timers): an
// element of a key both have is overwritten from the source's
// (OverwriteWithClone), and a key only the source has is added as a clone.
// An element only the target has goes to `drop` (erased by default).
template <class Set, class Drop>
void MatchSetsByClones(Set& target, const Set& source, Drop drop) {
  typedef typename Set::value_type Ptr;
  MatchSets(
      target, source, [](Ptr& mine, const Ptr& theirs) { OverwriteWithClone(mine, theirs); },
      [](Set& set, typename Set::iterator hint, const Ptr& theirs) {
        set.insert(hint, Ptr(theirs->clone()));
      },
      drop);
}

template <class Set>
void MatchSetsByClones(Set& target, const Set& source) {
  MatchSetsByClones(target, source, [](Set& set, typename Set::iterator gone) { set.erase(gone); });
}

// Adds to `target` a clone of each element of `source` whose key it lacks.
template <class Set>
void InsertMissingClones(Set& target, const Set& source) {
  typedef typename Set::value_type Ptr;
  for (const Ptr& p : source)
    if (target.count(p) == 0) target.insert(Ptr(p->clone()));
}

}  // namespace

void DesEntity::CopyEntities(const DesEntity* source, bool) {
  if (source == nullptr || source == this) return;
  MatchSets(
      subEntities, source->subEntities,
      [](DesEntity* mine, DesEntity* theirs) { *mine = *theirs; },
      [](EntitySet& set, EntitySet::iterator hint, DesEntity* theirs) {
        AdoptMember(set, hint, new DesEntity(*theirs, false));
      },
      [](EntitySet& set, EntitySet::iterator gone) {
        DesEntity* member = *gone;
        set.erase(gone);
        delete member;
      });
}

void DesEntity::CopyAttributes(const DesEntity* source, bool) {
  if (source == nullptr || source == this) return;
  MatchSetsByClones(attributes, source->attributes);
}

void DesEntity::CopyTimerData(const DesEntity* source, bool) {
  if (source == nullptr || source == this) return;
  MatchSetsByClones(timers, source->timers, [this](TimerSet& set, TimerSet::iterator gone) {
    if (!spareTimerNode.empty()) {
      set.erase(gone);
      return;
    }
    spareTimerNode = set.extract(gone);
    spareTimerNode.value() = RCPtr<TimerData>();  // the timer goes now, as with erase
  });
}

void DesEntity::InsertCopiedEntities(const DesEntity* source, bool) {
  if (source == nullptr || source == this) return;
  for (DesEntity* member : source->subEntities) {
    if (subEntities.count(member) != 0) continue;
    AdoptMember(subEntities, subEntities.end(), new DesEntity(*member, false));
  }
}

void DesEntity::InsertCopiedAttributes(const DesEntity* source, bool) {
  if (source == nullptr || source == this) return;
  InsertMissingClones(attributes, source->attributes);
}

void DesEntity::InsertCopiedTimerData(const DesEntity* source, bool) {
  if (source == nullptr || source == this) return;
  InsertMissingClones(timers, source->timers);
}

void DesEntity::ResetEntity() {
  attributes.clear();
  timers.clear();
  subEntities.clear();
}

void DesEntity::InitToFactValue() {
  for (const RCPtr<Attribute>& a : attributes) a->InitToFactValue();
  for (DesEntity* member : subEntities) member->InitToFactValue();
}

void DesEntity::destroy() {
  EntityDef* type = definition.get();
  if (type->GetMutable() || entityList == nullptr ||
      entityList->GetPartialEntityList() == nullptr) {
    delete this;
    return;
  }
  EntityList::PartialEntityList& lists = *entityList->GetPartialEntityList();
  // What recycling needs (the type's list and a node in it) is made before
  // anything changes. Without memory for it the entity is freed instead:
  // destroy runs in destructors and cleanup and must not fail.
  try {
    if (type->GetEntityDefPresentFlag() == 0) {
      type->SetPoolIndex(entityList->AddRecycleList());
      type->SetEntityDefPresentFlag(1);
    }
    entityList->ReserveRecycleNode();
  } catch (PMException* e) {
    delete e;
    delete this;
    return;
  } catch (const std::bad_alloc&) {
    delete this;
    return;
  }
  // The carrying event is going away: a recycled entity must not point to
  // it when its next user assigns an id, nor may its timeouts fire.
  CancelTimeoutsForRecycling();
  carrierEvent = nullptr;
  entityList->AppendRecycled(*lists[type->GetPoolIndex()], this);
}

void DesEntity::SetLocalTimer(TimerData* timer) {
  if (timer == localTimer) return;
  delete localTimer;
  localTimer = timer;
}

void DesEntity::SetCarrierEvent(DesEvent* event) {
  carrierEvent = event;
  if (subEntities.empty() || subEntityLevel == 0) return;
  for (DesEntity* member : subEntities) member->SetCarrierEvent(event);
}

bool DesEntity::operator<(const DesEntity& other) const {
  const int byName = GetName().compare(other.GetName());
  if (byName != 0) return byName < 0;
  return sequence < other.sequence;
}

// ---------------------------------------------------------------- attributes

RCPtr<Attribute> DesEntity::FindAttrClass(NodeInterface*, const char* name, bool) const {
  LookupDepth depth;
  const char* key = name != nullptr ? name : "";
  AttributeSet::const_iterator it = attributes.find(std::string_view(key));
  if (it != attributes.end()) return *it;
  return RCPtr<Attribute>();
}

bool DesEntity::HasAttribute(NodeInterface* blk, const char* name) const {
  RCPtr<Attribute> a = FindAttrClass(blk, name);
  return a && a->Exists();
}

RCPtr<AttribDef> DesEntity::FindAttrDefClass(NodeInterface* blk, const char* name,
                                             bool noThrow) const {
  RCPtr<AttribDef> def;
  {
    LookupDepth depth;
    def = definition->FindAttrDefClass(name);
  }
  if (!def && !noThrow)
    throw new DesExcept(BlockHandle(blk), DES_AttrNotFound, BlockName(blk), name);
  return def;
}

Attribute* DesEntity::RequireAttribute(NodeInterface* blk, const char* name) const {
  Attribute* a = nullptr;
  {
    LookupDepth depth;
    AttributeSet::const_iterator it = attributes.find(std::string_view(name != nullptr ? name : ""));
    if (it != attributes.end()) a = it->get();  // the set keeps it alive
  }
  if (a == nullptr || !a->Exists())
    throw new DesExcept(BlockHandle(blk), DES_AttrNotFound, BlockName(blk), name);
  return a;
}

Attribute* DesEntity::RequireAttribute(NodeInterface* blk, const NameHandle& name) const {
  AttributeSet::const_iterator it = name.Find(attributes);
  if (it == attributes.end() || !(*it)->Exists())
    throw new DesExcept(BlockHandle(blk), DES_AttrNotFound, BlockName(blk), name.c_str());
  return it->get();
}

void DesEntity::RequireType(NodeInterface* blk, const Attribute* attribute, eAttrType expected,
                            bool withHandle) {
  if (attribute->GetTypeEnum() == expected) return;
  throw new DesExcept(withHandle ? BlockHandle(blk) : nullptr, DES_AttrIncorrectType,
                      BlockName(blk), attribute->GetName().c_str(),
                      GetAttrTypeTxt(attribute->GetTypeEnum()), GetAttrTypeTxt(expected));
}

void DesEntity::WriteToAttribute(NodeInterface* blk, const char* name, int value, bool) {
  Attribute* a = RequireAttribute(blk, name);
  RequireType(blk, a, eAttrInt);
  a->SetData(value);
  a->SetExists(true);
}

void DesEntity::WriteToAttribute(NodeInterface* blk, const char* name, double value, bool) {
  Attribute* a = RequireAttribute(blk, name);
  RequireType(blk, a, eAttrDouble);
  a->SetData(value);
  a->SetExists(true);
}

void DesEntity::WriteToAttribute(NodeInterface* blk, const char* name, const DesData& value,
                                 bool) {
  Attribute* a = RequireAttribute(blk, name);
  RequireType(blk, a, eAttrDesData);
  a->SetData(value);
  a->SetExists(true);
}

void DesEntity::ReadFromAttribute(NodeInterface* blk, const char* name, int* value) const {
  Attribute* a = RequireAttribute(blk, name);
  RequireType(blk, a, eAttrInt);
  a->GetData(*value);
}

void DesEntity::ReadFromAttribute(NodeInterface* blk, const char* name, double* value) const {
  Attribute* a = RequireAttribute(blk, name);
  RequireType(blk, a, eAttrDouble);
  a->GetData(*value);
}

void DesEntity::ReadFromAttributeIntOrDbl(NodeInterface* blk, const char* name,
                                          double* value) const {
  Attribute* a = RequireAttribute(blk, name);
  if (a->GetTypeEnum() == eAttrInt) {
    int v = 0;
    a->GetData(v);
    *value = v;
    return;
  }
  a->GetData(*value);
}

double DesEntity::ReadNumberFromAttribute(NodeInterface* blk, const char* name) const {
  return ReadNumber(blk, RequireAttribute(blk, name));
}

double DesEntity::ReadNumberFromAttribute(NodeInterface* blk, const NameHandle& name) const {
  return ReadNumber(blk, RequireAttribute(blk, name));
}

double DesEntity::ReadNumber(NodeInterface* blk, Attribute* a) {
  switch (a->GetTypeEnum()) {
    case eAttrInt: {
      int v = 0;
      a->GetData(v);
      return v;
    }
    case eAttrDouble: {
      double v = 0.0;
      a->GetData(v);
      return v;
    }
    case eAttrDesData: {
      DesData v = ReadTarget(a);
      a->GetData(v);
      return v.GetSize() >= sizeof(double) ? v[0] : 0.0;
    }
    default:
      RequireType(blk, a, eAttrDouble);
      return 0.0;
  }
}

void DesEntity::WriteNumberToAttribute(NodeInterface* blk, const char* name, double value) {
  WriteNumber(RequireAttribute(blk, name), value);
}

void DesEntity::WriteNumberToAttribute(NodeInterface* blk, const NameHandle& name, double value) {
  WriteNumber(RequireAttribute(blk, name), value);
}

void DesEntity::WriteNumber(Attribute* a, double value) {
  switch (a->GetTypeEnum()) {
    case eAttrInt: {
      int v = TruncateToInt(value);
      a->SetData(v);
      break;
    }
    case eAttrDouble:
      a->SetData(value);
      break;
    case eAttrDesData: {
      DesData v = ReadTarget(a);
      a->GetData(v);
      if (v.GetSize() < sizeof(double)) break;
      v[0] = value;
      a->SetData(v);
      break;
    }
    default:
      break;
  }
}

template <class Value, class MakeDef>
void DesEntity::WriteWithCreation(NodeInterface* blk, const char* name, Value& value,
                                  eAttrType expected, bool withHandle, MakeDef makeDef) {
  RCPtr<Attribute> found = FindAttrClass(blk, name);
  if (found) {
    RequireType(blk, found.get(), expected, withHandle);
    // Making an attribute marked not existing exist is its creating write.
    if (found->Exists())
      found->SetData(value);
    else
      StoreCreatingWrite(*found, value);
    found->SetExists(true);
    return;
  }
  // An immutable type's entities all have the same attributes (that is
  // what lets them be recycled), so none may gain one.
  if (!definition->GetMutable())
    throw new DesExcept(BlockHandle(blk), DES_AttrNotFound, BlockName(blk), name);

  // Everything that can be refused (no engine or registry, the type's
  // definition of another type, a value of another shape) is settled
  // before the type, its template or this entity changes.
  if (blk == nullptr) throw new DesExcept(DES_GenericInternalErr, "invalid des pointer");
  Des* engine = blk->GetDesInstance();
  EntityList* registry = engine->GetEntityList() != nullptr ? engine->GetEntityList() : entityList;
  if (registry == nullptr) throw new DesExcept(DES_GenericInternalErr, "invalid des pointer");
  DesEntity* templ = registry->FindEntity(GetName().c_str());

  RCPtr<AttribDef> def = FindAttrDefClass(blk, name, true);
  const bool newDef = !def;
  if (newDef) def = makeDef();
  RCPtr<Attribute> made = CreateAttribute(def);
  RequireType(blk, made.get(), expected, withHandle);
  StoreCreatingWrite(*made, value);
  made->SetExists(true);
  // Later clones of the template carry the attribute, marked not existing.
  RCPtr<Attribute> placeholder;
  if (templ != nullptr && templ != this && !templ->FindAttrClass(blk, name)) {
    placeholder = CreateAttribute(def);
    placeholder->SetExists(false);
  }

  // Filed all or nothing (only the host's memory can fail here).
  EntityDef::AttribDefSet& defs = definition->GetAttribDefSet();
  if (newDef) defs.insert(def);
  try {
    if (placeholder) templ->AddAttributeForce(placeholder);
    try {
      AddAttributeForce(made);
    } catch (...) {
      if (placeholder) templ->attributes.erase(placeholder);
      throw;
    }
  } catch (...) {
    if (newDef) defs.erase(def);
    throw;
  }
}

void DesEntity::WriteToAttributeAllowCreate(NodeInterface* blk, const char* name, int value,
                                            bool readOnly) {
  WriteWithCreation(blk, name, value, eAttrInt, false, [&] {
    return RCPtr<AttribDef>(new AttribDefInt(name, eAttrInt, 0, readOnly));
  });
}

void DesEntity::WriteToAttributeAllowCreate(NodeInterface* blk, const char* name, double value,
                                            bool readOnly) {
  WriteWithCreation(blk, name, value, eAttrDouble, true, [&] {
    return RCPtr<AttribDef>(new AttribDefDouble(name, eAttrDouble, 0.0, readOnly));
  });
}

void DesEntity::WriteToAttributeAllowCreate(NodeInterface* blk, const char* name,
                                            const DesData& value, bool readOnly) {
  WriteWithCreation(blk, name, value, eAttrDesData, true, [&] {
    RCPtr<DesDataInfo> shape(new DesDataInfo(value.GetDataInfo()));
    DesData factory(shape, 0.0);
    return RCPtr<AttribDef>(new AttribDefDesData(name, eAttrDesData, shape, factory, readOnly));
  });
}

void DesEntity::createTypeMap() {
  if (!typeMap.empty()) return;
  for (int t = 0; t < kAttrTypeCount; ++t)
    typeMap.insert(std::make_pair(std::string(GetAttrTypeTxt(static_cast<eAttrType>(t))),
                                  static_cast<eAttrType>(t)));
}

eAttrType DesEntity::getAttrType(const char* typeName) {
  pmmap<std::string, eAttrType>::const_iterator it =
      typeMap.find(typeName != nullptr ? typeName : "");
  return it != typeMap.end() ? it->second : static_cast<eAttrType>(-1);
}

RCPtr<Attribute> DesEntity::CreateAttribute(const RCPtr<AttribDef>& def) {
  switch (def->GetTypeEnum()) {
    case eAttrInt:
      return RCPtr<Attribute>(new AttributeInt(def));
    case eAttrDouble:
      return RCPtr<Attribute>(new AttributeDouble(def));
    case eAttrString:
      return RCPtr<Attribute>(new AttributeString(def));
    case eAttrHvArray:
      return RCPtr<Attribute>(new AttributeHvArray(def));
    case eAttrPtrDouble:
      return RCPtr<Attribute>(new AttributePtrDouble(def));
    case eAttrDesData:
      return RCPtr<Attribute>(new AttributeDesData(def));
  }
  const std::string number = std::to_string(static_cast<int>(def->GetTypeEnum()));
  throw new DesExcept(DES_IllegalBlockTypeName, def->GetName().c_str(), number.c_str());
}

RCPtr<Attribute> DesEntity::CreateAttribute(AttribDef* def) {
  return CreateAttribute(RCPtr<AttribDef>(def));
}

bool DesEntity::AddAttributeForce(const RCPtr<Attribute>& attribute) {
  attributes.insert(attribute);
  return true;
}

bool DesEntity::AddAttributeNoCheck(const RCPtr<Attribute>& attribute) {
  if (definition->GetMutable()) return false;
  attributes.insert(attribute);
  return true;
}

// ---------------------------------------------------------------- timers

RCPtr<TimerData> DesEntity::CreateTimer(const char* tag) const {
  return RCPtr<TimerData>(new TimerData(tag));
}

RCPtr<TimerData> DesEntity::FindTimer(NodeInterface* blk, const char* tag, bool mustExist) const {
  const char* key = tag != nullptr ? tag : "";
  TimerSet::const_iterator it = timers.find(std::string_view(key));
  if (it != timers.end()) return *it;
  if (mustExist) throw new DesExcept(DES_TimerTagNotFound, "Error", BlockName(blk), key);
  return RCPtr<TimerData>();
}

RCPtr<TimerData> DesEntity::FindOrCreateTimer(NodeInterface* blk, const char* tag) {
  RCPtr<TimerData> timer = FindTimer(blk, tag, false);
  return timer ? timer : AddTimer(tag);
}

RCPtr<TimerData> DesEntity::FindTimer(NodeInterface* blk, const NameHandle& tag, bool mustExist) const {
  TimerSet::const_iterator it = tag.Find(timers);
  if (it != timers.end()) return *it;
  if (mustExist) throw new DesExcept(DES_TimerTagNotFound, "Error", BlockName(blk), tag.c_str());
  return RCPtr<TimerData>();
}

RCPtr<TimerData> DesEntity::FindOrCreateTimer(NodeInterface* blk, const NameHandle& tag) {
  RCPtr<TimerData> timer = FindTimer(blk, tag, false);
  return timer ? timer : AddTimer(tag.c_str());
}

RCPtr<TimerData> DesEntity::AddTimer(const char* tag) {
  RCPtr<TimerData> timer = CreateTimer(tag);
  if (spareTimerNode.empty()) {
    timers.insert(timer);
  } else {
    spareTimerNode.value() = timer;
    timers.insert(std::move(spareTimerNode));  // the tag is not there: the node goes in
  }
  return timer;
}
