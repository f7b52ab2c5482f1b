// The example blocks in small models of their own: ordering and capacity
// of the queue, blocking, servers fed from attributes, timeouts without a
// timeout port, and the refusals of the combiner and the splitter, each
// ending in a clean termination.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "blocks/Combiner.h"
#include "blocks/EntityGenerator.h"
#include "blocks/Queue.h"
#include "blocks/Server.h"
#include "blocks/Sink.h"
#include "blocks/Splitter.h"
#include "host/HostControl.h"
#include "host/ModelDriver.h"
#include "tarnwell.h"

namespace {

// Host memory in use between runs. The attribute type names are filed once
// per process, by the first engine; they are made here first so that a
// comparison sees only what a run leaves behind.
std::size_t HostBlocksOutsideARun() {
  DesEntity::createTypeMap();
  return host::liveAllocations();
}

DriverConfig Config(double endTime) {
  DriverConfig c;
  c.modelName = "m";
  c.endTime = endTime;
  return c;
}

EntityTypeDescription Job() {
  EntityTypeDescription job("Job");
  job.With("Serial", "int", 0).With("Priority", "double", 0).With("Work", "double", 3);
  return job;
}

// The blocks of a line: a generator feeding a queue in front of a server,
// whose entities end in a sink.
struct Line {
  EntityGenerator* gen;
  Queue* queue;
  Server* server;
  Sink* sink;
};

// Adds the blocks of a line to `driver` as "Gen", "Queue", "Server" and
// "Sink", and connects them.
Line AddLine(ModelDriver& driver, std::unique_ptr<EntityGenerator> gen, std::unique_ptr<Queue> queue,
             std::unique_ptr<Server> server) {
  Line line;
  line.gen = driver.Add("Gen", std::move(gen));
  line.queue = driver.Add("Queue", std::move(queue));
  line.server = driver.Add("Server", std::move(server));
  line.sink = driver.Add("Sink", std::make_unique<Sink>());
  line.gen->Connect(0, line.queue);
  line.queue->Connect(0, line.server);
  line.server->Connect(0, line.sink);
  return line;
}

TEST(Blocks, APriorityQueueServesTheSmallestAttributeFirst) {
  ModelDriver driver(Config(100));
  const Line line = AddLine(driver, std::make_unique<EntityGenerator>(Job(), Distribution::Fixed(0.1)),
                            std::make_unique<Queue>(), std::make_unique<Server>(1, Distribution::Fixed(5)));
  line.gen->SetSerialAttribute("Serial");
  line.gen->AddAttributeRule("Priority", Distribution::Between(0, 100));
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
  for (std::size_t i = 2; i < priorities.size(); ++i) EXPECT_LE(priorities[i - 1], priorities[i]);
}

TEST(Blocks, AFullQueueHoldsUpTheGeneratorUntilThereIsRoom) {
  ModelDriver driver(Config(100.5));
  const Line line = AddLine(driver, std::make_unique<EntityGenerator>(Job(), Distribution::Fixed(1)),
                            std::make_unique<Queue>(2), std::make_unique<Server>(1, Distribution::Fixed(10)));
  const RunReport r = driver.Run();
  ASSERT_FALSE(r.failed);
  // Service ends at 11, 21, ..., 91: nine jobs done; one in service, two
  // waiting and one held by the generator, which makes no more meanwhile.
  EXPECT_EQ(line.sink->Count(), 9u);
  EXPECT_EQ(line.gen->Generated(), 13u);
  std::vector<std::pair<std::string, std::size_t>> held;
  for (const BlockHolding& h : r.holdings) held.emplace_back(h.path, h.entities);
  EXPECT_EQ(held, (std::vector<std::pair<std::string, std::size_t>>{
                      {"m/Gen", 1}, {"m/Queue", 2}, {"m/Server", 1}}));
  EXPECT_FALSE(r.stalled);
}

TEST(Blocks, KServersTakeTheirServiceTimeFromAnAttribute) {
  ModelDriver driver(Config(1000));
  const Line line = AddLine(driver, std::make_unique<EntityGenerator>(Job(), Distribution::Fixed(1)),
                            std::make_unique<Queue>(), std::make_unique<Server>(3, std::string("Work")));
  const RunReport r = driver.Run();
  ASSERT_FALSE(r.failed);
  // Every job takes exactly 3 on one of three servers: no one waits, and
  // after the first three units all servers are always busy.
  EXPECT_EQ(line.queue->AverageLength(), 0.0);
  EXPECT_NEAR(line.server->Utilisation(), 1.0, 0.005);
  EXPECT_EQ(line.sink->Count(), 997u);
}

TEST(Blocks, ATimeoutWithoutATimeoutPortIsAnErrorNamingTheQueue) {
  const std::size_t before = HostBlocksOutsideARun();
  {
    ModelDriver driver(Config(100));
    const Line line = AddLine(driver, std::make_unique<EntityGenerator>(Job(), Distribution::Fixed(1)),
                              std::make_unique<Queue>(), std::make_unique<Server>(1, Distribution::Fixed(10)));
    line.queue->SetPatience(Distribution::Fixed(2));
    const RunReport r = driver.Run();
    ASSERT_TRUE(r.failed);
    EXPECT_EQ(r.identifier, "VORTANE:DES_StorageBlock_TO_port_DISABLED");
    EXPECT_NE(r.diagnostic.find("Error in 'm/Queue' block: An entity has timed out"), std::string::npos)
        << r.diagnostic;
    EXPECT_EQ(r.timeReached, 4.0);  // the job of t = 2 gave up at 4
  }
  EXPECT_EQ(host::liveAllocations(), before);
}

TEST(Blocks, TheSplitterRefusesAnEntityThatIsNoComposite) {
  ModelDriver driver(Config(10));
  auto* gen = driver.Add("Gen", std::make_unique<EntityGenerator>(Job(), Distribution::Fixed(1)));
  auto* split = driver.Add("Split", std::make_unique<Splitter>(2));
  auto* sink = driver.Add("Sink", std::make_unique<Sink>());
  gen->Connect(0, split);
  split->Connect(0, sink);
  split->Connect(1, sink);
  const RunReport r = driver.Run();
  ASSERT_TRUE(r.failed);
  EXPECT_EQ(r.identifier, "VORTANE:DES_EntityNoSplit");
  EXPECT_EQ(r.timeReached, 1.0);
}

TEST(Blocks, TheCombinerRefusesPartsThatShareAnAttributeName) {
  const std::size_t before = HostBlocksOutsideARun();
  {
    ModelDriver driver(Config(10));
    EntityTypeDescription other("Other");
    other.With("Serial", "int", 0);  // Job has a Serial too
    auto* a = driver.Add("A", std::make_unique<EntityGenerator>(Job(), Distribution::Fixed(1)));
    auto* b = driver.Add("B", std::make_unique<EntityGenerator>(other, Distribution::Fixed(1)));
    auto* combine = driver.Add("Assemble", std::make_unique<Combiner>(2, "Pair"));
    auto* sink = driver.Add("Sink", std::make_unique<Sink>());
    a->Connect(0, combine, 0);
    b->Connect(0, combine, 1);
    combine->Connect(0, sink);
    const RunReport r = driver.Run();
    ASSERT_TRUE(r.failed);
    EXPECT_EQ(r.identifier, "VORTANE:DES_DuplicateAttribNameInEntity");
    EXPECT_NE(r.diagnostic.find("Block: m/Assemble"), std::string::npos) << r.diagnostic;
    EXPECT_EQ(sink->Count(), 0u);
  }
  EXPECT_EQ(host::liveAllocations(), before);
}

}  // namespace
