// An id of the form prefix + decimal serial number ("ev12"), kept as the
// number. Ids are handed out for every scheduled event, and read only by
// logs, error texts and results, so the text is made when it is read.
//
// The prefix is not stored: the owner passes the same fixed prefix to every
// call. An id set as text that is not that prefix followed by the canonical
// decimal text of a number below 2^62 (say, one made under another prefix)
// is kept as the text, so every id reads back exactly as it was given. A
// fixed text with static storage (the "<none>" of an event without entity)
// is kept as a pointer to it.
//
// One machine word, since events are many and carry two ids. The low two
// bits tell the kind:
//   0         empty (the whole word 0) or an owned std::string*, stored as
//             is, so that leak checkers see the owning pointer;
//   kNumber   the number in the upper 62 bits;
//   kLiteral  the literal's address in the upper 62 bits (a user-space
//             address never uses the top two bits), whatever its alignment.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "support/PMMallocError.h"
#include "support/PrefixedNumber.h"

class NumberedId {
 public:
  // Numbers at or above this are kept as text.
  static constexpr uint64_t kNumberLimit = uint64_t{1} << 62;

  NumberedId() noexcept : word(0) {}
  NumberedId(const NumberedId& other) : word(0) { *this = other; }
  NumberedId& operator=(const NumberedId& other) {
    if (this == &other) return *this;
    if (other.IsOwned()) {
      std::string* copy = NewText(*other.Owned());  // before anything changes
      Release();
      word = reinterpret_cast<uintptr_t>(copy);
    } else {
      Release();
      word = other.word;
    }
    return *this;
  }
  ~NumberedId() { Release(); }

  void Swap(NumberedId& other) noexcept {
    const uint64_t mine = word;
    word = other.word;
    other.word = mine;
  }

  bool Empty() const { return word == 0; }
  void Clear() noexcept { Release(); }
  // `n` below kNumberLimit (serial counters are 32-bit).
  void SetNumber(uint64_t n) noexcept {
    Release();
    word = (n << kTagBits) | kNumber;
  }
  // `text` must outlive every copy of this id (a literal).
  void SetStaticText(const char* text) noexcept {
    Release();
    word = (static_cast<uint64_t>(reinterpret_cast<uintptr_t>(text)) << kTagBits) | kLiteral;
  }
  // The library's memory error when the text must be copied and cannot.
  void SetText(const std::string& value, const char* prefix) {
    uint64_t n = 0;
    if (ParseNumber(value, prefix, n)) {
      SetNumber(n);
    } else if (value.empty()) {
      Clear();
    } else {
      std::string* copy = NewText(value);
      Release();
      word = reinterpret_cast<uintptr_t>(copy);
    }
  }
  std::string Text(const char* prefix) const {
    switch (word & kTagMask) {
      case kNumber:
        return PrefixedNumber(prefix, static_cast<unsigned long>(word >> kTagBits));
      case kLiteral:
        return reinterpret_cast<const char*>(static_cast<uintptr_t>(word >> kTagBits));
      default:
        return word != 0 ? *Owned() : std::string();
    }
  }

 private:
  static constexpr unsigned kTagBits = 2;
  static constexpr uint64_t kTagMask = 3;
  static constexpr uint64_t kNumber = 1;
  static constexpr uint64_t kLiteral = 2;

  bool IsOwned() const { return word != 0 && (word & kTagMask) == 0; }
  std::string* Owned() const { return reinterpret_cast<std::string*>(static_cast<uintptr_t>(word)); }
  static std::string* NewText(const std::string& text) {
    return pmWithMemoryError([&text] { return new std::string(text); });
  }
  void Release() noexcept {
    if (IsOwned()) delete Owned();
    word = 0;
  }

  // True when `value` is `prefix` followed by digits without a leading zero
  // (or "0" alone) whose number is below kNumberLimit: exactly the texts
  // PrefixedNumber makes of the numbers kept as numbers.
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
    return n < kNumberLimit;
  }

  uint64_t word;
};
