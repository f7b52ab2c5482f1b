// A block that does something to each entity and passes it straight on:
// the base of the timer and attribute blocks. It holds at most one entity,
// the one the next block could not take yet.
#pragma once

#include "model/ModelBlock.h"

class PassThroughBlock : public ModelBlock {
 public:
  PassThroughBlock();
  ~PassThroughBlock() override;

  void ForEachHeld(const std::function<void(const DesEntity*)>& visit) const override;

 protected:
  // The work on the passing entity; it may throw (the entity then stays
  // with the arrivals).
  virtual void Process(DesEntity* entity) = 0;

  bool CanAccept(int) const override { return held == nullptr && PendingArrivals(0) == 0; }
  DesEventFunctor* ArrivalHandler(int) override { return &arriveHandler; }
  void OnRoomDownstream(int) override { Forward(); }
  void ReleaseHeld() override;
  void DescribeState(BlockStateResult& state) const override;

 private:
  MSGRespEvent Arrive(DesEvent* e);
  void Forward();

  DesEventFunctor arriveHandler;
  DesEvent* held;
};
