// Base of the library's heap-allocated classes that do not come from an
// object pool: the exception classes, entity types and the registry.
#pragma once

#include <cstddef>
#include <new>

class PMMemMgr {
 public:
  static void* operator new(std::size_t size);
  static void operator delete(void* p, std::size_t size);
  // Construction in storage the caller provides (the memory error is built
  // in an emergency block); the class-level operator new above would
  // otherwise hide the global placement form.
  static void* operator new(std::size_t, void* where) noexcept { return where; }
  static void operator delete(void*, void*) noexcept {}

  PMMemMgr() = default;
  PMMemMgr(const PMMemMgr&) = default;
  // Managed objects carry no state of this base, so assignment copies nothing.
  PMMemMgr& operator=(const PMMemMgr&) { return *this; }
};
