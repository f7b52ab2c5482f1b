// What every event calendar has, whatever its handling and storage: the
// clock, the end time kept for the engine, and the first-in first-out list of
// internal events. The virtual operations appended here (slots 14 to 19)
// continue the table of DesCalendarBase.
#pragma once

#include <cstdint>
#include <limits>

#include "entity/pmallocator.h"
#include "kernel/DesCalendarBase.h"

class DesEvent;

class EventCalendarBase : public DesCalendarBase {
 public:
  // An event with time te is due at time t when timeTolerance * t >= te.
  static constexpr double timeTolerance = 1.0 + 128.0 * std::numeric_limits<double>::epsilon();
  // Internal events allowed at one time before the run is stopped.
  static const int kMaxInternalEventsAtTime = 100000;

  EventCalendarBase();
  ~EventCalendarBase() override;

  virtual void CalendarReserved();                 // slot 14: no behaviour, no caller
  virtual void LogCalendar(bool flag);             // slot 15
  virtual bool IsStopRequested();                  // slot 16
  virtual double GetNextEventTime(double unused);  // slot 17
  virtual DesEvent* GetEventBeingExecuted();       // slot 18
  virtual void InitCalendarLoggers();              // slot 19

  // Queues an internal event; they run before the ordinary events of a
  // step, in arrival order. Throws DES_MaxEventsAtTimeStep when more than
  // 100000 arrive at one time (the event stays queued).
  void AddIntEvt(DesEvent* e);

  double GetTimeNow() const { return timeNow; }
  void SetTimeNow(double t) { timeNow = t; }
  double GetEndTime() const { return endTime; }
  void SetEndTime(double t) { endTime = t; }
  std::size_t GetInternalEventCount() const { return internalEvents.size(); }

  // Raises DES_MaxEventsAtTimeStep with the two texts of its message.
  [[noreturn]] static void ThrowMaxEventsAtTimeStep(const char* limitText, double time);

 protected:
  double timeNow;
  double lastInternalEventTime;
  double endTime;
  int internalEventsAtTime;
  pmlist<DesEvent*> internalEvents;
};
