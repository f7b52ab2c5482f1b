// Where entities leave the model: counts them and destroys them with their
// carrier. An observer, when set, sees every entity just before it goes
// (the runner writes its CSV rows from there).
#pragma once

#include <cstdint>
#include <functional>

#include "model/ModelBlock.h"

class Sink : public ModelBlock {
 public:
  using Observer = std::function<void(const Sink& sink, DesEntity& entity, double time)>;

  Sink();
  ~Sink() override;

  void SetObserver(Observer observer) { observe = std::move(observer); }
  uint64_t Count() const { return count; }
  // Time of the last departure (0 before the first).
  double LastDeparture() const { return last; }
  void Statistics(const StatisticVisitor& visit) const override;

 protected:
  bool CanAccept(int) const override { return true; }
  DesEventFunctor* ArrivalHandler(int) override { return &arriveHandler; }
  void DescribeState(BlockStateResult& state) const override;

 private:
  MSGRespEvent Arrive(DesEvent* e);

  DesEventFunctor arriveHandler;
  Observer observe;
  uint64_t count;
  double last;
};
