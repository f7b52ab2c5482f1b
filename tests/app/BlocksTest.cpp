// The example blocks in small models of their own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "blocks/Combiner.h"
#include "blocks/EntityGenerator.h"
#include "blocks/Queue.h"
#include "blocks/Server.h"
#include "blocks/Sink.h"
#include "blocks/Splitter.h"
#include "blocks/Tally.h"
#include "host/HostControl.h"
#include "model/ModelDriver.h"
#include "tarnwell.h"

namespace {

EntityTypeDescription Job() {
  EntityTypeDescription job("Job");
  job.With("Serial", "int", 0).With("Priority", "double", 0).With("Work", "double", 3);
  return job;
}

// "Gen" (a job every `interval`) -> "Queue" (`capacity`) -> "Server" -> "Sink".
struct Line {
  EntityGenerator* gen;
  Queue* queue;
  Server* server;
  Sink* sink;
};

Line AddLine(ModelDriver& driver, double interval, std::size_t capacity, std::unique_ptr<Server> server) {
  const Line line{driver.Add("Gen", std::make_unique<EntityGenerator>(Job(), Distribution::Fixed(interval))),
                  driver.Add("Queue", std::make_unique<Queue>(capacity)),
                  driver.Add("Server", std::move(server)), driver.Add("Sink", std::make_unique<Sink>())};
  line.gen->Connect(0, line.queue);
  line.queue->Connect(0, line.server);
  line.server->Connect(0, line.sink);
  return line;
}

TEST(Blocks, APriorityQueueServesTheSmallestAttributeFirst) {
  ModelDriver driver(DriverConfig{"m", 100});
  const Line line =
      AddLine(driver, 0.1, Queue::kInfinite, std::make_unique<Server>(1, Distribution::Fixed(5)));
  line.gen->SetSerialAttribute("Serial");
  line.gen->AddAttributeRule("Priority", Distribution::Uniform(0, 100));
  line.gen->SetLimit(8);
  line.queue->SetPriorityAttribute("Priority");
  std::vector<double> priorities;
  line.sink->SetObserver([&](const Sink& s, DesEntity& e, double) {
    priorities.push_back(e.ReadNumberFromAttribute(const_cast<Sink*>(&s), "Priority"));
  });
  const RunReport r = driver.Run();
  ASSERT_FALSE(r.failed) << r.diagnostic;
  ASSERT_EQ(priorities.size(), 8u);
  // The first job found the server free; the seven others waited together.
  EXPECT_TRUE(std::is_sorted(priorities.begin() + 1, priorities.end()));
}

TEST(Blocks, AFullQueueHoldsUpTheGeneratorUntilThereIsRoom) {
  ModelDriver driver(DriverConfig{"m", 100.5});
  const Line line = AddLine(driver, 1, 2, std::make_unique<Server>(1, Distribution::Fixed(10)));
  const RunReport r = driver.Run();
  ASSERT_FALSE(r.failed);
  // Done at 11, 21, ..., 91; the generator holds one job and makes no more meanwhile.
  EXPECT_EQ(line.sink->Count(), 9u);
  EXPECT_EQ(line.gen->Generated(), 13u);
  using Held = std::vector<std::pair<std::string, std::size_t>>;
  Held held;
  for (const BlockHolding& h : r.holdings) held.emplace_back(h.path, h.entities);
  EXPECT_EQ(held, (Held{{"m/Gen", 1}, {"m/Queue", 2}, {"m/Server", 1}}));
  EXPECT_FALSE(r.stalled);
}

TEST(Blocks, KServersTakeTheirServiceTimeFromAnAttribute) {
  ModelDriver driver(DriverConfig{"m", 1000});
  const Line line = AddLine(driver, 1, Queue::kInfinite, std::make_unique<Server>(3, std::string("Work")));
  ASSERT_FALSE(driver.Run().failed);
  // Each job takes 3 on one of three servers: no one waits, all servers stay busy.
  EXPECT_EQ(line.queue->AverageLength(), 0.0);
  EXPECT_NEAR(line.server->Utilisation(), 1.0, 0.005);
  EXPECT_EQ(line.sink->Count(), 997u);
}

// Expects the model to fail at `time` with `text` and leave nothing behind
// (the type map is filed once per process, so it is made first).
void ExpectRefusal(const std::function<void(ModelDriver&)>& build, const std::string& identifier,
                   const std::string& text, double time) {
  DesEntity::createTypeMap();
  const std::size_t before = host::liveAllocations();
  {
    ModelDriver driver(DriverConfig{"m", 100});
    build(driver);
    const RunReport r = driver.Run();
    ASSERT_TRUE(r.failed) << identifier;
    EXPECT_EQ(r.identifier, "VORTANE:" + identifier);
    EXPECT_NE(r.diagnostic.find(text), std::string::npos) << r.diagnostic;
    EXPECT_EQ(r.timeReached, time) << identifier;
  }
  EXPECT_EQ(Des::number_of_instances, 0u);
  EXPECT_EQ(host::liveAllocations(), before) << identifier;
}

TEST(Blocks, RefusalsEndTheRunWithTheDiagnosticAndACleanEngine) {
  // A queue without a timeout port: the job of t = 2 gave up at 4.
  ExpectRefusal([](ModelDriver& driver) {
    AddLine(driver, 1, Queue::kInfinite, std::make_unique<Server>(1, Distribution::Fixed(10)))
        .queue->SetPatience(Distribution::Fixed(2));
  }, "DES_StorageBlock_TO_port_DISABLED", "Error in 'm/Queue' block: An entity has timed out", 4);

  ExpectRefusal([](ModelDriver& driver) {
    AddLine(driver, 1, Queue::kInfinite, std::make_unique<Server>(1, Distribution::Fixed(10)))
        .queue->SetPriorityAttribute("Missing");
  }, "DES_AttrNotFound", "Error in 'm/Queue' block. Current entity does not contain attribute 'Missing'.\n"
     "Identifier: VORTANE:DES_AttrNotFound\nBlock: m/Queue\n", 1);

  ExpectRefusal([](ModelDriver& driver) {
    auto* gen = driver.Add("Gen", std::make_unique<EntityGenerator>(Job(), Distribution::Fixed(1)));
    auto* split = driver.Add("Split", std::make_unique<Splitter>(2));
    auto* sink = driver.Add("Sink", std::make_unique<Sink>());
    gen->Connect(0, split);
    split->Connect(0, sink);
    split->Connect(1, sink);
  }, "DES_EntityNoSplit", "is not a composite entity and cannot be split", 1);

  // Parts that share an attribute name (both have a Serial).
  ExpectRefusal([](ModelDriver& driver) {
    EntityTypeDescription other("Other");
    other.With("Serial", "int", 0);
    auto* a = driver.Add("A", std::make_unique<EntityGenerator>(Job(), Distribution::Fixed(1)));
    auto* b = driver.Add("B", std::make_unique<EntityGenerator>(other, Distribution::Fixed(1)));
    auto* combine = driver.Add("Assemble", std::make_unique<Combiner>(2, "Pair"));
    a->Connect(0, combine, 0);
    b->Connect(0, combine, 1);
    combine->Connect(0, driver.Add("Sink", std::make_unique<Sink>()));
  }, "DES_DuplicateAttribNameInEntity", "Block: m/Assemble", 1);
}

}  // namespace

namespace {

// Exponential values with mean 1 from a fixed linear congruential stream.
std::vector<double> ExponentialSample(std::size_t n) {
  std::vector<double> values;
  uint64_t state = 12345;
  for (std::size_t i = 0; i < n; ++i) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    const double u = (static_cast<double>(state >> 11) + 0.5) / 9007199254740992.0;
    values.push_back(-std::log(u));
  }
  return values;
}

}  // namespace

TEST(Tally, SmallSamplesAreExactAndLargeOnesEstimatedInConstantMemory) {
  Tally small;
  for (double v : {5.0, 1.0, 3.0, 2.0, 4.0}) small.Add(v);
  EXPECT_EQ(small.Quantile(0.5), 3.0);
  EXPECT_DOUBLE_EQ(small.Quantile(0.95), 4.8);  // interpolated between order statistics
  EXPECT_EQ(small.Mean(), 3.0);

  // Past the values kept, the estimates of an exponential's median (ln 2)
  // and 95th percentile (ln 20) are close; keeping every value is exact.
  const std::vector<double> sample = ExponentialSample(200000);
  Tally streaming, exact;
  exact.KeepAll(sample.size());
  for (double v : sample) {
    streaming.Add(v);
    exact.Add(v);
  }
  EXPECT_EQ(streaming.Count(), sample.size());
  EXPECT_NEAR(streaming.Mean(), exact.Mean(), 1e-9);
  EXPECT_NEAR(streaming.Quantile(0.5), std::log(2.0), 0.02);
  EXPECT_NEAR(streaming.Quantile(0.95), std::log(20.0), 0.05);
  EXPECT_NEAR(streaming.Quantile(0.5), exact.Quantile(0.5), 0.02);
  EXPECT_NEAR(streaming.Quantile(0.95), exact.Quantile(0.95), 0.05);
  std::vector<double> sorted = sample;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_DOUBLE_EQ(exact.Quantile(1.0), sorted.back());
}
