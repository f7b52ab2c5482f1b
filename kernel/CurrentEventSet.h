// The calendar's current set: the events due at the current time, in the
// order they execute when no randomisation applies (priority, then instance
// count).
//
// It is a multiset: two events can share a rank (DesEvent::operator= copies
// the instance count), and both must run. Events of equal rank keep the
// order in which they joined the set, which is therefore fixed.
//
// Every executed event passes through this set, which usually holds one or
// a few events, so its tree nodes come from a cache of its own (NodeCache):
// in a steady state an event's pass costs no call to the host memory
// service. The cache is a base listed before the tree, so it is built before
// the tree and destroyed after it (the tree releases its nodes into it).
// The set is not copyable: a copy would share the cache.
#pragma once

#include <set>

#include "kernel/DesEvent.h"
#include "kernel/EventOrder.h"
#include "kernel/NodeCache.h"

class CurrentEventSet
    : private NodeCache,
      public std::multiset<DesEvent*, EventRankPrecedes, NodeCache::Allocator<DesEvent*>> {
  typedef std::multiset<DesEvent*, EventRankPrecedes, NodeCache::Allocator<DesEvent*>> Tree;

 public:
  CurrentEventSet() : NodeCache(), Tree(EventRankPrecedes(), allocator_type(static_cast<NodeCache*>(this))) {}
  CurrentEventSet(const CurrentEventSet&) = delete;
  CurrentEventSet& operator=(const CurrentEventSet&) = delete;

  // The position of e itself, or end(): a lookup by rank can meet other
  // events with the same rank (DesEvent::operator= copies instance counts).
  iterator FindExactly(DesEvent* e) {
    for (iterator it = lower_bound(e); it != end() && !key_comp()(e, *it); ++it)
      if (*it == e) return it;
    return end();
  }
};
