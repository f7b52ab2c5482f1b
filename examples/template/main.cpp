// Start of a model of one's own: a block written here (Count) between
// blocks that come with Tarnwell. Replace Count with the block you need and
// the network in main() with your own.
#include <cstdio>
#include <memory>

#include "blocks/EntityGenerator.h"
#include "blocks/PassThroughBlock.h"
#include "blocks/Queue.h"
#include "blocks/Server.h"
#include "blocks/Sink.h"
#include "model/ModelDriver.h"
#include "tarnwell.h"

// Counts the entities that pass. A block that does something to each
// entity and passes it straight on derives from PassThroughBlock, which
// does the hand-over; Process may throw (the entity then stays with the
// arrivals and the run ends with the error).
class Count : public PassThroughBlock {
 public:
  unsigned long long Seen() const { return seen; }

 protected:
  void Process(DesEntity*) override { ++seen; }

 private:
  unsigned long long seen = 0;
};

int main() {
  DriverConfig config;
  config.modelName = "my_model";
  config.endTime = 1000.0;
  config.seed = 1;
  ModelDriver driver(config);

  EntityTypeDescription part("Part");
  part.With("Serial", "int", 0);
  auto* arrivals = driver.Add("Arrivals", std::make_unique<EntityGenerator>(part, Distribution::ExponentialMean(1.0)));
  arrivals->SetSerialAttribute("Serial");
  auto* queue = driver.Add("Queue", std::make_unique<Queue>());
  auto* server = driver.Add("Server", std::make_unique<Server>(1, Distribution::ExponentialMean(0.5)));
  auto* count = driver.Add("Count", std::make_unique<Count>());
  auto* out = driver.Add("Out", std::make_unique<Sink>());
  arrivals->Connect(0, queue);
  queue->Connect(Queue::kOut, server);
  server->Connect(0, count);
  count->Connect(0, out);

  const RunReport report = driver.Run();
  if (report.failed) {
    std::fputs(report.diagnostic.c_str(), stderr);
    return 1;
  }
  std::printf("counted %llu, out %llu\n", count->Seen(), static_cast<unsigned long long>(out->Count()));
  return 0;
}
