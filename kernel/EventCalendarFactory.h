// Creation of event calendars, one factory per handling type. Each takes
// the storage type (0 to 3), the limit of simultaneous events and the
// engine, and returns a new calendar (containers made by InitCalendar), or
// null for any other storage type.
#pragma once

#include <cstdint>

class Des;
class EventCalendarBase;

// Simultaneous events run by priority, then in creation order.
EventCalendarBase* NewDeterministicEventCalendar(int storageType, uint64_t maxEventsAtTimeStep,
                                                 Des* engine);
// Simultaneous events of equal priority run in random order.
EventCalendarBase* NewRandomizedEventCalendar(int storageType, uint64_t maxEventsAtTimeStep,
                                              Des* engine);
