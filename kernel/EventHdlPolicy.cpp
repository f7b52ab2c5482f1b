#include "kernel/EventHdlPolicy.h"

#include <algorithm>
#include <memory>
#include <string>

#include "trace/CalendarLogger.h"
#include "trace/EventLoggers.h"

void EventHdlSupport::ReportAlreadyWaiting(const DesEvent* e) {
  const std::string text = "event '" + e->GetId() +
                           "' is already waiting on the event calendar; cancel it before "
                           "scheduling it again";
  throw new DesExcept(DES_GenericInternalErr, text.c_str());
}

void EventHdlSupport::ReportNoCalendar() {
  throw new DesExcept(DES_GenericInternalErr,
                      "the event calendar has not been started; events can be scheduled "
                      "only after StartCalendar");
}

EventHdlSupport::Loggers EventHdlSupport::CreateLoggers(Des* engine) {
  if (engine == nullptr || engine->GetDebugger() == nullptr) return Loggers{nullptr, nullptr, nullptr, nullptr};
  std::unique_ptr<_EventLogger<0>> schedule(new _EventLogger<0>(engine));
  std::unique_ptr<_EventLogger<1>> execution(new _EventLogger<1>(engine));
  std::unique_ptr<_EventLogger<2>> cancel(new _EventLogger<2>(engine));
  std::unique_ptr<_Logger<3>> calendar(new _Logger<3>(engine));
  return Loggers{schedule.release(), execution.release(), cancel.release(), calendar.release()};
}

void EventHdlSupport::DestroyLoggers(const Loggers& loggers) {
  delete loggers.schedule;
  delete loggers.execution;
  delete loggers.cancel;
  delete loggers.calendar;
}

void EventHdlSupport::Log(_EventLogger<0>* logger, DesEvent* e) { (*logger)(e); }
void EventHdlSupport::Log(_EventLogger<1>* logger, DesEvent* e) { (*logger)(e); }
void EventHdlSupport::Log(_EventLogger<2>* logger, DesEvent* e) { (*logger)(e); }

bool EventHdlSupport::WantsPrintedDump(_Logger<3>* logger) { return logger->IsPrintedDumpWanted(); }

void EventHdlSupport::SortFrom(std::vector<DesEvent*>& events, std::size_t first) {
  std::sort(events.begin() + static_cast<std::ptrdiff_t>(first), events.end(), EventPrecedes());
}

// The header counts the events that get a row, so that the table completes.
void EventHdlSupport::Dump(_Logger<3>* logger, const std::vector<DesEvent*>& events, bool print) {
  uint64_t count = 0;
  for (const DesEvent* e : events)
    if (_Logger<3>::RowWanted(e)) ++count;
  logger->AddHeader(count, print);
  for (const DesEvent* e : events) (*logger)(e);
}
