// Cross-file helpers of the stand-in host. Not part of what the engine or the
// tests see: they use support/HostInterface.h and host/HostControl.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "support/HostInterface.h"

namespace host {
namespace detail {

// ---------------------------------------------------------------- messages

// The registered text of `code`, or null.
const char* messageText(void* context, uint32_t code);
// Number of %s/%d placeholders in a message text ("%%" is not one).
std::size_t countPlaceholders(const char* text);
// hostFormatMessage with any number of arguments (missing ones read as empty).
int formatMessage(void* context, char* buffer, std::size_t maxChars, uint32_t code,
                  const char* const* args, std::size_t argCount);

// ---------------------------------------------------------------- arrays

// Interpreter temporaries: arrays an interpreter call returned with scope 1.
// An array is on the list at most once; destroying it or storing it into a
// container takes it off, so the list never holds a dangling pointer.
void addTemporary(hvArray* a);
void forgetTemporary(hvArray* a);
// Destroys every temporary except those in `keep`.
void releaseTemporariesExcept(hvArray* const* keep, std::size_t keepCount);

// Creation hooks for the array-creation failure injection.
bool arrayCreationAllowed();
void resetArrayState();

// ---------------------------------------------------------------- interpreter

void resetInterpreter();
void resetCommandWindow();
void resetInterrupts();

// Text of a character array (all characters, column order); empty for others.
std::string arrayText(const hvArray* a);

}  // namespace detail
}  // namespace host
