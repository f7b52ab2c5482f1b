#include "trace/CalendarLogger.h"

#include "debugger/DesSimState.h"
#include "kernel/DesEvent.h"
#include "kernel/NodeInterface.h"
#include "support/ErrExcept.h"
#include "support/MessageCatalogue.h"
#include "trace/LogControl.h"

const char* const _Logger<3>::formatStr = "%s%s%s%s%s%s%s%s%s%s%s%s%s%s\\n";

_Logger<3>::_Logger(Des* const engine)
    : _LoggerBase(engine),
      table(nullptr),
      rowsReceived(0),
      rowsExpected(0),
      completion(&_Logger<3>::SetEvCalHvArrayInDesSimState) {}

_Logger<3>::~_Logger() { hvDestroyArray(table); }

bool _Logger<3>::GetLoggingEnabled() { return GetLogController()->GetCalendarLoggingEnabled(); }

bool _Logger<3>::IsPrintedDumpWanted() const {
  return GetLogController()->GetCalendarLoggingEnabled() || GetSimState()->IsBreakPointHitPending();
}

bool _Logger<3>::RowWanted(const DesEvent* ev) { return !ev->IsTempEvent() || ev->GetIsExecuting(); }

void _Logger<3>::AddHeader(uint64_t count, bool print) {
  ResetLocalData();
  table = CheckedHvArray(hvCreateCellMatrix(count + 1, 1));
  rowsExpected = count + 1;
  completion = print ? &_Logger<3>::PrintEvCalHvArrayAsTable
                     : &_Logger<3>::SetEvCalHvArrayInDesSimState;
  static const char* const header[7] = {" ", "ID", "EventTime", "EventType", "Priority", "Entity",
                                        "Block"};
  AddCalendarRow(header);
  PrintIfAllEventsReceived();
}

void _Logger<3>::operator()(const DesEvent* ev) {
  if (table == nullptr || !RowWanted(ev)) return;
  std::string type;
  const NodeInterface* block = nullptr;
  EventTypeAndBlock(ev, type, block);
  const std::string time = GetEventTime(ev);
  const std::string priority = ev->GetPriorityAsString();
  const std::string blockText = BlockText(block);
  // The ids are made when read: they must outlive the row.
  const std::string id = ev->GetId();
  const std::string entityId = ev->GetEntityId();
  const char* const row[7] = {ev->GetIsExecuting() ? "=>" : "", id.c_str(), time.c_str(),
                              type.c_str(), priority.c_str(), entityId.c_str(), blockText.c_str()};
  AddCalendarRow(row);
  PrintIfAllEventsReceived();
}

void _Logger<3>::AddCalendarRow(const char* const texts[7]) {
  if (rowsReceived >= rowsExpected) return;
  hvArray* row = CheckedHvArray(hvCreateCellMatrix(1, 7));
  for (std::size_t i = 0; i < 7; ++i) {
    hvArray* text = hvCreateString(texts[i]);
    if (text == nullptr) {
      hvDestroyArray(row);
      throw new ErrExcept(DES_MemoryAllocErr);
    }
    hvSetCell(row, i, text);
  }
  hvSetCell(table, rowsReceived++, row);
}

void _Logger<3>::PrintIfAllEventsReceived() {
  if (table == nullptr || rowsReceived < rowsExpected) return;
  // The action takes the table; the logger is ready for the next dump
  // whatever the action does.
  void (_Logger<3>::*action)() = completion;
  (this->*action)();
}

void _Logger<3>::PrintEvCalHvArrayAsTable() {
  hvArray* finished = table;
  table = nullptr;
  ResetLocalData();
  LoggerData record;
  record.AddNameValuePair("Action", "cal");
  record.AddNameValuePair("Data", finished);
  record.AddNameValuePair("FormatStr", formatStr);
  DoProcessLog(record, EXEC_LEVEL_CALENDAR, false);
}

void _Logger<3>::SetEvCalHvArrayInDesSimState() {
  hvArray* finished = table;
  table = nullptr;
  ResetLocalData();
  GetSimState()->SetEventCalendarHvArray(finished);
}

void _Logger<3>::ResetLocalData() {
  hvDestroyArray(table);
  table = nullptr;
  rowsReceived = 0;
  rowsExpected = 0;
}
