// Guard that owns temporary host arrays and destroys them, newest first, on
// every way out of the operation that made them.
#pragma once

#include <cstddef>
#include <list>
#include <string>

#include "entity/pmallocator.h"
#include "support/HostInterface.h"

class HvCleaner {
 public:
  HvCleaner() = default;
  explicit HvCleaner(hvArray* a);
  // A copy owns nothing: an array belongs to one guard only, so copying
  // never lets two guards destroy one array. Assignment keeps what the
  // target owns.
  HvCleaner(const HvCleaner&) {}
  HvCleaner& operator=(const HvCleaner&) { return *this; }
  ~HvCleaner();

  // Takes ownership of a non-null array (null is ignored).
  HvCleaner& addHvArray(hvArray* a);
  HvCleaner& addHvArrays(std::size_t n, hvArray* const arrays[]);
  // Gives up ownership of the array without destroying it.
  HvCleaner& removeHvArray(hvArray* a);
  HvCleaner& removeHvArrays(std::size_t n, hvArray* const arrays[]);

  // Each creates a host array owned by the guard; the host having no memory
  // for it raises DES_MemoryAllocErr.
  hvArray* createString(const char* text);
  hvArray* createString(const std::string& text);
  hvArray* createString(double v);  // the number's text form, "[...]"
  hvArray* createDoubleMatrix(std::size_t m, std::size_t n, hvComplexity c);
  hvArray* createScalarDouble(double v);
  // The host's text form of a value as a character array, always bracketed.
  hvArray* matToStr(hvArray* a);

  std::size_t size() const { return arrays.size(); }

 private:
  hvArray* own(hvArray* created);

  std::list<hvArray*, pmallocator<hvArray*>> arrays;
};
