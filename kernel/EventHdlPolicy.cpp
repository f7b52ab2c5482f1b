#include "kernel/EventHdlPolicy.h"

#include <string>

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
