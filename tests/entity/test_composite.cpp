// Composite entities: combining with shared attributes and timers, refused
// combines leaving both sides intact, finding and splitting by sequence,
// member ids and carrier events, copies of composites.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kernel/TimeoutData.h"
#include "tests/entity/EntityTestSupport.h"

namespace {

using namespace entity_test;

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

  DesEntity* Make(const char* type, uint32_t seq, const char* timer = nullptr) {
    DesEntity* e = Clone(type);
    e->SetSequence(seq);
    if (timer != nullptr) e->FindOrCreateTimer(block, timer)->SetTimer(0.0, block);
    return e;
  }
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
  Attribute* Attr(const DesEntity* e, const char* n) { return e->FindAttrClass(block, n).get(); }
  TimerData* Timer(const DesEntity* e, const char* t) {
    return e->FindTimer(block, t, false).get();
  }
  // Attribute names, timers, members, level, member flag and carrier.
  static std::string State(const DesEntity* e) {
    std::string s;
    for (const RCPtr<Attribute>& a : e->GetAttributeSet()) s += a->GetName() + " ";
    for (const RCPtr<TimerData>& t : e->GetTimerSet()) s += "timer " + t->GetName() + " ";
    return s + "members " + std::to_string(e->GetEntitySet()->size()) + " level " +
           std::to_string(e->GetHasSubEntity()) + (e->GetIsSubEntity() ? " member" : "") +
           (e->GetCarrierEvent() != nullptr ? " carried" : "");
  }
  static std::string State(const DesEntity* a, const DesEntity* b) {
    return State(a) + " / " + State(b);
  }
};

TEST_F(CompositeTest, CombiningSharesTheMembersAttributesAndTimers) {
  DesEntity* box = Make("Box", 0);
  DesEntity* wheel = Make("Wheel", 1, "T");
  ASSERT_TRUE(Combine(box, wheel));
  EXPECT_TRUE(wheel->GetIsSubEntity());
  EXPECT_EQ(State(box), "Colour Size timer T members 1 level 1");
  EXPECT_EQ((std::vector<const void*>{Attr(box, "Size"), Attr(box, "Colour"), Timer(box, "T")}),
            (std::vector<const void*>{Attr(wheel, "Size"), Attr(wheel, "Colour"),
                                      Timer(wheel, "T")}));
  box->WriteToAttribute(block, "Size", 7.5);
  wheel->WriteToAttribute(block, "Colour", 4);
  EXPECT_EQ((std::vector<double>{Number(wheel, "Size"), Number(box, "Colour")}),
            (std::vector<double>{7.5, 4}));

  // A second member of the same type and sequence is refused whole, without an error.
  DesEntity* twin = Make("Wheel", 1);
  const std::string before = State(box, twin);
  EXPECT_FALSE(Combine(box, twin));
  EXPECT_EQ(State(box, twin), before);
  EXPECT_EQ(box->FindSeqSubEntity(1), wheel);
  twin->SetSequence(2);
  EXPECT_TRUE(Combine(box, twin, false, false)) << "another sequence: a second member";

  DesEntity* bare = Make("Box", 0);  // without the flags nothing is shared
  ASSERT_TRUE(Combine(bare, Make("Wheel", 1, "T"), false, false));
  EXPECT_EQ(State(bare), "members 1 level 1");
}

// An attribute marked not existing is an empty slot the member's attribute
// takes (so writes reach the member).
TEST_F(CompositeTest, NotExistingAttributesGiveWayAndNestedLevelsRise) {
  DesEntity* crate = Make("Crate", 1);
  Attr(crate, "Colour")->SetExists(false);
  Attr(crate, "Size")->SetExists(false);
  DesEntity* wheel = Make("Wheel", 1);
  ASSERT_TRUE(Combine(crate, wheel));
  crate->WriteToAttribute(block, "Colour", 6);
  EXPECT_EQ(Number(wheel, "Colour"), 6.0);
  DesEntity* rim = Make("Rim", 2);
  Attr(rim, "Size")->SetExists(false);
  EXPECT_TRUE(Combine(crate, rim));
  EXPECT_EQ(Attr(crate, "Size"), Attr(wheel, "Size"));
  EXPECT_EQ(Attr(crate, "Alpha"), Attr(rim, "Alpha"));

  // A deeper newcomer raises the composite's level to its own.
  DesEntity* outer = Make("Box", 0);
  crate->SetHasSubEntity(3);
  ASSERT_TRUE(Combine(outer, crate));
  EXPECT_EQ(outer->GetHasSubEntity(), 3u);
  outer->WriteToAttribute(block, "Size", 11.0);
  EXPECT_EQ(Number(wheel, "Size"), 11.0);
}

TEST_F(CompositeTest, MembersTravelOnTheCompositesEventWithTheirTimeouts) {
  DesEntity* box = Make("Box", 0);
  DesEvent* boxEvent = Carry(box);
  DesEntity* wheel = Make("Wheel", 1);
  DesEvent* wheelEvent = Carry(wheel);
  TimeoutData* td = wheel->CreateTimeout("TO", 5.0, 0, block, wheelEvent, 1);
  engine->ProcessTimeoutDataAddition(td);
  ASSERT_EQ(wheelEvent->ReleaseEntity(), wheel);
  delete wheelEvent;
  // Firing reaches the block that holds the composite; AssignId must not
  // reach the event that is gone.
  ASSERT_TRUE(Combine(box, wheel));
  box->AssignId();
  EXPECT_EQ(wheel->GetCarrierEvent(), boxEvent);
  EXPECT_EQ(td->GetEventPtrWithParentEntity(), boxEvent);
  EXPECT_EQ(boxEvent->GetEntityId(), box->GetId());
  ASSERT_EQ(Split(box, 1), wheel);
  EXPECT_EQ((std::vector<const void*>{wheel->GetCarrierEvent(), td->GetEventPtrWithParentEntity(),
                                      wheel->FindTimeout(block, "TO", false)}),
            (std::vector<const void*>{nullptr, nullptr, td}));
  EXPECT_FALSE(td->IsCancelled());
  delete boxEvent;
}

// A clash of attributes or timers refuses the whole combine; neither side changes.
TEST_F(CompositeTest, ADuplicateAttributeOrTimerIsRefusedAndChangesNothing) {
  const struct {
    const char* type;
    const char* timer;
    uint32_t code;
    const char* clash;
  } rows[] = {{"Rim", "R", DES_DuplicateAttribNameInEntity, "Size"},
              {"Frame", "T", DES_DuplicateTimerTagInEntity, "T"}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.type);
    DesEntity* box = Make("Box", 0);
    DesEvent* boxEvent = Carry(box);
    ASSERT_TRUE(Combine(box, Make("Wheel", 1, "T")));
    DesEntity* newcomer = Make(r.type, 2, "A");
    newcomer->FindOrCreateTimer(block, r.timer);
    const std::string before = State(box, newcomer);
    Thrown t = Catch([&] { box->InsertSeqEntities(block, newcomer, true, true); });
    EXPECT_EQ(Err(t), Error(r.code, {r.clash}));
    EXPECT_EQ(t.objects, std::vector<void*>({block}));
    EXPECT_EQ(State(box, newcomer), before);
    if (r.code == DES_DuplicateTimerTagInEntity) {
      EXPECT_TRUE(Combine(box, newcomer, true, false)) << "without timers it is welcome";
    }
    delete boxEvent;
  }
}

TEST_F(CompositeTest, SplittingNonCompositesNoEntityAndCyclesAreRefused) {
  DesEntity* wheel = Make("Wheel", 1);
  std::vector<std::string> ids;
  for (Thrown t : {Catch([&] { wheel->FindSeqSubEntity(1); }),
                   Catch([&] { wheel->RemoveSeqSubEntity(1); }),
                   Catch([&] { wheel->PeekAllSeqSubEntityIds(ids); })}) {
    EXPECT_EQ(Err(t), Error(DES_EntityNoSplit, {"Wheel"}));
    EXPECT_TRUE(t.objects.empty());
  }

  DesEntity* outer = Make("Box", 0);
  DesEntity* inner = Make("Crate", 1);
  ASSERT_TRUE(Combine(outer, inner, false, false));
  const std::string before = State(outer, inner);
  DesEntity* none = nullptr;
  for (Thrown t : {Catch([&] { outer->InsertSeqEntities(block, none, true, true); }),
                   Catch([&] { outer->InsertSeqEntities(block, outer, true, true); }),
                   Catch([&] { inner->InsertSeqEntities(block, outer, true, true); })}) {
    EXPECT_EQ(t.code, static_cast<uint32_t>(DES_GenericInternalErr));
    EXPECT_EQ(t.args.size(), 1u);
  }
  EXPECT_EQ(State(outer, inner), before);
}

TEST_F(CompositeTest, RunningOutOfMemoryWhileCombiningChangesNothing) {
  DesEntity* box = Make("Box", 0);
  ASSERT_TRUE(Combine(box, Make("Frame", 2)));
  DesEntity* wheel = Make("Wheel", 1, "T");
  const std::string before = State(box, wheel);
  bool inserted = false;
  const std::size_t failures =
      SweepAllocationFailures([&] { inserted = box->InsertSeqEntities(block, wheel, true, true); },
                              [&] { EXPECT_EQ(State(box, wheel), before); });
  EXPECT_EQ(failures, 4u) << "one set node for the member, two attributes, one timer";
  ASSERT_TRUE(inserted);
  Forget(wheel);
}

// Splitting takes away only what composite and member share; the member
// leaves with the values and keeps its member flag (its new owner clears it).
TEST_F(CompositeTest, SplittingTakesTheSharedObjectsAlongWithTheirValues) {
  DesEntity* box = Make("Box", 0);
  DesEntity* wheel = Make("Wheel", 1, "T");
  ASSERT_TRUE(Combine(box, wheel));
  ASSERT_TRUE(Combine(box, Make("Frame", 2)));
  box->WriteToAttribute(block, "Size", 42.0);
  EXPECT_EQ(box->RemoveSeqSubEntity(7), nullptr) << "an unknown sequence changes nothing";
  EXPECT_EQ(Split(box, 1), wheel);
  EXPECT_EQ(State(box), "Weight members 1 level 1");
  EXPECT_EQ(Number(wheel, "Size"), 42.0);
  EXPECT_TRUE(Timer(wheel, "T") != nullptr && wheel->GetIsSubEntity());
  ASSERT_NE(Split(box, 2), nullptr);
  EXPECT_EQ(State(box), "members 0 level 0") << "the last split ends the composite";
  EXPECT_EQ(Catch([&] { box->RemoveSeqSubEntity(2); }).code, DES_EntityNoSplit);

  // Not shared: the crate's own attributes and timer stay.
  DesEntity* crate = Make("Crate", 0, "T");
  DesEntity* other = Make("Wheel", 1, "T");
  ASSERT_TRUE(Combine(crate, other, false, false));
  crate->WriteToAttribute(block, "Size", 5.0);
  ASSERT_EQ(Split(crate, 1), other);
  EXPECT_EQ(State(crate), "Colour Size timer T members 0 level 0");
  EXPECT_EQ((std::vector<double>{Number(crate, "Size"), Number(other, "Size")}),
            (std::vector<double>{5, 2}));
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
  Define("Pallet", List({{"Tray", "Entity", Entity("Tray", List({{"w", "double", Scalar(1)}}))}}),
         true);
  DesEntity* pallet = Make("Pallet", 0);
  EXPECT_EQ(Catch([&] { pallet->FindSeqSubEntity(0); }).code, DES_EntityNoSplit);
  DesEntity* member = pallet->FindEntity("Tray");
  ASSERT_NE(member, nullptr);
  // A type that exists only as a member: the registry finds the template's.
  EXPECT_EQ(registry->FindEntity("Tray"), registry->FindEntity("Pallet")->FindEntity("Tray"));
  EXPECT_EQ(Number(Clone("Tray"), "w"), 1.0);
  // Deeper than the type's lookup level (1), the members are not searched.
  const uint32_t saved = DesEntity::lookupLevel;
  DesEntity::lookupLevel = 2;
  EXPECT_EQ(pallet->FindEntity("Tray"), nullptr);
  DesEntity::lookupLevel = saved;
  ASSERT_TRUE(Combine(pallet, Make("Wheel", 3)));  // now a composite
  EXPECT_EQ(pallet->FindSeqSubEntity(0), member);
  EXPECT_EQ(Split(pallet, 3)->GetName(), "Wheel");
}

TEST_F(CompositeTest, AssignIdRenumbersEveryMemberAndKeepsTheCarriersIdRight) {
  DesEntity* outer = Make("Box", 0);
  DesEntity* inner = Make("Crate", 1);
  DesEntity* wheel = Make("Wheel", 1);
  DesEntity* frame = Make("Frame", 2);
  ASSERT_TRUE(Combine(inner, wheel, false, false));
  ASSERT_TRUE(Combine(outer, inner, false, false));
  ASSERT_TRUE(Combine(outer, frame, false, false));
  DesEvent* ev = Carry(outer);
  auto ids = [&] {
    return Args{outer->GetId(), inner->GetId(), wheel->GetId(), frame->GetId(), ev->GetEntityId()};
  };
  DesEntity::InitIds();
  outer->AssignId();
  // Set order (Crate before Frame), depth first.
  EXPECT_EQ(ids(), (Args{"en1", "en2", "en3", "en4", "en1"}));
  // A given id renumbers the members, not the event, which carries the composite.
  outer->AssignId("mine");
  EXPECT_EQ(ids(), (Args{"mine", "en5", "en6", "en7", "en1"}));
  // A block that put a member on an event of its own sees it renumbered.
  DesEvent* memberEvent = new DesEvent(2.0, 0, block, nullptr);
  memberEvent->SetEntity(wheel);
  outer->AssignId();
  EXPECT_EQ(memberEvent->GetEntityId(), wheel->GetId());
  EXPECT_EQ(memberEvent->ReleaseEntity(), wheel);
  delete memberEvent;
  delete ev;
}

// Copies of a composite (also a recycled one overwritten) share with their own members only.
TEST_F(CompositeTest, CopiesOfACompositeShareWithTheirOwnMembers) {
  Define("Cart", Empty(), false);
  DesEntity* cart = Make("Cart", 0);
  DesEntity* wheel = Make("Wheel", 1, "T");
  ASSERT_TRUE(Combine(cart, wheel));
  DesEntity* copy = cart->clone(false);
  owned.push_back(copy);
  DesEntity* copiedWheel = copy->FindSeqSubEntity(1);
  ASSERT_TRUE(copiedWheel != nullptr && copiedWheel != wheel);
  EXPECT_EQ(Timer(copy, "T"), Timer(copiedWheel, "T"));
  copy->WriteToAttribute(block, "Size", 3.5);
  EXPECT_EQ((std::vector<double>{Number(copiedWheel, "Size"), Number(wheel, "Size")}),
            (std::vector<double>{3.5, 2}));

  // The recycled copy is overwritten from the cart, member by member.
  Forget(copy);
  copy->destroy();
  DesEntity* second = cart->clone(false);
  owned.push_back(second);
  ASSERT_EQ(second, copy);
  DesEntity* member = second->FindSeqSubEntity(1);
  ASSERT_NE(member, nullptr);
  EXPECT_EQ(Timer(second, "T"), Timer(member, "T"));
  second->WriteToAttribute(block, "Size", 6.5);
  EXPECT_EQ(Number(cart, "Size"), 2.0);
  EXPECT_EQ(Split(second, 1), member);
  EXPECT_EQ(State(second), "members 0 level 0");
  EXPECT_EQ(Number(member, "Size"), 6.5);
}

}  // namespace
