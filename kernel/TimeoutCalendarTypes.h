// The one list of every timeout calendar the library compiles: the
// factories pick from it and the typed tests run over it, so a combination
// cannot be built without also being tested.
#pragma once

#include "kernel/TimeoutPolicyTypes.h"

template <TimeoutHdlPolicyType H, TimeoutStoragePolicyType S>
class TimeoutCalendar;

template <class... Calendars>
struct TimeoutCalendarTypeList {};

typedef TimeoutCalendarTypeList<TimeoutCalendar<TIMEOUT_HDL_DETERMINISTIC, TIMEOUT_STORAGE_HEAP>,
                                TimeoutCalendar<TIMEOUT_HDL_DETERMINISTIC, TIMEOUT_STORAGE_LIST>,
                                TimeoutCalendar<TIMEOUT_HDL_DETERMINISTIC, TIMEOUT_STORAGE_SET>,
                                TimeoutCalendar<TIMEOUT_HDL_RANDOMIZED, TIMEOUT_STORAGE_HEAP>,
                                TimeoutCalendar<TIMEOUT_HDL_RANDOMIZED, TIMEOUT_STORAGE_LIST>,
                                TimeoutCalendar<TIMEOUT_HDL_RANDOMIZED, TIMEOUT_STORAGE_SET>>
    AllTimeoutCalendarTypes;
