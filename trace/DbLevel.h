// Levels of the library's own diagnostic messages, and their printer.
//
// A level's value is its position in the name table, which is neither
// alphabetical nor by severity (DDB_TRACE is 0, DDB_NONE 1). The names are
// stored blank-padded to 15 characters and printed with their padding.
#pragma once

enum enumDbLevel {
  DDB_TRACE = 0,
  DDB_NONE,
  DDB_ETRACE,
  DDB_ERROR,
  DDB_WARNING,
  DDB_DEBUG,
  DDB_EVENTS,
  DDB_MEMMGR,
  DDB_RC_PTR,
  DDB_CHATTER,
  DDB_MESSAGES,
  DDB_EVERYTHING,
  DDB_EVERYTHING1,
  DDB_DEFAULT,
  DDB_UNKNOWN_LEVEL  // what getDbLevel answers for a text that names no level
};

// The stored (padded) names, indexed by level.
extern const char* const dbLevelNames[DDB_UNKNOWN_LEVEL];

// Messages above this level are not printed. Zero (DDB_TRACE) at load;
// nothing in the library changes it.
extern int dbLevelThreshold;

// The level named by the environment variable `name`: DDB_ERROR when it is
// not set (silently); otherwise the value is echoed on the host console and
// the first level whose padded name begins with the whole value
// (case-sensitive) is returned, DDB_UNKNOWN_LEVEL when none does.
enumDbLevel getDbLevel(char* name);

// Prints "<padded level name>: <format expanded>" on the host console when
// `level` does not exceed the threshold. Conversions: %d %i (int), %f %g
// (double), %h (double, 15 decimals), %p (32-bit value, upper-case hex),
// %s (text; 64 characters or more are cut to 63 inside "[trunc.]...[snip]");
// '%' followed by anything else prints one '%' and consumes no argument.
// Lines are limited to 1024 bytes: expansion stops when the line is full
// (later conversions read no argument). Never throws.
void printDbMessage(int level, const char* format, ...);
