// A text member that costs one pointer, and no storage at all while empty:
// for free texts that nearly every object leaves empty (an event's status).
// Reads give a reference, to the shared empty string while empty.
//
// Copies have the strong guarantee: a copy or assignment that runs out of
// memory throws the library's memory error and leaves the target unchanged.
#pragma once

#include <string>

#include "support/PMMallocError.h"

class CompactText {
 public:
  CompactText() noexcept : text(nullptr) {}
  CompactText(const CompactText& other) : text(other.text != nullptr ? NewText(*other.text) : nullptr) {}
  CompactText& operator=(const CompactText& other) {
    CompactText copy(other);
    Swap(copy);
    return *this;
  }
  ~CompactText() { delete text; }

  void Swap(CompactText& other) noexcept {
    std::string* mine = text;
    text = other.text;
    other.text = mine;
  }

  bool Empty() const { return text == nullptr; }
  const std::string& Get() const { return text != nullptr ? *text : EmptyText(); }
  // An empty value releases the storage.
  void Set(const std::string& value) {
    if (value.empty()) {
      delete text;
      text = nullptr;
    } else if (text != nullptr) {
      // std::string's assignment leaves the old text when it cannot grow.
      pmWithMemoryError([this, &value] { text->assign(value); });
    } else {
      text = NewText(value);
    }
  }

 private:
  static const std::string& EmptyText() {
    static const std::string empty;
    return empty;
  }
  static std::string* NewText(const std::string& value) {
    return pmWithMemoryError([&value] { return new std::string(value); });
  }

  std::string* text;  // null while empty; never points to an empty string
};
