// The execution order of events, in one place.
//
// An event's place in the order is its key: its time, then a 64-bit rank
// made of the priority (sign bit flipped, so that unsigned comparison orders
// negative priorities first) in the high half and the instance count in the
// low half. Comparing ranks is therefore "lower priority first, then lower
// instance count". Times are compared exactly. Every event store, the
// current set and the event's own comparison operators use these functions,
// so all of them agree on the order.
#pragma once

#include <cstdint>

struct EventOrderKey {
  double time;
  uint64_t rank;
};

class EventOrder {
 public:
  static uint64_t Rank(int priority, uint32_t instanceCount) {
    return (static_cast<uint64_t>(static_cast<uint32_t>(priority) ^ 0x80000000u) << 32) |
           instanceCount;
  }
  // True when an event with key a executes before one with key b.
  static bool Precedes(const EventOrderKey& a, const EventOrderKey& b) {
    return a.time < b.time || (a.time == b.time && a.rank < b.rank);
  }
};

// Execution order on event pointers ("a runs before b"). A template so that
// this header needs no event definition; E is DesEvent.
struct EventPrecedes {
  template <class E>
  bool operator()(const E* a, const E* b) const {
    return EventOrder::Precedes(a->GetOrderKey(), b->GetOrderKey());
  }
};

// Order of the current set, whose events all share the current time:
// priority, then instance count.
struct EventRankPrecedes {
  template <class E>
  bool operator()(const E* a, const E* b) const {
    return a->GetRank() < b->GetRank();
  }
};
