// Where the simulation stops. Three kinds the user sets (on a block, a
// time, an event) and one built in that stops at the end of the
// simulation and is left out of listings. Ids are "b" and a counter that
// every BreakPointManager restarts, so the built-in one is b0 and the
// user's are b1, b2...; ids are not reused within one debugger.
//
// The one-shot kinds (time, event, end) set `hit` when their condition
// holds; the manager then retires them.
#pragma once

#include <string>

class BreakPointManager;
class DebugBlock;
class DesSimState;

class BreakPoint {
 public:
  explicit BreakPoint(BreakPointManager* owner);
  BreakPoint(const BreakPoint&) = delete;
  BreakPoint& operator=(const BreakPoint&) = delete;

  virtual ~BreakPoint();
  virtual bool hidden() const { return false; }
  // Prints the breakpoint's line on the host console, headed by `prefix`
  // ("Set", "Hit", "Enabled", "Disabled", "Deleted").
  virtual void display(const std::string& prefix) const = 0;
  virtual std::string type() const = 0;
  virtual std::string target() const = 0;
  virtual bool IsHit() = 0;

  const std::string& GetId() const { return id; }
  bool GetHit() const { return hit; }
  bool GetEnabled() const { return enabled; }
  void SetEnabled(bool on) { enabled = on; }

  static unsigned next_id;

 protected:
  BreakPointManager* GetManager() const { return manager; }
  DesSimState* GetSimState() const { return simState; }
  void SetHit() { hit = true; }

 private:
  std::string id;
  BreakPointManager* manager;
  DesSimState* simState;
  bool hit;
  bool enabled;
};

// Stops at every record of its block, of its block as destination, or of
// one of its child blocks. The block must be registered when it is made.
class BlockBreakPoint : public BreakPoint {
 public:
  BlockBreakPoint(BreakPointManager* owner, const std::string& blockId, DebugBlock* block);
  void display(const std::string& prefix) const override;
  std::string type() const override { return "Block"; }
  std::string target() const override { return blockId; }
  bool IsHit() override;

 private:
  std::string blockId;
  DebugBlock* block;
};

// Stops once, at the first record at or after its time.
class TimedBreakPoint : public BreakPoint {
 public:
  TimedBreakPoint(BreakPointManager* owner, double time);
  void display(const std::string& prefix) const override;
  std::string type() const override { return "Timed"; }
  std::string target() const override;
  bool IsHit() override;
  double GetTime() const { return time; }

 private:
  double time;
};

// Stops once, at the execution or the cancellation of its event.
class EventBreakPoint : public BreakPoint {
 public:
  EventBreakPoint(BreakPointManager* owner, const std::string& eventId);
  void display(const std::string& prefix) const override;
  std::string type() const override { return "Event"; }
  std::string target() const override { return eventId; }
  bool IsHit() override;

 private:
  std::string eventId;
};

// Built in: stops once when the simulation ends or the user quits.
class EndOfSimBreakPoint : public BreakPoint {
 public:
  explicit EndOfSimBreakPoint(BreakPointManager* owner) : BreakPoint(owner) {}
  bool hidden() const override { return true; }
  void display(const std::string& prefix) const override;
  std::string type() const override { return "__EndOfSim_HiddenBreakPoint__"; }
  std::string target() const override { return std::string(); }
  bool IsHit() override;
};
