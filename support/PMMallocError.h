// The memory-exhaustion error. It must be throwable when the host has no
// memory left: its object is 8 bytes (a vtable pointer) and comes from the
// host allocator, or from an emergency reserve of ten blocks prepared when the
// library is loaded, or, when both are exhausted, from one static block that
// deleting leaves alone. Every PMMallocError shares one host diagnostic.
#pragma once

#include <cstddef>

#include "support/PMException.h"

class PMMallocError : public PMException {
 public:
  PMMallocError();
  brsvDiagnosticImpl* getBrErrMsg() const override;
  const char* getMessage() const override;
  char* getMessageNonConst() const override;

  // The object lives in host memory (or in the static last-resort block);
  // release it accordingly.
  static void operator delete(void* p, std::size_t size);
  using PMMemMgr::operator new;

 private:
  struct Revive {};
  explicit PMMallocError(Revive) {}
};

// Throws a pointer to a new PMMallocError; never returns.
[[noreturn]] void pmThrowMemoryException();

// Blocks of the emergency reserve not yet used (for tests).
std::size_t pmMemoryReserveLeft();
