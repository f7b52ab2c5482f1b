#include "support/HvCleaner.h"

#include <algorithm>

#include "support/ErrExcept.h"
#include "support/HostBridge.h"
#include "support/MessageCatalogue.h"

HvCleaner::HvCleaner(hvArray* a) { addHvArray(a); }

HvCleaner::~HvCleaner() {
  for (hvArray* a : arrays) hvDestroyArray(a);
}

HvCleaner& HvCleaner::addHvArray(hvArray* a) {
  if (a == nullptr) return *this;
  try {
    arrays.push_front(a);
  } catch (...) {
    hvDestroyArray(a);  // ownership was handed over: nobody else will free it
    throw;
  }
  return *this;
}

HvCleaner& HvCleaner::addHvArrays(std::size_t n, hvArray* const list[]) {
  for (std::size_t i = 0; i < n; ++i) addHvArray(list[i]);
  return *this;
}

HvCleaner& HvCleaner::removeHvArray(hvArray* a) {
  auto it = std::find(arrays.begin(), arrays.end(), a);
  if (it != arrays.end()) arrays.erase(it);
  return *this;
}

HvCleaner& HvCleaner::removeHvArrays(std::size_t n, hvArray* const list[]) {
  for (std::size_t i = 0; i < n; ++i) removeHvArray(list[i]);
  return *this;
}

hvArray* HvCleaner::own(hvArray* created) {
  if (created == nullptr) throw new ErrExcept(DES_MemoryAllocErr);
  addHvArray(created);
  return created;
}

hvArray* HvCleaner::createString(const char* text) { return own(hvCreateString(text)); }

hvArray* HvCleaner::createString(const std::string& text) { return createString(text.c_str()); }

hvArray* HvCleaner::createDoubleMatrix(std::size_t m, std::size_t n, hvComplexity c) {
  return own(hvCreateDoubleMatrix(m, n, c));
}

hvArray* HvCleaner::createScalarDouble(double v) { return own(hvCreateDoubleScalar(v)); }

hvArray* HvCleaner::createString(double v) { return matToStr(createScalarDouble(v)); }

hvArray* HvCleaner::matToStr(hvArray* a) {
  hvArray* out[1] = {nullptr};
  hvArray* in[1] = {a};
  pmCallCorvane(1, out, 1, in, "mat2str", false);
  HvCleaner outputGuard(out[0]);
  std::string text;
  pmArrayToString(out[0], text);
  if (text.empty() || text[0] != '[') text = "[" + text + "]";
  return createString(text);
}
