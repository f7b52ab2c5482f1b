// The shape of a numeric value: how many elements, their dimensions, real or
// complex, sample- or frame-based. Shapes are shared between values through
// RCPtr<DesDataInfo>; a value that changes its shape gets its own record.
//
// Invariant: dims is present (non-null) exactly when width >= 1 and
// numDims >= 1; it then holds numDims entries. A width below 1 means the
// dimensions are not known (-1: inherited from the model), so none are kept.
#pragma once

#include <cstddef>
#include <string>

#include "entity/Pointee.h"
#include "entity/Pool.h"

// Dimensions as the host passes them in and out. GetDims fills `dims` with a
// copy from the C allocator (malloc) that the receiver releases with free().
struct DimsInfo_tag {
  int width;
  int numDims;
  int* dims;
  void* reserved;  // unused by the library; always set to null
};

class DesDataInfo : public Pointee {
  TW_POOLED_CLASS(DesDataInfo)

 public:
  // A real, sample-based vector of w elements with one dimension [w]; for
  // w < 1 no dimensions at all.
  explicit DesDataInfo(int w = 1);
  DesDataInfo(int width, int typeCode, int complexity, int frameness, int numDims,
              const int* dims);
  // Copies describe the same shape but are not shared: the reference count
  // of neither object changes.
  DesDataInfo(const DesDataInfo& other);
  DesDataInfo& operator=(const DesDataInfo& other);
  ~DesDataInfo() override;

  // Replaces all five integers and the dimensions. On failure (no memory)
  // the shape is unchanged.
  void Assign(int width, int typeCode, int complexity, int frameness, int numDims,
              const int* dims);

  int GetWidth() const { return width; }
  int GetTypeCode() const { return typeCode; }
  int GetCplx() const { return complexity; }
  int GetFrm() const { return frameness; }
  int GetNumDims() const { return numDims; }
  // Dimension i (0-based); 0 when no dimensions are kept or i is out of range.
  int GetDim(int i) const { return dims != nullptr && i >= 0 && i < numDims ? dims[i] : 0; }
  void SetCplx(int c) { complexity = c; }
  void SetFrm(int f) { frameness = f; }

  void GetDims(DimsInfo_tag& out) const;
  // Replace width, numDims and dims; typeCode, complexity and frameness stay.
  void SetDims(const DimsInfo_tag& in);
  void SetDims(const DesDataInfo& other);

  bool isDimsInherited() const { return width == -1; }
  bool isCplxInherited() const { return complexity == -1; }
  bool isFrmInherited() const { return frameness == -1; }
  bool isCplxEqual(int c) const { return complexity == c; }
  bool isCplxEqual(const DesDataInfo& other) const { return complexity == other.complexity; }
  bool isFrmEqual(int f) const { return frameness == f; }

  // Number of doubles the value holds (real and imaginary parts counted
  // separately) and their bytes; 0 while width or complexity is not known.
  std::size_t GetNumElem() const;
  std::size_t GetSize() const { return GetNumElem() * sizeof(double); }

  bool isVector() const;
  bool isDimsEqual(const DesDataInfo& other) const;
  bool isDimsEqual(const DimsInfo_tag& other) const;
  // Like isDimsEqual, but a one-dimensional vector of N elements also
  // matches a matrix whose dimensions are all 1 except one equal to N.
  bool isDimsEqualUsingBrindleRule(const DesDataInfo& other) const;
  // Same dimensions (not compared when both widths are unknown), complexity
  // and frameness; typeCode is carried for the host and ignored here.
  bool operator==(const DesDataInfo& other) const;
  bool operator!=(const DesDataInfo& other) const { return !(*this == other); }

  // Phrases for error messages: "a scalar", "a [2x3] matrix", ...
  std::string GetDimStr() const;
  std::string GetCplxStr() const;
  std::string GetFrmStr() const;

 private:
  // Replaces width, numDims and dims in one step: the new array is made
  // before anything is changed.
  void ReplaceDims(int newWidth, int newNumDims, const int* newDims);

  int width;
  int typeCode;
  int complexity;
  int frameness;
  int numDims;
  int* dims;  // host memory, owned
};
