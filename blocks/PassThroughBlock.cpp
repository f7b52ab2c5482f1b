#include "blocks/PassThroughBlock.h"

#include "tarnwell.h"

PassThroughBlock::PassThroughBlock() : ModelBlock(1, 1), held(nullptr) {
  arriveHandler.BindTo(this, &PassThroughBlock::Arrive, "Arrive");
}

PassThroughBlock::~PassThroughBlock() = default;

MSGRespEvent PassThroughBlock::Arrive(DesEvent* e) {
  Process(e->GetEntity());
  TakeArrival(e, 0);
  held = e;
  Forward();
  return MSGRespEvent();
}

void PassThroughBlock::Forward() {
  if (held == nullptr || !CanSend(0)) return;
  DesEvent* carrier = held;
  held = nullptr;
  Send(0, carrier);
  NotifyUpstream(0);
}

void PassThroughBlock::ForEachHeld(const std::function<void(const DesEntity*)>& visit) const {
  ModelBlock::ForEachHeld(visit);
  if (held != nullptr) visit(held->GetEntity());
}

void PassThroughBlock::DescribeState(BlockStateResult& state) const {
  if (held != nullptr) DescribeEntity(state, held, "waiting for room downstream");
}

void PassThroughBlock::ReleaseHeld() {
  if (held != nullptr) Release(held);
  held = nullptr;
}
