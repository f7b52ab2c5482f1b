#include "model/ModelBlock.h"

#include <algorithm>

#include "entity/DesEntity.h"
#include "kernel/Des.h"
#include "kernel/DesEvent.h"

ModelBlock::ModelBlock(int inputPorts, int outputPorts)
    : hostObject(nullptr),
      seed(0),
      eventsHandled(0),
      outputs(outputPorts, Link{nullptr, 0}),
      upstream(inputPorts),
      pending(inputPorts, 0) {}

ModelBlock::~ModelBlock() = default;

void ModelBlock::Attach(Des* engine, void* object, const std::string& blockPath,
                        uint64_t blockSeed) {
  SetDesInstance(engine);
  hostObject = object;
  path = blockPath;
  seed = blockSeed;
}

void ModelBlock::Connect(int outPort, ModelBlock* to, int inPort) {
  outputs.at(outPort) = Link{to, inPort};
  to->upstream.at(inPort).push_back(Link{this, outPort});
}

bool ModelBlock::Stop() {
  ReleaseHeld();
  for (DesEvent* e : incoming) Release(e);
  incoming.clear();
  std::fill(pending.begin(), pending.end(), 0);
  return true;
}

void ModelBlock::ForEachHeld(const std::function<void(const DesEntity*)>& visit) const {
  for (DesEvent* e : incoming)
    if (e->GetEntity() != nullptr) visit(e->GetEntity());
}

std::size_t ModelBlock::EntitiesHeld() const {
  std::size_t n = 0;
  ForEachHeld([&n](const DesEntity*) { ++n; });
  return n;
}

void ModelBlock::CloseStatistics(double) {}
void ModelBlock::OnRoomDownstream(int) {}
void ModelBlock::ReleaseHeld() {}

bool ModelBlock::IsConnected(int outPort) const { return outputs[outPort].block != nullptr; }

bool ModelBlock::CanSend(int outPort) const {
  const Link& to = outputs[outPort];
  return to.block != nullptr && to.block->CanAccept(to.port);
}

void ModelBlock::Send(int outPort, DesEvent* carrier) {
  const Link& to = outputs[outPort];
  // Ownership moves first: if scheduling fails, the receiver still holds
  // the event and releases it at Stop.
  to.block->incoming.push_back(carrier);
  ++to.block->pending[to.port];
  carrier->SetTime(Now());
  carrier->ReuseAndReinitialize(0.0, 0, to.block, to.block->ArrivalHandler(to.port));
  Engine()->AddEvt(carrier);
}

void ModelBlock::TakeArrival(DesEvent* carrier, int inPort) {
  ++eventsHandled;
  // Arrivals come mostly in the order they were sent.
  auto it = std::find(incoming.begin(), incoming.end(), carrier);
  if (it != incoming.end()) {
    incoming.erase(it);
    --pending[inPort];
  }
}

void ModelBlock::NotifyUpstream(int inPort) {
  for (const Link& from : upstream[inPort]) from.block->OnRoomDownstream(from.port);
}

void ModelBlock::Schedule(DesEvent* e, double delay, DesEventFunctor* handler) {
  e->SetTime(Now());
  e->ReuseAndReinitialize(delay, 0, this, handler);
  Engine()->AddEvt(e);
}

void ModelBlock::Release(DesEvent* e) {
  Des* engine = Engine();
  if (engine->GetEventCalendar() != nullptr) engine->DeleteEvtWithoutLogging(e);
  delete e;
}

// The engine's clock reads -1 until its first step; blocks that schedule
// their first events at Start do so from time 0.
double ModelBlock::Now() const {
  const double t = Engine()->GetTimeNow();
  return t < 0.0 ? 0.0 : t;
}
