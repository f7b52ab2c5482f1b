// Shared pieces of the kernel tests: a recording block, an engine fixture
// that owns the shared pools for the duration of a test, and the calendar
// type list as GoogleTest types.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "kernel/Des.h"
#include "kernel/DesEvent.h"
#include "kernel/EventCalendar.h"
#include "kernel/EventCalendarTypes.h"
#include "kernel/NodeInterface.h"
#include "support/DesExcept.h"
#include "support/PMMallocError.h"

template <class List>
struct AsGTestTypes;
template <class... Cs>
struct AsGTestTypes<EventCalendarTypeList<Cs...>> {
  typedef ::testing::Types<Cs...> type;
};
typedef AsGTestTypes<AllEventCalendarTypes>::type CalendarTypes;

struct CalendarTypeNames {
  template <class T>
  static std::string GetName(int) {
    return std::string(T::kHandling == EVENT_HDL_DETERMINISTIC ? "Deterministic" : "Randomized") +
           "Storage" + std::to_string(static_cast<int>(T::kStorage));
  }
};

// Records every event it executes and runs an optional action for each.
class RecordingBlock : public NodeInterface {
 public:
  explicit RecordingBlock(Des* engine) { SetDesInstance(engine); }
  MSGRespEvent DoProcessEvent(DesEvent* e) override {
    executed.push_back(e);
    times.push_back(e->GetTime());
    if (onEvent) onEvent(e);
    return MSGRespEvent();
  }
  std::vector<DesEvent*> executed;
  std::vector<double> times;
  std::function<void(DesEvent*)> onEvent;
};

// A block that belongs to no engine.
class DetachedBlock : public NodeInterface {};

// An event whose destruction is observable.
class CountingEvent : public DesEvent {
 public:
  CountingEvent(double t, int p, NodeInterface* dst, int* counter)
      : DesEvent(t, p, dst, nullptr), destroyed(counter) {}
  ~CountingEvent() override { ++*destroyed; }

 private:
  int* destroyed;
};

// An engine with its pools; events made through Make() are destroyed at the
// end of the test unless the test hands them over with Forget().
class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    engine.Initialize();
    block = new RecordingBlock(&engine);
  }
  void TearDown() override {
    for (DesEvent* e : owned) delete e;
    owned.clear();
    delete block;
    engine.Terminate();
  }

  DesEvent* Make(double t, int p) {
    DesEvent* e = new DesEvent(t, p, block, nullptr);
    owned.insert(e);
    return e;
  }
  void Forget(DesEvent* e) { owned.erase(e); }

  static std::vector<std::string> Ids(const std::vector<DesEvent*>& events) {
    std::vector<std::string> ids;
    for (DesEvent* e : events) ids.push_back(e->GetId());
    return ids;
  }

  Des engine;
  RecordingBlock* block = nullptr;
  std::set<DesEvent*> owned;
};

// A calendar of type C, initialised, on the fixture's engine. The calendar
// itself never destroys the test's events (only TerminateCalendar would).
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
    delete calendar;
    EngineTest::TearDown();
  }

  // Adds a fresh event; returns it.
  DesEvent* Add(double t, int p) {
    DesEvent* e = Make(t, p);
    calendar->AddEvt(e);
    return e;
  }
  std::size_t Waiting() const {
    return calendar->GetCurrentEvents()->size() + calendar->GetFutureEvents()->Size();
  }

  C* calendar = nullptr;
};

// Catches a thrown library error pointer, returns its code and deletes it;
// 0 when nothing was thrown.
template <class F>
uint32_t CodeOfThrown(F&& f, std::vector<std::string>* args = nullptr) {
  try {
    f();
  } catch (ErrExcept* e) {
    const uint32_t code = e->getErrCode();
    if (args != nullptr)
      for (unsigned i = 0; i < 8 && e->getString(i) != nullptr; ++i) args->push_back(e->getString(i));
    delete e;
    return code;
  }
  return 0;
}

// True when f throws the memory error (which is then deleted).
template <class F>
bool ThrowsMemoryError(F&& f) {
  try {
    f();
  } catch (PMMallocError* e) {
    delete e;
    return true;
  }
  return false;
}
