// Reads the entity's timer with a tag as it passes: the elapsed time goes
// into the block's tally and, when asked, into an attribute of the entity.
// A missing timer is a catalogue error (DES_TimerTagNotFound).
#pragma once

#include <string>

#include "blocks/PassThroughBlock.h"
#include "blocks/Tally.h"
#include "entity/NameHandle.h"

class ReadTimer : public PassThroughBlock {
 public:
  explicit ReadTimer(std::string timerTag);
  ~ReadTimer() override;

  void WriteTo(const std::string& attribute) { targetAttribute = attribute; }
  const Tally& Elapsed() const { return elapsed; }
  Tally& Elapsed() { return elapsed; }
  void Statistics(const StatisticVisitor& visit) const override;

 protected:
  void Process(DesEntity* entity) override;

 private:
  NameHandle tag;
  NameHandle targetAttribute;
  Tally elapsed;
};
