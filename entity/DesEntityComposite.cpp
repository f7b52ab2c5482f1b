// Composite entities: combining entities into one departing entity, finding
// and splitting its members by sequence, and keeping the attributes and
// timers that a composite shares with its members consistent.
//
// Sharing is by object, not by name: the composite's set holds the very
// Attribute and TimerData objects of its members, so a write on the
// composite is a write on the member and survives the split. Everything
// that undoes sharing therefore matches objects by identity; an attribute
// or timer of the composite that merely has a member's name is the
// composite's own and is left alone.
#include <vector>

#include "entity/DesEntity.h"
#include "entity/EntityList.h"
#include "kernel/DesEvent.h"
#include "kernel/NodeInterface.h"
#include "support/DesExcept.h"
#include "support/MessageCatalogue.h"

// The steps of combining and splitting. A friend of DesEntity, so the
// header carries one declaration instead of every helper.
struct DesEntity::CompositeOps {
  static void* Handle(NodeInterface* blk) {
    return blk != nullptr ? blk->getObjProxy() : nullptr;
  }

  static bool IsComposite(const DesEntity& e) {
    return !e.subEntities.empty() && e.subEntityLevel != 0;
  }

  static void RequireComposite(const DesEntity& e) {
    if (!IsComposite(e)) throw new DesExcept(DES_EntityNoSplit, e.GetName().c_str());
  }

  // Whether `wanted` is `e` itself or one of its members at any depth.
  static bool Holds(const DesEntity& e, const DesEntity* wanted) {
    if (&e == wanted) return true;
    for (const DesEntity* member : e.subEntities)
      if (Holds(*member, wanted)) return true;
    return false;
  }

  // A member must be a separate entity: one that holds the composite would
  // make ownership circular (each would delete the other).
  static void RequireSeparate(const DesEntity& composite, const DesEntity* newcomer) {
    if (newcomer == nullptr)
      throw new DesExcept(DES_GenericInternalErr, "no entity to combine");
    if (Holds(*newcomer, &composite))
      throw new DesExcept(DES_GenericInternalErr,
                          "an entity cannot be combined into itself or into one of its members");
  }

  // ------------------------------------------------------------ attributes

  // Refuses the source when one of its existing attributes has the name of
  // an existing attribute here. Changes nothing.
  static void CheckAttributes(const DesEntity& e, NodeInterface* blk, const DesEntity& source) {
    for (const RCPtr<Attribute>& a : source.attributes) {
      if (!a->Exists()) continue;
      AttributeSet::const_iterator mine = e.attributes.find(a);
      if (mine != e.attributes.end() && (*mine)->Exists())
        throw new DesExcept(Handle(blk), DES_DuplicateAttribNameInEntity, a->GetName().c_str());
    }
  }

  // Inserts the source's existing attributes whose names are new here. A
  // name present here (necessarily as a not-existing attribute once the
  // check passed) is left to FillPlaceholders. On failure the attributes
  // inserted so far stay: the caller undoes them with Unshare.
  static void InsertAttributes(DesEntity& e, const DesEntity& source) {
    for (const RCPtr<Attribute>& a : source.attributes) {
      if (!a->Exists() || e.attributes.count(a) != 0) continue;
      e.attributes.insert(a);
    }
  }

  // A not-existing attribute here gives way to the source's existing one of
  // that name: the composite then holds the member's object, as for any
  // other shared attribute. (Copying the value into the placeholder would
  // cut the link: later writes would not reach the member, and a value of a
  // type other than DesData could not be carried over at all.) Allocates
  // nothing and cannot fail; it runs last.
  static void FillPlaceholders(DesEntity& e, const DesEntity& source) {
    for (const RCPtr<Attribute>& a : source.attributes) {
      if (!a->Exists()) continue;
      AttributeSet::iterator mine = e.attributes.find(a);
      if (mine == e.attributes.end() || mine->get() == a.get() || (*mine)->Exists()) continue;
      // Same name, so the element's place in the set does not change.
      const_cast<RCPtr<Attribute>&>(*mine) = a;
    }
  }

  // Removes the attributes that `e` shares with `member` (the same objects).
  static void UnshareAttributes(DesEntity& e, const DesEntity& member) {
    for (const RCPtr<Attribute>& a : member.attributes) {
      AttributeSet::iterator mine = e.attributes.find(a);
      if (mine != e.attributes.end() && mine->get() == a.get()) e.attributes.erase(mine);
    }
  }

  // ------------------------------------------------------------ timers

  static void CheckTimers(const DesEntity& e, NodeInterface* blk, const DesEntity& source) {
    for (const RCPtr<TimerData>& t : source.timers)
      if (e.timers.count(t) != 0)
        throw new DesExcept(Handle(blk), DES_DuplicateTimerTagInEntity, t->GetName().c_str());
  }

  static void InsertTimers(DesEntity& e, const DesEntity& source) {
    for (const RCPtr<TimerData>& t : source.timers) e.timers.insert(t);
  }

  static void UnshareTimers(DesEntity& e, const DesEntity& member) {
    for (const RCPtr<TimerData>& t : member.timers) {
      TimerSet::iterator mine = e.timers.find(t);
      if (mine != e.timers.end() && mine->get() == t.get()) e.timers.erase(mine);
    }
  }

  // Every scheduled timeout of `e` and of its members, at any depth,
  // records `event` as the one that carries their entity.
  static void RetargetTimeouts(DesEntity& e, DesEvent* event) {
    e.SetTimeoutParentEvent(event);
    for (DesEntity* member : e.subEntities) RetargetTimeouts(*member, event);
  }

  // ------------------------------------------------------------ copies

  // After `copy` was made from `source` (members copied key by key,
  // attributes and timers cloned one by one), the copy's attributes and
  // timers are its own clones even where the source's were shared with a
  // member. Puts the sharing back: where the source's composite holds a
  // member's object, the copy holds the copied member's object. The members
  // were copied the same way, so sharing deeper down is already in place.
  static void Relink(DesEntity& copy, const DesEntity& source) {
    if (source.subEntities.empty()) return;
    for (const DesEntity* theirs : source.subEntities) {
      EntitySet::iterator found = copy.subEntities.find(const_cast<DesEntity*>(theirs));
      if (found == copy.subEntities.end()) continue;
      const DesEntity& mine = **found;
      for (const RCPtr<Attribute>& a : theirs->attributes) {
        AttributeSet::const_iterator shared = source.attributes.find(a);
        if (shared == source.attributes.end() || shared->get() != a.get()) continue;
        AttributeSet::iterator target = copy.attributes.find(a);
        AttributeSet::const_iterator replacement = mine.attributes.find(a);
        if (target == copy.attributes.end() || replacement == mine.attributes.end()) continue;
        const_cast<RCPtr<Attribute>&>(*target) = *replacement;
      }
      for (const RCPtr<TimerData>& t : theirs->timers) {
        TimerSet::const_iterator shared = source.timers.find(t);
        if (shared == source.timers.end() || shared->get() != t.get()) continue;
        TimerSet::iterator target = copy.timers.find(t);
        TimerSet::const_iterator replacement = mine.timers.find(t);
        if (target == copy.timers.end() || replacement == mine.timers.end()) continue;
        const_cast<RCPtr<TimerData>&>(*target) = *replacement;
      }
    }
  }
};

void DesEntity::RelinkSharedWithMembers(const DesEntity& source) {
  CompositeOps::Relink(*this, source);
}

// ---------------------------------------------------------------- combining

bool DesEntity::InsertSeqEntities(NodeInterface* blk, DesEntity*& subEntity, bool withAttributes,
                                  bool withTimers, bool) {
  CompositeOps::RequireSeparate(*this, subEntity);
  DesEntity& newcomer = *subEntity;
  // A member of the same type name and sequence is the same key: the first
  // one stays, and the newcomer stays the caller's, untouched.
  if (subEntities.count(subEntity) != 0) return false;

  // Every refusal comes before the first change, so a refused newcomer
  // leaves both entities as they were.
  if (withAttributes) CompositeOps::CheckAttributes(*this, blk, newcomer);
  if (withTimers) CompositeOps::CheckTimers(*this, blk, newcomer);

  const bool wasEmpty = subEntities.empty();
  subEntities.insert(subEntity);
  try {
    if (withAttributes) CompositeOps::InsertAttributes(*this, newcomer);
    if (withTimers) CompositeOps::InsertTimers(*this, newcomer);
  } catch (...) {
    CompositeOps::UnshareAttributes(*this, newcomer);
    CompositeOps::UnshareTimers(*this, newcomer);
    subEntities.erase(subEntity);
    throw;
  }
  // Nothing below can fail.
  if (withAttributes) CompositeOps::FillPlaceholders(*this, newcomer);

  newcomer.isSubEntity = true;
  // Members read from a host structure leave the level at 0; once an entity
  // has been combined in, this is a composite that can be split.
  if (wasEmpty || subEntityLevel == 0) subEntityLevel = 1;
  if (newcomer.GetHasSubEntity() > subEntityLevel) subEntityLevel = newcomer.GetHasSubEntity();
  // The member now travels with the composite. Whatever event carried it
  // before is no longer its carrier (and may be gone).
  newcomer.SetCarrierEvent(carrierEvent);
  // Timeouts: the member keeps its own timeouts (they are not moved to the
  // composite), but a timeout that fires must reach the block holding the
  // composite, not the event that carried the member before (which may be
  // gone by then).
  CompositeOps::RetargetTimeouts(newcomer, carrierEvent);
  return true;
}

void DesEntity::InsertCopiedAttributesNoDuplicate(NodeInterface* blk, const DesEntity* source,
                                                  bool) {
  if (source == nullptr || source == this) return;
  CompositeOps::CheckAttributes(*this, blk, *source);
  try {
    CompositeOps::InsertAttributes(*this, *source);
  } catch (...) {
    CompositeOps::UnshareAttributes(*this, *source);
    throw;
  }
  CompositeOps::FillPlaceholders(*this, *source);
}

void DesEntity::InsertCopiedTimerDataNoDuplicate(NodeInterface* blk, const DesEntity* source,
                                                 bool) {
  if (source == nullptr || source == this) return;
  CompositeOps::CheckTimers(*this, blk, *source);
  try {
    CompositeOps::InsertTimers(*this, *source);
  } catch (...) {
    CompositeOps::UnshareTimers(*this, *source);
    throw;
  }
}

// ---------------------------------------------------------------- finding and splitting

DesEntity* DesEntity::FindSeqSubEntity(uint32_t seq) const {
  CompositeOps::RequireComposite(*this);
  for (DesEntity* member : subEntities)
    if (member->sequence == seq) return member;
  return nullptr;
}

DesEntity* DesEntity::RemoveSeqSubEntity(uint32_t seq) {
  CompositeOps::RequireComposite(*this);
  EntitySet::iterator it = subEntities.begin();
  while (it != subEntities.end() && (*it)->sequence != seq) ++it;
  if (it == subEntities.end()) return nullptr;
  DesEntity* member = *it;
  CompositeOps::UnshareAttributes(*this, *member);
  CompositeOps::UnshareTimers(*this, *member);
  subEntities.erase(it);
  if (subEntities.empty()) subEntityLevel = 0;
  // The caller owns the member now; until it hands it to an event nothing
  // carries it (the composite's event must not learn the member's id).
  member->SetCarrierEvent(nullptr);
  // Timeouts: the member's own timeouts leave with it and forget the
  // composite's event; the block that puts the member on its next event
  // tells them (SetTimeoutParentEvent).
  CompositeOps::RetargetTimeouts(*member, nullptr);
  return member;
}

void DesEntity::PeekAllSeqSubEntityIds(std::vector<std::string>& ids) const {
  CompositeOps::RequireComposite(*this);
  for (const DesEntity* member : subEntities) ids.push_back(member->GetId());
}

DesEntity* DesEntity::FindEntity(const char* typeName) const {
  if (subEntities.empty()) return nullptr;
  if (lookupLevel > definition->GetMaxLookupLevel()) return nullptr;
  const char* key = typeName != nullptr ? typeName : "";
  DesEntity* probe = entityList != nullptr ? entityList->GetDummyDesEntity() : nullptr;
  if (probe == nullptr) {
    for (DesEntity* member : subEntities)
      if (member->GetName() == key && member->sequence == 0) return member;
    return nullptr;
  }
  probe->definition->SetName(key);
  probe->sequence = 0;
  EntitySet::const_iterator it = subEntities.find(probe);
  return it != subEntities.end() ? *it : nullptr;
}
