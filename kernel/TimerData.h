// A timer that an entity carries under a tag: a block starts it when the
// entity passes, another block later reads how much simulation time has gone
// by since. Timers are reference-counted (a composite entity and its member
// may share one) and come from a pool of their own, which must exist while
// timers are made.
//
// The timer does not hold the engine: it reaches the current time through
// the block that started it, so reading a timer needs a started one whose
// block belongs to an engine.
#pragma once

#include <string>

#include "entity/Pointee.h"
#include "entity/Pool.h"
#include "support/PMMemMgr.h"

class NodeInterface;

class TimerData : public Pointee, public PMMemMgr {
  TW_POOLED_CLASS(TimerData)

 public:
  // Not started, not warned, start time 0, no block. A null name is taken as
  // the empty one.
  explicit TimerData(const char* name);
  explicit TimerData(const std::string& name);
  // Takes name, is-set flag, start time and block; the copy is not warned.
  TimerData(const TimerData& other);
  // Takes name, is-set flag, start time and block; the warned flag and the
  // reference count of this timer stay as they are.
  TimerData& operator=(const TimerData& other);

  // Slot order of the virtual operations is part of the library's boundary.
  ~TimerData() override;
  // As operator=; a null or identical source changes nothing.
  virtual void copy(const TimerData* other);
  // A new timer from the pool, copy-constructed from this one. The caller
  // owns it.
  virtual TimerData* clone();

  const std::string& GetName() const { return name; }
  void SetName(const char* newName);
  bool GetIsSet() const { return isSet; }
  void SetIsSet(bool flag) { isSet = flag; }
  // Kept for the blocks; the library only stores it.
  bool GetIsWarned() const { return isWarned; }
  void SetIsWarned(bool flag) { isWarned = flag; }
  double GetStartTime() const { return startTime; }
  NodeInterface* GetBlock() const { return block; }

  // Starts (or restarts) the timer at time t on behalf of `startingBlock`.
  void SetTimer(double t, NodeInterface* startingBlock);
  // Stops the timer. Start time and block stay, so the elapsed time can
  // still be read; the argument is not used.
  void ResetTimer(double unused);
  // Current simulation time minus the start time, whether or not the timer
  // was reset since. Throws DES_GenericInternalErr when the timer was never
  // started (no block) or its block belongs to no engine.
  double GetLapsedTime() const;
  // As GetLapsedTime, then stops the timer. On failure the timer is left
  // running. The argument is not used.
  double GetLapsedTimeAndReset(double unused);
  // Reports, as a warning, that `reportingBlock` found the timer `tag`
  // already started. Returns normally; the timer is not changed.
  void ProcessError(NodeInterface* reportingBlock, const char* tag) const;

  // Byte-wise order of the tags: the key of an entity's timer set.
  bool operator<(const TimerData& other) const { return name < other.name; }

 private:
  std::string name;
  bool isSet;
  bool isWarned;
  double startTime;
  NodeInterface* block;  // not owned
};
