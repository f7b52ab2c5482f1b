// Controls of the stand-in host that the real environment does not have:
// what tests, the model driver and the runner use to set the host up, inject
// failures and look at what the engine told the host. The engine library
// itself never includes this header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/HostInterface.h"

namespace host {

// ---------------------------------------------------------------- memory

// Makes the n-th hostCalloc call from now on (1 = the next one) and every
// later one fail; 0 switches failure injection off.
void failAllocationsFrom(std::size_t n);
// hostCalloc calls made since start-up (failed ones included).
std::size_t allocationCalls();
// Blocks handed out by hostCalloc and not yet released.
std::size_t liveAllocations();

// ---------------------------------------------------------------- arrays

// Makes the n-th host array creation from now on (any hvCreate* call or
// hvDuplicateArray; 1 = the next one) and every later one return null; 0
// switches this off.
void failArrayCreationsFrom(std::size_t n);
// Host arrays that exist now (those held in cells and fields included).
std::size_t liveArrays();
// Calls `observer` with every array about to be destroyed (a container
// before its contents); an empty function stops observing.
void observeArrayDestruction(std::function<void(const hvArray*)> observer);

// ---------------------------------------------------------------- console

// While capturing, hostPrintf and hvxPrintf append to a buffer instead of
// writing to standard output.
void captureConsole(bool on);
std::string consoleText();
void clearConsole();

// ---------------------------------------------------------------- interrupts

// Safe to call from a signal handler (the user's break key).
void setInterruptPending(bool pending);
// True while a HostInterruptMode asks for deferred interrupts.
bool interruptsDeferred();

// The exception hostRaiseIfInterruptPending throws (declared with the host
// interface, so that the engine's prompt can catch it).
using HostInterrupt = ::HostInterruptException;

// ---------------------------------------------------------------- diagnostics

struct Warning {
  std::string prefix;
  uint32_t code;
  std::string identifier;
  std::string message;
  std::vector<std::string> args;  // as passed; null arguments as empty texts
  std::vector<bool> argIsNull;
};
const std::vector<Warning>& warnings();
void clearWarnings();
// Diagnostics made by brsvObjectError so far (owned by the host).
std::size_t diagnosticCount();
// Releases every diagnostic the host holds.
void releaseDiagnostics();
// Multi-line rendering of a diagnostic and its appended diagnostics, as the
// host shows an error: message, identifier and the handles it names.
std::string renderDiagnostic(const brsvDiagnosticImpl* d);

// ---------------------------------------------------------------- objects

// A host object (a block or a diagram). The numeric handle is the first
// member: the engine's handle converter reads it from the object's start.
struct HostObject {
  double handle;
  std::string path;  // e.g. "model/Queue"
  std::map<std::string, std::string> params;
};
// Registers an object with the given path; its root diagram is the part of
// the path before the first '/', registered on demand. Returns the object
// (owned by the host until clearObjects).
HostObject* addObject(const std::string& path);
HostObject* findObject(double handle);
HostObject* findObject(const std::string& path);
void clearObjects();

// ---------------------------------------------------------------- interpreter

// Thrown by a host function to fail; the interpreter traps it.
struct HostError : std::runtime_error {
  using std::runtime_error::runtime_error;
};
// A host function. `out` has nOut slots (at least 1), all null on entry; the
// function fills those it returns. Ownership of `in` stays with the caller.
using Function = std::function<void(int nOut, hvArray* out[], int nIn, hvArray* in[])>;
void registerFunction(const std::string& name, Function f);
void unregisterFunction(const std::string& name);
bool hasFunction(const std::string& name);
// Current error mode (as last set by hvSetErrorMode).
int errorMode();
// Arrays returned by interpreter calls and not made persistent (scope 1) are
// destroyed when the next call starts; this destroys them now.
void releaseTemporaries();
// Installs "get_param", "set_param", "bdroot" and "mat2str" (done at load).
void installStandardFunctions();
// HostStackWatermark guards alive now.
int stackWatermarks();

// ---------------------------------------------------------------- command window

// Lines that hostReadLine hands out, in order; end of input after the last.
void setInputLines(const std::vector<std::string>& lines);
// Asked for a line when no queued line is left (a terminal or a pipe, say);
// false means end of input. Empty: end of input after the queued lines.
void setLineSource(std::function<bool(std::string& line)> source);
// The requester setting in force (as last set by hostSetInputRequester),
// read as the plain value callers pass in it.
intptr_t inputRequester();

// ---------------------------------------------------------------- whole host

// Returns the host to its state at load: failure injection off, console not
// captured, no warnings, diagnostics, objects, pending interrupt or input
// lines; standard functions installed and error mode 0. Message tables stay.
// Also: array-creation failures off, no temporaries, command-window settings
// and listeners cleared, the base workspace current.
void reset();

}  // namespace host
