#include "blocks/Combiner.h"

#include <stdexcept>

#include "tarnwell.h"

namespace {
// Handlers are member functions without a port argument; one instantiation
// per input port, up to this many ports.
constexpr int kMaxInputs = 4;
}  // namespace

Combiner::Combiner(int inputs, std::string typeName)
    : ModelBlock(inputs, 1),
      compositeType(std::move(typeName)),
      arriveHandlers(static_cast<std::size_t>(inputs)),
      slots(static_cast<std::size_t>(inputs), nullptr),
      building(nullptr),
      combined(0) {
  if (inputs < 1 || inputs > kMaxInputs) throw std::invalid_argument("a combiner has 1 to 4 inputs");
  MSGRespEvent (Combiner::*handlers[kMaxInputs])(DesEvent*) = {
      &Combiner::ArriveAt<0>, &Combiner::ArriveAt<1>, &Combiner::ArriveAt<2>, &Combiner::ArriveAt<3>};
  for (int i = 0; i < inputs; ++i)
    arriveHandlers[static_cast<std::size_t>(i)].BindTo(this, handlers[i], "Arrive");
  SetEventType("Combine");
}

Combiner::~Combiner() = default;

void* Combiner::Init() {
  compositeType.Define(Engine()->GetEntityList());
  return nullptr;
}

bool Combiner::CanAccept(int inPort) const {
  return slots[static_cast<std::size_t>(inPort)] == nullptr && PendingArrivals(inPort) == 0;
}

MSGRespEvent Combiner::Arrive(DesEvent* e, int port) {
  TakeArrival(e, port);
  slots[static_cast<std::size_t>(port)] = e;
  Combine();
  return MSGRespEvent();
}

void Combiner::Combine() {
  for (DesEvent* slot : slots)
    if (slot == nullptr) return;
  if (!CanSend(0)) return;
  if (building == nullptr) {
    DesEntity* composite =
        Engine()->GetEntityList()->CloneEntity(compositeType.Name().c_str(), false);
    building = new DesEvent(Now(), 0, this, composite);
  }
  DesEntity* composite = building->GetEntity();
  std::string equation;
  if (Traced()) {
    equation = composite->GetId() + " =";
    for (std::size_t i = 0; i < slots.size(); ++i)
      equation += (i > 0 ? " + " : " ") + slots[i]->GetEntity()->GetId();
  }
  for (std::size_t i = 0; i < slots.size(); ++i) {
    // The member stays its carrier's until the composite has taken it: a
    // refused member (a clashing attribute name, say) is still held here.
    DesEntity* part = slots[i]->GetEntity();
    part->SetSequence(static_cast<uint32_t>(i + 1));
    composite->InsertSeqEntities(this, part, true, true);
    slots[i]->ReleaseEntity();
    delete slots[i];
    slots[i] = nullptr;
  }
  composite->SetCarrierEvent(building);
  Log<12>(equation, Path(), building);
  DesEvent* carrier = building;
  building = nullptr;
  ++combined;
  CountEvent();
  Send(0, carrier);
  for (int port = 0; port < static_cast<int>(slots.size()); ++port) NotifyUpstream(port);
}

void Combiner::ForEachHeld(const std::function<void(const DesEntity*)>& visit) const {
  ModelBlock::ForEachHeld(visit);
  for (DesEvent* slot : slots)
    if (slot != nullptr) visit(slot->GetEntity());
  if (building != nullptr) visit(building->GetEntity());
}

void Combiner::ReleaseHeld() {
  for (DesEvent*& slot : slots) {
    if (slot != nullptr) Release(slot);
    slot = nullptr;
  }
  if (building != nullptr) Release(building);
  building = nullptr;
}

void Combiner::DescribeState(BlockStateResult& state) const {
  state.PushBlockData("combined " + std::to_string(combined));
  for (std::size_t i = 0; i < slots.size(); ++i)
    if (slots[i] != nullptr) DescribeEntity(state, slots[i], "waiting at input " + std::to_string(i) + " for its partners");
  if (building != nullptr) DescribeEntity(state, building, "combined, waiting for room downstream");
}

void Combiner::Statistics(const StatisticVisitor& visit) const {
  ModelBlock::Statistics(visit);
  visit("combined", static_cast<double>(combined), true);
}
