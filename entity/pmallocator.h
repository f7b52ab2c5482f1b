// Allocator for the library's standard containers: nodes come from the host
// memory service, and running out of memory ends in the library's memory
// error instead of std::bad_alloc.
#pragma once

#include <cstddef>
#include <list>
#include <map>
#include <set>
#include <string_view>
#include <vector>

#include "support/HostInterface.h"
#include "support/PMMallocError.h"

template <class T>
class pmallocator {
 public:
  typedef T value_type;
  typedef T* pointer;
  typedef const T* const_pointer;
  typedef T& reference;
  typedef const T& const_reference;
  typedef std::size_t size_type;
  typedef std::ptrdiff_t difference_type;
  template <class U>
  struct rebind {
    typedef pmallocator<U> other;
  };

  pmallocator() noexcept = default;
  template <class U>
  pmallocator(const pmallocator<U>&) noexcept {}

  // Never returns null for a nonzero request.
  T* allocate(std::size_t n) {
    if (n == 0 || sizeof(T) == 0) return nullptr;
    void* p = hostCalloc(n, sizeof(T));
    if (p == nullptr) pmThrowMemoryException();
    return static_cast<T*>(p);
  }
  void deallocate(T* p, std::size_t) noexcept { hostFree(p); }

  template <class U>
  bool operator==(const pmallocator<U>&) const noexcept { return true; }
  template <class U>
  bool operator!=(const pmallocator<U>&) const noexcept { return false; }
};

// Orders pointers (raw or smart) by the objects they point to.
template <class P>
struct less_ptr {
  bool operator()(const P& a, const P& b) const { return *a < *b; }
};

// less_ptr for objects ordered by their name alone (GetName(), compared as
// std::string compares): such a set is also searched by a bare name, without
// a key object to write the name into.
template <class P>
struct less_name_ptr {
  typedef void is_transparent;
  bool operator()(const P& a, const P& b) const { return *a < *b; }
  bool operator()(const P& a, std::string_view name) const { return a->GetName().compare(name) < 0; }
  bool operator()(std::string_view name, const P& b) const { return b->GetName().compare(name) > 0; }
};

template <class K, class C = std::less<K>>
using pmset = std::set<K, C, pmallocator<K>>;
template <class K, class V, class C = std::less<K>>
using pmmap = std::map<K, V, C, pmallocator<std::pair<const K, V>>>;
template <class T>
using pmlist = std::list<T, pmallocator<T>>;
template <class T>
using pmvector = std::vector<T, pmallocator<T>>;
