// Takes a composite entity apart: each member leaves through the output
// numbered by its sequence (sequence 1 through output 0, and so on; higher
// sequences share the last output) with the attributes and timers it had,
// including values written through the composite. The emptied composite
// ends here. The splitter takes the next composite once every member of
// the previous one has left.
#pragma once

#include <cstdint>
#include <vector>

#include "model/ModelBlock.h"

class Splitter : public ModelBlock {
 public:
  explicit Splitter(int outputs);
  ~Splitter() override;

  uint64_t Split() const { return split; }
  void Statistics(const StatisticVisitor& visit) const override;
  void ForEachHeld(const std::function<void(const DesEntity*)>& visit) const override;

 protected:
  bool CanAccept(int) const override { return leaving.empty() && PendingArrivals(0) == 0; }
  DesEventFunctor* ArrivalHandler(int) override { return &arriveHandler; }
  void OnRoomDownstream(int) override { SendMembers(); }
  void ReleaseHeld() override;
  void DescribeState(BlockStateResult& state) const override;

 private:
  struct Member {
    int port;
    DesEvent* carrier;
  };

  MSGRespEvent Arrive(DesEvent* e);
  void SendMembers();

  int outputs;
  DesEventFunctor arriveHandler;
  std::vector<uint32_t> sequences;  // scratch, kept to avoid reallocating
  std::vector<Member> leaving;      // in sequence order
  uint64_t split;
};
