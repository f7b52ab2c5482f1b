// Entity timers: starting, reading and stopping against the engine's clock,
// the already-started warning, copies, assignment and clones, ordering by
// tag, the timer pool, and reading timers that cannot reach a clock.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "entity/RCPtr.h"
#include "entity/pmallocator.h"
#include "host/HostControl.h"
#include "kernel/Des.h"
#include "kernel/NodeInterface.h"
#include "kernel/TimerData.h"
#include "support/DesExcept.h"
#include "support/MessageCatalogue.h"

namespace {

// A block of the model with a name, belonging to an engine (or to none).
class NamedBlock : public NodeInterface {
 public:
  NamedBlock(Des* engine, const char* name) : name(name) {
    if (engine != nullptr) SetDesInstance(engine);
  }
  const char* GetBlkParentName() const override { return name; }

 private:
  const char* name;
};

// What a call threw: code (0 when nothing) and the first argument.
struct Thrown {
  uint32_t code = 0;
  std::string arg0;
};

template <class F>
Thrown Catch(F&& f) {
  Thrown t;
  try {
    f();
  } catch (DesExcept* e) {
    t.code = e->getErrCode();
    t.arg0 = e->getString(0) != nullptr ? e->getString(0) : "(null)";
    delete e;
  }
  return t;
}

// An engine with a running calendar whose clock the tests set, and the timer
// pool. The engine may create the timer pool itself; the fixture makes one
// only when it did not, after Initialize, so that no timer ever lives in a
// pool that is replaced under it.
class TimerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::reset();
    Des::InitMsgContext();
    engine.Initialize();
    if (TimerData::memPool == nullptr) {
      TimerData::newMemPool(4, 2.0);
      ownPool = true;
    }
    engine.StartCalendar(0, 0, 0, 0, 1000);
    start = new NamedBlock(&engine, "model/Start Timer");
    read = new NamedBlock(&engine, "model/Read Timer");
  }
  void TearDown() override {
    delete start;
    delete read;
    if (ownPool) TimerData::deleteMemPool();
    engine.Terminate();
    // Registered for the warning texts only; leaving it registered until the
    // process ends would unregister it after the host's tables are gone.
    UnregisterMessageCatalogue();
    host::reset();
  }
  void At(double t) { engine.SetTimeNow(t); }

  Des engine;
  NamedBlock* start = nullptr;
  NamedBlock* read = nullptr;
  bool ownPool = false;
};

}  // namespace

// ---------------------------------------------------------------- starting and reading

TEST_F(TimerTest, NewTimerIsUnstarted) {
  RCPtr<TimerData> t = new TimerData("tag");
  EXPECT_FALSE(t->GetIsSet());
  EXPECT_FALSE(t->GetIsWarned());
  EXPECT_EQ(t->GetStartTime(), 0.0);
  EXPECT_EQ(t->GetBlock(), nullptr);
  RCPtr<TimerData> unnamed = new TimerData(static_cast<const char*>(nullptr));
  EXPECT_EQ(unnamed->GetName(), "");
}

TEST_F(TimerTest, ElapsedTimeRunsFromTheStartEvenAfterAReset) {
  RCPtr<TimerData> t = new TimerData("t1");
  At(2.0);
  t->SetTimer(engine.GetTimeNow(), start);
  EXPECT_TRUE(t->GetIsSet());
  EXPECT_EQ(t->GetStartTime(), 2.0);
  EXPECT_EQ(t->GetBlock(), start);

  At(5.0);
  EXPECT_EQ(t->GetLapsedTime(), 3.0);
  EXPECT_TRUE(t->GetIsSet());
  EXPECT_EQ(t->GetLapsedTimeAndReset(123.0), 3.0);
  EXPECT_FALSE(t->GetIsSet());

  // The flag is not consulted: the timer still measures from its start.
  At(6.0);
  EXPECT_EQ(t->GetLapsedTime(), 4.0);
}

TEST_F(TimerTest, ResetStopsButKeepsStartAndBlock) {
  RCPtr<TimerData> t = new TimerData("t1");
  At(1.5);
  t->SetTimer(1.5, start);
  t->ResetTimer(99.0);
  EXPECT_FALSE(t->GetIsSet());
  EXPECT_EQ(t->GetStartTime(), 1.5);
  EXPECT_EQ(t->GetBlock(), start);

  // Restarting takes the new time and block.
  At(4.0);
  t->SetTimer(4.0, read);
  EXPECT_TRUE(t->GetIsSet());
  EXPECT_EQ(t->GetBlock(), read);
  At(4.25);
  EXPECT_EQ(t->GetLapsedTime(), 0.25);
}

TEST_F(TimerTest, AlreadyStartedIsAWarningThatChangesNothing) {
  RCPtr<TimerData> t = new TimerData("busy");
  t->SetTimer(3.0, start);
  t->ProcessError(read, "busy");

  const std::vector<host::Warning>& w = host::warnings();
  ASSERT_EQ(w.size(), 1u);
  EXPECT_EQ(w[0].prefix, "Tarnwell:");
  EXPECT_EQ(w[0].code, DES_TimerAlreadyStarted);
  ASSERT_GE(w[0].args.size(), 2u);
  EXPECT_EQ(w[0].args[0], "model/Read Timer");
  EXPECT_EQ(w[0].args[1], "busy");
  EXPECT_EQ(w[0].message,
            "Warning in 'model/Read Timer' block. Timer with tag 'busy' is already started. "
            "Select restart timer option to restart this timer.");

  EXPECT_TRUE(t->GetIsSet());
  EXPECT_EQ(t->GetStartTime(), 3.0);
  EXPECT_EQ(t->GetBlock(), start);
  EXPECT_FALSE(t->GetIsWarned());
}

// ---------------------------------------------------------------- copies

TEST_F(TimerTest, CopyConstructionTakesEverythingButTheWarnedFlag) {
  TimerData source("src");
  source.SetTimer(2.0, start);
  source.SetIsWarned(true);
  TimerData copy(source);
  EXPECT_EQ(copy.GetName(), "src");
  EXPECT_TRUE(copy.GetIsSet());
  EXPECT_EQ(copy.GetStartTime(), 2.0);
  EXPECT_EQ(copy.GetBlock(), start);
  EXPECT_FALSE(copy.GetIsWarned());
  EXPECT_EQ(copy.GetRefCount(), 0);
}

TEST_F(TimerTest, AssignmentAndCopyTakeNameFlagStartAndBlock) {
  RCPtr<TimerData> source = new TimerData("src");
  source->SetTimer(2.0, start);
  source->SetIsWarned(true);
  RCPtr<TimerData> target = new TimerData("dst");
  RCPtr<TimerData> secondHolder = target;
  target->SetTimer(7.0, read);
  target->ResetTimer(0.0);

  *target = *source;
  EXPECT_EQ(target->GetName(), "src");
  EXPECT_TRUE(target->GetIsSet());
  EXPECT_EQ(target->GetStartTime(), 2.0);
  EXPECT_EQ(target->GetBlock(), start);
  EXPECT_FALSE(target->GetIsWarned()) << "the warned flag stays the target's own";
  EXPECT_EQ(target->GetRefCount(), 2);
  EXPECT_EQ(source->GetRefCount(), 1);

  // Assigning an unset timer clears the flag again.
  source->ResetTimer(0.0);
  *target = *source;
  EXPECT_FALSE(target->GetIsSet());

  TimerData& self = *target;
  self = *target;
  EXPECT_EQ(target->GetName(), "src");

  // copy is the same through a pointer; a null source changes nothing.
  source->SetTimer(8.0, read);
  target->copy(source.get());
  EXPECT_TRUE(target->GetIsSet());
  EXPECT_EQ(target->GetStartTime(), 8.0);
  EXPECT_EQ(target->GetBlock(), read);
  target->copy(nullptr);
  target->copy(target.get());
  EXPECT_EQ(target->GetStartTime(), 8.0);
}

TEST_F(TimerTest, CloneIsAnIndependentPooledCopy) {
  RCPtr<TimerData> source = new TimerData("src");
  At(2.0);
  source->SetTimer(2.0, start);
  source->SetIsWarned(true);

  RCPtr<TimerData> clone = source->clone();
  EXPECT_NE(clone.get(), source.get());
  EXPECT_EQ(clone->GetRefCount(), 1);
  EXPECT_EQ(clone->GetName(), "src");
  EXPECT_TRUE(clone->GetIsSet());
  EXPECT_FALSE(clone->GetIsWarned());
  At(3.5);
  EXPECT_EQ(clone->GetLapsedTime(), 1.5);

  clone->ResetTimer(0.0);
  clone->SetName("other");
  EXPECT_TRUE(source->GetIsSet());
  EXPECT_EQ(source->GetName(), "src");
}

// ---------------------------------------------------------------- order and pool

TEST_F(TimerTest, TimersAreOrderedByTagByteWise) {
  pmset<RCPtr<TimerData>, less_ptr<RCPtr<TimerData>>> timers;
  for (const char* tag : {"b", "B", "a", "\xC3\xA9"}) timers.insert(new TimerData(tag));
  std::vector<std::string> tags;
  for (const RCPtr<TimerData>& t : timers) tags.push_back(t->GetName());
  EXPECT_EQ(tags, std::vector<std::string>({"B", "a", "b", "\xC3\xA9"}));

  // A probe of the same tag finds the filed timer.
  RCPtr<TimerData> probe = new TimerData("a");
  auto it = timers.find(probe);
  ASSERT_NE(it, timers.end());
  EXPECT_NE(it->get(), probe.get());
}

TEST_F(TimerTest, TimersComeFromTheirPool) {
  ASSERT_NE(TimerData::memPool, nullptr);
  // The engine's registry already holds timers, so the pool is not fresh:
  // what holds is that it grows by whole chunks, each twice the last.
  const std::size_t chunks = TimerData::memPool->ChunksMade();
  const std::size_t slots = TimerData::memPool->ChunkSlotCount();
  std::vector<RCPtr<TimerData>> held;
  while (TimerData::memPool->ChunksMade() == chunks) held.push_back(new TimerData("t"));
  EXPECT_EQ(TimerData::memPool->ChunkSlotCount(), 2 * slots);
  held.push_back(new TimerData("t"));
  held.push_back(new TimerData("t"));

  // The last timer released is the next one served.
  TimerData* freed = held[2].get();
  held[2] = nullptr;
  RCPtr<TimerData> clone = held[0]->clone();
  EXPECT_EQ(clone.get(), freed);

  // An owner that holds a timer by plain pointer deletes it into the pool.
  TimerData* local = new TimerData("local");
  delete local;
  RCPtr<TimerData> reused = new TimerData("next");
  EXPECT_EQ(static_cast<void*>(reused.get()), static_cast<void*>(local));
}

// ---------------------------------------------------------------- no clock to read

TEST_F(TimerTest, ReadingANeverStartedTimerIsAnErrorNotACrash) {
  RCPtr<TimerData> t = new TimerData("never");
  Thrown thrown = Catch([&] { t->GetLapsedTime(); });
  EXPECT_EQ(thrown.code, DES_GenericInternalErr);
  EXPECT_EQ(thrown.arg0, "timer 'never' was read before it was ever started");

  // Marked as set by hand, but never given a block: the failed read leaves
  // the flag alone.
  t->SetIsSet(true);
  thrown = Catch([&] { t->GetLapsedTimeAndReset(0.0); });
  EXPECT_EQ(thrown.code, DES_GenericInternalErr);
  EXPECT_TRUE(t->GetIsSet());
}

TEST_F(TimerTest, ABlockWithoutEngineCannotBeReadThrough) {
  NamedBlock detached(nullptr, "orphan");
  RCPtr<TimerData> t = new TimerData("t");
  t->SetTimer(1.0, &detached);
  Thrown thrown = Catch([&] { t->GetLapsedTime(); });
  EXPECT_EQ(thrown.code, DES_GenericInternalErr);
  EXPECT_EQ(thrown.arg0, "invalid des pointer");
  thrown = Catch([&] { t->GetLapsedTimeAndReset(0.0); });
  EXPECT_EQ(thrown.code, DES_GenericInternalErr);
  EXPECT_TRUE(t->GetIsSet()) << "a failed read-and-stop leaves the timer running";
}
