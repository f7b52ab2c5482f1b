// Modelling mistakes: each is found and named (block by its model path,
// port by its number) before the run or refused during it, and the engine
// always ends cleanly.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "blocks/EntityGenerator.h"
#include "blocks/Queue.h"
#include "blocks/Server.h"
#include "blocks/Sink.h"
#include "host/HostControl.h"
#include "model/ModelDriver.h"
#include "tarnwell.h"

namespace {

EntityTypeDescription Job() {
  EntityTypeDescription job("Job");
  job.With("Serial", "int", 0);
  return job;
}

EntityGenerator* Jobs(ModelDriver& driver, uint64_t limit = 0) {
  auto* gen = driver.Add("Gen", std::make_unique<EntityGenerator>(Job(), Distribution::Fixed(1)));
  gen->SetLimit(limit);
  return gen;
}

// Passes every entity on at once, through output 0, without asking first.
class Pusher : public ModelBlock {
 public:
  Pusher() : ModelBlock(1, 1) { arrive.BindTo(this, &Pusher::Arrive, "Arrive"); }

 protected:
  bool CanAccept(int) const override { return true; }
  DesEventFunctor* ArrivalHandler(int) override { return &arrive; }

 private:
  MSGRespEvent Arrive(DesEvent* e) {
    TakeArrival(e, 0);
    Send(0, e);
    return MSGRespEvent();
  }
  DesEventFunctor arrive;
};

// Takes its arrivals until the n-th, which makes it throw `thrown`.
class Thrower : public ModelBlock {
 public:
  Thrower(int n, std::function<void()> thrown) : ModelBlock(1, 0), n(n), thrown(std::move(thrown)) {
    arrive.BindTo(this, &Thrower::Arrive, "Arrive");
  }

 protected:
  bool CanAccept(int) const override { return true; }
  DesEventFunctor* ArrivalHandler(int) override { return &arrive; }

 private:
  MSGRespEvent Arrive(DesEvent* e) {
    if (--n == 0) thrown();
    TakeArrival(e, 0);
    Release(e);
    return MSGRespEvent();
  }
  int n;
  std::function<void()> thrown;
  DesEventFunctor arrive;
};

// Forgets to take its arrivals.
class Forgetful : public ModelBlock {
 public:
  Forgetful() : ModelBlock(1, 1) { arrive.BindTo(this, &Forgetful::Arrive, "Arrive"); }

 protected:
  bool CanAccept(int) const override { return PendingArrivals(0) == 0; }
  DesEventFunctor* ArrivalHandler(int) override { return &arrive; }

 private:
  MSGRespEvent Arrive(DesEvent*) { return MSGRespEvent(); }
  DesEventFunctor arrive;
};

// Runs the model `build` makes; afterwards nothing of it is left.
RunReport RunAndCleanUp(const std::function<void(ModelDriver&)>& build) {
  DesEntity::createTypeMap();  // filed once per process: made before counting
  const std::size_t before = host::liveAllocations();
  RunReport report;
  {
    ModelDriver driver(DriverConfig{"m", 100});
    build(driver);
    report = driver.Run();
  }
  EXPECT_EQ(Des::number_of_instances, 0u);
  EXPECT_EQ(host::liveAllocations(), before);
  return report;
}

TEST(ModelCheck, EachMistakeIsOneMessageNamingTheBlockAndThePort) {
  const struct {
    const char* what;
    std::function<void(ModelDriver&)> build;
    std::vector<std::string> mistakes;
  } cases[] = {
      {"a port beyond the block's outputs",
       [](ModelDriver& d) {
         auto* q = d.Add("Queue", std::make_unique<Queue>());
         Jobs(d)->Connect(0, q);
         q->Connect(0, d.Add("Sink", std::make_unique<Sink>()));
         q->Connect(2, d.Add("Other", std::make_unique<Sink>()));
       },
       {"'m/Queue' has no output 2 (its outputs: 0 to 1)."}},
      {"a port beyond the receiver's inputs",
       [](ModelDriver& d) { Jobs(d)->Connect(0, d.Add("Sink", std::make_unique<Sink>()), 1); },
       {"Output 0 of 'm/Gen' is connected to input 1 of 'm/Sink', which has no such input (its inputs: 0)."}},
      {"an output left unconnected",
       [](ModelDriver& d) { Jobs(d)->Connect(0, d.Add("Queue", std::make_unique<Queue>())); },
       {"Output 0 of 'm/Queue' is not connected: an entity leaving through it would wait there for ever."}},
      {"a block connected but never added",
       [](ModelDriver& d) {
         static Sink stray;  // outlives the driver, as a forgotten block would
         Jobs(d)->Connect(0, &stray);
       },
       {"Output 0 of 'm/Gen' is connected to a block that was never added to the model (ModelDriver::Add)."}},
      {"two blocks with one name",
       [](ModelDriver& d) {
         auto* gen = Jobs(d);
         gen->Connect(0, d.Add("Sink", std::make_unique<Sink>()));
         d.Add("Sink", std::make_unique<Sink>());
       },
       {"Two blocks are named 'm/Sink': every block of a model needs a name of its own."}},
      {"several at once, all of them",
       [](ModelDriver& d) {
         auto* q = d.Add("Queue", std::make_unique<Queue>());
         Jobs(d)->Connect(0, q, 3);
         d.Add("Queue", std::make_unique<Server>(1, Distribution::Fixed(1)));
       },
       {"Two blocks are named 'm/Queue': every block of a model needs a name of its own.",
        "Output 0 of 'm/Queue' is not connected: an entity leaving through it would wait there for ever.",
        "Output 0 of 'm/Gen' is connected to input 3 of 'm/Queue', which has no such input (its inputs: 0).",
        "Output 0 of 'm/Queue' is not connected: an entity leaving through it would wait there for ever."}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const RunReport r = RunAndCleanUp(c.build);
    EXPECT_TRUE(r.failed);
    EXPECT_EQ(r.mistakes, c.mistakes);
    EXPECT_EQ(r.eventsExecuted, 0u) << "nothing ran";
  }
}

TEST(ModelCheck, AQueueMayLeaveItsTimeoutPortOpen) {
  ModelDriver driver(DriverConfig{"m", 10});
  auto* q = driver.Add("Queue", std::make_unique<Queue>());
  Jobs(driver)->Connect(0, q);
  q->Connect(Queue::kOut, driver.Add("Sink", std::make_unique<Sink>()));
  EXPECT_TRUE(driver.Check().empty());
}

TEST(ModelRefusals, EachEndsTheRunWithAMessageNamingTheBlocksAndTheTime) {
  const struct {
    const char* what;
    std::function<void(ModelDriver&)> build;
    const char* identifier;
    const char* diagnostic;
    double time;
  } cases[] = {
      {"sending into a full queue without asking",
       [](ModelDriver& d) {
         // Server busy from 1 to 11; the queue holds the job of t = 2, so
         // the job of t = 3 finds it full.
         auto* push = d.Add("Pusher", std::make_unique<Pusher>());
         auto* q = d.Add("Queue", std::make_unique<Queue>(1));
         auto* s = d.Add("Server", std::make_unique<Server>(1, Distribution::Fixed(10)));
         Jobs(d)->Connect(0, push);
         push->Connect(0, q);
         q->Connect(0, s);
         s->Connect(0, d.Add("Sink", std::make_unique<Sink>()));
       },
       "model:NoRoom",
       "'m/Pusher' sent an entity through output 0 to 'm/Queue' (input 0), which has no room for it: a "
       "block asks CanSend before it sends, and keeps the entity while the answer is no.\n"
       "Identifier: model:NoRoom\n",
       3},
      {"a std::exception in a handler",
       [](ModelDriver& d) {
         Jobs(d)->Connect(0, d.Add("Thrower", std::make_unique<Thrower>(
                                                  2, [] { throw std::runtime_error("no such recipe"); })));
       },
       "model:HandlerFailed",
       "The handler 'Arrive' of 'm/Thrower' failed at t = 2: no such recipe\nIdentifier: model:HandlerFailed\n", 2},
      {"an exception of another kind in a handler",
       [](ModelDriver& d) {
         Jobs(d)->Connect(0, d.Add("Thrower", std::make_unique<Thrower>(4, [] { throw 42; })));
       },
       "model:HandlerFailed",
       "The handler 'Arrive' of 'm/Thrower' failed at t = 4 with an exception that is not a std::exception.\n"
       "Identifier: model:HandlerFailed\n",
       4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const RunReport r = RunAndCleanUp(c.build);
    EXPECT_TRUE(r.failed);
    EXPECT_TRUE(r.mistakes.empty());
    EXPECT_EQ(r.identifier, c.identifier);
    EXPECT_EQ(r.diagnostic, c.diagnostic);
    EXPECT_EQ(r.timeReached, c.time);
  }
}

TEST(ModelRefusals, AnArrivalNeverTakenStallsTheModelWithTheReason) {
  const RunReport r = RunAndCleanUp([](ModelDriver& d) {
    auto* forgetful = d.Add("Forgetful", std::make_unique<Forgetful>());
    Jobs(d)->Connect(0, forgetful);
    forgetful->Connect(0, d.Add("Sink", std::make_unique<Sink>()));
  });
  EXPECT_FALSE(r.failed);
  EXPECT_TRUE(r.stalled);
  ASSERT_EQ(r.holdings.size(), 2u);
  EXPECT_EQ(r.holdings[1].path, "m/Gen");
  EXPECT_EQ(r.holdings[1].reason, "");
  EXPECT_EQ(r.holdings[0].path, "m/Forgetful");
  EXPECT_EQ(r.holdings[0].reason,
            "'m/Forgetful' never took 1 of its arrivals: its arrival handler returned without calling "
            "TakeArrival, so the senders wait for room that never comes.");
}

}  // namespace
