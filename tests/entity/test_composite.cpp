// Composite entities: combining entities into one with their attributes and
// timers shared, the refusals of combining and what they leave behind,
// finding and splitting members by sequence, member ids and carrier events,
// and copies of composites.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kernel/TimeoutData.h"
#include "tests/entity/EntityTestSupport.h"
#include "tests/entity/MemoryChecks.h"

namespace {

using entity_test::Args;
using entity_test::Catch;
using entity_test::Element;
using entity_test::Empty;
using entity_test::EngineFixture;
using entity_test::List;
using entity_test::Scalar;
using entity_test::SweepAllocationFailures;
using entity_test::Thrown;

class CompositeTest : public EngineFixture {
 protected:
  void SetUp() override {
    EngineFixture::SetUp();
    Define("Box", Empty(), true);
    Define("Crate", List({{"Colour", "int", Scalar(0)}, {"Size", "double", Scalar(1)}}), true);
    Define("Wheel", List({{"Colour", "int", Scalar(3)}, {"Size", "double", Scalar(2)}}), false);
    Define("Frame", List({{"Weight", "DesData", Scalar(5)}}), false);
    Define("Rim", List({{"Alpha", "double", Scalar(8)}, {"Size", "double", Scalar(9)}}), false);
  }

  DesEntity* Make(const char* type, uint32_t seq) {
    DesEntity* e = Clone(type);
    e->SetSequence(seq);
    return e;
  }
  // Combines; a member is the composite's from then on.
  bool Combine(DesEntity* composite, DesEntity* e, bool attrs = true, bool timers = true) {
    const bool in = composite->InsertSeqEntities(block, e, attrs, timers);
    if (in) Forget(e);
    return in;
  }
  DesEntity* Split(DesEntity* composite, uint32_t seq) {
    DesEntity* e = composite->RemoveSeqSubEntity(seq);
    if (e != nullptr) owned.push_back(e);
    return e;
  }
  RCPtr<TimerData> Start(DesEntity* e, const char* tag) {
    RCPtr<TimerData> t = e->FindOrCreateTimer(block, tag);
    t->SetTimer(0.0, block);
    return t;
  }
  Attribute* Attr(const DesEntity* e, const char* name) {
    return e->FindAttrClass(block, name).get();
  }
  TimerData* Timer(const DesEntity* e, const char* tag) {
    return e->FindTimer(block, tag, false).get();
  }
  std::vector<std::string> AttrNames(const DesEntity* e) {
    std::vector<std::string> names;
    for (const RCPtr<Attribute>& a : e->GetAttributeSet()) names.push_back(a->GetName());
    return names;
  }
  // An event that owns `e` from now on.
  DesEvent* Carry(DesEntity* e) {
    Forget(e);
    return new DesEvent(1.0, 0, block, e);
  }
};

// ---------------------------------------------------------------- combining

TEST_F(CompositeTest, CombiningSharesTheMembersAttributesAndTimers) {
  DesEntity* box = Make("Box", 0);
  DesEntity* wheel = Make("Wheel", 1);
  RCPtr<TimerData> t = Start(wheel, "T");

  ASSERT_TRUE(Combine(box, wheel));
  EXPECT_TRUE(wheel->GetIsSubEntity());
  EXPECT_EQ(box->GetHasSubEntity(), 1u);
  EXPECT_EQ(box->GetEntitySet()->size(), 1u);
  // The same objects, not copies.
  EXPECT_EQ(Attr(box, "Size"), Attr(wheel, "Size"));
  EXPECT_EQ(Attr(box, "Colour"), Attr(wheel, "Colour"));
  EXPECT_EQ(Timer(box, "T"), t.get());

  box->WriteToAttribute(block, "Size", 7.5);
  EXPECT_EQ(Number(wheel, "Size"), 7.5);
  wheel->WriteToAttribute(block, "Colour", 4);
  EXPECT_EQ(Number(box, "Colour"), 4.0);

  // Without the flags nothing is shared.
  DesEntity* bare = Make("Box", 0);
  DesEntity* other = Make("Wheel", 1);
  Start(other, "T");
  ASSERT_TRUE(Combine(bare, other, false, false));
  EXPECT_TRUE(bare->GetAttributeSet().empty());
  EXPECT_TRUE(bare->GetTimerSet().empty());
  EXPECT_EQ(bare->FindSeqSubEntity(1), other);
}

TEST_F(CompositeTest, NestedCompositesShareDownToTheInnermostMember) {
  DesEntity* outer = Make("Box", 0);
  DesEntity* inner = Make("Crate", 1);
  DesEntity* wheel = Make("Wheel", 1);
  // The crate's own attributes are placeholders the wheel fills in.
  Attr(inner, "Size")->SetExists(false);
  Attr(inner, "Colour")->SetExists(false);
  ASSERT_TRUE(Combine(inner, wheel));
  inner->SetHasSubEntity(3);
  ASSERT_TRUE(Combine(outer, inner));
  // A deeper newcomer raises the composite's level to its own.
  EXPECT_EQ(outer->GetHasSubEntity(), 3u);
  EXPECT_EQ(Attr(outer, "Size"), Attr(wheel, "Size"));
  outer->WriteToAttribute(block, "Size", 11.0);
  EXPECT_EQ(Number(wheel, "Size"), 11.0);
}

TEST_F(CompositeTest, ASecondMemberOfTheSameTypeAndSequenceIsNotTaken) {
  DesEntity* box = Make("Box", 0);
  DesEntity* first = Make("Wheel", 1);
  DesEntity* second = Make("Wheel", 1);
  ASSERT_TRUE(Combine(box, first));
  // Same key: no clash is reported, the newcomer simply stays the caller's.
  EXPECT_FALSE(Combine(box, second));
  EXPECT_EQ(box->GetEntitySet()->size(), 1u);
  EXPECT_EQ(box->FindSeqSubEntity(1), first);
  EXPECT_FALSE(second->GetIsSubEntity());
  EXPECT_EQ(Attr(box, "Size"), Attr(first, "Size"));
  // Same type, another sequence: a second member.
  second->SetSequence(2);
  EXPECT_TRUE(Combine(box, second, false, false));
  EXPECT_EQ(box->GetEntitySet()->size(), 2u);
}

TEST_F(CompositeTest, ANotExistingAttributeGivesWayToTheMembersOne) {
  DesEntity* crate = Make("Crate", 0);
  Attr(crate, "Colour")->SetExists(false);
  Attr(crate, "Size")->SetExists(false);
  DesEntity* wheel = Make("Wheel", 1);
  // An int attribute: its value could not be carried over as DesData.
  ASSERT_TRUE(Combine(crate, wheel));
  EXPECT_TRUE(crate->HasAttribute(block, "Colour"));
  EXPECT_EQ(Attr(crate, "Colour"), Attr(wheel, "Colour"));
  EXPECT_EQ(Number(crate, "Colour"), 3.0);
  crate->WriteToAttribute(block, "Colour", 6);
  EXPECT_EQ(Number(wheel, "Colour"), 6.0);

  // Nor is a not-existing attribute of the newcomer a clash.
  DesEntity* rim = Make("Rim", 2);
  Attr(rim, "Size")->SetExists(false);
  EXPECT_TRUE(Combine(crate, rim));
  EXPECT_EQ(Attr(crate, "Size"), Attr(wheel, "Size"));
  EXPECT_EQ(Attr(crate, "Alpha"), Attr(rim, "Alpha"));
}

TEST_F(CompositeTest, TheSharingStepsWorkOnTheirOwn) {
  DesEntity* box = Make("Box", 0);
  DesEntity* wheel = Make("Wheel", 1);
  RCPtr<TimerData> t = Start(wheel, "T");
  box->InsertCopiedAttributesNoDuplicate(block, wheel, false);
  box->InsertCopiedTimerDataNoDuplicate(block, wheel, false);
  EXPECT_EQ(Attr(box, "Size"), Attr(wheel, "Size"));
  EXPECT_EQ(Timer(box, "T"), t.get());
  EXPECT_TRUE(box->GetEntitySet()->empty());

  Thrown a = Catch([&] { box->InsertCopiedAttributesNoDuplicate(block, wheel, false); });
  EXPECT_EQ(a.code, static_cast<uint32_t>(DES_DuplicateAttribNameInEntity));
  EXPECT_EQ(a.args, Args({"Colour"}));
  Thrown b = Catch([&] { box->InsertCopiedTimerDataNoDuplicate(block, wheel, false); });
  EXPECT_EQ(b.code, static_cast<uint32_t>(DES_DuplicateTimerTagInEntity));
  EXPECT_EQ(b.args, Args({"T"}));
}

TEST_F(CompositeTest, TheMemberTravelsOnTheCompositesEvent) {
  DesEntity* box = Make("Box", 0);
  DesEvent* boxEvent = Carry(box);
  DesEntity* wheel = Make("Wheel", 1);
  DesEvent* wheelEvent = Carry(wheel);
  // Detached: it no longer names wheelEvent as its carrier.
  wheelEvent->SetEntity(nullptr);
  EXPECT_EQ(wheel->GetCarrierEvent(), nullptr);
  EXPECT_TRUE(box->InsertSeqEntities(block, wheel, true, true));
  EXPECT_EQ(wheel->GetCarrierEvent(), boxEvent);
  delete wheelEvent;
  // Renumbering must not reach the event that is gone.
  box->AssignId();
  EXPECT_EQ(boxEvent->GetEntityId(), box->GetId());
  delete boxEvent;
}

TEST_F(CompositeTest, AMembersTimeoutsFollowTheEventThatCarriesIt) {
  DesEntity* box = Make("Box", 0);
  DesEvent* boxEvent = Carry(box);
  DesEntity* wheel = Make("Wheel", 1);
  DesEvent* wheelEvent = Carry(wheel);
  TimeoutData* td = wheel->CreateTimeout("TO", 5.0, 0, block, wheelEvent, 1);
  engine->ProcessTimeoutDataAddition(td);
  ASSERT_EQ(wheelEvent->ReleaseEntity(), wheel);
  delete wheelEvent;

  ASSERT_TRUE(Combine(box, wheel));
  // Firing now reaches the block that holds the composite.
  EXPECT_EQ(td->GetEventPtrWithParentEntity(), boxEvent);
  ASSERT_EQ(Split(box, 1), wheel);
  EXPECT_EQ(td->GetEventPtrWithParentEntity(), nullptr);
  EXPECT_FALSE(td->IsCancelled());
  EXPECT_EQ(wheel->FindTimeout(block, "TO", false), td);
  delete boxEvent;
}

// ---------------------------------------------------------------- refusals

TEST_F(CompositeTest, ADuplicateAttributeIsRefusedAndChangesNothing) {
  DesEntity* box = Make("Box", 0);
  DesEvent* boxEvent = Carry(box);
  ASSERT_TRUE(Combine(box, Make("Wheel", 1)));
  DesEntity* rim = Make("Rim", 2);
  Start(rim, "R");
  const std::vector<std::string> before = AttrNames(box);

  Thrown t = Catch([&] { box->InsertSeqEntities(block, rim, true, true); });
  EXPECT_EQ(t.code, static_cast<uint32_t>(DES_DuplicateAttribNameInEntity));
  EXPECT_EQ(t.args, Args({"Size"}));
  EXPECT_EQ(t.objects, std::vector<void*>({block}));
  // "Alpha" comes before the clash and is not kept either.
  EXPECT_EQ(AttrNames(box), before);
  EXPECT_TRUE(box->GetTimerSet().empty());
  EXPECT_EQ(box->GetEntitySet()->size(), 1u);
  EXPECT_EQ(box->GetHasSubEntity(), 1u);
  EXPECT_FALSE(rim->GetIsSubEntity());
  EXPECT_EQ(rim->GetCarrierEvent(), nullptr);
  delete boxEvent;
}

TEST_F(CompositeTest, ADuplicateTimerIsRefusedAndChangesNothing) {
  DesEntity* box = Make("Box", 0);
  DesEntity* wheel = Make("Wheel", 1);
  Start(wheel, "T");
  ASSERT_TRUE(Combine(box, wheel));
  DesEntity* frame = Make("Frame", 2);
  Start(frame, "A");
  Start(frame, "T");
  const std::vector<std::string> before = AttrNames(box);

  Thrown t = Catch([&] { box->InsertSeqEntities(block, frame, true, true); });
  EXPECT_EQ(t.code, static_cast<uint32_t>(DES_DuplicateTimerTagInEntity));
  EXPECT_EQ(t.args, Args({"T"}));
  EXPECT_EQ(t.objects, std::vector<void*>({block}));
  // Neither the frame's attributes nor its timer "A" stayed.
  EXPECT_EQ(AttrNames(box), before);
  EXPECT_EQ(box->GetTimerSet().size(), 1u);
  EXPECT_EQ(box->GetEntitySet()->size(), 1u);
  EXPECT_FALSE(frame->GetIsSubEntity());

  // Without timers the same frame is welcome.
  EXPECT_TRUE(Combine(box, frame, true, false));
  EXPECT_EQ(Timer(box, "T"), Timer(wheel, "T"));
}

TEST_F(CompositeTest, EntitiesThatAreNotCompositesCannotBeSplit) {
  DesEntity* wheel = Make("Wheel", 1);
  std::vector<std::string> ids;
  for (Thrown t : {Catch([&] { wheel->FindSeqSubEntity(1); }),
                   Catch([&] { wheel->RemoveSeqSubEntity(1); }),
                   Catch([&] { wheel->PeekAllSeqSubEntityIds(ids); })}) {
    EXPECT_EQ(t.code, static_cast<uint32_t>(DES_EntityNoSplit));
    EXPECT_EQ(t.args, Args({"Wheel"}));
    EXPECT_TRUE(t.objects.empty());
  }
  EXPECT_TRUE(ids.empty());
}

TEST_F(CompositeTest, NoEntityAndCircularCombinesAreRefused) {
  DesEntity* outer = Make("Box", 0);
  DesEntity* inner = Make("Crate", 1);
  ASSERT_TRUE(Combine(outer, inner, false, false));
  DesEntity* none = nullptr;
  DesEntity* self = outer;
  for (Thrown t : {Catch([&] { outer->InsertSeqEntities(block, none, true, true); }),
                   Catch([&] { outer->InsertSeqEntities(block, self, true, true); }),
                   Catch([&] { inner->InsertSeqEntities(block, self, true, true); })}) {
    EXPECT_EQ(t.code, static_cast<uint32_t>(DES_GenericInternalErr));
    ASSERT_EQ(t.args.size(), 1u);
  }
  EXPECT_TRUE(inner->GetEntitySet()->empty());
  EXPECT_EQ(outer->GetEntitySet()->size(), 1u);
  EXPECT_FALSE(outer->GetIsSubEntity());
}

TEST_F(CompositeTest, RunningOutOfMemoryWhileCombiningChangesNothing) {
  DesEntity* box = Make("Box", 0);
  ASSERT_TRUE(Combine(box, Make("Frame", 2)));
  DesEntity* wheel = Make("Wheel", 1);
  Start(wheel, "T");
  const std::vector<std::string> before = AttrNames(box);
  bool inserted = false;
  const std::size_t failures = SweepAllocationFailures(
      [&] { inserted = box->InsertSeqEntities(block, wheel, true, true); },
      [&] {
        EXPECT_EQ(AttrNames(box), before);
        EXPECT_TRUE(box->GetTimerSet().empty());
        EXPECT_EQ(box->GetEntitySet()->size(), 1u);
        EXPECT_FALSE(wheel->GetIsSubEntity());
      });
  // One set node for the member, two attributes, one timer.
  EXPECT_EQ(failures, 4u);
  ASSERT_TRUE(inserted);
  Forget(wheel);
  EXPECT_EQ(Attr(box, "Size"), Attr(wheel, "Size"));
}

// ---------------------------------------------------------------- finding and splitting

TEST_F(CompositeTest, SplittingTakesTheSharedAttributesAndTimersAlongWithTheirValues) {
  DesEntity* box = Make("Box", 0);
  DesEvent* boxEvent = Carry(box);
  DesEntity* wheel = Make("Wheel", 1);
  Start(wheel, "T");
  ASSERT_TRUE(Combine(box, wheel));
  ASSERT_TRUE(Combine(box, Make("Frame", 2)));
  box->WriteToAttribute(block, "Size", 42.0);

  EXPECT_EQ(Split(box, 1), wheel);
  EXPECT_EQ(AttrNames(box), std::vector<std::string>({"Weight"}));
  EXPECT_TRUE(box->GetTimerSet().empty());
  EXPECT_EQ(box->GetHasSubEntity(), 1u);
  // The member leaves with what was written through the composite, and
  // keeps its flag until its new owner clears it.
  EXPECT_EQ(Number(wheel, "Size"), 42.0);
  EXPECT_NE(Timer(wheel, "T"), nullptr);
  EXPECT_TRUE(wheel->GetIsSubEntity());
  // Nothing carries it until it is handed to an event.
  EXPECT_EQ(wheel->GetCarrierEvent(), nullptr);
  wheel->AssignId();
  EXPECT_EQ(boxEvent->GetEntityId(), box->GetId());
  delete boxEvent;
}

TEST_F(CompositeTest, TheLastSplitEndsTheCompositeAndAFurtherSplitIsRefused) {
  DesEntity* box = Make("Box", 0);
  ASSERT_TRUE(Combine(box, Make("Wheel", 1)));
  const std::vector<std::string> before = AttrNames(box);
  EXPECT_EQ(box->RemoveSeqSubEntity(7), nullptr) << "an unknown sequence changes nothing";
  EXPECT_EQ(box->FindSeqSubEntity(7), nullptr);
  EXPECT_EQ(AttrNames(box), before);
  ASSERT_NE(Split(box, 1), nullptr);
  EXPECT_EQ(box->GetHasSubEntity(), 0u);
  EXPECT_TRUE(box->GetAttributeSet().empty());
  EXPECT_EQ(Catch([&] { box->RemoveSeqSubEntity(1); }).code,
            static_cast<uint32_t>(DES_EntityNoSplit));
  // Combining again makes it a composite again.
  ASSERT_TRUE(Combine(box, Make("Frame", 1)));
  EXPECT_EQ(box->GetHasSubEntity(), 1u);
}

TEST_F(CompositeTest, SplittingLeavesTheCompositesOwnAttributeOfTheSameName) {
  DesEntity* crate = Make("Crate", 0);
  Start(crate, "T");
  DesEntity* wheel = Make("Wheel", 1);
  Start(wheel, "T");
  // Not shared: the crate's "Size", "Colour" and "T" stay its own.
  ASSERT_TRUE(Combine(crate, wheel, false, false));
  crate->WriteToAttribute(block, "Size", 5.0);
  ASSERT_EQ(Split(crate, 1), wheel);
  EXPECT_TRUE(crate->HasAttribute(block, "Size"));
  EXPECT_TRUE(crate->HasAttribute(block, "Colour"));
  EXPECT_EQ(Number(crate, "Size"), 5.0);
  EXPECT_NE(Timer(crate, "T"), nullptr);
  EXPECT_EQ(Number(wheel, "Size"), 2.0);
}

TEST_F(CompositeTest, MembersAreFoundByTypeNameThenSequence) {
  DesEntity* box = Make("Box", 0);
  DesEntity* wheel = Make("Wheel", 1);
  DesEntity* frame = Make("Frame", 1);
  DesEntity* rim = Make("Rim", 0);
  ASSERT_TRUE(Combine(box, wheel));
  ASSERT_TRUE(Combine(box, frame));
  ASSERT_TRUE(Combine(box, rim, false, false));
  // Frame < Rim < Wheel: the first member of sequence 1 is the frame.
  EXPECT_EQ(box->FindSeqSubEntity(1), frame);
  EXPECT_EQ(Split(box, 1), frame);
  EXPECT_EQ(box->FindSeqSubEntity(1), wheel);

  std::vector<std::string> ids = {"kept"};
  box->PeekAllSeqSubEntityIds(ids);
  EXPECT_EQ(ids, std::vector<std::string>({"kept", rim->GetId(), wheel->GetId()}));
  // Sequence 0 members are the ones FindEntity sees.
  EXPECT_EQ(box->FindEntity("Rim"), rim);
  EXPECT_EQ(box->FindEntity("Wheel"), nullptr);
}

TEST_F(CompositeTest, MembersReadFromAStructureAreFoundByTypeButNotBySequence) {
  hvArray* tray = entity_test::Entity("Tray", List({{"w", "double", Scalar(1)}}));
  Define("Pallet", List({{"Tray", "Entity", tray}}), true);
  DesEntity* pallet = Make("Pallet", 0);
  EXPECT_EQ(Catch([&] { pallet->FindSeqSubEntity(0); }).code,
            static_cast<uint32_t>(DES_EntityNoSplit));
  DesEntity* member = pallet->FindEntity("Tray");
  ASSERT_NE(member, nullptr);
  // A type that exists only as a member: the registry finds the template's.
  DesEntity* templateMember = registry->FindEntity("Pallet")->FindEntity("Tray");
  ASSERT_NE(templateMember, nullptr);
  EXPECT_EQ(registry->FindEntity("Tray"), templateMember);
  // Deeper than the type's lookup level (1), the members are not searched.
  const uint32_t saved = DesEntity::lookupLevel;
  DesEntity::lookupLevel = 2;
  EXPECT_EQ(pallet->FindEntity("Tray"), nullptr);
  DesEntity::lookupLevel = saved;

  // Once an entity is combined in, the pallet is a composite.
  ASSERT_TRUE(Combine(pallet, Make("Wheel", 3)));
  EXPECT_EQ(pallet->GetHasSubEntity(), 1u);
  EXPECT_EQ(pallet->FindSeqSubEntity(0), member);
  EXPECT_EQ(Split(pallet, 3)->GetName(), "Wheel");
}

// ---------------------------------------------------------------- ids and copies

TEST_F(CompositeTest, AssignIdRenumbersEveryMemberAndKeepsTheCarriersIdRight) {
  DesEntity* outer = Make("Box", 0);
  DesEntity* inner = Make("Crate", 1);
  DesEntity* wheel = Make("Wheel", 1);
  DesEntity* frame = Make("Frame", 2);
  ASSERT_TRUE(Combine(inner, wheel, false, false));
  ASSERT_TRUE(Combine(outer, inner, false, false));
  ASSERT_TRUE(Combine(outer, frame, false, false));
  DesEvent* ev = Carry(outer);
  EXPECT_EQ(wheel->GetCarrierEvent(), ev);

  DesEntity::InitIds();
  outer->AssignId();
  // Set order (Crate before Frame), depth first.
  EXPECT_EQ(outer->GetId(), "en1");
  EXPECT_EQ(inner->GetId(), "en2");
  EXPECT_EQ(wheel->GetId(), "en3");
  EXPECT_EQ(frame->GetId(), "en4");
  EXPECT_EQ(ev->GetEntityId(), "en1");
  // An id given directly renumbers the members without touching the
  // event, which carries the composite, not its members.
  outer->AssignId("mine");
  EXPECT_EQ(inner->GetId(), "en5");
  EXPECT_EQ(ev->GetEntityId(), "en1");
  // A block that put a member on an event of its own sees it renumbered.
  DesEvent* memberEvent = new DesEvent(2.0, 0, block, nullptr);
  memberEvent->SetEntity(wheel);
  outer->AssignId();
  EXPECT_EQ(memberEvent->GetEntityId(), wheel->GetId());
  EXPECT_EQ(memberEvent->ReleaseEntity(), wheel);
  delete memberEvent;
  delete ev;
}

TEST_F(CompositeTest, ACopyOfACompositeSharesWithItsOwnMembers) {
  DesEntity* box = Make("Box", 0);
  DesEntity* wheel = Make("Wheel", 1);
  Start(wheel, "T");
  ASSERT_TRUE(Combine(box, wheel));
  DesEntity* copy = box->clone(false);
  owned.push_back(copy);
  DesEntity* copiedWheel = copy->FindSeqSubEntity(1);
  ASSERT_NE(copiedWheel, nullptr);
  ASSERT_NE(copiedWheel, wheel);
  EXPECT_EQ(Attr(copy, "Size"), Attr(copiedWheel, "Size"));
  EXPECT_NE(Attr(copy, "Size"), Attr(wheel, "Size"));
  EXPECT_EQ(Timer(copy, "T"), Timer(copiedWheel, "T"));

  copy->WriteToAttribute(block, "Size", 3.5);
  EXPECT_EQ(Number(copiedWheel, "Size"), 3.5);
  EXPECT_EQ(Number(wheel, "Size"), 2.0);
  EXPECT_EQ(Split(copy, 1), copiedWheel);
  EXPECT_TRUE(copy->GetAttributeSet().empty());
  EXPECT_TRUE(copy->GetTimerSet().empty());
  EXPECT_EQ(Number(copiedWheel, "Size"), 3.5);
}

TEST_F(CompositeTest, ARecycledCompositeOverwrittenFromAnotherSharesWithItsMembers) {
  Define("Cart", Empty(), false);
  DesEntity* cart = Make("Cart", 0);
  ASSERT_TRUE(Combine(cart, Make("Wheel", 1)));
  DesEntity* first = cart->clone(false);
  first->destroy();
  // The recycled cart is overwritten from this one, member by member.
  DesEntity* second = cart->clone(false);
  owned.push_back(second);
  ASSERT_EQ(second, first);
  DesEntity* member = second->FindSeqSubEntity(1);
  ASSERT_NE(member, nullptr);
  EXPECT_EQ(Attr(second, "Size"), Attr(member, "Size"));
  EXPECT_NE(Attr(second, "Size"), Attr(cart, "Size"));
}

}  // namespace
