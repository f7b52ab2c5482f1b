// Failure injection for the global operator new of the test program: the
// n-th call the library makes after arming throws std::bad_alloc (the
// nothrow forms return null), once; every other call allocates as usual.
#pragma once

#include <cstddef>

namespace failing_new {

// Arms the n-th next call to fail (1 = the next one); 0 disarms, keeping
// what Fired says. Only calls with a shared object whose file name contains
// `object` on the stack count ("libtarnwell.so" for the engine alone).
void FailCall(std::size_t n, const char* object = "libtarnwell");
// Calls the library made since the last FailCall.
std::size_t Calls();
// Whether the call armed last has happened.
bool Fired();
// Whether the failing call came from the library's shared objects (the
// engine, the host stand-in, the driver and the blocks) rather than from the
// test program or the runner's option parser.
bool FiredInLibrary();

}  // namespace failing_new
