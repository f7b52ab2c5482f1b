#include "entity/DesDataPool.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "support/ErrExcept.h"
#include "support/HostInterface.h"
#include "support/MessageCatalogue.h"

pmmap<std::size_t, DesDataPool*> DesDataPool::mapMemPool;

namespace {

constexpr std::size_t kMinCount = 2;
constexpr std::size_t kFirstChunkBytes = 65536;
constexpr std::size_t kMaxChunkBytes = 67108864;

// Links live in the first 8 bytes of a block. A block size need not be a
// multiple of the pointer alignment, so links are copied, not dereferenced.
void* GetLink(const void* block) {
  void* next;
  std::memcpy(&next, block, sizeof next);
  return next;
}

void SetLink(void* block, void* next) { std::memcpy(block, &next, sizeof next); }

}  // namespace

DesDataPool::DesDataPool(std::size_t bs, std::size_t initialCount, std::size_t maxC, double g)
    : blockSize(std::max<std::size_t>(bs, sizeof(void*))),
      count(std::max(initialCount, kMinCount)),
      maxCount(std::max(maxC, kMinCount)),
      growth(g),
      chunkList(nullptr),
      freeList(nullptr) {}

DesDataPool::~DesDataPool() {
  void* chunk = chunkList;
  while (chunk != nullptr) {
    void* previous = GetLink(chunk);
    hostFree(chunk);
    chunk = previous;
  }
}

void DesDataPool::Expand(std::size_t n) {
  n = std::max(n, kMinCount);
  const std::size_t bs = static_cast<std::size_t>(blockSize);
  char* chunk = static_cast<char*>(hostCalloc(n, bs));
  if (chunk == nullptr) throw new ErrExcept(DES_MemoryAllocErr);
  SetLink(chunk, chunkList);
  chunkList = chunk;
  // The last new block continues with whatever was free before (nothing, as
  // the pool only grows when its free list is empty).
  for (std::size_t i = 1; i + 1 < n; ++i) SetLink(chunk + i * bs, chunk + (i + 1) * bs);
  SetLink(chunk + (n - 1) * bs, freeList);
  freeList = chunk + bs;
  count = n;
}

void* DesDataPool::alloc() {
  if (freeList == nullptr) {
    double grown = static_cast<double>(count) * growth;
    std::size_t next = grown >= static_cast<double>(maxCount) ? maxCount
                       : grown > 0 ? static_cast<std::size_t>(grown)
                                   : 0;
    Expand(next);
  }
  void* block = freeList;
  freeList = GetLink(block);
  return block;
}

void DesDataPool::free(void* block) {
  if (block == nullptr) return;
  SetLink(block, freeList);
  freeList = block;
}

std::size_t DesDataPool::GetChunkCount() const {
  std::size_t n = 0;
  for (void* chunk = chunkList; chunk != nullptr; chunk = GetLink(chunk)) ++n;
  return n;
}

DesDataPool* DesDataPool::GetInstance(std::size_t size) {
  auto found = mapMemPool.find(size);
  if (found != mapMemPool.end()) return found->second;

  const std::size_t divisor = size == 0 ? sizeof(void*) : size;
  std::unique_ptr<DesDataPool> pool(
      new DesDataPool(std::max<std::size_t>(size, sizeof(void*)),
                      std::max(kFirstChunkBytes / divisor, kMinCount),
                      std::max(kMaxChunkBytes / divisor, kMinCount), 2.0));
  pool->Expand(pool->count);
  mapMemPool.emplace(size, pool.get());  // may throw; the pool then goes with its chunk
  return pool.release();
}

void DesDataPool::deleteMemPool() {
  for (auto& entry : mapMemPool) delete entry.second;
  mapMemPool.clear();
}
