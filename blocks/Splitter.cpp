#include "blocks/Splitter.h"

#include <algorithm>

#include "tarnwell.h"

Splitter::Splitter(int outputCount) : ModelBlock(1, outputCount), outputs(outputCount), split(0) {
  arriveHandler.BindTo(this, &Splitter::Arrive, "Arrive");
  SetEventType("Split");
}

Splitter::~Splitter() = default;

MSGRespEvent Splitter::Arrive(DesEvent* e) {
  DesEntity* composite = e->GetEntity();
  // Not a composite: the library's own refusal (DES_EntityNoSplit).
  if (composite->GetHasSubEntity() == 0) composite->FindSeqSubEntity(1);
  sequences.clear();
  for (const DesEntity* member : *composite->GetEntitySet()) sequences.push_back(member->GetSequence());
  std::sort(sequences.begin(), sequences.end());
  // A member taken out of the composite always has an owner: its carrier
  // and the carrier's place among the leaving are made before it is taken.
  leaving.reserve(leaving.size() + sequences.size());
  for (uint32_t seq : sequences) {
    DesEvent* carrier = new DesEvent(Now(), 0, this, nullptr);
    DesEntity* member = nullptr;
    try {
      member = composite->RemoveSeqSubEntity(seq);
    } catch (...) {
      Release(carrier);
      throw;
    }
    if (member == nullptr) {
      Release(carrier);
      continue;
    }
    member->SetIsSubEntity(false);
    const int port = static_cast<int>(std::min<uint32_t>(std::max<uint32_t>(seq, 1), outputs)) - 1;
    leaving.push_back(Member{port, carrier});
    carrier->SetEntity(member);
  }
  if (Traced()) {
    std::string equation = "into";
    for (const Member& m : leaving)
      equation += (equation.size() > 4 ? ", " : " ") + m.carrier->GetEntity()->GetId() + " (output " +
                  std::to_string(m.port) + ")";
    Log<13>(e, equation);
    Log<1>(e);
  }
  TakeArrival(e, 0);
  ++split;
  delete e;  // the emptied composite ends with its carrier
  SendMembers();
  return MSGRespEvent();
}

void Splitter::SendMembers() {
  // Members leave in sequence order; a blocked output holds back the rest.
  while (!leaving.empty() && CanSend(leaving.front().port)) {
    Member next = leaving.front();
    leaving.erase(leaving.begin());
    Send(next.port, next.carrier);
  }
  if (leaving.empty()) NotifyUpstream(0);
}

void Splitter::ForEachHeld(const std::function<void(const DesEntity*)>& visit) const {
  ModelBlock::ForEachHeld(visit);
  for (const Member& m : leaving) visit(m.carrier->GetEntity());
}

void Splitter::ReleaseHeld() {
  for (const Member& m : leaving) Release(m.carrier);
  leaving.clear();
}

void Splitter::DescribeState(BlockStateResult& state) const {
  state.PushBlockData("split " + std::to_string(split));
  for (const Member& m : leaving)
    DescribeEntity(state, m.carrier, "split off, waiting for room at output " + std::to_string(m.port));
}

void Splitter::Statistics(const StatisticVisitor& visit) const {
  ModelBlock::Statistics(visit);
  visit("split", static_cast<double>(split), true);
}
