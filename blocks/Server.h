// k identical servers. An entity's service time is drawn from a
// distribution or read from one of its attributes. A served entity that the
// next block cannot take keeps its server busy (blocking after service)
// until room appears.
#pragma once

#include <string>
#include <vector>

#include "blocks/TimeAverage.h"
#include "entity/NameHandle.h"
#include "model/Distribution.h"
#include "model/ModelBlock.h"
#include "model/RandomStream.h"

class Server : public ModelBlock {
 public:
  Server(int servers, Distribution serviceTime);
  // Service time read from `attribute` of each entity.
  Server(int servers, const std::string& attribute);
  ~Server() override;

  int Servers() const { return servers; }
  uint64_t Completed() const { return completed; }
  // Time-average fraction of servers occupied (serving or blocked).
  double Utilisation() const { return utilisation; }
  void Statistics(const StatisticVisitor& visit) const override;
  void ForEachHeld(const std::function<void(const DesEntity*)>& visit) const override;
  void CloseStatistics(double endTime) override;

 protected:
  void* Init() override;
  bool CanAccept(int) const override;
  DesEventFunctor* ArrivalHandler(int) override { return &arriveHandler; }
  void OnRoomDownstream(int) override { Depart(); }
  void ReleaseHeld() override;
  void DescribeState(BlockStateResult& state) const override;

 private:
  MSGRespEvent Arrive(DesEvent* e);
  MSGRespEvent Complete(DesEvent* e);
  void Depart();
  std::size_t Occupied() const { return inService.size() + done.size(); }
  void NoteBusy() { busy.Update(Now(), static_cast<double>(Occupied())); }

  int servers;
  Distribution serviceTime;
  NameHandle serviceAttribute;
  RandomStream random;
  DesEventFunctor arriveHandler;
  DesEventFunctor completeHandler;
  std::vector<DesEvent*> inService;  // waiting on the calendar for completion
  std::vector<DesEvent*> done;       // served, first done first out
  uint64_t completed;
  TimeAverage busy;
  double utilisation;
};
