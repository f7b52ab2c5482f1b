#include "kernel/EventCalendar.h"

template class EventCalendar<EVENT_HDL_DETERMINISTIC, EVENT_STORAGE_HEAP>;
template class EventCalendar<EVENT_HDL_DETERMINISTIC, EVENT_STORAGE_LIST>;
template class EventCalendar<EVENT_HDL_DETERMINISTIC, EVENT_STORAGE_SET>;
template class EventCalendar<EVENT_HDL_DETERMINISTIC, EVENT_STORAGE_INDEXED_HEAP>;
template class EventCalendar<EVENT_HDL_RANDOMIZED, EVENT_STORAGE_HEAP>;
template class EventCalendar<EVENT_HDL_RANDOMIZED, EVENT_STORAGE_LIST>;
template class EventCalendar<EVENT_HDL_RANDOMIZED, EVENT_STORAGE_SET>;
template class EventCalendar<EVENT_HDL_RANDOMIZED, EVENT_STORAGE_INDEXED_HEAP>;
