// A numeric value: scalar, vector or matrix of doubles, real or complex,
// sample- or frame-based. The shape (DesDataInfo) and the numbers
// (DesDataValue) are shared records: copying a DesData shares both, and a
// write through a DesData whose numbers are shared first gives it a private
// copy (copy on write), so no other holder ever sees the change.
//
// A shape whose width or complexity is not known (-1) has no numbers: size
// is 0 and there is neither value nor pool.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "entity/DesDataInfo.h"
#include "entity/DesDataPool.h"
#include "entity/DesDataValue.h"
#include "entity/Pool.h"
#include "entity/RCPtr.h"
#include "support/HostInterface.h"

class DesData {
  TW_POOLED_CLASS(DesData)

 public:
  // A real scalar 0.0.
  DesData();
  // A real scalar v.
  explicit DesData(double v);
  // With a copy of the given shape: every double (imaginary parts too) v.
  DesData(const DesDataInfo& shape, double v);
  // Copy of the shape; GetSize() bytes from p (interleaved when complex).
  DesData(const DesDataInfo& shape, const double* p);
  // Copy of the shape; real: the numbers of re; complex: element i is
  // re[i] + j im[i]. A null re or im reads as zeros.
  DesData(const DesDataInfo& shape, const double* re, const double* im);
  // Sharing the given shape (which must not be null).
  DesData(const RCPtr<DesDataInfo>& shape, double v);
  DesData(const RCPtr<DesDataInfo>& shape, const double* p);
  // As many of the vector's numbers as the shape holds; the rest zero.
  DesData(const RCPtr<DesDataInfo>& shape, const std::vector<double>& v);

  // No value at all: no shape and no numbers. This is what an event carries
  // until a block captures a value at scheduling; it allocates nothing.
  struct NoValue {};
  explicit DesData(NoValue) : size(0), pool(nullptr) {}
  bool HasShape() const { return static_cast<bool>(info); }

  // Copies share shape and numbers.
  DesData(const DesData& other) = default;
  DesData& operator=(const DesData& other) = default;
  ~DesData() = default;

  const DesDataInfo& GetDataInfo() const { return *info; }
  const RCPtr<DesDataInfo>& GetInfoPtr() const { return info; }
  // Replaces the shape only; size and pool stay.
  void SetInfoPtr(const RCPtr<DesDataInfo>& p) { info = p; }
  const DesDataValue& GetDataValue() const { return *value; }
  const RCPtr<DesDataValue>& GetValuePtr() const { return value; }
  // Replaces the numbers only; size and pool stay.
  void SetValuePtr(const RCPtr<DesDataValue>& p) { value = p; }
  std::size_t GetSize() const { return static_cast<std::size_t>(size); }
  DesDataPool* GetPool() const { return pool; }

  // Copy the numbers out or in (GetSize() bytes, or fewer when the value
  // that SetValuePtr installed is smaller). SetData on shared numbers gives
  // this value new ones instead of writing into the shared store.
  void GetData(double* dst) const;
  void SetData(const double* src);

  // Double i of the numbers (for complex values the real part of element k
  // is at 2k, its imaginary part at 2k+1). The caller keeps i in range.
  double operator[](int i) const { return static_cast<const double*>(value->GetDataPtr())[i]; }
  // For writing: unshares the numbers first.
  double& operator[](int i);

  // The numbers as a new host array owned by the caller: a scalar for width
  // 1, otherwise an array of the shape's dimensions; null when there are no
  // numbers. Throws an ErrExcept with DES_MemoryAllocErr when the host
  // cannot create the array.
  hvArray* GetDataValueAsHvArray() const;

  // Change and edge tests against a previous value p: false when the shapes
  // differ or there are no numbers; otherwise whether some double of this
  // value and the one at the same index of p satisfy the condition.
  bool ValueChangeRaisingFrom(const DesData& p) const;  // x > p
  bool ValueChangeFallingFrom(const DesData& p) const;  // x < p
  bool TriggerRaisingFrom(const DesData& p) const;      // from <= 0 to > 0, or from < 0 to 0
  bool TriggerFallingFrom(const DesData& p) const;      // from >= 0 to < 0, or from > 0 to 0
  bool EnablingFrom(const DesData& p) const;            // from <= 0 to > 0
  bool DisablingFrom(const DesData& p) const;           // from > 0 to <= 0

 private:
  typedef bool (*ElementTest)(double x, double p);
  bool AnyElementComplyFrom(const DesData& p, ElementTest f) const;
  // Computes size and pool from the shape and creates the numbers.
  void MakeValue(double fill);
  void MakeValue(const void* src);

  RCPtr<DesDataInfo> info;
  RCPtr<DesDataValue> value;
  uint64_t size;
  DesDataPool* pool;
};
