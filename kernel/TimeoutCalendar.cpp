#include "kernel/TimeoutCalendar.h"

void ReportTimeoutCalendarNotStarted() {
  throw new DesExcept(DES_GenericInternalErr,
                      "the timeout calendar has not been started; timeouts can be scheduled "
                      "only after StartCalendar");
}

template class TimeoutCalendar<TIMEOUT_HDL_DETERMINISTIC, TIMEOUT_STORAGE_HEAP>;
template class TimeoutCalendar<TIMEOUT_HDL_DETERMINISTIC, TIMEOUT_STORAGE_LIST>;
template class TimeoutCalendar<TIMEOUT_HDL_DETERMINISTIC, TIMEOUT_STORAGE_SET>;
template class TimeoutCalendar<TIMEOUT_HDL_RANDOMIZED, TIMEOUT_STORAGE_HEAP>;
template class TimeoutCalendar<TIMEOUT_HDL_RANDOMIZED, TIMEOUT_STORAGE_LIST>;
template class TimeoutCalendar<TIMEOUT_HDL_RANDOMIZED, TIMEOUT_STORAGE_SET>;
