// The calendar's current set: the events due at the current time, in the
// order they execute when no randomisation applies (priority, then instance
// count).
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
      public std::set<DesEvent*, EventRankPrecedes, NodeCache::Allocator<DesEvent*>> {
  typedef std::set<DesEvent*, EventRankPrecedes, NodeCache::Allocator<DesEvent*>> Tree;

 public:
  CurrentEventSet() : NodeCache(), Tree(EventRankPrecedes(), allocator_type(static_cast<NodeCache*>(this))) {}
  CurrentEventSet(const CurrentEventSet&) = delete;
  CurrentEventSet& operator=(const CurrentEventSet&) = delete;

  // The position of e itself, or end(): a lookup by rank can meet another
  // event with the same rank (DesEvent::operator= copies instance counts).
  iterator FindExactly(DesEvent* e) {
    iterator it = find(e);
    return it != end() && *it == e ? it : end();
  }
};
