#include "blocks/Queue.h"

#include <algorithm>

#include "tarnwell.h"

Queue::Queue(std::size_t maxEntities)
    : ModelBlock(1, 2),
      capacity(maxEntities),
      impatient(false),
      patience(Distribution::Fixed(0.0)),
      head(0),
      arrivals(0),
      timedOutCount(0),
      averageLength(0.0) {
  arriveHandler.BindTo(this, &Queue::Arrive, "Arrive");
  SetEventType("Queue");
}

Queue::~Queue() = default;

void Queue::SetPatience(Distribution waiting, const std::string& tag) {
  impatient = true;
  patience = waiting;
  timeoutTag = tag;
}

void* Queue::Init() {
  random.Seed(Seed());
  return nullptr;
}

bool Queue::CanAccept(int) const {
  return capacity == kInfinite || Length() + leaving.size() + PendingArrivals(0) < capacity;
}

MSGRespEvent Queue::Arrive(DesEvent* e) {
  // Read the ordering key before the entity becomes ours: a failure leaves
  // it with the arrivals, which Stop releases.
  const double key = priorityAttribute.empty()
                         ? 0.0
                         : e->GetEntity()->ReadNumberFromAttribute(this, priorityAttribute);
  // Filed before it leaves the arrivals: when there is no room to file it,
  // it stays with the arrivals, which Stop releases.
  Insert(Entry{key, arrivals, e});
  ++arrivals;
  TakeArrival(e, 0);
  NoteLength();
  if (Traced()) LogQueued(e);
  Serve();
  if (impatient) {
    // Only an entity that actually has to wait gets a deadline.
    for (std::size_t i = head; i < entries.size(); ++i) {
      if (entries[i].carrier != e) continue;
      const double deadline = Now() + patience.Draw(random);
      const int priority = 0;
      TimeoutData* timeout =
          e->GetEntity()->CreateTimeout(timeoutTag.c_str(), deadline, priority, this, e, 1);
      Engine()->ProcessTimeoutDataAddition(timeout);
      break;
    }
  }
  return MSGRespEvent();
}

void Queue::Insert(const Entry& entry) {
  auto later = std::upper_bound(
      entries.begin() + static_cast<std::ptrdiff_t>(head), entries.end(), entry,
      [](const Entry& a, const Entry& b) { return a.key < b.key || (a.key == b.key && a.order < b.order); });
  entries.insert(later, entry);
}

void Queue::LogQueued(const DesEvent* carrier) {
  std::size_t position = 1;
  while (head + position - 1 < entries.size() && entries[head + position - 1].carrier != carrier) ++position;
  Log<8>(carrier, priorityAttribute.empty() ? std::string("FIFO") : "By " + priorityAttribute.Name(),
         static_cast<uint64_t>(position), static_cast<uint64_t>(Length()), static_cast<uint64_t>(capacity));
}

void Queue::RemoveAt(std::size_t index) {
  if (index == head) {
    ++head;
    // Reclaim the spent front once it outweighs the live part.
    if (head > 64 && head * 2 > entries.size()) {
      entries.erase(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(head));
      head = 0;
    }
  } else {
    entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(index));
  }
  if (head == entries.size()) {
    entries.clear();
    head = 0;
  }
}

void Queue::CancelPatience(DesEvent* carrier) {
  if (!impatient) return;
  TimeoutData* timeout = carrier->GetEntity()->FindTimeout(this, timeoutTag.c_str(), false);
  if (timeout != nullptr && !timeout->IsCancelled()) Engine()->ProcessTimeoutDataRemoval(timeout);
}

void Queue::Serve() {
  bool madeRoom = false;
  while (Length() > 0 && CanSend(kOut)) {
    DesEvent* carrier = entries[head].carrier;
    CancelPatience(carrier);
    RemoveAt(head);
    madeRoom = true;
    Send(kOut, carrier);
  }
  if (madeRoom) {
    NoteLength();
    NotifyUpstream(0);
  }
}

bool Queue::ExecuteTimeoutEvent(DesEvent* event, TimeoutData* timeout) {
  CountEvent();
  for (std::size_t i = head; i < entries.size(); ++i) {
    if (entries[i].carrier != event) continue;
    if (!IsConnected(kTimedOut)) {
      // Nowhere to go: the timeout's option decides between an error and a
      // warning; the entity stays where it is.
      timeout->ProcessTimedoutEntityNoDest(this);
      return false;
    }
    // Room in the leaving list first: a carrier taken out of the queue must
    // land somewhere, or nobody releases it.
    if (leaving.size() == leaving.capacity()) leaving.reserve(2 * leaving.size() + 1);
    RemoveAt(i);
    ++timedOutCount;
    leaving.push_back(event);
    SendTimedOut();
    NoteLength();
    NotifyUpstream(0);
    return true;
  }
  return false;
}

void Queue::SendTimedOut() {
  while (!leaving.empty() && CanSend(kTimedOut)) {
    DesEvent* carrier = leaving.front();
    leaving.erase(leaving.begin());
    Send(kTimedOut, carrier);
  }
}

void Queue::OnRoomDownstream(int outPort) {
  if (outPort == kTimedOut) {
    SendTimedOut();
    NoteLength();
    NotifyUpstream(0);
  } else {
    Serve();
  }
}

void Queue::ForEachHeld(const std::function<void(const DesEntity*)>& visit) const {
  ModelBlock::ForEachHeld(visit);
  for (std::size_t i = head; i < entries.size(); ++i) visit(entries[i].carrier->GetEntity());
  for (DesEvent* e : leaving) visit(e->GetEntity());
}

void Queue::CloseStatistics(double endTime) { averageLength = length.Close(endTime); }

void Queue::ReleaseHeld() {
  for (std::size_t i = head; i < entries.size(); ++i) {
    CancelPatience(entries[i].carrier);
    Release(entries[i].carrier);
  }
  entries.clear();
  head = 0;
  for (DesEvent* e : leaving) Release(e);
  leaving.clear();
}

void Queue::DescribeState(BlockStateResult& state) const {
  state.PushBlockData("length " + std::to_string(Length()) + " of " +
                      (capacity == kInfinite ? std::string("unlimited") : std::to_string(capacity)) +
                      (priorityAttribute.empty() ? ", first in first out"
                                                 : ", smallest " + priorityAttribute.Name() + " first"));
  if (impatient) state.PushBlockData("timed out so far " + std::to_string(timedOutCount));
  // A waiting carrier was last scheduled for its arrival here.
  for (std::size_t i = head; i < entries.size(); ++i) {
    const DesEvent* e = entries[i].carrier;
    std::string about = "arrived at " + NumberText(e->GetTime());
    if (!priorityAttribute.empty()) about += ", " + priorityAttribute.Name() + " = " + NumberText(entries[i].key);
    DescribeEntity(state, e, about);
  }
  for (const DesEvent* e : leaving) DescribeEntity(state, e, "timed out, waiting for room at output 1");
}

void Queue::Statistics(const StatisticVisitor& visit) const {
  ModelBlock::Statistics(visit);
  visit("length", static_cast<double>(Length()), true);
  visit("average-length", averageLength, false);
  visit("timed-out", static_cast<double>(timedOutCount), true);
}
