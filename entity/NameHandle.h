// An attribute name or timer tag that a block resolves once and then uses
// on entity after entity, in place of the name itself.
//
// An entity's attributes and timers sit in sets ordered by name, and the
// entities of one type carry the same names, so the wanted element is at
// the same position in each of their sets. The handle remembers the
// position where it last found its name: the next lookup walks there (a
// few steps: entities carry few attributes) and checks that the element
// there bears the name. Only when it does not (another type, an entity
// that lacks the name, a long set) does it search by name and learn the
// new position. The check by name, not by address, keeps the handle right
// whatever happened to the entities and types it met before.
//
// A handle is used from the simulation thread only; the position it learns
// is a cache, so lookups through a const handle may update it.
#pragma once

#include <cstddef>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>

class NameHandle {
 public:
  NameHandle() = default;
  // Implicit: a handle stands for its name wherever a name is given.
  NameHandle(std::string name) : name(std::move(name)) {}  // NOLINT(google-explicit-constructor)
  NameHandle(const char* name) : name(name) {}             // NOLINT(google-explicit-constructor)

  const std::string& Name() const { return name; }
  const char* c_str() const { return name.c_str(); }
  bool empty() const { return name.empty(); }

  // The element of `set` (a set of counted pointers to objects with
  // GetName(), searchable by name) that bears this name, or set.end().
  template <class Set>
  typename Set::const_iterator Find(const Set& set) const {
    if (position < kLongestWalk && position < set.size()) {
      typename Set::const_iterator it = std::next(set.begin(), static_cast<std::ptrdiff_t>(position));
      if ((*it)->GetName() == name) return it;
    }
    typename Set::const_iterator it = set.find(std::string_view(name));
    if (it == set.end()) return it;
    std::size_t steps = 0;  // kLongestWalk stands for "too far to walk"
    for (typename Set::const_iterator w = set.begin(); w != it && steps < kLongestWalk; ++w) ++steps;
    position = steps;
    return it;
  }

 private:
  // Beyond this many steps the search by name is as quick as the walk.
  static constexpr std::size_t kLongestWalk = 8;

  std::string name;
  mutable std::size_t position = 0;
};
