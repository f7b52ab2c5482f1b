// The calendar's current set: the events due at the current time, in the
// order they execute when no randomisation applies (priority, then instance
// count). Nodes come from the host memory service.
#pragma once

#include <set>

#include "entity/pmallocator.h"
#include "kernel/DesEvent.h"
#include "kernel/EventOrder.h"

class CurrentEventSet : public std::set<DesEvent*, EventRankPrecedes, pmallocator<DesEvent*>> {
 public:
  // The position of e itself, or end(): a lookup by rank can meet another
  // event with the same rank (DesEvent::operator= copies instance counts).
  iterator FindExactly(DesEvent* e) {
    iterator it = find(e);
    return it != end() && *it == e ? it : end();
  }
};
