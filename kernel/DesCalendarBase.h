// Abstract base shared by the event calendar and the timeout calendar. Only
// virtual operations, in a fixed slot order: blocks outside the library call
// the calendars through this table.
#pragma once

class DesEvent;
class TimeoutData;

class DesCalendarBase {
 public:
  DesCalendarBase() = default;
  DesCalendarBase(const DesCalendarBase&) = delete;
  DesCalendarBase& operator=(const DesCalendarBase&) = delete;

  virtual ~DesCalendarBase();                              // slot 0
  virtual void TerminateCalendar();                        // slot 1
  virtual void Compile();                                  // slot 2
  virtual void InitCalendar(int seed);                     // slot 3
  virtual void ExecuteEvents(double t, bool tolerant);     // slot 4
  virtual void AddEvt(DesEvent* e);                        // slot 5
  virtual void AddEvtWithoutLogging(DesEvent* e);          // slot 6
  virtual void DeleteEvt(DesEvent* e);                     // slot 7
  virtual void DeleteEvtWithoutLogging(DesEvent* e);       // slot 8
  virtual void AddToTimeoutCollection(TimeoutData* td);    // slot 9
  virtual void RemoveFromTimeoutCollection(TimeoutData* td);  // slot 10
  virtual void PrintTimeoutDeletion(TimeoutData* td);      // slot 11
  virtual TimeoutData* topTimeout() const;                 // slot 12
  virtual bool IsEmpty();                                  // slot 13

  // Internal events are queued only by the event calendar, whose own
  // AddIntEvt hides this one.
  void AddIntEvt(DesEvent*) {}
};
