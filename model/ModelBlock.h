// Base of the blocks that the model driver runs, the heart of the block
// framework: the engine sees a NodeInterface; this adds what every block
// of a model needs. It names the block (path and host object for
// diagnostics), connects output ports to input ports of other blocks, and
// implements the hand-over of entities between blocks.
//
// Hand-over protocol. An entity always travels inside its carrier event, and
// that event always belongs to exactly one block:
//  - a sender asks CanSend(port); the receiver answers from its free room,
//    counting entities already on their way to it;
//  - Send(port, e) reserves that room, moves the event into the receiver's
//    list of incoming events and schedules it, at the current time, to the
//    receiver's arrival handler for that port;
//  - the arrival handler calls TakeArrival once it has done everything that
//    can fail, and from then on keeps the event in its own lists;
//  - a block that cannot pass an entity on keeps it; the receiver calls
//    NotifyUpstream(port) whenever it makes room, and every block connected
//    to that port gets OnRoomDownstream and tries again.
// Because every event sits in exactly one block's lists, Stop can cancel
// and destroy everything the model still holds, also after a failure in the
// middle of a time step.
//
// Mistakes. Connect never throws: a connection to a port that does not
// exist is kept aside and reported by the driver's check before the run,
// with every other mistake of the model. During the run, Send refuses an
// entity that the receiver has no room for (ModelError, in every build
// type), and every handler runs inside a guard that turns an exception of
// any kind into a ModelError naming the block, the handler and the time.
//
// Debugging. Once the engine has a debugger, RegisterWithDebugger makes
// the block known to it by its path; from then on the block logs what it
// does to entities with the library's operation loggers (Log, guarded by
// Traced) and answers the debugger's state query (GetBlockState, filled by
// DescribeState). A block never registered logs nothing and builds no
// record: an untraced run pays one test of a pointer per operation.
//
// Life of a block, driven by the model driver: Attach (joins an engine), Init
// (defines entity types, from the BlockData hooks), Start (schedules the
// first events), the run, CloseStatistics, Stop (releases every held
// entity), then the engine terminates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "entity/BlockData.h"
#include "kernel/Des.h"
#include "kernel/DesEventFunctor.h"
#include "kernel/NodeInterface.h"
#include "trace/OperationLoggers.h"

class BlockStateResult;
class DesEntity;
class DesEvent;
class EventFingerprint;
class ModelError;
class TWDebugger;

class ModelBlock : public NodeInterface, public BlockData {
 public:
  ModelBlock(int inputPorts, int outputPorts);
  ModelBlock(const ModelBlock&) = delete;
  ModelBlock& operator=(const ModelBlock&) = delete;
  ~ModelBlock() override;

  // The driver hands the block its engine, its host object (the handle that
  // diagnostics name) and its path, e.g. "mm1/Queue".
  void Attach(Des* engine, void* hostObject, const std::string& blockPath, uint64_t blockSeed);

  // Output `outPort` of this block feeds input `inPort` of `to`. A port
  // that does not exist is a mistake the driver reports before the run.
  void Connect(int outPort, ModelBlock* to, int inPort = 0);

  int InputPorts() const { return static_cast<int>(upstream.size()); }
  int OutputPorts() const { return static_cast<int>(outputs.size()); }
  // False for an output that may stay unconnected (the block then never
  // sends through it, or the library's own rules apply, as for a queue's
  // timeout port).
  virtual bool OutputRequired(int outPort) const;

  const char* GetBlkParentName() const override { return path.c_str(); }
  // "Parent" is how the engine's records name a block: its path.
  std::string getFieldAsString(const char* field) const override;
  void* getObjProxy() override { return hostObject; }
  std::string* Get_FullPathPtr() override { return &path; }
  const std::string& Path() const { return path; }

  // Cancels and destroys every event (and so every entity) the block still
  // holds: incoming ones and those of ReleaseHeld; logs no more. Returns
  // true.
  bool Stop() override;

  // Makes the block known to the engine's debugger under its path and
  // switches its logging on. Nothing happens without a debugger.
  virtual void RegisterWithDebugger();
  // What the block holds now, for the debugger's state command: the lines
  // and rows of DescribeState, then the entities on their way in. The
  // caller owns the result.
  BlockStateResult* GetBlockState() override;
  // Every event this block's handlers execute is folded into `fingerprint`
  // (null: none, the default); it must outlive the run. Set before the
  // block starts: it applies to the handlers scheduled from then on.
  void SetFingerprint(EventFingerprint* fingerprint) { this->fingerprint = fingerprint; }

  // Every entity the block holds now (a composite counts once).
  virtual void ForEachHeld(const std::function<void(const DesEntity*)>& visit) const;
  std::size_t EntitiesHeld() const;
  // Events this block's handlers have executed.
  uint64_t EventsHandled() const { return eventsHandled; }
  // The block's figures by name, for reports ("held", "events", and what
  // the block adds: "count", "utilisation"...); `whole` marks counts.
  using StatisticVisitor = std::function<void(const std::string& name, double value, bool whole)>;
  virtual void Statistics(const StatisticVisitor& visit) const;
  // Closes time averages at the end of the run.
  virtual void CloseStatistics(double endTime);

  // Why an entity is on its way to this block, for the stall report.
  std::size_t IncomingCount() const { return incoming.size(); }

  // The mistakes of this block's connections, one message each; `added`
  // tells whether a block was added to the same driver.
  void CheckConnections(const std::function<bool(const ModelBlock*)>& added,
                        std::vector<ModelError>& mistakes) const;

 protected:
  // Free room on an input port; entities already on their way count as
  // taken (PendingArrivals).
  virtual bool CanAccept(int inPort) const = 0;
  // The handler that receives entities on `inPort`.
  virtual DesEventFunctor* ArrivalHandler(int inPort) = 0;
  // Room appeared downstream of `outPort`.
  virtual void OnRoomDownstream(int outPort);
  // Destroy what the block keeps in its own lists (see Release).
  virtual void ReleaseHeld();

  // Inline: blocks ask before every hand-over, several times per entity.
  bool CanSend(int outPort) const;
  bool IsConnected(int outPort) const;
  // Hands the carrier over; the caller has already taken it out of its own
  // lists. When CanSend(outPort) is false the block keeps the carrier (it
  // is released at Stop) and the run ends with a ModelError naming both
  // blocks.
  void Send(int outPort, DesEvent* carrier);
  // The arrival on `inPort` is now the block's own.
  void TakeArrival(DesEvent* carrier, int inPort);
  std::size_t PendingArrivals(int inPort) const { return pending[inPort]; }
  void NotifyUpstream(int inPort);

  // Moves an event that belongs to this block on by `delay` from now, to
  // one of this block's handlers.
  void Schedule(DesEvent* e, double delay, DesEventFunctor* handler);
  // Cancels an event if it waits on the calendar, then destroys it with
  // its entity.
  void Release(DesEvent* e);
  void CountEvent() { ++eventsHandled; }

  // True once the block is registered with a debugger: only then may it
  // build log records. Arguments that cost something to make are made
  // under this test.
  bool Traced() const { return debugger != nullptr; }
  // Logs an operation with the library's logger N (its call's arguments);
  // nothing without a debugger. A logger may stop at the prompt and, when
  // the user quits there, throw: call it where the block's lists already
  // account for every entity.
  template <int N, class... Args>
  void Log(Args&&... args) {
    if (Traced()) LogRecord<N>(std::forward<Args>(args)...);
  }
  // Logs the attributes just written on the entity `carrier` carries, as
  // (name, value) pairs in the order written.
  using WrittenAttributes = std::vector<std::pair<std::string, double>>;
  void LogAttributes(const DesEvent* carrier, const WrittenAttributes& written) {
    if (Traced() && !written.empty()) LogAttributeRecord(carrier, written);
  }
  // The block's own part of its state: lines about it and one row per
  // entity it holds (see BlockStateResult). The base adds nothing.
  virtual void DescribeState(BlockStateResult& state) const;
  // An entity's row in a state: its id and one text about it.
  static void DescribeEntity(BlockStateResult& state, const DesEvent* carrier, const std::string& about);
  // A number (a time, a value) as the trace prints it: the shortest text
  // that reads back exactly.
  static std::string NumberText(double t);

  Des* Engine() const { return GetDesInstance(); }
  double Now() const;
  uint64_t Seed() const { return seed; }

 private:
  struct Link {
    ModelBlock* block;
    int port;
  };
  struct BadConnection {
    int outPort;
    const ModelBlock* to;
    int inPort;
  };
  // A handler wrapped so that its exceptions name the block: events are
  // scheduled to `entry`, which runs `handler`. Owned here, so the entry's
  // address is stable while events point at it.
  struct Guard {
    DesEventFunctor entry;
    DesEventFunctor* handler;
  };

  // The records themselves, apart from the tests above so that those stay
  // inline and small: out of line and marked rarely taken, they leave the
  // untraced path of their callers as it was.
  template <int N, class... Args>
  __attribute__((noinline, cold)) void LogRecord(Args&&... args) {
    _Logger<N>{Engine()}(std::forward<Args>(args)...);
  }
  __attribute__((noinline, cold)) void LogAttributeRecord(const DesEvent* carrier,
                                                          const WrittenAttributes& written);

  DesEventFunctor* Guarded(DesEventFunctor* handler);
  MSGRespEvent RunGuarded(DesEvent* e);
  // RunGuarded, after folding the event into the fingerprint: the entry of
  // the guards made while a fingerprint is set, so that a run without one
  // does not test for it on every event.
  MSGRespEvent RunFingerprinted(DesEvent* e);
  void RefuseOutput(int outPort) const;

  std::string path;
  void* hostObject;
  TWDebugger* debugger;  // set while registered; the engine owns it
  EventFingerprint* fingerprint;
  uint64_t seed;
  uint64_t eventsHandled;
  std::vector<Link> outputs;
  std::vector<std::vector<Link>> upstream;
  std::vector<std::size_t> pending;
  std::vector<DesEvent*> incoming;
  std::vector<DesEvent*> refused;  // carriers Send could not hand over
  std::vector<BadConnection> badConnections;
  std::vector<std::unique_ptr<Guard>> guards;
};

inline bool ModelBlock::IsConnected(int outPort) const {
  return outPort >= 0 && outPort < OutputPorts() && outputs[static_cast<std::size_t>(outPort)].block != nullptr;
}

// The engine's clock reads -1 until its first step; blocks that schedule
// their first events at Start do so from time 0.
inline double ModelBlock::Now() const {
  const double t = Engine()->GetTimeNow();
  return t < 0.0 ? 0.0 : t;
}

inline bool ModelBlock::CanSend(int outPort) const {
  if (!IsConnected(outPort)) return false;
  const Link& to = outputs[static_cast<std::size_t>(outPort)];
  return to.block->CanAccept(to.port);
}
