// Console output, with capture for tests.
#include <cstdio>
#include <string>

#include "host/HostControl.h"

namespace {

struct ConsoleState {
  bool capturing = false;
  std::string captured;
};

ConsoleState& console() {
  static ConsoleState s;
  return s;
}

int emitV(const char* format, va_list args) {
  if (!format) return 0;
  va_list sizing;
  va_copy(sizing, args);
  int n = std::vsnprintf(nullptr, 0, format, sizing);
  va_end(sizing);
  if (n <= 0) return n;
  std::string text(static_cast<std::size_t>(n), '\0');
  std::vsnprintf(&text[0], text.size() + 1, format, args);
  ConsoleState& c = console();
  if (c.capturing) {
    c.captured += text;
  } else {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
  }
  return n;
}

}  // namespace

int hostPrintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int n = emitV(format, args);
  va_end(args);
  return n;
}

int hvxPrintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int n = emitV(format, args);
  va_end(args);
  return n;
}

void hostDumpStackTrace(int, int, void*) {
  hostPrintf("(stack trace not available in this host)\n");
}

void hostAssert(const char* file, const char* condition, int line, const char* message) {
  hostPrintf("Assertion failed: %s at line %d of file \"%s\"%s%s\n",
             condition ? condition : "(forced)", line, file ? file : "", message ? ": " : "",
             message ? message : "");
}

// The stand-in runs everything on the thread that loaded it.
int hostIsSignalThread() { return 1; }

namespace host {

void captureConsole(bool on) { console().capturing = on; }

std::string consoleText() { return console().captured; }

void clearConsole() { console().captured.clear(); }

}  // namespace host
