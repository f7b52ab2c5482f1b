#include "blocks/ReadTimer.h"

#include "tarnwell.h"

ReadTimer::ReadTimer(std::string timerTag) : tag(std::move(timerTag)) { SetEventType("ReadTimer"); }

ReadTimer::~ReadTimer() = default;

void ReadTimer::Process(DesEntity* entity) {
  const double value = entity->FindTimer(this, tag, true)->GetLapsedTime();
  if (!targetAttribute.empty()) entity->WriteNumberToAttribute(this, targetAttribute, value);
  elapsed.Add(value);
  // FindTimer has thrown if there was no such timer.
  Log<9>(entity->GetCarrierEvent(), tag.Name(), true, value);
}

void ReadTimer::Statistics(const StatisticVisitor& visit) const {
  ModelBlock::Statistics(visit);
  visit("count", static_cast<double>(elapsed.Count()), true);
  visit("mean", elapsed.Mean(), false);
  visit("median", elapsed.Quantile(0.5), false);
  visit("p95", elapsed.Quantile(0.95), false);
}
