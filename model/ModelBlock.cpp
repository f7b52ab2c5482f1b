#include "model/ModelBlock.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <exception>
#include <new>

#include "entity/DesEntity.h"
#include "host/HostControl.h"
#include "kernel/Des.h"
#include "debugger/BlockStateResult.h"
#include "debugger/DesSimState.h"
#include "debugger/TWDebugger.h"
#include "kernel/DesEvent.h"
#include "model/EventFingerprint.h"
#include "model/ModelError.h"
#include "support/PMException.h"

namespace {

std::string Time(double t) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", t);
  return text;
}

}  // namespace

ModelBlock::ModelBlock(int inputPorts, int outputPorts)
    : hostObject(nullptr),
      debugger(nullptr),
      fingerprint(nullptr),
      seed(0),
      eventsHandled(0),
      outputs(outputPorts, Link{nullptr, 0}),
      upstream(inputPorts),
      pending(inputPorts, 0) {}

ModelBlock::~ModelBlock() = default;

void ModelBlock::Attach(Des* engine, void* object, const std::string& blockPath,
                        uint64_t blockSeed) {
  SetDesInstance(engine);
  hostObject = object;
  path = blockPath;
  seed = blockSeed;
}

void ModelBlock::Connect(int outPort, ModelBlock* to, int inPort) {
  if (outPort < 0 || outPort >= OutputPorts() || to == nullptr || inPort < 0 || inPort >= to->InputPorts()) {
    badConnections.push_back(BadConnection{outPort, to, inPort});
    return;
  }
  // Connecting an output again replaces its link, also upstream.
  Link& out = outputs[static_cast<std::size_t>(outPort)];
  if (out.block != nullptr) {
    auto& from = out.block->upstream[static_cast<std::size_t>(out.port)];
    from.erase(std::remove_if(from.begin(), from.end(),
                              [&](const Link& l) { return l.block == this && l.port == outPort; }),
               from.end());
  }
  out = Link{to, inPort};
  to->upstream[static_cast<std::size_t>(inPort)].push_back(Link{this, outPort});
}

bool ModelBlock::OutputRequired(int) const { return true; }

void ModelBlock::CheckConnections(const std::function<bool(const ModelBlock*)>& added,
                                  std::vector<ModelError>& mistakes) const {
  auto mistake = [&mistakes](ModelMessage id, std::initializer_list<std::string> args) {
    mistakes.emplace_back(id, args);
  };
  std::vector<bool> reported(outputs.size(), false);
  for (const BadConnection& b : badConnections) {
    const std::string out = std::to_string(b.outPort);
    if (b.outPort < 0 || b.outPort >= OutputPorts()) {
      mistake(ModelMessage::NoSuchOutput, {path, out, DescribePorts(OutputPorts())});
      continue;
    }
    reported[static_cast<std::size_t>(b.outPort)] = true;
    if (b.to == nullptr || !added(b.to))
      mistake(ModelMessage::BlockNotAdded, {path, out});
    else
      mistake(ModelMessage::NoSuchInput,
              {path, out, std::to_string(b.inPort), b.to->Path(), DescribePorts(b.to->InputPorts())});
  }
  for (int port = 0; port < OutputPorts(); ++port) {
    const Link& link = outputs[static_cast<std::size_t>(port)];
    if (reported[static_cast<std::size_t>(port)]) continue;
    if (link.block == nullptr && OutputRequired(port))
      mistake(ModelMessage::OutputNotConnected, {path, std::to_string(port)});
    else if (link.block != nullptr && !added(link.block))
      mistake(ModelMessage::BlockNotAdded, {path, std::to_string(port)});
  }
}

bool ModelBlock::Stop() {
  ReleaseHeld();
  for (DesEvent* e : incoming) Release(e);
  incoming.clear();
  for (DesEvent* e : refused) Release(e);
  refused.clear();
  std::fill(pending.begin(), pending.end(), 0);
  // The engine terminates next, and its debugger with it.
  debugger = nullptr;
  return true;
}

void ModelBlock::RegisterWithDebugger() {
  TWDebugger* d = Engine()->GetDebugger();
  if (d == nullptr) return;
  d->GetSimState()->RegisterDebuggableBlock(this, path);
  debugger = d;
}

BlockStateResult* ModelBlock::GetBlockState() {
  BlockStateResult* state = new BlockStateResult();
  try {
    DescribeState(*state);
    for (const DesEvent* e : incoming) DescribeEntity(*state, e, "on its way in");
    for (const DesEvent* e : refused) DescribeEntity(*state, e, "refused by the next block");
  } catch (...) {
    delete state;
    throw;
  }
  return state;
}

void ModelBlock::DescribeState(BlockStateResult&) const {}

void ModelBlock::LogAttributeRecord(const DesEvent* carrier, const WrittenAttributes& written) {
  // Names in row 1, values in row 2: one column per attribute, as the
  // attribute logger's format expects.
  hvArray* cell = hvCreateCellMatrix(2, written.size());
  try {
    for (std::size_t k = 0; k < written.size(); ++k) {
      hvSetCell(cell, 2 * k, hvCreateString(written[k].first.c_str()));
      hvSetCell(cell, 2 * k + 1, hvCreateDoubleScalar(written[k].second));
    }
  } catch (...) {
    hvDestroyArray(cell);
    throw;
  }
  Log<16>(carrier, cell);  // takes the cell
}

void ModelBlock::DescribeEntity(BlockStateResult& state, const DesEvent* carrier, const std::string& about) {
  state.PushEntityData(carrier->GetEntity() != nullptr ? carrier->GetEntity()->GetId() : "<none>", about);
}

std::string ModelBlock::NumberText(double t) {
  char text[40];
  const std::to_chars_result written = std::to_chars(text, text + sizeof text, t);
  return std::string(text, written.ptr);
}

void ModelBlock::ForEachHeld(const std::function<void(const DesEntity*)>& visit) const {
  for (DesEvent* e : incoming)
    if (e->GetEntity() != nullptr) visit(e->GetEntity());
  for (DesEvent* e : refused)
    if (e->GetEntity() != nullptr) visit(e->GetEntity());
}

std::size_t ModelBlock::EntitiesHeld() const {
  std::size_t n = 0;
  ForEachHeld([&n](const DesEntity*) { ++n; });
  return n;
}

void ModelBlock::CloseStatistics(double) {}

void ModelBlock::Statistics(const StatisticVisitor& visit) const {
  visit("held", static_cast<double>(EntitiesHeld()), true);
  visit("events", static_cast<double>(eventsHandled), true);
}
void ModelBlock::OnRoomDownstream(int) {}
void ModelBlock::ReleaseHeld() {}

void ModelBlock::Send(int outPort, DesEvent* carrier) {
  if (!CanSend(outPort)) {
    // The carrier stays ours, so Stop releases it with the rest.
    refused.push_back(carrier);
    RefuseOutput(outPort);
  }
  const Link& to = outputs[static_cast<std::size_t>(outPort)];
  // Ownership moves first: if scheduling fails, the receiver still holds
  // the event and releases it at Stop. A carrier the receiver has no room
  // to hold is released here, as nobody else has it any more.
  try {
    to.block->incoming.push_back(carrier);
  } catch (...) {
    Release(carrier);
    throw;
  }
  ++to.block->pending[to.port];
  carrier->SetTime(Now());
  carrier->ReuseAndReinitialize(0.0, 0, to.block, to.block->Guarded(to.block->ArrivalHandler(to.port)));
  Log<4>(carrier, this, to.block);
  Engine()->AddEvt(carrier);
}

void ModelBlock::RefuseOutput(int outPort) const {
  const std::string out = std::to_string(outPort);
  if (outPort < 0 || outPort >= OutputPorts())
    throw new ModelError(ModelMessage::NoSuchOutput, {path, out, DescribePorts(OutputPorts())});
  const Link& to = outputs[static_cast<std::size_t>(outPort)];
  if (to.block == nullptr) throw new ModelError(ModelMessage::OutputNotConnected, {path, out});
  throw new ModelError(ModelMessage::NoRoom, {path, out, to.block->Path(), std::to_string(to.port)});
}

DesEventFunctor* ModelBlock::Guarded(DesEventFunctor* handler) {
  if (handler == nullptr) return nullptr;
  for (const auto& g : guards)
    if (g->handler == handler) return &g->entry;
  guards.push_back(std::make_unique<Guard>());
  Guard& g = *guards.back();
  g.handler = handler;
  g.entry.BindTo(this, fingerprint != nullptr ? &ModelBlock::RunFingerprinted : &ModelBlock::RunGuarded,
                 handler->GetName());
  return &g.entry;
}

MSGRespEvent ModelBlock::RunGuarded(DesEvent* e) {
  const DesEventFunctor* entry = e->GetFunctor();
  DesEventFunctor* handler = nullptr;
  for (const auto& g : guards)
    if (&g->entry == entry) handler = g->handler;
  if (handler == nullptr) return DoProcessEvent(e);  // not scheduled through a guard
  try {
    (*handler)(e);
  } catch (PMException*) {
    throw;  // the library's errors name their blocks themselves
  } catch (ModelError*) {
    throw;
  } catch (const host::HostInterrupt&) {
    throw;  // the user's break key is nobody's mistake
  } catch (const std::bad_alloc&) {
    throw;  // nor is running out of memory: the driver reports the memory error
  } catch (const std::exception& x) {
    throw new ModelError(ModelMessage::HandlerFailed,
                         {handler->GetBlock()->GetBlkParentName(), handler->GetName(), Time(Now()), x.what()});
  } catch (...) {
    throw new ModelError(ModelMessage::HandlerFailedUnknown,
                         {handler->GetBlock()->GetBlkParentName(), handler->GetName(), Time(Now())});
  }
  return MSGRespEvent();
}

MSGRespEvent ModelBlock::RunFingerprinted(DesEvent* e) {
  // Before the handler, which may destroy the event. The guard's entry
  // bears its handler's name.
  fingerprint->Add(Now(), e->GetFunctor()->GetName(), path, e->GetEntity());
  return RunGuarded(e);
}

void ModelBlock::TakeArrival(DesEvent* carrier, int inPort) {
  ++eventsHandled;
  // Arrivals come mostly in the order they were sent.
  auto it = std::find(incoming.begin(), incoming.end(), carrier);
  if (it != incoming.end()) {
    incoming.erase(it);
    --pending[inPort];
  }
}

void ModelBlock::NotifyUpstream(int inPort) {
  for (const Link& from : upstream[inPort]) from.block->OnRoomDownstream(from.port);
}

void ModelBlock::Schedule(DesEvent* e, double delay, DesEventFunctor* handler) {
  e->SetTime(Now());
  e->ReuseAndReinitialize(delay, 0, this, Guarded(handler));
  Engine()->AddEvt(e);
}

void ModelBlock::Release(DesEvent* e) {
  Des* engine = Engine();
  if (engine->GetEventCalendar() != nullptr) engine->DeleteEvtWithoutLogging(e);
  delete e;
}

std::string ModelBlock::getFieldAsString(const char* field) const {
  if (field != nullptr && std::string(field) == "Parent") return path;
  return NodeInterface::getFieldAsString(field);
}
