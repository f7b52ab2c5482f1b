// Combines one entity from each of its inputs into a composite entity of
// its own type: the entity from input i becomes the member with sequence
// i + 1, and the composite shares the members' attributes and timers, so
// later blocks read and write them on the composite. Each input holds one
// entity; an input whose entity waits for its partners takes no more.
#pragma once

#include <string>
#include <vector>

#include "model/EntityTypeDescription.h"
#include "model/ModelBlock.h"

class Combiner : public ModelBlock {
 public:
  Combiner(int inputs, std::string compositeType);
  ~Combiner() override;

  uint64_t Combined() const { return combined; }
  void Statistics(const StatisticVisitor& visit) const override;
  void ForEachHeld(const std::function<void(const DesEntity*)>& visit) const override;

 protected:
  void* Init() override;
  bool CanAccept(int inPort) const override;
  DesEventFunctor* ArrivalHandler(int inPort) override { return &arriveHandlers[inPort]; }
  void OnRoomDownstream(int) override { Combine(); }
  void ReleaseHeld() override;
  void DescribeState(BlockStateResult& state) const override;

 private:
  template <int Port>
  MSGRespEvent ArriveAt(DesEvent* e) {
    return Arrive(e, Port);
  }
  MSGRespEvent Arrive(DesEvent* e, int port);
  void Combine();

  EntityTypeDescription compositeType;
  std::vector<DesEventFunctor> arriveHandlers;
  std::vector<DesEvent*> slots;  // one waiting entity per input
  DesEvent* building;            // the composite while its members go in
  uint64_t combined;
};
