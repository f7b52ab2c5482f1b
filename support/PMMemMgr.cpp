#include "support/PMMemMgr.h"

#include "support/PMMallocError.h"

// The general allocator running out is the library's memory error, like the
// host memory service running out: std::bad_alloc never leaves the library
// from here.
void* PMMemMgr::operator new(std::size_t size) {
  try {
    return ::operator new(size);
  } catch (const std::bad_alloc&) {
    pmThrowMemoryException();
  }
}

void PMMemMgr::operator delete(void* p, std::size_t size) { ::operator delete(p, size); }
