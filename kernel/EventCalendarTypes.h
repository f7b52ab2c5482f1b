// The one list of every event calendar the library compiles: the factories
// pick from it and the typed tests run over it, so a combination cannot be
// built without also being tested.
#pragma once

#include "kernel/EventPolicyTypes.h"

template <EventHdlPolicyType H, EventStoragePolicyType S>
class EventCalendar;

template <class... Calendars>
struct EventCalendarTypeList {};

typedef EventCalendarTypeList<EventCalendar<EVENT_HDL_DETERMINISTIC, EVENT_STORAGE_HEAP>,
                              EventCalendar<EVENT_HDL_DETERMINISTIC, EVENT_STORAGE_LIST>,
                              EventCalendar<EVENT_HDL_DETERMINISTIC, EVENT_STORAGE_SET>,
                              EventCalendar<EVENT_HDL_DETERMINISTIC, EVENT_STORAGE_INDEXED_HEAP>,
                              EventCalendar<EVENT_HDL_RANDOMIZED, EVENT_STORAGE_HEAP>,
                              EventCalendar<EVENT_HDL_RANDOMIZED, EVENT_STORAGE_LIST>,
                              EventCalendar<EVENT_HDL_RANDOMIZED, EVENT_STORAGE_SET>,
                              EventCalendar<EVENT_HDL_RANDOMIZED, EVENT_STORAGE_INDEXED_HEAP>>
    AllEventCalendarTypes;
