// Current set of a randomising calendar: the ordered set plus the generator
// that picks among the events of equal time and priority at its head.
#pragma once

#include "kernel/CurrentEventSet.h"
#include "kernel/EventRandomGenerator.h"

class RandomizedEventSet : public CurrentEventSet {
 public:
  explicit RandomizedEventSet(uint32_t seed) : generator(0.0, 1.0) { generator.Seed(seed); }

  EventRandomGenerator& GetGenerator() { return generator; }

 private:
  EventRandomGenerator generator;
};
