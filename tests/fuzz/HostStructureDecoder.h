// Turns arbitrary bytes into a host array tree shaped like the structures
// entity types are read from: structures whose field names, type texts and
// flags come from the words the reader looks for, values of every class, and
// shapes that include huge dimensions (only ever with zero elements, so that
// nothing large is allocated). The same bytes always give the same tree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

#include "support/HostInterface.h"

namespace fuzz {

class HostStructureDecoder {
 public:
  HostStructureDecoder(const uint8_t* data, std::size_t size) : data(data), size(size) {}

  // A new array the caller owns, or null when the host refused one.
  hvArray* Decode() { return Value(0); }

 private:
  static constexpr int kMaxDepth = 6;
  static constexpr std::size_t kMaxArrays = 256;
  static constexpr std::size_t kMaxElements = 16;

  uint8_t Byte() { return at < size ? data[at++] : 0; }

  const char* Word() {
    static const char* const words[] = {
        "Name",     "Type",    "Value", "RO",     "isMutable", "Entity", "EntityX", "int",
        "double",   "string",  "hvArray *", "double *", "DesData", "true", "TRUE", "false",
        "entity",   "a",       "b",     "",       "Int",       "X"};
    return words[Byte() % (sizeof words / sizeof words[0])];
  }

  // Huge dimensions are the ones that once overflowed sizes and casts.
  uint64_t Dimension() {
    static const uint64_t huge[] = {
        uint64_t{1} << 31, (uint64_t{1} << 32) + 3, uint64_t{1} << 40,
        std::numeric_limits<uint64_t>::max(), 2147483647u};
    const uint8_t b = Byte();
    if (b >= 251) return huge[b - 251];
    return b % 5;
  }

  // Two or three dimensions; when their product is large, one of them is 0.
  std::size_t Shape(uint64_t dims[3]) {
    const std::size_t n = 2 + Byte() % 2;
    unsigned __int128 product = 1;
    for (std::size_t i = 0; i < n; ++i) {
      dims[i] = Dimension();
      product *= dims[i];
    }
    if (product > kMaxElements) dims[Byte() % n] = 0;
    return n;
  }

  double Number() {
    static const double special[] = {2.7, -2.7, 1e300, -1e300, 5e-324, 2147483648.0, -0.5};
    const uint8_t b = Byte();
    if (b < 200) return b;
    if (b < 207) return special[b - 200];
    if (b == 207) return std::numeric_limits<double>::quiet_NaN();
    return std::numeric_limits<double>::infinity();
  }

  hvArray* Counted(hvArray* a) {
    if (a != nullptr) ++arrays;
    return a;
  }

  hvArray* Value(int depth) {
    if (arrays >= kMaxArrays || at >= size) return Counted(hvCreateDoubleMatrix(0, 0, hvREAL));
    switch (Byte() % 8) {
      case 0: {
        uint64_t dims[3];
        const std::size_t n = Shape(dims);
        hvArray* a = Counted(hvCreateNumericArray(n, dims, hvDOUBLE_CLASS, hvREAL));
        if (a == nullptr) return nullptr;
        const std::size_t count = hvGetNumberOfElements(a);
        for (std::size_t i = 0; i < count; ++i) hvGetPr(a)[i] = Number();
        return a;
      }
      case 1:
        return Counted(hvCreateString(Word()));
      case 2: {
        uint64_t dims[3];
        const std::size_t n = Shape(dims);
        return Counted(hvCreateNumericArray(n, dims, Byte() % 2 ? hvCHAR_CLASS : hvLOGICAL_CLASS,
                                            hvREAL));
      }
      case 3:
        return Counted(hvCreateDoubleScalar(Number()));
      case 4:
        return Cells(depth);
      case 5:
        return AnyStructure(depth);
      default:
        return depth < kMaxDepth ? EntityStructure(depth) : Counted(hvCreateString(Word()));
    }
  }

  hvArray* Cells(int depth) {
    const std::size_t m = Byte() % 3, n = Byte() % 3;
    hvArray* a = Counted(hvCreateCellMatrix(m, n));
    if (a == nullptr || depth >= kMaxDepth) return a;
    for (std::size_t i = 0; i < m * n; ++i) hvSetCell(a, i, Value(depth + 1));
    return a;
  }

  // Any field names from the reader's words (a repeated name makes the host
  // refuse the structure).
  hvArray* AnyStructure(int depth) {
    const int fields = Byte() % 7;
    const char* names[6];
    for (int f = 0; f < fields; ++f) names[f] = Word();
    const std::size_t m = Byte() % 3;
    hvArray* s = Counted(hvCreateStructMatrix(m, 1, fields, names));
    if (s == nullptr || depth >= kMaxDepth) return s;
    for (std::size_t i = 0; i < m; ++i)
      for (int f = 0; f < fields; ++f) hvSetFieldByNumber(s, i, f, Value(depth + 1));
    return s;
  }

  // {Name, Type, Value[, RO]} whose Value is an attribute list of m elements
  // with 3 to 5 fields; the texts are words, the values anything.
  hvArray* EntityStructure(int depth) {
    const char* entityFields[] = {"Name", "Type", "Value", "RO"};
    hvArray* e = Counted(hvCreateStructMatrix(1, 1, 3 + Byte() % 2, entityFields));
    if (e == nullptr) return nullptr;
    hvSetField(e, 0, "Name", Counted(hvCreateString(Word())));
    hvSetField(e, 0, "Type", Counted(hvCreateString("Entity")));
    if (hvGetNumberOfFields(e) == 4) hvSetField(e, 0, "RO", Value(depth + 1));
    const char* listFields[] = {"Name", "Type", "Value", "isMutable", "RO"};
    const int fields = 3 + Byte() % 3;
    const std::size_t m = Byte() % 4;
    hvArray* list = Counted(hvCreateStructMatrix(m, 1, fields, listFields));
    hvSetField(e, 0, "Value", list);
    if (list == nullptr) return e;
    for (std::size_t i = 0; i < m; ++i) {
      hvSetField(list, i, "Name", Counted(hvCreateString(Word())));
      hvSetField(list, i, "Type", Byte() % 8 ? Counted(hvCreateString(Word())) : Value(depth + 1));
      hvSetField(list, i, "Value", Value(depth + 1));
      if (fields >= 4) hvSetField(list, i, "isMutable", Counted(hvCreateString(Word())));
      if (fields >= 5) hvSetField(list, i, "RO", Counted(hvCreateString(Word())));
    }
    return e;
  }

  const uint8_t* data;
  std::size_t size;
  std::size_t at = 0;
  std::size_t arrays = 0;
};

}  // namespace fuzz
