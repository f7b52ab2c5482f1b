// Per-class object pools.
//
// A pool hands out fixed-size slots carved from chunks. Chunk k holds
// count_k slots, count_0 = the initial count and count_{k+1} =
// trunc(count_k * growth); slot 0 of each chunk is its header and only links
// to the previous chunk, so a chunk of n slots serves n - 1 objects. A free
// slot keeps the link to the next free slot in its second machine word
// (the first would be an object's vtable pointer). Release pushes the slot on
// the free list, so the slot freed last is the next one served. When the
// free list is empty, the next slot of the most recent chunk that was never
// handed out is served, in address order, and only when there is none left a
// chunk is added. Slots join the free list only once released: a new chunk
// is not written through to chain its slots, so its memory is touched only
// as objects come to use it (right after growing, nearly half of a pool's
// slots are unused). The slots are served in exactly the order a chunk
// chained up front would serve them. Chunks go back
// to the host only when the pool is destroyed; objects still in them are then
// gone without their destructors having run.
//
// Chunks come from the host memory service; a chunk that cannot be had ends
// in the library's memory error. A request larger than a slot (an object of
// a class derived from the pooled one) is served by the host memory service
// directly and released there, routed by the size that operator delete is
// given.
#pragma once

#include <cstddef>

namespace pool_detail {

// Bookkeeping shared by every pool; the slot layout is the same for all.
struct Chunks {
  std::size_t slotSize;
  void* chunkList;         // most recent chunk first
  std::size_t chunkCount;  // slots in the most recent chunk
  double growth;
  std::size_t chunksMade;
  char* fresh;     // the most recent chunk's slots never served: [fresh, freshEnd)
  char* freshEnd;
};

// Allocates a chunk of `count` slots and links it in; its slots 1 .. count-1
// become the fresh ones.
void AddChunk(Chunks& c, std::size_t count);
// The next fresh slot, after adding a chunk when there is none.
void* TakeFresh(Chunks& c);
void ReleaseChunks(Chunks& c);
void* AllocateOversized(std::size_t size);
void ReleaseOversized(void* p);
[[noreturn]] void MissingPool(const char* className);

inline void*& Link(void* slot) { return static_cast<void**>(slot)[1]; }

}  // namespace pool_detail

template <class T>
class Pool {
 public:
  // At least the two words a free slot uses, and a whole number of words so
  // that every slot's link stays aligned.
  static constexpr std::size_t kSlotSize =
      sizeof(T) > 2 * sizeof(void*)
          ? (sizeof(T) + sizeof(void*) - 1) / sizeof(void*) * sizeof(void*)
          : 2 * sizeof(void*);

  Pool(std::size_t count, double growth)
      : freeList(nullptr), chunks{kSlotSize, nullptr, count, growth, 0, nullptr, nullptr} {
    pool_detail::AddChunk(chunks, count);
  }
  virtual ~Pool() { pool_detail::ReleaseChunks(chunks); }
  Pool(const Pool&) = delete;
  Pool& operator=(const Pool&) = delete;

  void* Allocate(std::size_t size) {
    if (size > kSlotSize) return pool_detail::AllocateOversized(size);
    void* slot = freeList;
    if (slot == nullptr) return pool_detail::TakeFresh(chunks);
    freeList = pool_detail::Link(slot);
    return slot;
  }
  void Release(void* p, std::size_t size) {
    if (p == nullptr) return;
    if (size > kSlotSize) {
      pool_detail::ReleaseOversized(p);
      return;
    }
    pool_detail::Link(p) = freeList;
    freeList = p;
  }

  std::size_t ChunkSlotCount() const { return chunks.chunkCount; }
  std::size_t ChunksMade() const { return chunks.chunksMade; }

 private:
  void* freeList;
  pool_detail::Chunks chunks;
};

// Declares the pool members of a pooled class T inside its definition.
#define TW_POOLED_CLASS(T)                                                       \
 public:                                                                         \
  static Pool<T>* memPool;                                                       \
  static void newMemPool(std::size_t count, double growth);                      \
  static void deleteMemPool();                                                   \
  static void* operator new(std::size_t size) {                                  \
    if (memPool == nullptr) pool_detail::MissingPool(#T);                        \
    return memPool->Allocate(size);                                              \
  }                                                                              \
  static void operator delete(void* p, std::size_t size) { memPool->Release(p, size); }

// Defines the out-of-line pool members of T, in T's source file.
#define TW_POOLED_CLASS_DEFINE(T)                                                \
  Pool<T>* T::memPool = nullptr;                                                 \
  void T::newMemPool(std::size_t count, double growth) {                         \
    delete memPool;                                                              \
    memPool = nullptr;                                                           \
    memPool = new Pool<T>(count, growth);                                        \
  }                                                                              \
  void T::deleteMemPool() {                                                      \
    delete memPool;                                                              \
    memPool = nullptr;                                                           \
  }
