// Host arrays: creation, element access, containers with ownership, deep
// duplication and destruction.
//
// Every creation returns null instead of throwing (out of memory, a size that
// overflows, an unsupported class, or injected failure). Storing an array into
// a cell or field hands it over even when the store itself is invalid (bad
// index, wrong class, unknown field): the array is then destroyed, so the
// caller never has to guess whether it still owns it.
#include <cstring>
#include <functional>
#include <new>

#include "host/HostArray.h"
#include "host/HostControl.h"
#include "host/HostInternal.h"

namespace {

struct ArrayState {
  std::size_t live = 0;
  std::size_t creations = 0;
  std::size_t failFrom = 0;  // absolute creation number of the first failure; 0 = never
  std::function<void(const hvArray*)> destroyObserver;
};

ArrayState& state() {
  static ArrayState s;
  return s;
}

// Product of the dimensions, or false when it does not fit in size_t.
bool elementCount(const std::vector<uint64_t>& dims, std::size_t* n) {
  std::size_t total = 1;
  for (uint64_t d : dims) {
    if (d != 0 && total > SIZE_MAX / d) return false;
    total *= static_cast<std::size_t>(d);
  }
  *n = total;
  return true;
}

void normaliseDims(std::vector<uint64_t>& dims) {
  while (dims.size() > 2 && dims.back() == 1) dims.pop_back();
  while (dims.size() < 2) dims.push_back(dims.empty() ? 0 : 1);
}

// A new array of the given class and shape with zeroed data and empty slots;
// null on failure. Counts as one creation for failure injection.
hvArray* make(hvClassID classId, std::vector<uint64_t> dims, bool complex,
              std::size_t fieldCount = 0) {
  if (!host::detail::arrayCreationAllowed()) return nullptr;
  normaliseDims(dims);
  std::size_t n = 0;
  if (!elementCount(dims, &n)) return nullptr;
  try {
    auto a = std::make_unique<hvArray>();
    a->classId = classId;
    a->dims = std::move(dims);
    a->complex = complex;
    switch (classId) {
      case hvDOUBLE_CLASS:
        a->real.assign(n, 0.0);
        if (complex) a->imag.assign(n, 0.0);
        break;
      case hvLOGICAL_CLASS:
        a->logicals.reset(new bool[n == 0 ? 1 : n]());
        break;
      case hvCHAR_CLASS:
        a->chars.assign(n, '\0');
        break;
      case hvCELL_CLASS:
        a->slots.assign(n, nullptr);
        break;
      case hvSTRUCT_CLASS:
        if (fieldCount != 0 && n > SIZE_MAX / fieldCount) return nullptr;
        a->slots.assign(n * fieldCount, nullptr);
        break;
      default:
        return nullptr;
    }
    ++state().live;
    return a.release();
  } catch (const std::bad_alloc&) {
    return nullptr;
  } catch (const std::length_error&) {
    return nullptr;
  }
}

// A two-dimensional array; its shape is built here so that running out of
// memory for it also gives null rather than an exception.
hvArray* makeMatrix(hvClassID classId, uint64_t m, uint64_t n, bool complex,
                    std::size_t fieldCount = 0) {
  std::vector<uint64_t> dims;
  try {
    dims = {m, n};
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return make(classId, std::move(dims), complex, fieldCount);
}

// Puts `value` into `slot`, destroying what was there. The container owns it
// from now on, so it stops being an interpreter temporary.
void store(hvArray*& slot, hvArray* value) {
  if (slot == value) return;
  hvDestroyArray(slot);
  slot = value;
  if (value) {
    host::detail::forgetTemporary(value);
    value->contained = true;
    value->scope = 0;
  }
}

// Slot index of (element, field) in a structure, or false when out of range.
bool fieldSlot(const hvArray* s, std::size_t index, int field, std::size_t* slot) {
  if (!s || s->classId != hvSTRUCT_CLASS || field < 0) return false;
  std::size_t nf = s->fieldNames.size();
  if (static_cast<std::size_t>(field) >= nf || index >= s->elements()) return false;
  *slot = index * nf + static_cast<std::size_t>(field);
  return true;
}

// Deep copy; may throw std::bad_alloc (the partly built copy is then released).
hvArray* clone(const hvArray* a) {
  auto copy = std::make_unique<hvArray>();
  copy->classId = a->classId;
  copy->dims = a->dims;
  copy->complex = a->complex;
  copy->real = a->real;
  copy->imag = a->imag;
  copy->chars = a->chars;
  copy->fieldNames = a->fieldNames;
  if (a->logicals) {
    std::size_t n = a->elements() == 0 ? 1 : a->elements();
    copy->logicals.reset(new bool[n]);
    std::memcpy(copy->logicals.get(), a->logicals.get(), n * sizeof(bool));
  }
  copy->slots.assign(a->slots.size(), nullptr);
  ++state().live;
  hvArray* result = copy.release();
  try {
    for (std::size_t i = 0; i < a->slots.size(); ++i) {
      if (a->slots[i]) {
        result->slots[i] = clone(a->slots[i]);
        result->slots[i]->contained = true;
      }
    }
  } catch (...) {
    hvDestroyArray(result);
    throw;
  }
  return result;
}

}  // namespace

std::size_t hvArray::elements() const {
  std::size_t n = 0;
  elementCount(dims, &n);
  return n;
}

// ---------------------------------------------------------------- creation

// A null text is taken as empty text. Text is one row: "abc" is 1x3, "" 1x0.
hvArray* hvCreateString(const char* text) {
  std::size_t len = text ? std::strlen(text) : 0;
  hvArray* a = makeMatrix(hvCHAR_CLASS, 1, len, false);
  if (a && len) std::memcpy(&a->chars[0], text, len);
  return a;
}

hvArray* hvCreateDoubleScalar(double value) {
  hvArray* a = makeMatrix(hvDOUBLE_CLASS, 1, 1, false);
  if (a) a->real[0] = value;
  return a;
}

hvArray* hvCreateDoubleMatrix(size_t m, size_t n, hvComplexity complexity) {
  return makeMatrix(hvDOUBLE_CLASS, m, n, complexity == hvCOMPLEX);
}

// Doubles, logicals and characters; a complex array must be of doubles.
hvArray* hvCreateNumericArray(size_t numDims, const uint64_t* dims, hvClassID classId,
                              hvComplexity complexity) {
  if (numDims > 0 && !dims) return nullptr;
  if (classId != hvDOUBLE_CLASS && classId != hvLOGICAL_CLASS && classId != hvCHAR_CLASS)
    return nullptr;
  if (complexity == hvCOMPLEX && classId != hvDOUBLE_CLASS) return nullptr;
  std::vector<uint64_t> d;
  try {
    d.assign(dims, dims + numDims);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return make(classId, std::move(d), complexity == hvCOMPLEX);
}

hvArray* hvCreateLogicalScalar(bool value) {
  hvArray* a = makeMatrix(hvLOGICAL_CLASS, 1, 1, false);
  if (a) a->logicals[0] = value;
  return a;
}

hvArray* hvCreateCellMatrix(size_t m, size_t n) { return makeMatrix(hvCELL_CLASS, m, n, false); }

// Field names must be given, non-empty and distinct.
hvArray* hvCreateStructMatrix(size_t m, size_t n, int numFields, const char** fieldNames) {
  if (numFields < 0 || (numFields > 0 && !fieldNames)) return nullptr;
  for (int i = 0; i < numFields; ++i) {
    if (!fieldNames[i] || !*fieldNames[i]) return nullptr;
    for (int j = 0; j < i; ++j)
      if (std::strcmp(fieldNames[i], fieldNames[j]) == 0) return nullptr;
  }
  hvArray* a = makeMatrix(hvSTRUCT_CLASS, m, n, false, static_cast<std::size_t>(numFields));
  if (!a) return nullptr;
  try {
    a->fieldNames.assign(fieldNames, fieldNames + numFields);
  } catch (const std::exception&) {
    hvDestroyArray(a);
    return nullptr;
  }
  return a;
}

// ---------------------------------------------------------------- containers

void hvSetCell(hvArray* cell, size_t index, hvArray* value) {
  if (!cell || cell->classId != hvCELL_CLASS || index >= cell->slots.size() || cell == value) {
    if (value != cell) hvDestroyArray(value);
    return;
  }
  store(cell->slots[index], value);
}

hvArray* hvGetCell(const hvArray* cell, size_t index) {
  if (!cell || cell->classId != hvCELL_CLASS || index >= cell->slots.size()) return nullptr;
  return cell->slots[index];
}

void hvSetFieldByNumber(hvArray* s, size_t index, int field, hvArray* value) {
  std::size_t slot = 0;
  if (!fieldSlot(s, index, field, &slot) || s == value) {
    if (value != s) hvDestroyArray(value);
    return;
  }
  store(s->slots[slot], value);
}

void hvSetField(hvArray* s, size_t index, const char* field, hvArray* value) {
  hvSetFieldByNumber(s, index, hvGetFieldNumber(s, field), value);
}

hvArray* hvGetField(const hvArray* s, size_t index, const char* field) {
  return hvGetFieldByNumber(s, index, hvGetFieldNumber(s, field));
}

hvArray* hvGetFieldByNumber(const hvArray* s, size_t index, int field) {
  std::size_t slot = 0;
  return fieldSlot(s, index, field, &slot) ? s->slots[slot] : nullptr;
}

int hvGetNumberOfFields(const hvArray* s) {
  return s && s->classId == hvSTRUCT_CLASS ? static_cast<int>(s->fieldNames.size()) : 0;
}

const char* hvGetFieldNameByNumber(const hvArray* s, int field) {
  if (!s || s->classId != hvSTRUCT_CLASS || field < 0 ||
      static_cast<std::size_t>(field) >= s->fieldNames.size())
    return nullptr;
  return s->fieldNames[static_cast<std::size_t>(field)].c_str();
}

int hvGetFieldNumber(const hvArray* s, const char* field) {
  if (!s || !field || s->classId != hvSTRUCT_CLASS) return -1;
  for (std::size_t i = 0; i < s->fieldNames.size(); ++i)
    if (s->fieldNames[i] == field) return static_cast<int>(i);
  return -1;
}

// ---------------------------------------------------------------- reading

int hvGetString(const hvArray* a, char* buffer, size_t length) {
  if (!buffer || length == 0) return 1;
  if (!a || a->classId != hvCHAR_CLASS) {
    buffer[0] = '\0';
    return 1;
  }
  std::size_t n = a->chars.size();
  std::size_t copied = n < length - 1 ? n : length - 1;
  if (copied) std::memcpy(buffer, a->chars.data(), copied);
  buffer[copied] = '\0';
  return copied == n ? 0 : 1;
}

size_t hvGetM(const hvArray* a) { return a ? static_cast<size_t>(a->dims[0]) : 0; }

size_t hvGetN(const hvArray* a) {
  if (!a) return 0;
  std::size_t n = 1;
  for (std::size_t i = 1; i < a->dims.size(); ++i) n *= static_cast<std::size_t>(a->dims[i]);
  return n;
}

size_t hvGetNumberOfElements(const hvArray* a) { return a ? a->elements() : 0; }

size_t hvGetNumberOfDimensions(const hvArray* a) { return a ? a->dims.size() : 0; }

const uint64_t* hvGetDimensions(const hvArray* a) { return a ? a->dims.data() : nullptr; }

hvClassID hvGetClassID(const hvArray* a) { return a ? a->classId : hvUNKNOWN_CLASS; }

bool hvIsEmpty(const hvArray* a) { return !a || a->elements() == 0; }

bool hvIsComplex(const hvArray* a) { return a && a->complex; }

double* hvGetPr(const hvArray* a) {
  if (!a || a->classId != hvDOUBLE_CLASS) return nullptr;
  return const_cast<double*>(a->real.data());
}

double* hvGetPi(const hvArray* a) {
  if (!a || a->classId != hvDOUBLE_CLASS || !a->complex) return nullptr;
  return const_cast<double*>(a->imag.data());
}

bool* hvGetLogicals(const hvArray* a) {
  if (!a || a->classId != hvLOGICAL_CLASS) return nullptr;
  return a->logicals.get();
}

// ---------------------------------------------------------------- lifetime

// The copy is independent of the original, held by no one and not temporary.
hvArray* hvDuplicateArray(const hvArray* a) {
  if (!a || !host::detail::arrayCreationAllowed()) return nullptr;
  try {
    return clone(a);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void hvDestroyArray(hvArray* a) {
  if (!a) return;
  if (a->temporary) host::detail::forgetTemporary(a);
  if (state().destroyObserver) state().destroyObserver(a);
  for (hvArray* child : a->slots) hvDestroyArray(child);
  --state().live;
  delete a;
}

void hvSetArrayScope(hvArray* a, int scope) {
  if (!a) return;
  a->scope = scope;
  if (scope == 0) {
    host::detail::forgetTemporary(a);
  } else if (!a->contained) {
    // An array inside a container belongs to it; only free-standing arrays
    // can be left to the interpreter's clean-up.
    host::detail::addTemporary(a);
  }
}

namespace host {

void failArrayCreationsFrom(std::size_t n) {
  ArrayState& s = state();
  s.failFrom = n == 0 ? 0 : s.creations + n;
}

std::size_t liveArrays() { return state().live; }

void observeArrayDestruction(std::function<void(const hvArray*)> observer) {
  state().destroyObserver = std::move(observer);
}

namespace detail {

bool arrayCreationAllowed() {
  ArrayState& s = state();
  ++s.creations;
  return s.failFrom == 0 || s.creations < s.failFrom;
}

void resetArrayState() {
  state().failFrom = 0;
  state().destroyObserver = nullptr;
}

std::string arrayText(const hvArray* a) {
  return a && a->classId == hvCHAR_CLASS ? a->chars : std::string();
}

}  // namespace detail
}  // namespace host
