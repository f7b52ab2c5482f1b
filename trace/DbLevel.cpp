#include "trace/DbLevel.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/HostInterface.h"

const char* const dbLevelNames[DDB_UNKNOWN_LEVEL] = {
    "DDB_TRACE      ", "DDB_NONE       ", "DDB_ETRACE     ", "DDB_ERROR      ",
    "DDB_WARNING    ", "DDB_DEBUG      ", "DDB_EVENTS     ", "DDB_MEMMGR     ",
    "DDB_RC_PTR     ", "DDB_CHATTER    ", "DDB_MESSAGES   ", "DDB_EVERYTHING ",
    "DDB_EVERYTHING1", "DDB_DEFAULT    ",
};

int dbLevelThreshold = 0;

enumDbLevel getDbLevel(char* name) {
  const char* value = name != nullptr ? std::getenv(name) : nullptr;
  if (value == nullptr) return DDB_ERROR;
  hostPrintf("Env Var., %s has value: %s\n", name, value);
  const std::size_t length = std::strlen(value);
  for (int level = 0; level < DDB_UNKNOWN_LEVEL; ++level) {
    if (std::strncmp(dbLevelNames[level], value, length) == 0 &&
        std::strlen(dbLevelNames[level]) >= length)
      return static_cast<enumDbLevel>(level);
  }
  return DDB_UNKNOWN_LEVEL;
}

namespace {

const std::size_t kLineBytes = 1024;  // either line, terminator included
const std::size_t kFormatChars = 1009;
const std::size_t kWholeTextChars = 63;

// An output line that silently stops growing when full.
class BoundedLine {
 public:
  BoundedLine() : used(0) { text[0] = '\0'; }
  void Append(const char* s, std::size_t n) {
    const std::size_t room = kLineBytes - 1 - used;
    if (n > room) n = room;
    std::memcpy(text + used, s, n);
    used += n;
    text[used] = '\0';
  }
  void Append(const char* s) { Append(s, std::strlen(s)); }
  void Append(char c) { Append(&c, 1); }
  const char* Text() const { return text; }
  bool Full() const { return used == kLineBytes - 1; }

 private:
  char text[kLineBytes];
  std::size_t used;
};

void AppendConversion(BoundedLine& out, char conversion, va_list& args) {
  char number[64];
  switch (conversion) {
    case 'd':
    case 'i':
      std::snprintf(number, sizeof number, "%d", va_arg(args, int));
      out.Append(number);
      break;
    case 'f':
      std::snprintf(number, sizeof number, "%f", va_arg(args, double));
      out.Append(number);
      break;
    case 'g':
      std::snprintf(number, sizeof number, "%g", va_arg(args, double));
      out.Append(number);
      break;
    case 'h': {
      // "%.15f" of a large number runs to hundreds of digits; what does not
      // fit the line is cut.
      char wide[kLineBytes];
      std::snprintf(wide, sizeof wide, "%.15f", va_arg(args, double));
      out.Append(wide);
      break;
    }
    case 'p':
      std::snprintf(number, sizeof number, "%X", va_arg(args, unsigned int));
      out.Append(number);
      break;
    case 's': {
      const char* s = va_arg(args, const char*);
      if (s == nullptr) s = "(null)";
      const std::size_t n = strnlen(s, kWholeTextChars + 1);
      if (n <= kWholeTextChars) {
        out.Append(s, n);
      } else {
        out.Append("[trunc.]");
        out.Append(s, kWholeTextChars);
        out.Append("[snip]");
      }
      break;
    }
    default:
      out.Append('%');
      break;
  }
}

}  // namespace

void printDbMessage(int level, const char* format, ...) {
  if (level > dbLevelThreshold) return;
  va_list args;
  va_start(args, format);
  try {
    // Composed line: padded name, ": ", at most kFormatChars of the format.
    BoundedLine composed;
    composed.Append(level >= 0 && level < DDB_UNKNOWN_LEVEL ? dbLevelNames[level] : "DDB_?          ");
    composed.Append(": ");
    if (format != nullptr) composed.Append(format, strnlen(format, kFormatChars));
    BoundedLine out;
    const char* in = composed.Text();
    // Expansion stops when the line is full: no argument is read for a
    // conversion that could not be shown.
    for (std::size_t i = 0; in[i] != '\0' && !out.Full(); ++i) {
      if (in[i] != '%') {
        out.Append(in[i]);
      } else if (in[i + 1] == '\0') {
        out.Append('%');
      } else {
        AppendConversion(out, in[++i], args);
      }
    }
    hostPrintf("%s", out.Text());
  } catch (...) {
    hostPrintf("\n *** Error while printing debug message *** \n\n");
  }
  va_end(args);
}
