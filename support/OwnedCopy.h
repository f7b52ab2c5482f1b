// An optional value behind one pointer, for members that nearly every
// object leaves empty (an event's status text and captured value): empty
// costs the pointer and no storage. Copies are deep and allocate through
// T's own operator new (a pooled class's pool).
//
// Copies have the strong guarantee: a copy or assignment that runs out of
// memory throws the library's memory error and leaves the target unchanged.
#pragma once

#include "support/PMMallocError.h"

template <class T>
class OwnedCopy {
 public:
  OwnedCopy() noexcept : value(nullptr) {}
  OwnedCopy(const OwnedCopy& other) : value(other.value != nullptr ? NewCopy(*other.value) : nullptr) {}
  OwnedCopy& operator=(const OwnedCopy& other) {
    OwnedCopy copy(other);
    Swap(copy);
    return *this;
  }
  ~OwnedCopy() { delete value; }

  void Swap(OwnedCopy& other) noexcept {
    T* mine = value;
    value = other.value;
    other.value = mine;
  }

  // Null while empty.
  const T* Get() const { return value; }
  void Reset() noexcept {
    delete value;
    value = nullptr;
  }
  // Assigns into the existing value when there is one; T's assignment must
  // leave the old value when it fails (std::string's does).
  void Set(const T& newValue) {
    if (value != nullptr)
      pmWithMemoryError([this, &newValue] { *value = newValue; });
    else
      value = NewCopy(newValue);
  }

 private:
  static T* NewCopy(const T& from) {
    return pmWithMemoryError([&from] { return new T(from); });
  }

  T* value;
};
