// An id of the form prefix + decimal serial number ("ev12"), kept as the
// number. Ids are handed out for every scheduled event, and read only by
// logs, error texts and results, so the text is made when it is read.
//
// The prefix is not stored: the owner passes the same fixed prefix to every
// call. An id set as text that is not that prefix followed by the canonical
// decimal text of a number (say, one made under another prefix) is kept as
// the text, so every id reads back exactly as it was given.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "support/PrefixedNumber.h"

class NumberedId {
 public:
  NumberedId() : number(0), numbered(false) {}

  bool Empty() const { return !numbered && text.empty(); }
  void Clear() {
    numbered = false;
    text.clear();
  }
  void SetNumber(uint64_t n) {
    number = n;
    numbered = true;
    if (!text.empty()) text.clear();
  }
  void SetText(const std::string& value, const char* prefix) {
    uint64_t n = 0;
    if (ParseNumber(value, prefix, n)) {
      SetNumber(n);
    } else {
      text = value;
      numbered = false;
    }
  }
  std::string Text(const char* prefix) const {
    return numbered ? PrefixedNumber(prefix, number) : text;
  }

 private:
  // True when `value` is `prefix` followed by digits without a leading zero
  // (or "0" alone) that fit in 64 bits: exactly the texts PrefixedNumber makes.
  static bool ParseNumber(const std::string& value, const char* prefix, uint64_t& n) {
    const std::size_t p = std::strlen(prefix);
    const std::size_t digits = value.size() - p;
    if (value.size() <= p || value.compare(0, p, prefix) != 0 || digits > 19) return false;
    if (value[p] == '0' && digits > 1) return false;
    n = 0;
    for (std::size_t i = p; i < value.size(); ++i) {
      if (value[i] < '0' || value[i] > '9') return false;
      n = n * 10 + static_cast<uint64_t>(value[i] - '0');
    }
    return true;
  }

  uint64_t number;
  bool numbered;
  std::string text;  // the id when it is not numbered; empty otherwise
};
