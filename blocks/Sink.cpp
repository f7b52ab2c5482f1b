#include "blocks/Sink.h"

#include "tarnwell.h"

Sink::Sink() : ModelBlock(1, 0), count(0), last(0.0) {
  arriveHandler.BindTo(this, &Sink::Arrive, "Arrive");
  SetEventType("Sink");
}

Sink::~Sink() = default;

MSGRespEvent Sink::Arrive(DesEvent* e) {
  // The observer may fail (an attribute it reads is missing); the entity
  // then stays among the arrivals and is released with the model.
  if (observe) observe(*this, *e->GetEntity(), Now());
  // Logged while the entity is still among the arrivals: a stop at the
  // prompt that ends the run leaves it for Stop to release.
  Log<1>(e);
  TakeArrival(e, 0);
  ++count;
  last = Now();
  // The event owns the entity: deleting it ends (or recycles) the entity.
  delete e;
  return MSGRespEvent();
}

void Sink::DescribeState(BlockStateResult& state) const {
  state.PushBlockData("took " + std::to_string(count) + (count == 1 ? " entity" : " entities") +
                      (count > 0 ? ", the last at " + NumberText(last) : std::string()));
}

void Sink::Statistics(const StatisticVisitor& visit) const {
  ModelBlock::Statistics(visit);
  visit("count", static_cast<double>(count), true);
  visit("last-departure", last, false);
}
