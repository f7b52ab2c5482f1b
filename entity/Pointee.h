// Base of every intrusively reference-counted class. The count belongs to
// the object, not to its value: a copy starts unshared, and assigning one
// pointee to another leaves both counts alone.
#pragma once

class Pointee {
 public:
  Pointee() : refCount(0) {}
  virtual ~Pointee();
  Pointee& operator=(const Pointee&) { return *this; }

  void AddRef() { ++refCount; }
  // Drops one reference; the last one deletes the object through its
  // virtual destructor (a pooled object returns to its pool).
  void Release() {
    if (--refCount == 0) delete this;
  }
  int GetRefCount() const { return refCount; }

 protected:
  Pointee(const Pointee&) : refCount(0) {}

 private:
  int refCount;
};
