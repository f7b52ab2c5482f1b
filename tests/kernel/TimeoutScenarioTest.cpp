// A small model driven through the public interface only (generator,
// reneging queue, server, sink): counts against a schedule worked out by
// hand, and a long run whose pools stop growing once warm.
#include <algorithm>
#include <deque>

#include "tests/kernel/TimeoutTestSupport.h"

namespace {

// Records the ids of the entities leaving the model; destroys them.
struct Sink {
  void Absorb(DesEvent* carrier, std::vector<std::string>& into) {
    into.push_back(carrier->GetEntity()->GetId());
    delete carrier;
  }
  std::vector<std::string> served, timedOut;
};

class ServerBlock;

// FIFO; an entity waiting longer than `patience` times out to the sink.
class QueueBlock : public NodeInterface {
 public:
  QueueBlock(Des* engine, double patience, Sink* sink) : patience(patience), sink(sink) { SetDesInstance(engine); }
  const char* GetBlkParentName() const override { return "model/Queue"; }
  MSGRespEvent DoProcessEvent(DesEvent* arrival) override {
    Des* des = GetDesInstance();
    des->ProcessTimeoutDataAddition(
        arrival->GetEntity()->CreateTimeout("renege", des->GetTimeNow() + patience, 0, this, arrival, 1));
    waiting.push_back(arrival);
    Feed();
    return MSGRespEvent();
  }
  bool ExecuteTimeoutEvent(DesEvent* carrier, TimeoutData*) override {
    auto it = std::find(waiting.begin(), waiting.end(), carrier);
    if (it == waiting.end()) return false;
    waiting.erase(it);
    sink->Absorb(carrier, sink->timedOut);
    return true;
  }
  void Feed();  // sends the head of the queue on when the server is free

  double patience;
  Sink* sink;
  ServerBlock* server = nullptr;
  std::deque<DesEvent*> waiting;
};

// One entity at a time, for `service` time units; then to the sink.
class ServerBlock : public NodeInterface {
 public:
  ServerBlock(Des* engine, double service, QueueBlock* queue, Sink* sink) : service(service), queue(queue), sink(sink) {
    SetDesInstance(engine);
  }
  void Take(DesEntity* entity) {
    inService = new DesEvent(GetDesInstance()->GetTimeNow() + service, 0, this, entity);
    entity->SetTimeoutParentEvent(inService);
    GetDesInstance()->AddEvt(inService);
  }
  MSGRespEvent DoProcessEvent(DesEvent* done) override {
    inService = nullptr;
    sink->Absorb(done, sink->served);
    queue->Feed();
    return MSGRespEvent();
  }

  double service;
  QueueBlock* queue;
  Sink* sink;
  DesEvent* inService = nullptr;
};

void QueueBlock::Feed() {
  if (waiting.empty() || server->inService != nullptr) return;
  DesEvent* head = waiting.front();
  waiting.pop_front();
  DesEntity* entity = head->ReleaseEntity();
  TimeoutData* td = entity->FindTimeout(this, "renege", true);
  GetDesInstance()->PrintTimeoutDeletion(td);
  GetDesInstance()->ProcessTimeoutDataRemoval(td);
  delete head;
  server->Take(entity);
}

// Makes `count` entities, one every `interval`, starting at time 0.
class GeneratorBlock : public NodeInterface {
 public:
  GeneratorBlock(Des* engine, double interval, int count, QueueBlock* queue)
      : interval(interval), remaining(count), queue(queue) {
    SetDesInstance(engine);
    engine->AddEvt(new DesEvent(0.0, 0, this, nullptr));
  }
  MSGRespEvent DoProcessEvent(DesEvent* tick) override {
    Des* des = GetDesInstance();
    DesEntity* entity = des->GetEntityList()->CloneEntity("DefaultEntity", false);
    made.push_back(entity->GetId());
    des->AddEvt(new DesEvent(des->GetTimeNow(), 0, queue, entity));
    if (--remaining > 0) {
      tick->ReuseAndReinitialize(interval, 0, this, nullptr);
      des->AddEvt(tick);
    } else {
      delete tick;
    }
    return MSGRespEvent();
  }

  double interval;
  int remaining;
  QueueBlock* queue;
  std::vector<std::string> made;
};

// The model's blocks, on the fixture's engine (whose own blocks stay idle).
class TimeoutScenario : public TimeoutEngineTest {
 protected:
  void TearDown() override {
    delete generator;
    delete line;
    delete desk;
    TimeoutEngineTest::TearDown();
  }
  void Build(double interval, int count, double patience, double service) {
    line = new QueueBlock(&engine, patience, &sink);
    desk = line->server = new ServerBlock(&engine, service, line, &sink);
    generator = new GeneratorBlock(&engine, interval, count, line);
  }
  // The host's loop: run every step up to `until`.
  void RunUntil(double until) {
    for (double t = engine.GetDesNextTime(0.0); t <= until && t != kNever;) t = engine.ExecuteEvents(t, t, true);
  }

  Sink sink;
  QueueBlock* line = nullptr;
  ServerBlock* desk = nullptr;
  GeneratorBlock* generator = nullptr;
};

INSTANTIATE_TEST_SUITE_P(AllCalendars, TimeoutScenario, AllSetups(), SetupName);

TEST_P(TimeoutScenario, ServedAndRenegedAsWorkedOutByHand) {
  // Arrivals at 0..5, service 2.4, patience 2.7:
  //   0   A0 served until 2.4       1   A1 waits (renege 3.7)
  //   2   A2 waits (renege 4.7)     2.4 A0 done, A1 served until 4.8
  //   3   A3 waits (renege 5.7)     4   A4 waits (renege 6.7)
  //   4.7 A2 reneges                4.8 A1 done, A3 served until 7.2
  //   5   A5 waits (renege 7.7)     6.7 A4 reneges
  //   7.2 A3 done, A5 served until 9.6                9.6 A5 done
  Build(1.0, 6, 2.7, 2.4);
  RunUntil(4.75);
  EXPECT_EQ(sink.served.size(), 1u);
  EXPECT_EQ(sink.timedOut.size(), 1u);
  RunUntil(100.0);
  const std::vector<std::string>& a = generator->made;
  ASSERT_EQ(a.size(), 6u);
  EXPECT_EQ(sink.served, (std::vector<std::string>{a[0], a[1], a[3], a[5]}));
  EXPECT_EQ(sink.timedOut, (std::vector<std::string>{a[2], a[4]}));
  EXPECT_EQ(engine.GetTimeNow(), 9.6);
  EXPECT_EQ(engine.GetDesNextTime(0.0), kNever);
}

TEST_P(TimeoutScenario, ALongRenegingRunStopsGrowingThePoolsOnceWarm) {
  // An overloaded server: most entities renege, a few are served.
  const int count = 20000;
  Build(1.0, count, 2.5, 1.7);
  RunUntil(2000.0);
  const std::size_t chunks[] = {TimeoutData::memPool->ChunksMade(), DesEvent::memPool->ChunksMade(),
                                DesEntity::memPool->ChunksMade()};
  RunUntil(kNever);
  EXPECT_EQ(TimeoutData::memPool->ChunksMade(), chunks[0]);
  EXPECT_EQ(DesEvent::memPool->ChunksMade(), chunks[1]);
  EXPECT_EQ(DesEntity::memPool->ChunksMade(), chunks[2]);
  EXPECT_EQ(sink.served.size() + sink.timedOut.size(), static_cast<std::size_t>(count));
  EXPECT_GT(sink.timedOut.size(), sink.served.size() / 2);
  EXPECT_TRUE(line->waiting.empty());
  EXPECT_EQ(engine.GetDesNextTime(0.0), kNever);
}

}  // namespace
