#include "blocks/Server.h"

#include <algorithm>

#include "tarnwell.h"

Server::Server(int count, Distribution service)
    : ModelBlock(1, 1), servers(count), serviceTime(service), completed(0), utilisation(0.0) {
  arriveHandler.BindTo(this, &Server::Arrive, "Arrive");
  completeHandler.BindTo(this, &Server::Complete, "ServiceComplete");
  SetEventType("Server");
}

Server::Server(int count, const std::string& attribute) : Server(count, Distribution::Fixed(0.0)) {
  serviceAttribute = attribute;
}

Server::~Server() = default;

void* Server::Init() {
  random.Seed(Seed());
  inService.reserve(static_cast<std::size_t>(servers));
  done.reserve(static_cast<std::size_t>(servers));
  return nullptr;
}

bool Server::CanAccept(int) const {
  return Occupied() + PendingArrivals(0) < static_cast<std::size_t>(servers);
}

MSGRespEvent Server::Arrive(DesEvent* e) {
  const double duration =
      serviceAttribute.empty()
          ? serviceTime.Draw(random)
          : e->GetEntity()->ReadNumberFromAttribute(this, serviceAttribute);
  // Held before it leaves the arrivals, so that it always has an owner.
  inService.push_back(e);
  TakeArrival(e, 0);
  NoteBusy();
  Schedule(e, duration, &completeHandler);
  return MSGRespEvent();
}

MSGRespEvent Server::Complete(DesEvent* e) {
  CountEvent();
  inService.erase(std::find(inService.begin(), inService.end(), e));
  done.push_back(e);
  ++completed;
  Depart();
  return MSGRespEvent();
}

void Server::Depart() {
  bool sent = false;
  while (!done.empty() && CanSend(0)) {
    // Out of our list before it is handed over: an entity is only ever in
    // one block's keeping.
    DesEvent* carrier = done.front();
    done.erase(done.begin());
    sent = true;
    Send(0, carrier);
  }
  if (!sent) return;
  NoteBusy();
  NotifyUpstream(0);
}

void Server::ForEachHeld(const std::function<void(const DesEntity*)>& visit) const {
  ModelBlock::ForEachHeld(visit);
  for (DesEvent* e : inService) visit(e->GetEntity());
  for (DesEvent* e : done) visit(e->GetEntity());
}

void Server::CloseStatistics(double endTime) {
  utilisation = busy.Close(endTime) / static_cast<double>(servers);
}

void Server::ReleaseHeld() {
  for (DesEvent* e : inService) Release(e);
  inService.clear();
  for (DesEvent* e : done) Release(e);
  done.clear();
}

void Server::DescribeState(BlockStateResult& state) const {
  state.PushBlockData("busy " + std::to_string(Occupied()) + " of " + std::to_string(servers) +
                      " servers, completed " + std::to_string(completed));
  // An entity in service waits on the calendar for its completion.
  for (const DesEvent* e : inService) DescribeEntity(state, e, "in service until " + NumberText(e->GetTime()));
  for (const DesEvent* e : done) DescribeEntity(state, e, "served, waiting for room downstream");
}

void Server::Statistics(const StatisticVisitor& visit) const {
  ModelBlock::Statistics(visit);
  visit("completed", static_cast<double>(completed), true);
  visit("utilisation", utilisation, false);
}
