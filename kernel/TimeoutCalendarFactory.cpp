#include "kernel/TimeoutCalendarFactory.h"

#include "kernel/TimeoutCalendar.h"
#include "kernel/TimeoutCalendarTypes.h"

namespace {

template <TimeoutHdlPolicyType H>
TimeoutCalendarBase* NewFrom(TimeoutCalendarTypeList<>, int) {
  return nullptr;
}

template <TimeoutHdlPolicyType H, class First, class... Rest>
TimeoutCalendarBase* NewFrom(TimeoutCalendarTypeList<First, Rest...>, int storage) {
  if (First::kHandling == H && static_cast<int>(First::kStorage) == storage) return new First();
  return NewFrom<H>(TimeoutCalendarTypeList<Rest...>(), storage);
}

}  // namespace

TimeoutCalendarBase* NewDeterministicTimeoutCalendar(int storageType) {
  return NewFrom<TIMEOUT_HDL_DETERMINISTIC>(AllTimeoutCalendarTypes(), storageType);
}

TimeoutCalendarBase* NewRandomizedTimeoutCalendar(int storageType) {
  return NewFrom<TIMEOUT_HDL_RANDOMIZED>(AllTimeoutCalendarTypes(), storageType);
}
