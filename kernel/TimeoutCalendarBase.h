// Base of every timeout calendar. The timeout calendar keeps the scheduled
// timeouts of one engine in deadline order; it never executes anything
// itself (the engine puts an event for the earliest timeout on the event
// calendar), so the event operations of DesCalendarBase do nothing here.
//
// A calendar that was never initialised holds no timeouts: it is empty and
// has no earliest timeout.
#pragma once

#include "kernel/DesCalendarBase.h"

class TimeoutCalendarBase : public DesCalendarBase {
 public:
  TimeoutCalendarBase() = default;
  ~TimeoutCalendarBase() override;            // slot 0
  TimeoutData* topTimeout() const override;   // slot 12: null
  bool IsEmpty() override;                    // slot 13: true
};
