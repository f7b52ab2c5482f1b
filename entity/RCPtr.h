// Owning handle to a Pointee: holds one reference while non-null.
#pragma once

#include <cstddef>

template <class T>
class RCPtr {
 public:
  RCPtr(T* p = nullptr) : pointee(p) {
    if (pointee) pointee->AddRef();
  }
  RCPtr(const RCPtr& other) : pointee(other.pointee) {
    if (pointee) pointee->AddRef();
  }
  template <class U>
  RCPtr(const RCPtr<U>& other) : pointee(other.get()) {
    if (pointee) pointee->AddRef();
  }
  ~RCPtr() {
    if (pointee) pointee->Release();
  }
  // Takes the new reference before dropping the old one, so assigning a
  // handle of the same object (or itself) never frees it.
  RCPtr& operator=(const RCPtr& other) {
    T* old = pointee;
    pointee = other.pointee;
    if (pointee) pointee->AddRef();
    if (old) old->Release();
    return *this;
  }
  RCPtr& operator=(T* p) { return *this = RCPtr(p); }

  T* operator->() const { return pointee; }
  T& operator*() const { return *pointee; }
  T* get() const { return pointee; }
  explicit operator bool() const { return pointee != nullptr; }
  bool operator==(const RCPtr& o) const { return pointee == o.pointee; }
  bool operator!=(const RCPtr& o) const { return pointee != o.pointee; }

 private:
  T* pointee;
};
