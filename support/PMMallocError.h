// The memory-exhaustion error. It must be throwable when the host has no
// memory left: its object is 8 bytes (a vtable pointer) and comes from the
// host allocator, or from an emergency reserve of ten blocks prepared when the
// library is loaded, or, when both are exhausted, from one static block that
// deleting leaves alone. Every PMMallocError shares one host diagnostic.
#pragma once

#include <cstddef>
#include <new>
#include <string>
#include <utility>

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

// Only inside a handler: throws again what is being handled, a
// std::bad_alloc as the library's memory error.
[[noreturn]] void pmRethrowWithMemoryError();

// Runs f and returns what it returns. The general allocator running out
// inside it (a name copied into a std::string, a standard container
// growing) becomes the library's memory error, so that callers of the
// library catch one kind of memory error whatever ran out.
template <class F>
decltype(auto) pmWithMemoryError(F&& f) {
  try {
    return std::forward<F>(f)();
  } catch (const std::bad_alloc&) {
    pmThrowMemoryException();
  }
}

// Copies of names and tags (a null one is the empty text) for the library's
// std::string members, with the library's memory error.
inline std::string pmCopyText(const char* text) {
  return pmWithMemoryError([text] { return std::string(text != nullptr ? text : ""); });
}
inline std::string pmCopyText(const std::string& text) {
  return pmWithMemoryError([&text] { return text; });
}

// Blocks of the emergency reserve not yet used (for tests).
std::size_t pmMemoryReserveLeft();
