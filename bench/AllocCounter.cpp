#include "bench/AllocCounter.h"

#include <cstdlib>
#include <new>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TW_BENCH_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
#define TW_BENCH_SANITIZED 1
#endif
#endif

#if !defined(TW_BENCH_SANITIZED) && defined(__GLIBC__)
#define TW_BENCH_COUNT_C_ALLOCATOR 1
#endif

namespace {

// Zero-initialised before any constructor runs, so allocations made by the
// dynamic loader and by static initialisers are counted safely.
alloc_counter::Counts counts;

#ifdef TW_BENCH_COUNT_C_ALLOCATOR
// The underlying allocator; these stay callable while malloc and friends are
// replaced below.
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void __libc_free(void*);
}
void* rawMalloc(std::size_t n) { return __libc_malloc(n); }
void rawFree(void* p) { __libc_free(p); }
#else
void* rawMalloc(std::size_t n) { return std::malloc(n); }
void rawFree(void* p) { std::free(p); }
#endif

void* countedNew(std::size_t n) {
  ++counts.newCalls;
  void* p = rawMalloc(n == 0 ? 1 : n);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

void* countedNewNothrow(std::size_t n) noexcept {
  ++counts.newCalls;
  return rawMalloc(n == 0 ? 1 : n);
}

void* countedAlignedNew(std::size_t n, std::align_val_t al) {
  ++counts.newCalls;
  std::size_t a = static_cast<std::size_t>(al);
  if (a < sizeof(void*)) a = sizeof(void*);
  // aligned_alloc wants a size that is a multiple of the alignment.
  std::size_t rounded = ((n == 0 ? 1 : n) + a - 1) / a * a;
  void* p = std::aligned_alloc(a, rounded);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

}  // namespace

#ifdef TW_BENCH_COUNT_C_ALLOCATOR
extern "C" {
void* malloc(std::size_t n) {
  ++counts.mallocCalls;
  return __libc_malloc(n);
}
void* calloc(std::size_t count, std::size_t size) {
  ++counts.callocCalls;
  return __libc_calloc(count, size);
}
void* realloc(void* p, std::size_t n) {
  ++counts.reallocCalls;
  return __libc_realloc(p, n);
}
void free(void* p) { __libc_free(p); }
}
#endif

void* operator new(std::size_t n) { return countedNew(n); }
void* operator new[](std::size_t n) { return countedNew(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return countedNewNothrow(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return countedNewNothrow(n); }
void* operator new(std::size_t n, std::align_val_t a) { return countedAlignedNew(n, a); }
void* operator new[](std::size_t n, std::align_val_t a) { return countedAlignedNew(n, a); }

void operator delete(void* p) noexcept { rawFree(p); }
void operator delete[](void* p) noexcept { rawFree(p); }
void operator delete(void* p, std::size_t) noexcept { rawFree(p); }
void operator delete[](void* p, std::size_t) noexcept { rawFree(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { rawFree(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { rawFree(p); }
// Aligned blocks come from aligned_alloc, which glibc's free releases.
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }

namespace alloc_counter {

Counts Snapshot() { return counts; }

Counts Difference(const Counts& later, const Counts& earlier) {
  Counts d;
  d.mallocCalls = later.mallocCalls - earlier.mallocCalls;
  d.callocCalls = later.callocCalls - earlier.callocCalls;
  d.reallocCalls = later.reallocCalls - earlier.reallocCalls;
  d.newCalls = later.newCalls - earlier.newCalls;
  return d;
}

bool CountsCAllocator() {
#ifdef TW_BENCH_COUNT_C_ALLOCATOR
  return true;
#else
  return false;
#endif
}

}  // namespace alloc_counter
