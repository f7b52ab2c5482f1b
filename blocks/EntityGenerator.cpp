#include "blocks/EntityGenerator.h"

#include "tarnwell.h"

EntityGenerator::EntityGenerator(EntityTypeDescription entityType, Distribution intervals)
    : ModelBlock(0, 1),
      type(std::move(entityType)),
      interval(intervals),
      limit(0),
      generated(0),
      timerEvent(nullptr),
      waiting(nullptr) {
  generateHandler.BindTo(this, &EntityGenerator::Generate, "Generate");
  SetEventType("Generate");
}

EntityGenerator::~EntityGenerator() = default;

void EntityGenerator::AddAttributeRule(const std::string& attribute, Distribution values) {
  rules.push_back(Rule{attribute, values});
}

void* EntityGenerator::Init() {
  random.Seed(Seed());
  type.Define(Engine()->GetEntityList());
  return nullptr;
}

void* EntityGenerator::Start() {
  timerEvent = new DesEvent(0.0, 0, this, nullptr);
  Schedule(timerEvent, interval.Draw(random), &generateHandler);
  return nullptr;
}

MSGRespEvent EntityGenerator::Generate(DesEvent*) {
  CountEvent();
  // The carrier comes first: once the entity exists it always has an owner.
  // The carrier owns the entity from here on, and the block the carrier.
  DesEvent* carrier = new DesEvent(Now(), 0, this, nullptr);
  DesEntity* entity = nullptr;
  try {
    entity = Engine()->GetEntityList()->CloneEntity(type.Name().c_str(), false);
  } catch (...) {
    Release(carrier);
    throw;
  }
  waiting = carrier;
  carrier->SetEntity(entity);
  ++generated;
  if (!serialAttribute.empty())
    entity->WriteNumberToAttribute(this, serialAttribute.c_str(), static_cast<double>(generated));
  for (const Rule& rule : rules)
    entity->WriteNumberToAttribute(this, rule.attribute.c_str(), rule.values.Draw(random));
  Dispatch();
  return MSGRespEvent();
}

void EntityGenerator::Dispatch() {
  if (waiting == nullptr || !CanSend(0)) return;
  DesEvent* carrier = waiting;
  waiting = nullptr;
  Send(0, carrier);
  if (limit == 0 || generated < limit) Schedule(timerEvent, interval.Draw(random), &generateHandler);
}

void EntityGenerator::OnRoomDownstream(int) { Dispatch(); }

void EntityGenerator::ForEachHeld(const std::function<void(const DesEntity*)>& visit) const {
  ModelBlock::ForEachHeld(visit);
  if (waiting != nullptr) visit(waiting->GetEntity());
}

void EntityGenerator::ReleaseHeld() {
  if (waiting != nullptr) Release(waiting);
  waiting = nullptr;
  if (timerEvent != nullptr) Release(timerEvent);
  timerEvent = nullptr;
}

void EntityGenerator::Statistics(const StatisticVisitor& visit) const {
  ModelBlock::Statistics(visit);
  visit("generated", static_cast<double>(generated), true);
}
