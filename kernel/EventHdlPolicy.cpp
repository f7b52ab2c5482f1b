#include "kernel/EventHdlPolicy.h"

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

bool EventHdlSupport::HasDumpRow(const DesEvent* e) { return _Logger<3>::RowWanted(e); }

void EventHdlSupport::DumpHeader(_Logger<3>* logger, uint64_t count, bool print) {
  logger->AddHeader(count, print);
}

void EventHdlSupport::DumpRow(_Logger<3>* logger, const DesEvent* e) { (*logger)(e); }
