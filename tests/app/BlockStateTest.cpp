// What the example blocks tell the debugger about themselves (their
// answers to the state query), read at the end of short runs whose every
// time is fixed, and what they log.
#include <gtest/gtest.h>

#include <algorithm>
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
#include "blocks/StartTimer.h"
#include "host/HostControl.h"
#include "host/HostInternal.h"
#include "model/ModelDriver.h"
#include "tarnwell.h"

namespace {

EntityTypeDescription Job(const char* name = "Job") {
  EntityTypeDescription job(name);
  job.With("Serial", "int", 0).With("Priority", "double", 0);
  return job;
}

EntityGenerator* Gen(ModelDriver& d, const std::string& name, double interval, const char* type = "Job") {
  return d.Add(name, std::make_unique<EntityGenerator>(Job(type), Distribution::Fixed(interval)));
}

// A state as lines: the block's own lines, then "id: about" per entity.
std::string StateText(BlockStateResult* state) {
  if (state == nullptr) return "<no state>";
  std::string text;
  hvArray* lines = state->GetBlockDataAsHvArray();
  hvArray* table = state->GetEntityTableAsHvArray();
  delete state;
  for (std::size_t i = 0; i < hvGetNumberOfElements(lines); ++i)
    text += host::detail::arrayText(hvGetCell(lines, i)) + "\n";
  const std::size_t fields = hvGetM(table);
  for (std::size_t e = 0; e < hvGetN(table); ++e) {
    for (std::size_t f = 0; f < fields; ++f)
      text += host::detail::arrayText(hvGetCell(table, e * fields + f)) + (f + 1 < fields ? ": " : "\n");
  }
  hvDestroyArray(lines);
  hvDestroyArray(table);
  return text;
}

struct StateCase {
  const char* what;
  double endTime;
  // Builds the model; returns the block whose state is read.
  std::function<ModelBlock*(ModelDriver&)> build;
  std::string expected;
};

// Gen (a job every second) -> Queue -> Server (10 each) -> Sink: at 3.5,
// en1 is in service, en2 and en3 wait.
ModelBlock* QueueLine(ModelDriver& d, const char* inspect, std::size_t capacity = Queue::kInfinite) {
  EntityGenerator* gen = Gen(d, "Gen", 1);
  Queue* queue = d.Add("Queue", std::make_unique<Queue>(capacity));
  Server* server = d.Add("Server", std::make_unique<Server>(1, Distribution::Fixed(10)));
  Sink* sink = d.Add("Sink", std::make_unique<Sink>());
  gen->Connect(0, queue);
  queue->Connect(0, server);
  server->Connect(0, sink);
  const std::string name = inspect;
  if (name == "Gen") return gen;
  if (name == "Queue") return queue;
  if (name == "Server") return server;
  return sink;
}

TEST(BlockState, EachBlockReportsWhatItHolds) {
  const std::vector<StateCase> cases = {
      {"a queue: its entities in order, with their arrival times", 3.5,
       [](ModelDriver& d) { return QueueLine(d, "Queue"); },
       "length 2 of unlimited, first in first out\nen2: arrived at 2\nen3: arrived at 3\n"},
      {"a server: the entities in service and their completion times", 3.5,
       [](ModelDriver& d) { return QueueLine(d, "Server"); }, "busy 1 of 1 servers, completed 0\nen1: in service until 11\n"},
      {"a generator: the next arrival", 3.5, [](ModelDriver& d) { return QueueLine(d, "Gen"); },
       "generated 3\nnext arrival at 4\n"},
      {"a generator held up by a full queue: the entity it made", 4.5,
       [](ModelDriver& d) { return QueueLine(d, "Gen", 2); },
       "generated 4\nblocked: the next block has no room for the entity made\nen4: waiting for room downstream\n"},
      {"a queue with priorities and patience", 3.5,
       [](ModelDriver& d) {
         auto* q = static_cast<Queue*>(QueueLine(d, "Queue", 5));
         q->SetPriorityAttribute("Priority");
         q->SetPatience(Distribution::Fixed(100));
         return q;
       },
       "length 2 of 5, smallest Priority first\ntimed out so far 0\nen2: arrived at 2, Priority = 0\n"
       "en3: arrived at 3, Priority = 0\n"},
      {"a sink: how many it took", 3.5,
       [](ModelDriver& d) {
         EntityGenerator* gen = Gen(d, "Gen", 1);
         Sink* sink = d.Add("Sink", std::make_unique<Sink>());
         gen->Connect(0, sink);
         return sink;
       },
       "took 3 entities, the last at 3\n"},
      {"a pass-through block: the entity the next block cannot take", 3.5,
       [](ModelDriver& d) {
         EntityGenerator* gen = Gen(d, "Gen", 1);
         auto* timer = d.Add("Timer", std::make_unique<StartTimer>("T"));
         Server* server = d.Add("Server", std::make_unique<Server>(1, Distribution::Fixed(10)));
         Sink* sink = d.Add("Sink", std::make_unique<Sink>());
         gen->Connect(0, timer);
         timer->Connect(0, server);
         server->Connect(0, sink);
         return timer;
       },
       "en2: waiting for room downstream\n"},
      {"a combiner: the entity waiting for its partner", 1.5,
       [](ModelDriver& d) {
         EntityGenerator* a = Gen(d, "A", 1, "Frame");
         EntityGenerator* b = Gen(d, "B", 5, "Panel");
         auto* combine = d.Add("Combine", std::make_unique<Combiner>(2, "Pair"));
         Sink* sink = d.Add("Sink", std::make_unique<Sink>());
         a->Connect(0, combine, 0);
         b->Connect(0, combine, 1);
         combine->Connect(0, sink);
         return combine;
       },
       "combined 0\nen1: waiting at input 0 for its partners\n"},
  };
  for (const StateCase& c : cases) {
    DriverConfig config;
    config.modelName = "m";
    config.endTime = c.endTime;
    ModelDriver driver(config);
    ModelBlock* block = c.build(driver);
    std::string state;
    // The last progress call comes before anything is released.
    const RunReport report = driver.Run([&](double) { state = StateText(block->GetBlockState()); });
    ASSERT_FALSE(report.failed) << c.what << ": " << report.diagnostic;
    EXPECT_EQ(state, c.expected) << c.what;
  }
}

// Under a debugger the blocks are listed by their paths, and every entity
// generated is known to the debugger until it is destroyed.
TEST(BlockState, RegisteredBlocksAreListedByPathAndTrackEntities) {
  DriverConfig config;
  config.modelName = "m";
  config.endTime = 3.5;
  ModelDriver driver(config);
  QueueLine(driver, "Queue");
  std::vector<std::string> names;
  std::size_t entities = 0;
  driver.OnEngineStarted([&](ModelDriver& d) {
    d.Engine()->StartDebugger("m");
    d.Engine()->GetDebugger()->GetBreakPointManager()->SetBreakEnabled(false);  // no prompt
    for (const auto& b : d.Blocks()) b->RegisterWithDebugger();
  });
  const RunReport report = driver.Run([&](double) {
    DesSimState* state = driver.Engine()->GetDebugger()->GetSimState();
    hvArray* list = state->GetBlockListAsHvArray();
    names.clear();
    for (std::size_t k = 0; k < hvGetN(list); ++k) names.push_back(host::detail::arrayText(hvGetCell(list, 2 * k + 1)));
    hvDestroyArray(list);
    hvArray* known = state->TestFcn_DumpEntityCollectionIDContents();
    entities = hvGetNumberOfElements(known);
    hvDestroyArray(known);
  });
  ASSERT_FALSE(report.failed) << report.diagnostic;
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"m/Gen", "m/Queue", "m/Server", "m/Sink"}));
  EXPECT_EQ(entities, 3u);
}

}  // namespace
