#include "kernel/EventCalendarFactory.h"

#include "kernel/EventCalendar.h"
#include "kernel/EventCalendarTypes.h"

namespace {

template <EventHdlPolicyType H>
EventCalendarBase* NewFrom(EventCalendarTypeList<>, int, uint64_t, Des*) {
  return nullptr;
}

template <EventHdlPolicyType H, class First, class... Rest>
EventCalendarBase* NewFrom(EventCalendarTypeList<First, Rest...>, int storage, uint64_t limit,
                           Des* engine) {
  if (First::kHandling == H && static_cast<int>(First::kStorage) == storage)
    return new First(limit, engine);
  return NewFrom<H>(EventCalendarTypeList<Rest...>(), storage, limit, engine);
}

}  // namespace

EventCalendarBase* NewDeterministicEventCalendar(int storageType, uint64_t maxEventsAtTimeStep,
                                                 Des* engine) {
  return NewFrom<EVENT_HDL_DETERMINISTIC>(AllEventCalendarTypes(), storageType,
                                          maxEventsAtTimeStep, engine);
}

EventCalendarBase* NewRandomizedEventCalendar(int storageType, uint64_t maxEventsAtTimeStep,
                                              Des* engine) {
  return NewFrom<EVENT_HDL_RANDOMIZED>(AllEventCalendarTypes(), storageType,
                                       maxEventsAtTimeStep, engine);
}
