// The event-calendar dump: a header with the number of events, then one
// call per event, collected into a table (a cell of rows, each a 1x7 cell
// of texts). When the last row arrives the table is either printed (a
// record at the calendar level) or handed to the debugger's state view for
// its calendar query. A dump never changes the debugger's current state
// and never asks for a stop itself.
#pragma once

#include <cstdint>
#include <string>

#include "trace/LoggerBase.h"

template <>
class _Logger<3> : public _LoggerBase {
 public:
  explicit _Logger(Des* const engine);
  _Logger(const _Logger&) = delete;
  ~_Logger() override;

  // Starts a table of count events (an unfinished one is released); with
  // print the finished table is printed, else it goes to the state view.
  void AddHeader(uint64_t count, bool print);
  // One row; temporary events that are not executing have none.
  void operator()(const DesEvent* ev);

  bool GetBreakNow() override { return false; }
  bool GetLoggingEnabled() override;
  bool GetSingleStepNow() override { return false; }
  void SetCurrentState(LoggerData&, ExecutionLevel) override {}

  // Whether a printing dump could reach anyone: the calendar switch is on
  // or a break waits for the next record.
  bool IsPrintedDumpWanted() const;
  // Whether an event gets a row.
  static bool RowWanted(const DesEvent* ev);
  static const char* const formatStr;

 private:
  void AddCalendarRow(const char* const texts[7]);
  void PrintIfAllEventsReceived();
  void PrintEvCalHvArrayAsTable();
  void SetEvCalHvArrayInDesSimState();
  void ResetLocalData();

  hvArray* table;
  uint64_t rowsReceived;
  uint64_t rowsExpected;
  void (_Logger<3>::*completion)();
};
