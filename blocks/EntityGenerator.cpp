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

void EntityGenerator::RegisterWithDebugger() {
  ModelBlock::RegisterWithDebugger();
  if (Traced()) announce.reset(new _Logger<6>(Engine()));
}

void* EntityGenerator::Start() {
  entityTemplate = Engine()->GetEntityList()->FindEntity(type.Name().c_str());
  if (announce != nullptr) (*announce)();
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
    entity = entityTemplate->clone(false);
  } catch (...) {
    Release(carrier);
    throw;
  }
  waiting = carrier;
  carrier->SetEntity(entity);
  ++generated;
  Log<0>(carrier);
  // Under a debugger each attribute written is logged too.
  WrittenAttributes written;
  const auto write = [&](const NameHandle& attribute, double value) {
    entity->WriteNumberToAttribute(this, attribute, value);
    if (Traced()) written.emplace_back(attribute.Name(), value);
  };
  if (!serialAttribute.empty()) write(serialAttribute, static_cast<double>(generated));
  for (const Rule& rule : rules) write(rule.attribute, rule.values.Draw(random));
  LogAttributes(carrier, written);
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
  announce.reset();
}

void EntityGenerator::DescribeState(BlockStateResult& state) const {
  state.PushBlockData("generated " + std::to_string(generated) +
                      (limit > 0 ? " of at most " + std::to_string(limit) : std::string()));
  if (waiting != nullptr)
    state.PushBlockData("blocked: the next block has no room for the entity made");
  else if (limit > 0 && generated >= limit)
    state.PushBlockData("done: makes no more entities");
  else if (timerEvent != nullptr)
    state.PushBlockData("next arrival at " + NumberText(timerEvent->GetTime()));
  if (waiting != nullptr) DescribeEntity(state, waiting, "waiting for room downstream");
}

void EntityGenerator::Statistics(const StatisticVisitor& visit) const {
  ModelBlock::Statistics(visit);
  visit("generated", static_cast<double>(generated), true);
}
