// A block of one's own: every entity stays a fixed time, then moves on.
// Built and run by the test suite (see README.md).
#include <cstdio>
#include <memory>
#include <vector>

#include "blocks/EntityGenerator.h"
#include "blocks/Sink.h"
#include "model/ModelBlock.h"
#include "model/ModelDriver.h"
#include "tarnwell.h"

class Delay : public ModelBlock {
 public:
  explicit Delay(double delay) : ModelBlock(1, 1), delay(delay) {
    // Handlers are bound once; an event names the handler it runs.
    arrive.BindTo(this, &Delay::Arrive, "Arrive");
    leave.BindTo(this, &Delay::Leave, "Leave");
  }

 protected:
  bool CanAccept(int) const override { return true; }  // room for everyone
  DesEventFunctor* ArrivalHandler(int) override { return &arrive; }
  void OnRoomDownstream(int) override { SendReady(); }

  // What the block still holds when the run ends: the driver asks, for
  // the summary and the stall report, then releases it.
  void ForEachHeld(const std::function<void(const DesEntity*)>& visit) const override {
    ModelBlock::ForEachHeld(visit);
    for (DesEvent* e : waiting) visit(e->GetEntity());
    for (DesEvent* e : ready) visit(e->GetEntity());
  }
  void ReleaseHeld() override {
    for (DesEvent* e : waiting) Release(e);
    for (DesEvent* e : ready) Release(e);
    waiting.clear();
    ready.clear();
  }

 private:
  // The entity arrives inside its carrier event; the same event, moved on
  // by `delay`, brings it back to Leave.
  MSGRespEvent Arrive(DesEvent* e) {
    TakeArrival(e, 0);
    waiting.push_back(e);
    Schedule(e, delay, &leave);
    return MSGRespEvent();
  }
  MSGRespEvent Leave(DesEvent* e) {
    CountEvent();
    waiting.erase(waiting.begin());  // equal delays: first in, first out
    ready.push_back(e);
    SendReady();
    return MSGRespEvent();
  }
  // The next block may be full: what it cannot take yet stays here.
  void SendReady() {
    while (!ready.empty() && CanSend(0)) {
      DesEvent* e = ready.front();
      ready.erase(ready.begin());
      Send(0, e);
    }
  }

  double delay;
  DesEventFunctor arrive, leave;
  std::vector<DesEvent*> waiting, ready;
};

int main() {
  DriverConfig config;
  config.modelName = "example";
  config.endTime = 100.0;
  ModelDriver driver(config);

  EntityTypeDescription job("Job");
  job.With("Serial", "int", 0);
  auto* source = driver.Add("Jobs", std::make_unique<EntityGenerator>(job, Distribution::Fixed(1.0)));
  source->SetSerialAttribute("Serial");
  auto* delay = driver.Add("Delay", std::make_unique<Delay>(2.5));
  auto* sink = driver.Add("Done", std::make_unique<Sink>());
  source->Connect(0, delay);
  delay->Connect(0, sink);

  const RunReport report = driver.Run();
  if (report.failed) {
    std::fputs(report.diagnostic.c_str(), stderr);
    return 1;
  }
  std::printf("generated %llu, done %llu, still delayed %zu\n",
              static_cast<unsigned long long>(source->Generated()),
              static_cast<unsigned long long>(sink->Count()), report.entitiesInModel);
  return 0;
}
