// An id of the form prefix + decimal serial number ("ev12"), kept as the
// number. Ids are handed out for every scheduled event, and read only by
// logs, error texts and results, so the text is made when it is read.
//
// The prefix is not stored: the owner passes the same fixed prefix to every
// call. An id set as text that is not that prefix followed by the canonical
// decimal text of a number (say, one made under another prefix) is kept as
// the text, so every id reads back exactly as it was given. A fixed text
// with static storage (the "<none>" of an event without entity) is kept as
// a pointer to it.
//
// 16 bytes, half a std::string: events are many, and carry two ids.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "support/PrefixedNumber.h"

class NumberedId {
 public:
  NumberedId() noexcept : number(0), kind(kEmpty) {}
  NumberedId(const NumberedId& other) : number(0), kind(kEmpty) { *this = other; }
  NumberedId& operator=(const NumberedId& other) {
    if (this == &other) return *this;
    if (other.kind == kOwned) {
      std::string* copy = new std::string(*other.owned);  // before anything changes
      Release();
      owned = copy;
    } else {
      Release();
      if (other.kind == kLiteral)
        literal = other.literal;
      else
        number = other.number;
    }
    kind = other.kind;
    return *this;
  }
  ~NumberedId() { Release(); }

  bool Empty() const { return kind == kEmpty; }
  void Clear() noexcept {
    Release();
    kind = kEmpty;
  }
  void SetNumber(uint64_t n) noexcept {
    Release();
    number = n;
    kind = kNumber;
  }
  // `text` must outlive every copy of this id (a literal).
  void SetStaticText(const char* text) noexcept {
    Release();
    literal = text;
    kind = kLiteral;
  }
  void SetText(const std::string& value, const char* prefix) {
    uint64_t n = 0;
    if (ParseNumber(value, prefix, n)) {
      SetNumber(n);
    } else if (value.empty()) {
      Clear();
    } else {
      std::string* copy = new std::string(value);
      Release();
      owned = copy;
      kind = kOwned;
    }
  }
  std::string Text(const char* prefix) const {
    switch (kind) {
      case kNumber:
        return PrefixedNumber(prefix, number);
      case kLiteral:
        return literal;
      case kOwned:
        return *owned;
      default:
        return std::string();
    }
  }

 private:
  enum Kind : uint8_t { kEmpty, kNumber, kLiteral, kOwned };

  void Release() noexcept {
    if (kind == kOwned) delete owned;
    kind = kEmpty;
  }

  // True when `value` is `prefix` followed by digits without a leading zero
  // (or "0" alone) that fit in 64 bits: exactly the texts PrefixedNumber makes.
  static bool ParseNumber(const std::string& value, const char* prefix, uint64_t& n) {
    const std::size_t p = std::strlen(prefix);
    if (value.size() <= p || value.size() - p > 19 || value.compare(0, p, prefix) != 0)
      return false;
    if (value[p] == '0' && value.size() - p > 1) return false;
    n = 0;
    for (std::size_t i = p; i < value.size(); ++i) {
      if (value[i] < '0' || value[i] > '9') return false;
      n = n * 10 + static_cast<uint64_t>(value[i] - '0');
    }
    return true;
  }

  union {
    uint64_t number;      // kNumber
    const char* literal;  // kLiteral: not owned
    std::string* owned;   // kOwned
  };
  Kind kind;
};
