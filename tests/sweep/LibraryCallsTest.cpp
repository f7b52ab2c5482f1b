// The engine's own calls under a single failure of the global operator new
// at every point in turn: whatever runs out (a long timer tag or attribute
// name copied into a string, a text attribute, a timeout's tag, a
// definition, a calendar, a container in the event loop), the caller sees the library's memory error and never a bare
// std::bad_alloc, and the engine still terminates cleanly afterwards.
#include <gtest/gtest.h>

#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "entity/DesData.h"
#include "entity/DesEntity.h"
#include "entity/EntityDef.h"
#include "entity/EntityList.h"
#include "host/HostControl.h"
#include "kernel/Des.h"
#include "kernel/DesEvent.h"
#include "kernel/NodeInterface.h"
#include "support/MessageCatalogue.h"
#include "support/PMException.h"
#include "tests/entity/EntityTestSupport.h"
#include "tests/sweep/FailingNew.h"

#ifdef TARNWELL_SANITIZED_BUILD
#include <sanitizer/lsan_interface.h>
#endif

namespace {

using entity_test::Element;

const char kType[] = "CustomerWithALongTypeName";
const char kAttribute[] = "an attribute with a long name";
const char kTag[] = "a timer tag longer than a short string";

// Copies the entity it is handed, with its timers, and starts a timer on
// the copy: the copying a block does in a handler.
class CopyingBlock : public entity_test::TestBlock {
 public:
  using TestBlock::TestBlock;
  MSGRespEvent DoProcessEvent(DesEvent* e) override {
    // A handler that throws leaves its event to the block to release.
    failed = e;
    DesEntity* copy = e->GetEntity()->clone(false);
    copies.push_back(copy);
    copy->FindOrCreateTimer(this, kTag)->SetTimer(1.0, this);
    copy->WriteToAttribute(this, kAttribute, 3.0);
    failed = nullptr;
    return MSGRespEvent();
  }
  std::vector<DesEntity*> copies;
  DesEvent* failed = nullptr;
};

// One run of the engine: types, entities, timers, attributes, events.
void UseTheEngine(Des& engine, CopyingBlock& block, std::vector<DesEntity*>& owned) {
  engine.Initialize();
  engine.Start();
  engine.StartCalendar(0, 0, 0, 0, 1000000);
  EntityList* registry = engine.GetEntityList();
  hvArray* structure = entity_test::Entity(
      kType, entity_test::List({Element{kAttribute, "double", entity_test::Scalar(1.0)},
                                Element{"a second attribute, also long", "int", entity_test::Scalar(2.0)},
                                Element{"a text attribute", "string",
                                        hvCreateString("a default text longer than a short string")}}));
  DesEntity* typeTemplate = nullptr;
  try {
    RCPtr<EntityDef> type(new EntityDef(registry, kType, nullptr, false, true, 1));
    typeTemplate = new DesEntity(registry, type, structure, false, 0, true);
  } catch (...) {
    hvDestroyArray(structure);
    throw;
  }
  hvDestroyArray(structure);
  registry->AdoptTemplate(typeTemplate);
  DesEntity* customer = registry->CloneEntity(kType, false);
  owned.push_back(customer);
  customer->FindOrCreateTimer(&block, kTag)->SetTimer(0.0, &block);
  customer->WriteToAttribute(&block, kAttribute, 2.0);
  DesEntity* carried = customer->clone(false);
  owned.push_back(carried);
  DesEvent* event = new DesEvent(1.0, 0, &block, carried);
  owned.pop_back();  // the event has it now
  try {
    // Status texts and captured values are copied with the event.
    event->SetStatus(std::string(40, 's'));
    event->SetDataUponSchedule(DesData(3.0));
    delete event->cloneTemp();
    engine.AddEvt(event);
  } catch (...) {
    delete event;
    throw;
  }
  engine.ProcessTimeoutDataAddition(carried->CreateTimeout(kTag, 5.0, 0, &block, event, 0));
  engine.ExecuteEvents(1.0, 1.0, true);
}

TEST(LibraryCalls, RunningOutOfTheGeneralAllocatorIsTheLibrarysMemoryError) {
  host::reset();
  Des::InitMsgContext();
  DesEntity::createTypeMap();
  std::size_t points = 0;
#ifdef TARNWELL_SANITIZED_BUILD
  // What a failure leaves behind when the engine is driven directly, with
  // no block framework to release what the blocks held, is not what this
  // test is about; the model sweeps check that nothing leaks.
  __lsan::ScopedDisabler notLeakChecked;
#endif
  for (std::size_t n = 1;; ++n) {
    Des engine;
    CopyingBlock block(&engine);
    std::vector<DesEntity*> owned;
    bool bareBadAlloc = false, memoryError = false;
    failing_new::FailCall(n, "libtarnwell.so");
    try {
      UseTheEngine(engine, block, owned);
    } catch (PMException* e) {
      memoryError = true;
      delete e;
    } catch (const std::bad_alloc&) {
      bareBadAlloc = true;
    }
    failing_new::FailCall(0);
    for (DesEntity* e : owned) e->destroy();
    for (DesEntity* e : block.copies) e->destroy();
    delete block.failed;
    engine.Terminate();
    if (!failing_new::Fired()) {
      EXPECT_FALSE(memoryError) << "point " << n;
      break;
    }
    ++points;
    EXPECT_FALSE(bareBadAlloc) << "point " << n << ": std::bad_alloc left the library";
  }
  std::printf("single operator new failures in the engine's own calls: %zu points\n", points);
  EXPECT_GT(points, 10u);  // the scenario reaches the general allocator at all
  UnregisterMessageCatalogue();
  host::reset();
}

}  // namespace
