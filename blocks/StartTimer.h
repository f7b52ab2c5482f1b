// Starts (or restarts) the entity's timer with a tag as it passes.
#pragma once

#include <string>

#include "blocks/PassThroughBlock.h"
#include "entity/NameHandle.h"

class StartTimer : public PassThroughBlock {
 public:
  explicit StartTimer(std::string timerTag);
  ~StartTimer() override;

 protected:
  void Process(DesEntity* entity) override;

 private:
  NameHandle tag;
};
