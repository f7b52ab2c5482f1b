// Host memory service: zero-filled blocks with failure injection, call and
// live-block counts, and free lists for small sizes.
//
// Every block carries a 16-byte header in front of the caller's bytes that
// records its size class and whether it is live. Blocks of up to 256 bytes
// are kept on a free list per 16-byte size class when released and handed
// out again (zero-filled) by later requests of the same class, so that code
// allocating and releasing small objects in a steady state makes no calls to
// the general allocator. Larger blocks go straight to calloc/free.
//
// hostCalloc(0, n) and hostCalloc(n, 0) return a unique, live block (of the
// smallest class) that must be released like any other: callers that treat
// null as "out of memory" then never mistake an empty request for a failure.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/HostControl.h"

#ifdef __linux__
#include <sys/mman.h>
#endif

#if defined(__SANITIZE_ADDRESS__)
#define TARNWELL_HOST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TARNWELL_HOST_ASAN 1
#endif
#endif

#ifdef TARNWELL_HOST_ASAN
#include <sanitizer/asan_interface.h>
#define HOST_POISON(p, n) ASAN_POISON_MEMORY_REGION((p), (n))
#define HOST_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION((p), (n))
#else
#define HOST_POISON(p, n) ((void)(p), (void)(n))
#define HOST_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace {

constexpr std::size_t kGranule = 16;
constexpr std::size_t kSmallLimit = 256;
constexpr std::size_t kClassCount = kSmallLimit / kGranule;  // classes 1..16
constexpr uint32_t kLiveMagic = 0x4C495645u;                   // "LIVE"
constexpr uint32_t kFreeMagic = 0x46524545u;                   // "FREE"

// Kept at 16 bytes so that the caller's bytes stay 16-byte aligned.
// The free-list link lives in the header, not in the released bytes, so the
// whole released payload can be poisoned under the address sanitizer and the
// leak checker still sees the chain.
struct alignas(16) BlockHeader {
  uint32_t magic;
  uint32_t sizeClass;  // 1..kClassCount for pooled blocks, 0 for large ones
  BlockHeader* next;   // next free block of the class, while on a free list
};
static_assert(sizeof(BlockHeader) == 16, "header must keep payload alignment");

struct MemoryState {
  std::size_t calls = 0;
  std::size_t live = 0;
  std::size_t failFrom = 0;  // absolute call number of the first failing call; 0 = never
  BlockHeader* freeLists[kClassCount + 1] = {};
};

MemoryState& state() {
  static MemoryState s;
  return s;
}

void* payloadOf(BlockHeader* h) { return h + 1; }
BlockHeader* headerOf(void* p) { return static_cast<BlockHeader*>(p) - 1; }

}  // namespace

namespace {

// Large blocks (object-pool chunks, the calendar's heap array) are walked in
// random order; backing them with huge pages where the system allows it
// spares a TLB miss on most of those accesses. Only the 2 MiB-aligned
// interior of a fresh block can be advised; the rest stays as it is.
void AdviseHugePages(void* block, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  const std::uintptr_t kHuge = std::uintptr_t(1) << 21;
  if (bytes < 2 * kHuge) return;
  std::uintptr_t begin = (reinterpret_cast<std::uintptr_t>(block) + kHuge - 1) & ~(kHuge - 1);
  std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(block) + bytes) & ~(kHuge - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)block;
  (void)bytes;
#endif
}

}  // namespace

void* hostCalloc(size_t count, size_t size) {
  MemoryState& s = state();
  ++s.calls;
  if (s.failFrom != 0 && s.calls >= s.failFrom) return nullptr;
  if (size != 0 && count > (SIZE_MAX - sizeof(BlockHeader)) / size) return nullptr;

  std::size_t bytes = count * size;
  if (bytes <= kSmallLimit) {
    std::size_t cls = bytes == 0 ? 1 : (bytes + kGranule - 1) / kGranule;
    std::size_t classBytes = cls * kGranule;
    if (BlockHeader* h = s.freeLists[cls]) {
      s.freeLists[cls] = h->next;
      h->next = nullptr;
      h->magic = kLiveMagic;
      HOST_UNPOISON(payloadOf(h), classBytes);
      std::memset(payloadOf(h), 0, classBytes);
      ++s.live;
      return payloadOf(h);
    }
    auto* h = static_cast<BlockHeader*>(std::calloc(1, sizeof(BlockHeader) + classBytes));
    if (!h) return nullptr;
    h->magic = kLiveMagic;
    h->sizeClass = static_cast<uint32_t>(cls);
    ++s.live;
    return payloadOf(h);
  }
  auto* h = static_cast<BlockHeader*>(std::calloc(1, sizeof(BlockHeader) + bytes));
  if (!h) return nullptr;
  AdviseHugePages(h, sizeof(BlockHeader) + bytes);
  h->magic = kLiveMagic;
  h->sizeClass = 0;
  ++s.live;
  return payloadOf(h);
}

void hostFree(void* p) {
  if (!p) return;
  MemoryState& s = state();
  BlockHeader* h = headerOf(p);
  if (h->magic != kLiveMagic) {
    // Releasing a block twice (or one hostCalloc never made) would corrupt the
    // free lists; stop at the fault rather than somewhere later.
    std::fprintf(stderr, "hostFree: %p is not a live host memory block\n", p);
    std::abort();
  }
  --s.live;
  if (h->sizeClass == 0) {
    h->magic = kFreeMagic;
    std::free(h);
    return;
  }
  h->magic = kFreeMagic;
  h->next = s.freeLists[h->sizeClass];
  s.freeLists[h->sizeClass] = h;
  HOST_POISON(p, h->sizeClass * kGranule);
}

char* hostStrcpy(char* dst, const char* src) { return std::strcpy(dst, src); }

namespace host {

void failAllocationsFrom(std::size_t n) {
  MemoryState& s = state();
  s.failFrom = n == 0 ? 0 : s.calls + n;
}

std::size_t allocationCalls() { return state().calls; }

std::size_t liveAllocations() { return state().live; }

}  // namespace host
