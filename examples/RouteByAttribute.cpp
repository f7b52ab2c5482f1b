// A second block of one's own: entities leave through the output that one
// of their attributes names, and a model file puts the block to work.
// Built and run by the test suite (see README.md).
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "blocks/Sink.h"
#include "blocks/StandardBlocks.h"
#include "model/BlockRegistry.h"
#include "model/ModelBlock.h"
#include "model/ModelDriver.h"
#include "model/ModelFile.h"
#include "tarnwell.h"

// An entity whose attribute reads k leaves through output k (the nearest
// output when k is out of range). The router holds one entity at most: the
// one whose output is full; it takes no other until that one has gone.
class Router : public ModelBlock {
 public:
  Router(std::string attribute, int outputs) : ModelBlock(1, outputs), attribute(std::move(attribute)) {
    arrive.BindTo(this, &Router::Arrive, "Arrive");
  }

 protected:
  // Room for one, counting an entity already on its way here.
  bool CanAccept(int) const override { return held == nullptr && PendingArrivals(0) == 0; }
  DesEventFunctor* ArrivalHandler(int) override { return &arrive; }
  void OnRoomDownstream(int) override { Forward(); }

  void ForEachHeld(const std::function<void(const DesEntity*)>& visit) const override {
    ModelBlock::ForEachHeld(visit);
    if (held != nullptr) visit(held->GetEntity());
  }
  void ReleaseHeld() override {
    if (held != nullptr) Release(held);
    held = nullptr;
  }

 private:
  // Handlers return an MSGRespEvent; the engine does not look at it.
  MSGRespEvent Arrive(DesEvent* e) {
    // Reading an attribute throws when the entity has none of that name.
    // The name is kept as a NameHandle, which finds it on entity after
    // entity without comparing names.
    // Everything that can throw comes before TakeArrival: until then the
    // event is still the arrival the framework holds for this block, and
    // the driver releases it with the model when the run ends in an error.
    const double value = e->GetEntity()->ReadNumberFromAttribute(this, attribute);
    const double last = OutputPorts() - 1;
    port = static_cast<int>(std::lround(std::fmin(std::fmax(value, 0.0), last)));
    TakeArrival(e, 0);  // from here on the event is ours to keep or pass on
    held = e;
    Forward();
    return MSGRespEvent();
  }

  void Forward() {
    if (held == nullptr || !CanSend(port)) return;  // a full output: try again on OnRoomDownstream
    DesEvent* e = held;
    held = nullptr;
    Send(port, e);
    CountEvent();       // the summary's "events executed" counts what blocks did
    NotifyUpstream(0);  // room again: whoever waits to send here tries now
  }

  NameHandle attribute;  // the name, resolved once per type of entity met
  DesEventFunctor arrive;
  DesEvent* held = nullptr;
  int port = 0;
};

// Runs a model file in which "Router" is a block type like the standard ones.
int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s MODEL.yaml\n", argv[0]);
    return 2;
  }
  RegisterStandardBlocks();
  RegisterBlockType("Router", [](BlockParameters& p) {
    return std::make_unique<Router>(p.Text("attribute"), static_cast<int>(p.Count("outputs", 1)));
  });

  try {
    ModelFile file(argv[1]);
    DriverConfig config;
    config.modelName = file.Name();
    config.endTime = file.Settings().endTime.value_or(1000.0);
    config.seed = file.Settings().seed.value_or(1);
    ModelDriver driver(config);
    file.Build(driver);
    const RunReport report = driver.Run();
    if (report.failed) {
      std::fputs(report.diagnostic.c_str(), stderr);
      return 1;
    }
    for (const char* exit : {"Small", "Medium", "Large"})
      std::printf("%s %llu\n", exit, static_cast<unsigned long long>(static_cast<Sink*>(file.Block(exit))->Count()));
  } catch (ModelError* e) {  // a mistake in the file: file, line, column and what was expected
    std::fprintf(stderr, "%s\n", e->Message().c_str());
    delete e;
    return 2;
  }
  return 0;
}
