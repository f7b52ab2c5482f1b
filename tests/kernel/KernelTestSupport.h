// Shared pieces of the kernel tests: blocks, fixtures, type lists, error catchers.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "host/HostControl.h"
#include "kernel/Des.h"
#include "kernel/DesEvent.h"
#include "kernel/EventCalendar.h"
#include "kernel/EventCalendarTypes.h"
#include "kernel/NodeInterface.h"
#include "support/DesExcept.h"
#include "support/MessageCatalogue.h"
#include "support/PMMallocError.h"

const double kNever = std::numeric_limits<double>::infinity();

template <class List>
struct AsGTestTypes;
template <template <class...> class List, class... Cs>
struct AsGTestTypes<List<Cs...>> {
  typedef ::testing::Types<Cs...> type;
};
typedef AsGTestTypes<AllEventCalendarTypes>::type CalendarTypes;

// Records every event it executes, then runs `onEvent`.
class RecordingBlock : public NodeInterface {
 public:
  explicit RecordingBlock(Des* engine) { SetDesInstance(engine); }
  MSGRespEvent DoProcessEvent(DesEvent* e) override {
    executed.push_back(e);
    if (onEvent) onEvent(e);
    return MSGRespEvent();
  }
  std::vector<DesEvent*> executed;
  std::function<void(DesEvent*)> onEvent;
};

class DetachedBlock : public NodeInterface {};  // belongs to no engine

// An event whose destruction is observable.
struct CountingEvent : DesEvent {
  CountingEvent(double t, int p, NodeInterface* dst, int* counter) : DesEvent(t, p, dst, nullptr), destroyed(counter) {}
  ~CountingEvent() override { ++*destroyed; }
  int* destroyed;
};

// An engine with its pools; events from Make() die with the test.
class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    engine.Initialize();
    block = new RecordingBlock(&engine);
  }
  void TearDown() override {
    for (DesEvent* e : owned) delete e;
    delete block;
    engine.Terminate();
  }
  DesEvent* Make(double t, int p) { return *owned.insert(new DesEvent(t, p, block, nullptr)).first; }

  Des engine;
  RecordingBlock* block = nullptr;
  std::set<DesEvent*> owned;
};

// A calendar of type C on the fixture's engine; only TerminateCalendar destroys events.
template <class C>
class CalendarTest : public EngineTest {
 protected:
  static const bool kRandomized = C::kHandling == EVENT_HDL_RANDOMIZED;
  static const bool kIndexedHeap = C::kStorage == EVENT_STORAGE_INDEXED_HEAP;

  void SetUp() override {
    EngineTest::SetUp();
    calendar = new C(1000000, &engine);
    calendar->InitCalendar(7);
  }
  void TearDown() override {
    host::failAllocationsFrom(0);
    delete calendar;
    EngineTest::TearDown();
  }
  DesEvent* Add(double t, int p) {
    DesEvent* e = Make(t, p);
    calendar->AddEvt(e);
    return e;
  }
  std::size_t Waiting() const { return calendar->GetCurrentEvents()->size() + calendar->GetFutureEvents()->Size(); }
  void Run(double t) { calendar->ExecuteEvents(t, true); }
  std::vector<DesEvent*>& Executed() { return block->executed; }

  C* calendar = nullptr;
};

// What f threw (deleted): code (0 for nothing), texts and first handle.
const uint32_t kMemoryError = 0xFFFFFFFFu;
struct ThrownError {
  uint32_t code = 0;
  std::vector<std::string> args;
  void* object = nullptr;
};
template <class F>
ThrownError CatchError(F&& f) {
  ThrownError t;
  try {
    f();
  } catch (ErrExcept* e) {
    t.code = e->getErrCode();
    for (unsigned i = 0; i < 8 && e->getString(i) != nullptr; ++i) t.args.push_back(e->getString(i));
    if (e->objectCount() > 0) t.object = e->object(0);
    delete e;
  } catch (PMMallocError* e) {
    t.code = kMemoryError;
    delete e;
  }
  return t;
}
template <class F>
uint32_t ErrorCode(F&& f) {
  return CatchError(f).code;
}

// The message of the one warning f raises.
template <class F>
std::string WarningOf(F&& f) {
  host::clearWarnings();
  f();
  const std::size_t n = host::warnings().size();
  return n == 1 ? host::warnings()[0].message : std::to_string(n) + " warnings";
}
