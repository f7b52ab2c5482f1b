// Decimal text of a counter behind a prefix: the form of event and entity
// ids ("ev" and 12 give "ev12").
#pragma once

#include <cstring>
#include <limits>
#include <string>

// Ids are made at a high rate, so this avoids the stream and locale
// machinery; a short prefix and number stay within the short-string buffer
// and cost no allocation.
inline std::string PrefixedNumber(const char* prefix, std::size_t prefixSize, unsigned long v) {
  char digits[std::numeric_limits<unsigned long>::digits10 + 1];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  std::string text;
  text.reserve(prefixSize + n);
  text.append(prefix, prefixSize);
  while (n > 0) text += digits[--n];
  return text;
}

inline std::string PrefixedNumber(const std::string& prefix, unsigned long v) {
  return PrefixedNumber(prefix.data(), prefix.size(), v);
}

inline std::string PrefixedNumber(const char* prefix, unsigned long v) {
  return PrefixedNumber(prefix, std::strlen(prefix), v);
}
