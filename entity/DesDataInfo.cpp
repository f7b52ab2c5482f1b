#include "entity/DesDataInfo.h"

#include <cstdlib>
#include <cstring>

#include "support/DesExcept.h"
#include "support/HostInterface.h"
#include "support/MessageCatalogue.h"
#include "support/PMMallocError.h"

TW_POOLED_CLASS_DEFINE(DesDataInfo)

namespace {

// A host-memory copy of the dimensions a shape of this width keeps, or null
// when it keeps none. Throws the memory error when the host has no memory,
// before anything has been changed.
int* CopyDims(int width, int numDims, const int* src) {
  if (width < 1 || numDims < 1) return nullptr;
  if (src == nullptr)
    throw new DesExcept(DES_GenericInternalErr,
                        "a shape of known width was given a count of dimensions but no "
                        "dimensions");
  int* copy = static_cast<int*>(hostCalloc(static_cast<std::size_t>(numDims), sizeof(int)));
  if (copy == nullptr) pmThrowMemoryException();
  std::memcpy(copy, src, static_cast<std::size_t>(numDims) * sizeof(int));
  return copy;
}

// Equal dimension lists; a side without an array (unknown width) compares
// equal only to another side without one.
bool SameDims(int numA, const int* a, int numB, const int* b) {
  if (numA != numB) return false;
  if (a == nullptr || b == nullptr) return a == b || numA < 1;
  for (int i = 0; i < numA; ++i)
    if (a[i] != b[i]) return false;
  return true;
}

// Every dimension is 1 or the whole width: a row, a column, or a vector
// standing in some other single direction.
bool AllDimsOneOrWidth(int width, int numDims, const int* dims) {
  if (dims == nullptr) return true;
  for (int i = 0; i < numDims; ++i)
    if (dims[i] != 1 && dims[i] != width) return false;
  return true;
}

}  // namespace

DesDataInfo::DesDataInfo(int w)
    : width(w), typeCode(0), complexity(0), frameness(0), numDims(w >= 1 ? 1 : 0),
      dims(nullptr) {
  dims = CopyDims(width, numDims, &w);
}

DesDataInfo::DesDataInfo(int w, int tc, int c, int f, int nd, const int* d)
    : width(w), typeCode(tc), complexity(c), frameness(f), numDims(nd), dims(nullptr) {
  dims = CopyDims(width, numDims, d);
}

DesDataInfo::DesDataInfo(const DesDataInfo& other)
    : Pointee(),
      width(other.width),
      typeCode(other.typeCode),
      complexity(other.complexity),
      frameness(other.frameness),
      numDims(other.numDims),
      dims(nullptr) {
  dims = CopyDims(width, numDims, other.dims);
}

DesDataInfo& DesDataInfo::operator=(const DesDataInfo& other) {
  if (this == &other) return *this;
  ReplaceDims(other.width, other.numDims, other.dims);
  typeCode = other.typeCode;
  complexity = other.complexity;
  frameness = other.frameness;
  return *this;
}

DesDataInfo::~DesDataInfo() { hostFree(dims); }

void DesDataInfo::Assign(int w, int tc, int c, int f, int nd, const int* d) {
  ReplaceDims(w, nd, d);
  typeCode = tc;
  complexity = c;
  frameness = f;
}

void DesDataInfo::ReplaceDims(int newWidth, int newNumDims, const int* newDims) {
  int* copy = CopyDims(newWidth, newNumDims, newDims);  // may throw; nothing changed yet
  hostFree(dims);
  dims = copy;
  width = newWidth;
  numDims = newNumDims;
}

void DesDataInfo::GetDims(DimsInfo_tag& out) const {
  int* copy = nullptr;
  if (dims != nullptr) {
    copy = static_cast<int*>(std::malloc(static_cast<std::size_t>(numDims) * sizeof(int)));
    if (copy == nullptr) pmThrowMemoryException();
    std::memcpy(copy, dims, static_cast<std::size_t>(numDims) * sizeof(int));
  }
  out.width = width;
  out.numDims = numDims;
  out.dims = copy;
  out.reserved = nullptr;
}

void DesDataInfo::SetDims(const DimsInfo_tag& in) { ReplaceDims(in.width, in.numDims, in.dims); }

void DesDataInfo::SetDims(const DesDataInfo& other) {
  if (this == &other) return;
  ReplaceDims(other.width, other.numDims, other.dims);
}

std::size_t DesDataInfo::GetNumElem() const {
  if (width < 1 || complexity < 0) return 0;
  std::size_t n = static_cast<std::size_t>(width);
  return complexity == 1 ? 2 * n : n;
}

bool DesDataInfo::isVector() const {
  if (width < 2) return false;
  if (numDims < 1) return true;
  return AllDimsOneOrWidth(width, numDims, dims);
}

bool DesDataInfo::isDimsEqual(const DesDataInfo& other) const {
  if (width != other.width) return false;
  if (width < 0) return true;
  return SameDims(numDims, dims, other.numDims, other.dims);
}

bool DesDataInfo::isDimsEqual(const DimsInfo_tag& other) const {
  if (width != other.width) return false;
  if (width < 0) return true;
  if (numDims != other.numDims) return false;
  // A shape of width 0 keeps no dimensions; the host's record may still
  // carry some, and only their count can be compared.
  if (dims == nullptr) return true;
  if (other.dims == nullptr) return false;
  return SameDims(numDims, dims, other.numDims, other.dims);
}

bool DesDataInfo::isDimsEqualUsingBrindleRule(const DesDataInfo& other) const {
  const DesDataInfo& a = *this;
  const DesDataInfo& b = other;
  if (a.width == b.width && a.width < 0) return true;
  if (a.width == b.width && SameDims(a.numDims, a.dims, b.numDims, b.dims)) return true;
  if (a.width == 1 && b.width == 1) return true;
  if (a.numDims == 1) {
    if (b.width <= 1 || !AllDimsOneOrWidth(b.width, b.numDims, b.dims)) return false;
  } else {
    if (b.numDims != 1 || a.width < 2 || !AllDimsOneOrWidth(a.width, a.numDims, a.dims))
      return false;
  }
  return a.width == b.width;
}

bool DesDataInfo::operator==(const DesDataInfo& other) const {
  if (this == &other) return true;
  if (!(width == other.width && width < 0)) {
    if (width != other.width || !SameDims(numDims, dims, other.numDims, other.dims))
      return false;
  }
  return complexity == other.complexity && frameness == other.frameness;
}

std::string DesDataInfo::GetDimStr() const {
  if (numDims == 1) {
    if (width == 1) return "a scalar";
    return "an one dimensional vector with " + std::to_string(width) + " elements";
  }
  std::string text = "a [";
  for (int i = 0; dims != nullptr && i < numDims; ++i) text += std::to_string(dims[i]) + "x";
  text.back() = ']';
  return text + " matrix";
}

std::string DesDataInfo::GetCplxStr() const {
  return complexity == 1 ? "a signal of numeric type complex" : "a signal of numeric type real";
}

std::string DesDataInfo::GetFrmStr() const {
  return frameness == 1 ? "a frame-based signal" : "a sample-based signal";
}
