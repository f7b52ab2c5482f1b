// Holds entities until the next block can take them: first in first out,
// or ordered by a numeric attribute (smallest first, first in first out
// among equals). Capacity may be finite; a full queue makes its senders
// hold their entities.
//
// Patience: with a patience distribution, an entity that has to wait gets
// a timeout; if it is still waiting when the timeout fires, it leaves
// through the timeout port (output 1) instead of output 0. An entity that
// leaves normally has its timeout cancelled first, so no entity ever
// leaves both ways.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "blocks/TimeAverage.h"
#include "entity/NameHandle.h"
#include "model/Distribution.h"
#include "model/ModelBlock.h"
#include "model/RandomStream.h"

class TimeoutData;

class Queue : public ModelBlock {
 public:
  static constexpr std::size_t kInfinite = std::numeric_limits<std::size_t>::max();
  static constexpr int kOut = 0;
  static constexpr int kTimedOut = 1;

  explicit Queue(std::size_t capacity = kInfinite);
  ~Queue() override;

  // Order by this attribute, smallest value first.
  void SetPriorityAttribute(const std::string& attribute) { priorityAttribute = attribute; }
  // Waiting entities give up after a time drawn from `patience`.
  void SetPatience(Distribution patience, const std::string& timeoutTag = "Patience");

  // The timeout port may stay unconnected: an entity that times out then
  // meets the library's rule for a timeout without a destination.
  bool OutputRequired(int outPort) const override { return outPort == kOut; }

  std::size_t Length() const { return entries.size() - head; }
  uint64_t TimedOut() const { return timedOutCount; }
  double AverageLength() const { return averageLength; }
  void Statistics(const StatisticVisitor& visit) const override;
  void ForEachHeld(const std::function<void(const DesEntity*)>& visit) const override;
  void CloseStatistics(double endTime) override;

 protected:
  void* Init() override;
  bool CanAccept(int) const override;
  DesEventFunctor* ArrivalHandler(int) override { return &arriveHandler; }
  void OnRoomDownstream(int outPort) override;
  bool ExecuteTimeoutEvent(DesEvent* event, TimeoutData* timeout) override;
  void ReleaseHeld() override;
  void DescribeState(BlockStateResult& state) const override;

 private:
  struct Entry {
    double key;
    uint64_t order;  // arrival number: first in first out among equal keys
    DesEvent* carrier;
  };

  MSGRespEvent Arrive(DesEvent* e);
  // Passes entities on while the next block takes them.
  void Serve();
  void SendTimedOut();
  void Insert(const Entry& entry);
  // The queuing record of a carrier just filed: its place (1 at the head).
  void LogQueued(const DesEvent* carrier);
  void RemoveAt(std::size_t index);
  void CancelPatience(DesEvent* carrier);
  void NoteLength() { length.Update(Now(), static_cast<double>(Length() + leaving.size())); }

  std::size_t capacity;
  NameHandle priorityAttribute;
  bool impatient;
  Distribution patience;
  std::string timeoutTag;
  RandomStream random;
  DesEventFunctor arriveHandler;
  // Sorted by (key, order) from `head` on; the slots before `head` are
  // spent and reclaimed now and then, so a long first-in first-out queue
  // does not shift its contents on every departure.
  std::vector<Entry> entries;
  std::size_t head;
  uint64_t arrivals;
  std::vector<DesEvent*> leaving;  // timed out, waiting for the timeout port
  uint64_t timedOutCount;
  TimeAverage length;
  double averageLength;
};
