#include "tests/sweep/FailingNew.h"

#include <dlfcn.h>
#include <execinfo.h>

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

std::size_t gFailAt = 0;
std::size_t gCalls = 0;
bool gFired = false;
bool gFiredInLibrary = false;
const char* gObject = "libtarnwell";

// Whether one of the library's shared objects is on the stack.
bool CalledFromLibrary() {
  void* frames[64];
  const int n = backtrace(frames, 64);
  for (int i = 0; i < n; ++i) {
    Dl_info info;
    if (dladdr(frames[i], &info) != 0 && info.dli_fname != nullptr &&
        std::strstr(info.dli_fname, gObject) != nullptr)
      return true;
  }
  return false;
}

// Null when this call is the armed one.
void* Allocate(std::size_t size) {
  // Only the library's calls are counted and failed: a failure elsewhere
  // (the option parser, say) is not the library's to handle.
  if (gFailAt != 0 && !gFired && CalledFromLibrary() && ++gCalls == gFailAt) {
    gFired = true;
    gFiredInLibrary = true;
    return nullptr;
  }
  return std::malloc(size != 0 ? size : 1);
}

}  // namespace

namespace failing_new {

void FailCall(std::size_t n, const char* object) {
  gObject = object;
  if (n != 0) {
    // The first backtrace loads what unwinding needs; not in a failing call.
    void* frame[1];
    backtrace(frame, 1);
    gFired = false;
    gFiredInLibrary = false;
  }
  gFailAt = n;
  gCalls = 0;
}
std::size_t Calls() { return gCalls; }
bool Fired() { return gFired; }
bool FiredInLibrary() { return gFiredInLibrary; }

}  // namespace failing_new

void* operator new(std::size_t size) {
  void* p = Allocate(size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void* operator new[](std::size_t size) {
  void* p = Allocate(size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
