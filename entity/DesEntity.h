// The entity: the item that travels from block to block on events. It
// carries named, typed attributes, timers, a private local timer, timeouts
// and, as a composite, member entities. Its type (EntityDef) is shared with
// every entity of that type and with the registry's template.
//
// Entities come from a pool of their own. An entity ends with destroy():
// entities of mutable types are deleted; those of immutable types go to
// their type's recycle list in the registry and are overwritten by the next
// clone of the type, so steady entity traffic allocates nothing.
//
// Ownership: a composite owns its members; every entity owns its timeouts
// and its local timer; attributes, timers and the type are shared by
// reference count; the carrier event and the registry are not owned.
//
// The class is exported: blocks outside the library call these operations
// directly, so names, argument order and the slot order of the virtual
// operations are part of the library's boundary.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "entity/AttribDef.h"
#include "entity/Attribute.h"
#include "entity/BlockData.h"
#include "entity/DesData.h"
#include "entity/EntityDef.h"
#include "entity/NameHandle.h"
#include "entity/Pool.h"
#include "entity/RCPtr.h"
#include "entity/pmallocator.h"
#include "kernel/TimerData.h"
#include "support/HostInterface.h"
#include "support/NumberedId.h"

class DesEvent;
class EntityEditorBlock;
class EntityList;
class NodeInterface;
class TimeoutData;

// Order of an entity's timeouts: by tag. Defined together with TimeoutData.
// Also compares with a bare tag, so the set is searched without a key
// object.
struct TimeoutTagLess {
  typedef void is_transparent;
  bool operator()(const TimeoutData* a, const TimeoutData* b) const;
  bool operator()(const TimeoutData* a, std::string_view tag) const;
  bool operator()(std::string_view tag, const TimeoutData* b) const;
};

class DesEntity : public BlockData {
  TW_POOLED_CLASS(DesEntity)

 public:
  typedef pmset<RCPtr<Attribute>, less_name_ptr<RCPtr<Attribute>>> AttributeSet;
  typedef pmset<DesEntity*, less_ptr<DesEntity*>> EntitySet;
  typedef pmset<RCPtr<TimerData>, less_name_ptr<RCPtr<TimerData>>> TimerSet;
  typedef pmset<TimeoutData*, TimeoutTagLess> TimeoutSet;

  // Reads the initial attribute values from `initVals` (an entity
  // structure; may be null), creates the local timer, takes the type name
  // from the structure when the type has none, and, unless noId, assigns a
  // fresh id. A failure leaves nothing behind but attribute definitions
  // already filed on the type.
  DesEntity(EntityList* registry, const RCPtr<EntityDef>& def, hvArray* initVals,
            bool isSubEntity, uint32_t level, bool noId);
  // Deletes the members, the timeouts and the local timer.
  ~DesEntity() override;
  // Resets the generation level unless this is a sub-entity.
  void InitFromMask() override;
  using BlockData::InitFromMask;

  // ---------------------------------------------------------------- ids
  static void InitIds();
  static std::string ReserveNewEntityId();
  // The same reservation, kept as a number where the prefix is the usual
  // one: no text is made.
  static void ReserveNewEntityId(NumberedId& into);
  // Made from the stored number on every call (see NumberedId).
  std::string GetId() const { return id.Text(kIdPrefix); }
  const NumberedId& GetNumberedId() const { return id; }
  // A fresh id, also written into the carrier event.
  void AssignId();
  // Sets the id; a composite gives each member a fresh id (recursively)
  // and updates the members' carrier events.
  void AssignId(const std::string& newId);

  // ---------------------------------------------------------------- copies
  // An entity of the same type without a new id: reused from the type's
  // recycle list when there is one, else copied from this. It then takes
  // this entity's values, or with initToDefault the definitions' defaults
  // and a stopped local timer.
  DesEntity* cloneTemp(bool initToDefault) const;
  DesEntity* clone(bool initToDefault) const;
  // As cloneTemp / clone, but without attributes, timers or members.
  DesEntity* CloneBlankTemp(bool initToDefault);
  DesEntity* CloneBlank(bool initToDefault);
  // Add copies of the source's members, attributes, timers or timeouts;
  // keys already present are skipped.
  void InsertCopiedEntities(const DesEntity* source, bool initToDefault);
  void InsertCopiedAttributes(const DesEntity* source, bool initToDefault);
  void InsertCopiedTimerData(const DesEntity* source, bool initToDefault);
  void InsertCopiedTimeoutData(const DesEntity* source, bool initToDefault);
  // Empties the attribute, timer and member sets. Members are taken out,
  // not deleted: whoever holds them keeps them. Timeouts and the local
  // timer stay.
  void ResetEntity();
  // Every attribute back to its definition's default, members included.
  void InitValues() { InitToFactValue(); }
  // The end of an entity (the carrying event's destructor calls it).
  void destroy();

  // ---------------------------------------------------------------- type
  EntityList* GetEntityList() const { return entityList; }
  RCPtr<EntityDef> GetDef() const { return definition; }
  bool GetReadOnly() const { return definition->GetReadOnly(); }
  bool GetMutable() const { return definition->GetMutable(); }
  void SetMutable(bool flag) { definition->SetMutable(flag); }
  const std::string& GetName() const { return definition->GetName(); }
  void SetName(const std::string& name) { definition->SetName(name); }
  void SetName(const char* name) { definition->SetName(name); }
  EntityEditorBlock* GetNode() const { return definition->GetNode(); }
  uint64_t GetPoolIndex() const { return definition->GetPoolIndex(); }
  void SetPoolIndex(uint64_t index) { definition->SetPoolIndex(index); }
  bool IsEntityDefPresent() const { return definition->GetEntityDefPresentFlag() != 0; }
  void SetEntityDefPresentFlag(unsigned char flag) { definition->SetEntityDefPresentFlag(flag); }

  bool GetIsSubEntity() const { return isSubEntity; }
  void SetIsSubEntity(bool flag) { isSubEntity = flag; }
  uint32_t GetSequence() const { return sequence; }
  void SetSequence(uint32_t seq) { sequence = seq; }
  uint32_t GetHasSubEntity() const { return subEntities.empty() ? 0 : subEntityLevel; }
  void SetHasSubEntity(uint32_t level) { subEntityLevel = level; }
  TimerData* GetLocalTimer() const { return localTimer; }
  // Takes ownership of `timer`; the previous local timer is deleted.
  void SetLocalTimer(TimerData* timer);
  const EntitySet* GetEntitySet() const { return &subEntities; }
  const AttributeSet& GetAttributeSet() const { return attributes; }
  const TimerSet& GetTimerSet() const { return timers; }
  const TimeoutSet& GetTimeoutSet() const { return timeouts; }
  DesEvent* GetCarrierEvent() const { return carrierEvent; }
  // Sets the carrier on this entity and on every member of a composite.
  void SetCarrierEvent(DesEvent* event);

  // Type name, then sequence.
  bool operator<(const DesEntity& other) const;

  // ---------------------------------------------------------------- attributes
  // The attribute of that name (existing or not), or null. The flag has no
  // effect.
  RCPtr<Attribute> FindAttrClass(NodeInterface* blk, const char* name, bool flag = false) const;
  bool HasAttribute(NodeInterface* blk, const char* name) const;
  // The type's definition of that name; when absent null with noThrow,
  // else DES_AttrNotFound.
  RCPtr<AttribDef> FindAttrDefClass(NodeInterface* blk, const char* name, bool noThrow) const;

  // Typed access to an existing attribute of exactly that type:
  // DES_AttrNotFound when it is missing or marked not existing,
  // DES_AttrIncorrectType for another type. The last flag has no effect.
  void WriteToAttribute(NodeInterface* blk, const char* name, int value, bool flag = false);
  void WriteToAttribute(NodeInterface* blk, const char* name, double value, bool flag = false);
  void WriteToAttribute(NodeInterface* blk, const char* name, const DesData& value,
                        bool flag = false);
  void ReadFromAttribute(NodeInterface* blk, const char* name, int* value) const;
  void ReadFromAttribute(NodeInterface* blk, const char* name, double* value) const;
  // An int attribute converted to double; anything else read as double.
  void ReadFromAttributeIntOrDbl(NodeInterface* blk, const char* name, double* value) const;
  // int, double, or the first element of a DesData attribute, as double.
  // Other types raise DES_AttrIncorrectType (expected "double").
  double ReadNumberFromAttribute(NodeInterface* blk, const char* name) const;
  // int (truncated toward zero), double, or the first element of a DesData
  // attribute; attributes of other types are left unchanged.
  void WriteNumberToAttribute(NodeInterface* blk, const char* name, double value);
  // The same two through a handle the block resolved once: same values and
  // errors, without comparing names on the usual path.
  double ReadNumberFromAttribute(NodeInterface* blk, const NameHandle& name) const;
  void WriteNumberToAttribute(NodeInterface* blk, const NameHandle& name, double value);
  // As WriteToAttribute, but on a mutable type a missing attribute is
  // created first (definition on the type, a not-existing attribute on the
  // type's template, an existing one here). On an immutable type a missing
  // attribute raises DES_AttrNotFound and nothing is created. The creating
  // write (also the one that makes an attribute marked not existing exist)
  // stores the value even when the attribute is read-only; every later
  // write to it is refused. A refused call leaves entity and type as they
  // were.
  void WriteToAttributeAllowCreate(NodeInterface* blk, const char* name, int value,
                                   bool readOnly);
  void WriteToAttributeAllowCreate(NodeInterface* blk, const char* name, double value,
                                   bool readOnly);
  void WriteToAttributeAllowCreate(NodeInterface* blk, const char* name, const DesData& value,
                                   bool readOnly);

  // Attribute type names ("int" ... "DesData") to their numbers; filled once.
  static void createTypeMap();
  // The number of a type name; -1 (no type) for a name not in the map.
  static eAttrType getAttrType(const char* typeName);

  // An attribute of the class that the definition's type selects, from
  // that class's pool, not existing. DES_IllegalBlockTypeName for a type
  // outside the table.
  static RCPtr<Attribute> CreateAttribute(const RCPtr<AttribDef>& def);
  static RCPtr<Attribute> CreateAttribute(AttribDef* def);
  // Defines a DesData attribute on the type from a shape and a default;
  // DES_AttrDimNotMatch when the type has that name with another shape.
  RCPtr<AttribDef> CreateAttrDefDesData(const char* name, const DesDataInfo& shape,
                                        const DesData& value, bool readOnly);

  // ---------------------------------------------------------------- timers
  // The timer of that tag, or null; DES_TimerTagNotFound when mustExist.
  RCPtr<TimerData> FindTimer(NodeInterface* blk, const char* tag, bool mustExist) const;
  // The timer of that tag, made (not started) and filed when missing.
  RCPtr<TimerData> FindOrCreateTimer(NodeInterface* blk, const char* tag);
  // The same two through a handle the block resolved once.
  RCPtr<TimerData> FindTimer(NodeInterface* blk, const NameHandle& tag, bool mustExist) const;
  RCPtr<TimerData> FindOrCreateTimer(NodeInterface* blk, const NameHandle& tag);
  void CopyTimerData(const DesEntity* source, bool initToDefault);
  void CopyTimeoutData(const DesEntity* source, bool initToDefault);

  // ---------------------------------------------------------------- Timeouts
  // The entity owns its timeouts, one per tag; a timeout counts as
  // scheduled while it has a scheduling block. Scheduled timeouts are
  // filed with the engine recorded in each of them.
  //
  // A scheduled timeout from the timeout pool (deadline `time`, `priority`,
  // scheduled by `blk`, the entity carried by `parentEvent`) with a fresh
  // event id, filed under `tag`; the block then hands it to
  // Des::ProcessTimeoutDataAddition. A timeout of that tag that is no
  // longer scheduled is rearmed with these values and returned instead of
  // a new one; one that is still scheduled raises
  // DES_TimeoutAlreadyScheduled ("Error", block name, tag) and stays as it
  // was. The result is always this entity's.
  TimeoutData* CreateTimeout(const char* tag, const double& time, const int& priority,
                             NodeInterface* blk, DesEvent* parentEvent, int noDestinationOpt);
  // The timeout of that tag (scheduled or not), or null;
  // DES_TimeoutTagNotFound ("Error", block name, tag) when mustExist.
  TimeoutData* FindTimeout(NodeInterface* blk, const char* tag, bool mustExist) const;
  // Every scheduled timeout learns the event that now carries the entity.
  void SetTimeoutParentEvent(DesEvent* event);
  // Every scheduled timeout goes to its engine's ProcessTimeoutDataAddition
  // (on a failure those filed so far are taken back) or
  // ProcessTimeoutDataRemoval. A scheduled timeout without an engine raises
  // DES_GenericInternalErr ("invalid des pointer"). Removed this way, the
  // timeouts keep their schedule (deadline, priority, block, event id), so
  // adding them all back restores every one.
  void AddAllTimeoutsToTimeoutCollection();
  void RemoveAllTimeoutsFromTimeoutCollection();

  // ---------------------------------------------------------------- Composite entities
  // Members are ordered by type name, then sequence; the composite owns
  // them and shares their attribute and timer objects, so writes through
  // the composite reach the member and survive a split.
  //
  // Makes `subEntity` a member (owned from now on), sharing its existing
  // attributes and its timers when asked, and returns true. A member of the
  // same type name and sequence already present wins: false, and the
  // newcomer stays the caller's, unchanged. An attribute name (both
  // existing) or timer tag that both already have raises
  // DES_DuplicateAttribNameInEntity / DES_DuplicateTimerTagInEntity, a
  // null newcomer or one that holds this entity DES_GenericInternalErr;
  // a refused newcomer leaves both entities as they were. `blk` serves the
  // messages only; the last flag has no effect.
  bool InsertSeqEntities(NodeInterface* blk, DesEntity*& subEntity, bool withAttributes,
                         bool withTimers, bool unused = false);
  // The sharing steps of combining on their own, with the same refusals
  // (nothing is shared when one is raised). The flag has no effect.
  void InsertCopiedAttributesNoDuplicate(NodeInterface* blk, const DesEntity* source,
                                         bool flag = false);
  void InsertCopiedTimerDataNoDuplicate(NodeInterface* blk, const DesEntity* source,
                                        bool flag = false);
  // The first member (in set order) with that sequence, or null.
  // DES_EntityNoSplit unless this is a composite (members and a nonzero
  // level), as for the two below.
  DesEntity* FindSeqSubEntity(uint32_t seq) const;
  // Takes that member out, with the attributes and timers the composite
  // shares with it, and hands it to the caller (no carrier event; its own
  // flags, attributes and timers unchanged); null, changing nothing, when
  // no member has the sequence. The last member out sets the level to 0.
  DesEntity* RemoveSeqSubEntity(uint32_t seq);
  // Appends the members' ids in set order.
  void PeekAllSeqSubEntityIds(std::vector<std::string>& ids) const;
  // The member of that type with sequence 0, or null (also while the lookup
  // depth exceeds the type's maximum lookup level).
  DesEntity* FindEntity(const char* typeName) const;

  // ---------------------------------------------------------------- host structures
  // Reads an entity structure (null: nothing to read).
  void InitFromMask(hvArray* initVals);
  // Reads an attribute list.
  void InitFromHvArray(hvArray* list);
  // 2 x attributes: name, value. Not-existing attributes leave their column
  // empty. The caller owns the result.
  hvArray* GetAttributeDataAsHvArray() const;
  // 2 x timers: tag, elapsed time. Every timer must have been started.
  hvArray* GetTimerDataAsHvArray() const;
  // 3 x timeouts: tag, deadline, event id of the scheduled ones.
  hvArray* GetTimeoutDataAsHvArray() const;

  // The prefix ids are numbered under; one that `id_prefix` no longer
  // matches is kept as text.
  static constexpr const char* kIdPrefix = "en";
  static std::string id_prefix;
  static unsigned long next_id;
  static pmmap<std::string, eAttrType> typeMap;
  static uint32_t lookupLevel;
  static uint32_t genLevel;
  static const uint32_t maxGenLevel = 8;
  static const char* const entityTag;
  static const char* const nameTag;
  static const char* const typeTag;
  static const char* const valTag;
  static const char* const roTag;
  static const char* const roTrue;
  static const char* const mutTag;
  static const char* const mutTrue;
  // Name of every entity's private timer.
  static const char* const localTimerName;

 protected:
  // A deep copy: members, attributes, timers, timeouts and the local timer
  // are copied; id and carrier event are the source's.
  DesEntity(const DesEntity& other, bool initToDefault);
  // Makes this entity equal to the source. Sets are matched key by key: an
  // element of a key both have is overwritten in place, one only the
  // source has is copied in, one only this entity has is dropped.
  DesEntity& operator=(const DesEntity& other);
  void InitToFactValue();

  void CopyEntities(const DesEntity* source, bool initToDefault);
  void CopyAttributes(const DesEntity* source, bool initToDefault);

  RCPtr<TimerData> CreateTimer(const char* tag) const;

  // Inserts into the attribute set (no effect when the name is present);
  // true. NoCheck adds only on an immutable type and returns false else.
  bool AddAttributeForce(const RCPtr<Attribute>& attribute);
  bool AddAttributeNoCheck(const RCPtr<Attribute>& attribute);
  void ParseAttribute(hvArray* list, const char* name, size_t index, bool readOnly);
  void ParseEntity(hvArray* list, const char* name, size_t index, bool readOnly,
                   bool isMutable, uint32_t maxLookupLevel);
  // The text of a field of element `index`, from hostCalloc (the caller
  // hostFree's it).
  char* GetStringField(hvArray* list, const char* field, size_t index) const;
  RCPtr<AttribDef> CreateAttrDef(const char* name, eAttrType type, hvArray* value,
                                 bool readOnly) const;

 private:
  RCPtr<AttribDef> CreateAttrDefOf(const char* name, eAttrType type, hvArray* value,
                                   bool readOnly) const;
  // Sets the id, and a composite's members fresh ones (see AssignId).
  void AssignNumberedId(const NumberedId& newId);
  DesEntity(const DesEntity&) = delete;

  // The attribute for a typed access: found and existing, else
  // DES_AttrNotFound naming the block.
  Attribute* RequireAttribute(NodeInterface* blk, const char* name) const;
  Attribute* RequireAttribute(NodeInterface* blk, const NameHandle& name) const;
  // The typed halves of Read/WriteNumberToAttribute, on a found attribute.
  static double ReadNumber(NodeInterface* blk, Attribute* a);
  static void WriteNumber(Attribute* a, double value);
  // Files a new timer with that tag (absent from the set).
  RCPtr<TimerData> AddTimer(const char* tag);
  // DES_AttrIncorrectType unless the attribute has the expected type.
  static void RequireType(NodeInterface* blk, const Attribute* attribute, eAttrType expected,
                          bool withHandle = true);
  // A write with creation: finds or makes (mutable types only) the
  // attribute, checks its type and stores the value; `makeDef` creates the
  // definition when the type has none. The write that creates the attribute
  // stores the value even when it is read-only. A refused call changes
  // neither the entity nor its type.
  template <class Value, class MakeDef>
  void WriteWithCreation(NodeInterface* blk, const char* name, Value& value, eAttrType expected,
                         bool withHandle, MakeDef makeDef);
  void DeleteSubEntities();
  void DeleteTimeouts();
  // Timeouts: an entity that leaves the model without being deleted (to
  // its type's recycle list) cancels its scheduled timeouts and those of
  // its members, and they forget the event that carried it.
  void CancelTimeoutsForRecycling();
  // Undoes a partly built entity when its construction fails.
  void DiscardOwned();
  // Composite entities: after a copy from `source`, the copy's attributes
  // and timers are shared with its copied members where the source's were.
  void RelinkSharedWithMembers(const DesEntity& source);
  struct CompositeOps;

  EntityList* entityList;  // not owned
  RCPtr<EntityDef> definition;
  bool isSubEntity;
  uint32_t sequence;
  uint32_t subEntityLevel;
  TimerData* localTimer;  // owned
  AttributeSet attributes;
  EntitySet subEntities;  // owned
  TimerSet timers;
  TimeoutSet timeouts;  // owned
  NumberedId id;
  DesEvent* carrierEvent;  // not owned
  // One set node each, kept from a timer or timeout this entity dropped
  // when it was overwritten for reuse (operator=) and handed to the next
  // one it files, so that a recycled entity refiles its timer and timeout
  // without asking the host for memory. Empty, or holding a null value.
  TimerSet::node_type spareTimerNode;
  TimeoutSet::node_type spareTimeoutNode;
};
