// A generator, reneging queue, server and sink through the public interface only.
#include <algorithm>
#include <deque>
#include <memory>

#include "tests/kernel/TimeoutTestSupport.h"

namespace {

class QueueBlock;
class ServerBlock;

// What the blocks share: parameters, each other, ids made and gone.
struct Model {
  double interval, patience, service;
  int remaining;
  QueueBlock* queue;
  ServerBlock* server;
  std::vector<std::string> made, served, timedOut;
  void Absorb(DesEvent* carrier, std::vector<std::string>& into) {  // the sink
    into.push_back(carrier->GetEntity()->GetId());
    delete carrier;
  }
};

class ModelBlock : public NodeInterface {
 public:
  ModelBlock(Des* engine, Model& model) : model(model) { SetDesInstance(engine); }
  Model& model;
};

// FIFO; an entity waiting longer than the patience times out to the sink.
class QueueBlock : public ModelBlock {
 public:
  using ModelBlock::ModelBlock;
  const char* GetBlkParentName() const override { return "model/Queue"; }
  MSGRespEvent DoProcessEvent(DesEvent* arrival) override {
    Des* des = GetDesInstance();
    des->ProcessTimeoutDataAddition(
        arrival->GetEntity()->CreateTimeout("renege", des->GetTimeNow() + model.patience, 0, this, arrival, 1));
    waiting.push_back(arrival);
    Feed();
    return MSGRespEvent();
  }
  bool ExecuteTimeoutEvent(DesEvent* carrier, TimeoutData*) override {
    auto it = std::find(waiting.begin(), waiting.end(), carrier);
    if (it == waiting.end()) return false;
    waiting.erase(it);
    model.Absorb(carrier, model.timedOut);
    return true;
  }
  void Feed();  // the head goes on when the server is free
  std::deque<DesEvent*> waiting;
};

// One entity at a time, for the service time; then to the sink.
class ServerBlock : public ModelBlock {
 public:
  using ModelBlock::ModelBlock;
  void Take(DesEntity* entity) {
    inService = new DesEvent(GetDesInstance()->GetTimeNow() + model.service, 0, this, entity);
    entity->SetTimeoutParentEvent(inService);
    GetDesInstance()->AddEvt(inService);
  }
  MSGRespEvent DoProcessEvent(DesEvent* done) override {
    inService = nullptr;
    model.Absorb(done, model.served);
    model.queue->Feed();
    return MSGRespEvent();
  }
  DesEvent* inService = nullptr;
};

void QueueBlock::Feed() {
  if (waiting.empty() || model.server->inService != nullptr) return;
  DesEvent* head = waiting.front();
  waiting.pop_front();
  DesEntity* entity = head->ReleaseEntity();
  TimeoutData* td = entity->FindTimeout(this, "renege", true);
  GetDesInstance()->PrintTimeoutDeletion(td);
  GetDesInstance()->ProcessTimeoutDataRemoval(td);
  delete head;
  model.server->Take(entity);
}

// Makes the entities, one every interval from time 0, reusing its event.
class GeneratorBlock : public ModelBlock {
 public:
  GeneratorBlock(Des* engine, Model& model) : ModelBlock(engine, model) { engine->AddEvt(new DesEvent(0.0, 0, this, nullptr)); }
  MSGRespEvent DoProcessEvent(DesEvent* tick) override {
    Des* des = GetDesInstance();
    DesEntity* entity = des->GetEntityList()->CloneEntity("DefaultEntity", false);
    model.made.push_back(entity->GetId());
    des->AddEvt(new DesEvent(des->GetTimeNow(), 0, model.queue, entity));
    if (--model.remaining == 0) {
      delete tick;
      return MSGRespEvent();
    }
    tick->ReuseAndReinitialize(model.interval, 0, this, nullptr);
    des->AddEvt(tick);
    return MSGRespEvent();
  }
};

// The model's blocks, on the fixture's engine (whose own blocks stay idle).
class TimeoutScenario : public TimeoutEngineTest {
 protected:
  void TearDown() override {
    blocks.clear();
    TimeoutEngineTest::TearDown();
  }
  void Build(double interval, int count, double patience, double service) {
    model = Model{interval, patience, service, count, new QueueBlock(&engine, model), new ServerBlock(&engine, model), {}, {}, {}};
    blocks.emplace_back(model.queue);
    blocks.emplace_back(model.server);
    blocks.emplace_back(new GeneratorBlock(&engine, model));
  }
  void RunUntil(double until) {
    for (double t = engine.GetDesNextTime(0.0); t <= until && t != kNever;) t = engine.ExecuteEvents(t, t, true);
  }

  Model model;
  std::vector<std::unique_ptr<NodeInterface>> blocks;
};

INSTANTIATE_TEST_SUITE_P(AllCalendars, TimeoutScenario, AllSetups(), SetupName);

TEST_P(TimeoutScenario, ServedAndRenegedAsWorkedOutByHand) {
  // Arrivals 0..5, service 2.4, patience 2.7: A0 served 0-2.4, A1 2.4-4.8;
  // A2 reneges at 4.7; A3 served 4.8-7.2; A4 reneges at 6.7; A5 7.2-9.6.
  Build(1.0, 6, 2.7, 2.4);
  RunUntil(100.0);
  const std::vector<std::string>& a = model.made;
  ASSERT_EQ(a.size(), 6u);
  EXPECT_EQ(model.served, (std::vector<std::string>{a[0], a[1], a[3], a[5]}));
  EXPECT_EQ(model.timedOut, (std::vector<std::string>{a[2], a[4]}));
  EXPECT_TRUE(engine.GetTimeNow() == 9.6 && engine.GetDesNextTime(0.0) == kNever);
}

TEST_P(TimeoutScenario, ALongRenegingRunStopsGrowingThePoolsOnceWarm) {
  // An overloaded server: most entities renege, a few are served.
  const int count = 20000;
  Build(1.0, count, 2.5, 1.7);
  RunUntil(2000.0);
  auto chunks = [] {
    return std::vector<std::size_t>{TimeoutData::memPool->ChunksMade(), DesEvent::memPool->ChunksMade(),
                                    DesEntity::memPool->ChunksMade()};
  };
  const std::vector<std::size_t> warm = chunks();
  RunUntil(kNever);
  EXPECT_EQ(chunks(), warm);  // timeout, event and entity pools
  EXPECT_EQ(model.served.size() + model.timedOut.size(), static_cast<std::size_t>(count));
  EXPECT_GT(model.timedOut.size(), model.served.size() / 2);
  EXPECT_TRUE(model.queue->waiting.empty() && engine.GetDesNextTime(0.0) == kNever);
}

}  // namespace
