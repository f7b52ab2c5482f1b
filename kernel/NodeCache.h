// A private stock of container nodes for one container, so that a container
// whose nodes come and go at a high rate (the calendar's current set: every
// executed event passes through it) calls the host memory service only when
// it holds more nodes than ever before.
//
// The cache keeps the single-object blocks its allocator releases on a free
// list and hands them out again; other requests go to the host directly.
// Every cached block goes back to the host when the cache is destroyed, so
// the cache must outlive every container that uses it: the owner lists the
// cache before the container (as a base or member) so that it is built
// first and destroyed last.
//
// Failures: when the free list is empty the block comes from hostCalloc, and
// an exhausted host ends in the library's memory error; a container whose
// allocation throws is unchanged, as with any standard allocator.
#pragma once

#include <cstddef>

#include "support/HostInterface.h"
#include "support/PMMallocError.h"

#if defined(__SANITIZE_ADDRESS__)
#define TW_NODE_CACHE_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TW_NODE_CACHE_ASAN 1
#endif
#endif
#ifdef TW_NODE_CACHE_ASAN
#include <sanitizer/asan_interface.h>
#endif

class NodeCache {
 public:
  NodeCache() : freeList(nullptr), blockSize(0) {}
  ~NodeCache() {
    while (freeList != nullptr) {
      FreeBlock* b = freeList;
      Unpoison(b);
      freeList = b->next;
      hostFree(b);
    }
  }
  NodeCache(const NodeCache&) = delete;
  NodeCache& operator=(const NodeCache&) = delete;

  // A block of `bytes` bytes, from the free list when one of that size is
  // there. Never null.
  void* Take(std::size_t bytes) {
    if (bytes == blockSize && freeList != nullptr) {
      FreeBlock* b = freeList;
      Unpoison(b);
      freeList = b->next;
      return b;
    }
    void* p = hostCalloc(1, bytes);
    if (p == nullptr) pmThrowMemoryException();
    // The first single-object size fixes the size the cache keeps; a set
    // allocates nodes of one size only.
    if (blockSize == 0 && bytes >= sizeof(FreeBlock)) blockSize = bytes;
    return p;
  }

  void Give(void* p, std::size_t bytes) noexcept {
    if (bytes != blockSize) {
      hostFree(p);
      return;
    }
    FreeBlock* b = static_cast<FreeBlock*>(p);
    b->next = freeList;
    freeList = b;
    Poison(b);
  }

  // Standard allocator over a cache: single objects through the cache,
  // arrays straight from the host. Copies (and rebound copies) share the
  // cache; two allocators are equal when they share one.
  template <class T>
  class Allocator {
   public:
    typedef T value_type;
    template <class U>
    struct rebind {
      typedef Allocator<U> other;
    };

    explicit Allocator(NodeCache* c) noexcept : cache(c) {}
    template <class U>
    Allocator(const Allocator<U>& other) noexcept : cache(other.cache) {}

    T* allocate(std::size_t n) {
      if (n == 1) return static_cast<T*>(cache->Take(sizeof(T)));
      void* p = hostCalloc(n, sizeof(T));
      if (p == nullptr) pmThrowMemoryException();
      return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t n) noexcept {
      if (n == 1)
        cache->Give(p, sizeof(T));
      else
        hostFree(p);
    }

    template <class U>
    bool operator==(const Allocator<U>& other) const noexcept { return cache == other.cache; }
    template <class U>
    bool operator!=(const Allocator<U>& other) const noexcept { return cache != other.cache; }

   private:
    template <class U>
    friend class Allocator;
    NodeCache* cache;
  };

 private:
  struct FreeBlock {
    FreeBlock* next;
  };

  // Under the address sanitizer a cached block is out of bounds except for
  // its link, as a released one would be.
  void Poison(FreeBlock* b) const noexcept {
#ifdef TW_NODE_CACHE_ASAN
    ASAN_POISON_MEMORY_REGION(reinterpret_cast<char*>(b) + sizeof(FreeBlock), blockSize - sizeof(FreeBlock));
#else
    (void)b;
#endif
  }
  void Unpoison(FreeBlock* b) const noexcept {
#ifdef TW_NODE_CACHE_ASAN
    ASAN_UNPOISON_MEMORY_REGION(b, blockSize);
#else
    (void)b;
#endif
  }

  FreeBlock* freeList;
  std::size_t blockSize;
};
