// Block pools for the number stores of data values, one per byte size.
//
// A chunk is one host allocation of count x blockSize bytes. Block 0 of a
// chunk carries only the link to the previous chunk (in its first 8 bytes);
// blocks 1 .. count-1 are handed out. A free block keeps the link to the
// next free one in its first 8 bytes, and a released block is the next one
// served. Chunks go back to the host only when the pool is destroyed; chunk
// sizes grow by the growth factor up to the maximum count.
//
// A block is handed out as the pool has it: zero when it comes from a fresh
// chunk, the bytes of its previous user when it was recycled.
#pragma once

#include <cstddef>
#include <cstdint>

#include "entity/pmallocator.h"

class DesDataPool {
 public:
  // Counts below 2 are raised to 2: a chunk must hold at least one block
  // besides its header. blockSize is raised to at least 8 (the link).
  DesDataPool(std::size_t blockSize, std::size_t initialCount, std::size_t maxCount,
              double growth);
  ~DesDataPool();
  DesDataPool(const DesDataPool&) = delete;
  DesDataPool& operator=(const DesDataPool&) = delete;

  // One block of the pool's size. When no block is free a new chunk is
  // added; when the host cannot give it, throws an ErrExcept with
  // DES_MemoryAllocErr and the pool stays as it was.
  void* alloc();
  // Gives a block back (null is ignored).
  void free(void* block);

  std::size_t GetBlockSize() const { return static_cast<std::size_t>(blockSize); }
  // Blocks in the most recent chunk (header included).
  std::size_t GetCount() const { return count; }
  std::size_t GetMaxCount() const { return maxCount; }
  double GetGrowth() const { return growth; }
  // Chunks taken from the host so far (walks the chunk list).
  std::size_t GetChunkCount() const;

  // The pool serving blocks of exactly `size` bytes, created on first request
  // (first chunk about 64 KiB, no chunk above about 64 MiB). Throws the
  // memory error when the pool or its first chunk cannot be made; the map is
  // then unchanged.
  static DesDataPool* GetInstance(std::size_t size);
  // Destroys every pool of the map (and the blocks still handed out from
  // them) and empties the map.
  static void deleteMemPool();

  static pmmap<std::size_t, DesDataPool*> mapMemPool;

 private:
  // Adds a chunk of n blocks and puts blocks 1 .. n-1 on the free list, in
  // address order. Changes nothing when the chunk cannot be had.
  void Expand(std::size_t n);

  uint64_t blockSize;
  std::size_t count;     // blocks in the most recent chunk
  std::size_t maxCount;  // cap for one chunk
  double growth;
  void* chunkList;  // most recent chunk first
  void* freeList;
};
