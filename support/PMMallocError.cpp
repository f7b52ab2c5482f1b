#include "support/PMMallocError.h"

#include <new>

#include "support/HostInterface.h"
#include "support/MessageCatalogue.h"

namespace {

constexpr std::size_t kReserveBlocks = 10;

// Blocks for memory errors when the host can no longer give 8 bytes. Taken
// blocks are not given back: the reserve is a last resort, not a pool.
struct Reserve {
  void** blocks = nullptr;
  std::size_t next = 0;

  Reserve() {
    blocks = static_cast<void**>(hostCalloc(kReserveBlocks, sizeof(void*)));
    if (blocks == nullptr) return;
    for (std::size_t i = 0; i < kReserveBlocks; ++i) blocks[i] = hostCalloc(8, 1);
  }
  ~Reserve() {
    if (blocks == nullptr) return;
    for (std::size_t i = next; i < kReserveBlocks; ++i) hostFree(blocks[i]);
    hostFree(blocks);
  }
  void* take() {
    while (blocks != nullptr && next < kReserveBlocks) {
      void* block = blocks[next];
      blocks[next++] = nullptr;
      if (block != nullptr) return block;
    }
    return nullptr;
  }
  std::size_t left() const {
    std::size_t n = 0;
    for (std::size_t i = next; blocks != nullptr && i < kReserveBlocks; ++i)
      if (blocks[i]) ++n;
    return n;
  }
} gReserve;

// When host and reserve are both exhausted the error is built here. Its
// object has no state, so several outstanding errors may share the block.
alignas(PMMallocError) unsigned char gLastResort[sizeof(PMMallocError)];

brsvDiagnosticImpl* gDiagnostic = nullptr;
char gMessage[1024];

}  // namespace

PMMallocError::PMMallocError() {
  gDiagnostic = brsvObjectError(nullptr, 0, nullptr, nullptr, DES_MemoryAllocErr);
}

brsvDiagnosticImpl* PMMallocError::getBrErrMsg() const { return gDiagnostic; }

const char* PMMallocError::getMessage() const {
  hostFormatMessage(hostMessageContext(), gMessage, sizeof gMessage - 1, DES_MemoryAllocErr);
  return gMessage;
}

char* PMMallocError::getMessageNonConst() const {
  getMessage();
  return gMessage;
}

void PMMallocError::operator delete(void* p, std::size_t) {
  if (p == nullptr) return;
  if (p == static_cast<void*>(gLastResort)) {
    // Several catchers may hold the shared last-resort error; bring it back
    // to life so that deleting it again is as harmless as the first time.
    new (p) PMMallocError(Revive{});
    return;
  }
  hostFree(p);
}

void pmThrowMemoryException() {
  static_assert(sizeof(PMMallocError) <= 8, "the memory error must fit an 8-byte block");
  void* block = hostCalloc(8, 1);
  if (block == nullptr) block = gReserve.take();
  if (block == nullptr) block = gLastResort;
  throw new (block) PMMallocError();
}

void pmRethrowWithMemoryError() {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    pmThrowMemoryException();
  }
}

std::size_t pmMemoryReserveLeft() { return gReserve.left(); }
