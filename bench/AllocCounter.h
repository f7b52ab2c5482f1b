// Counts the calls a process makes to the general-purpose allocator.
//
// AllocCounter.cpp replaces the global operator new/delete family and, in
// builds without sanitizers on glibc, interposes malloc, calloc, realloc and
// free (forwarding to glibc's own entry points). Because the definitions sit
// in the executable, which is exported dynamically, they also catch the calls
// made inside the engine and host shared libraries.
//
// Single-threaded use only: the counters are plain integers.
#pragma once

#include <cstddef>

namespace alloc_counter {

struct Counts {
  std::size_t mallocCalls = 0;   // malloc
  std::size_t callocCalls = 0;   // calloc
  std::size_t reallocCalls = 0;  // realloc
  std::size_t newCalls = 0;      // every operator new / new[] overload

  std::size_t total() const { return mallocCalls + callocCalls + reallocCalls + newCalls; }
};

Counts Snapshot();
Counts Difference(const Counts& later, const Counts& earlier);

// True when the C allocator (malloc, calloc, realloc) is being counted; false
// in sanitizer builds, where the sanitizer owns those symbols and only the
// operator new family is counted.
bool CountsCAllocator();

}  // namespace alloc_counter
