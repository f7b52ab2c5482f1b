#include "entity/Pool.h"

#include <string>

#include "support/DesExcept.h"
#include "support/HostInterface.h"
#include "support/MessageCatalogue.h"
#include "support/PMMallocError.h"

namespace pool_detail {

void AddChunk(Chunks& c, std::size_t count) {
  // Fewer than two slots would leave nothing but the header.
  if (count < 2) count = 2;
  char* chunk = static_cast<char*>(hostCalloc(count, c.slotSize));
  if (chunk == nullptr) pmThrowMemoryException();
  Link(chunk) = c.chunkList;
  c.chunkList = chunk;
  c.chunkCount = count;
  ++c.chunksMade;
  c.fresh = chunk + c.slotSize;
  c.freshEnd = chunk + count * c.slotSize;
}

void* TakeFresh(Chunks& c) {
  if (c.fresh == c.freshEnd)
    AddChunk(c, static_cast<std::size_t>(static_cast<double>(c.chunkCount) * c.growth));
  void* slot = c.fresh;
  c.fresh += c.slotSize;
  return slot;
}

void ReleaseChunks(Chunks& c) {
  void* chunk = c.chunkList;
  while (chunk != nullptr) {
    void* previous = Link(chunk);
    hostFree(chunk);
    chunk = previous;
  }
  c.chunkList = nullptr;
}

void* AllocateOversized(std::size_t size) {
  void* p = hostCalloc(1, size);
  if (p == nullptr) pmThrowMemoryException();
  return p;
}

void ReleaseOversized(void* p) { hostFree(p); }

void MissingPool(const char* className) {
  throw new DesExcept(DES_GenericInternalErr,
                      (std::string("no object pool exists for class ") + className +
                       "; objects of pooled classes live between the first engine's "
                       "Initialize and the last engine's Terminate")
                          .c_str());
}

}  // namespace pool_detail
