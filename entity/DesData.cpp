#include "entity/DesData.h"

#include <algorithm>
#include <cstring>

#include "support/DesExcept.h"
#include "support/ErrExcept.h"
#include "support/MessageCatalogue.h"

TW_POOLED_CLASS_DEFINE(DesData)

namespace {

const RCPtr<DesDataInfo>& RequireShape(const RCPtr<DesDataInfo>& shape) {
  if (!shape) throw new DesExcept(DES_GenericInternalErr, "a data value was given no shape");
  return shape;
}

double* Doubles(const RCPtr<DesDataValue>& v) { return static_cast<double*>(v->GetDataPtr()); }

// The host array that receives the numbers, or the memory error.
hvArray* Created(hvArray* a) {
  if (a == nullptr) throw new ErrExcept(DES_MemoryAllocErr);
  return a;
}

}  // namespace

DesData::DesData() : info(new DesDataInfo(1)), size(0), pool(nullptr) { MakeValue(0.0); }

DesData::DesData(double v) : info(new DesDataInfo(1)), size(0), pool(nullptr) { MakeValue(v); }

DesData::DesData(const DesDataInfo& shape, double v)
    : info(new DesDataInfo(shape)), size(0), pool(nullptr) {
  MakeValue(v);
}

DesData::DesData(const DesDataInfo& shape, const double* p)
    : info(new DesDataInfo(shape)), size(0), pool(nullptr) {
  MakeValue(static_cast<const void*>(p));
}

DesData::DesData(const DesDataInfo& shape, const double* re, const double* im)
    : info(new DesDataInfo(shape)), size(0), pool(nullptr) {
  if (info->GetCplx() != 1) {
    MakeValue(static_cast<const void*>(re));
    return;
  }
  MakeValue(0.0);
  if (!value) return;
  double* d = Doubles(value);
  const int width = info->GetWidth();
  for (int i = 0; i < width; ++i) {
    d[2 * i] = re != nullptr ? re[i] : 0.0;
    d[2 * i + 1] = im != nullptr ? im[i] : 0.0;
  }
}

DesData::DesData(const RCPtr<DesDataInfo>& shape, double v)
    : info(RequireShape(shape)), size(0), pool(nullptr) {
  MakeValue(v);
}

DesData::DesData(const RCPtr<DesDataInfo>& shape, const double* p)
    : info(RequireShape(shape)), size(0), pool(nullptr) {
  MakeValue(static_cast<const void*>(p));
}

DesData::DesData(const RCPtr<DesDataInfo>& shape, const std::vector<double>& v)
    : info(RequireShape(shape)), size(0), pool(nullptr) {
  const std::size_t bytes = info->GetSize();
  if (bytes == 0) return;
  DesDataPool* p = DesDataPool::GetInstance(bytes);
  value = new DesDataValue(bytes, v, p);
  size = bytes;
  pool = p;
}

void DesData::MakeValue(double fill) {
  const std::size_t bytes = info->GetSize();
  if (bytes == 0) return;
  DesDataPool* p = DesDataPool::GetInstance(bytes);
  value = new DesDataValue(bytes, p);
  size = bytes;
  pool = p;
  std::fill_n(Doubles(value), bytes / sizeof(double), fill);
}

void DesData::MakeValue(const void* src) {
  const std::size_t bytes = info->GetSize();
  if (bytes == 0) return;
  DesDataPool* p = DesDataPool::GetInstance(bytes);
  value = new DesDataValue(bytes, src, p);
  size = bytes;
  pool = p;
}

void DesData::GetData(double* dst) const {
  if (!value || size == 0) return;
  std::memcpy(dst, value->GetDataPtr(),
              std::min(static_cast<std::size_t>(size), value->GetSize()));
}

void DesData::SetData(const double* src) {
  if (!value || size == 0) return;
  if (value->GetRefCount() >= 2) {
    value = new DesDataValue(static_cast<std::size_t>(size), src, pool);
    return;
  }
  std::memcpy(value->GetDataPtr(), src,
              std::min(static_cast<std::size_t>(size), value->GetSize()));
}

double& DesData::operator[](int i) {
  if (value->GetRefCount() > 1) value = new DesDataValue(*value);
  return Doubles(value)[i];
}

hvArray* DesData::GetDataValueAsHvArray() const {
  if (size == 0 || !value) return nullptr;
  const double* d = Doubles(value);
  const bool complex = info->GetCplx() == 1;
  const int width = info->GetWidth();
  const std::size_t available = value->GetSize() / sizeof(double);

  if (width == 1) {
    if (!complex) return Created(hvCreateDoubleScalar(d[0]));
    hvArray* a = Created(hvCreateDoubleMatrix(1, 1, hvCOMPLEX));
    hvGetPr(a)[0] = d[0];
    hvGetPi(a)[0] = available > 1 ? d[1] : 0.0;
    return a;
  }

  // The shape's dimensions; a shape that keeps none is a column.
  const int numDims = info->GetNumDims();
  pmvector<uint64_t> dims;
  dims.reserve(numDims >= 1 ? static_cast<std::size_t>(numDims) : 2);
  if (numDims >= 1) {
    for (int i = 0; i < numDims; ++i) dims.push_back(static_cast<uint64_t>(info->GetDim(i)));
  } else {
    dims.push_back(static_cast<uint64_t>(width));
    dims.push_back(1);
  }
  hvArray* a = Created(hvCreateNumericArray(dims.size(), dims.data(), hvDOUBLE_CLASS,
                                            complex ? hvCOMPLEX : hvREAL));
  // Never more elements than both the array and the numbers hold, should the
  // dimensions and the width disagree.
  std::size_t n = std::min(hvGetNumberOfElements(a), static_cast<std::size_t>(width));
  if (!complex) {
    n = std::min(n, available);
    if (n != 0) std::memcpy(hvGetPr(a), d, n * sizeof(double));
  } else {
    n = std::min(n, available / 2);
    double* re = hvGetPr(a);
    double* im = hvGetPi(a);
    for (std::size_t i = 0; i < n; ++i) {
      re[i] = d[2 * i];
      im[i] = d[2 * i + 1];
    }
  }
  return a;
}

bool DesData::AnyElementComplyFrom(const DesData& p, ElementTest f) const {
  if (!(*info == *p.info)) return false;
  if (!value || !p.value || size == 0) return false;
  const std::size_t n = std::min({info->GetNumElem(), value->GetSize() / sizeof(double),
                                  p.value->GetSize() / sizeof(double)});
  const double* x = Doubles(value);
  const double* q = Doubles(p.value);
  for (std::size_t i = 0; i < n; ++i)
    if (f(x[i], q[i])) return true;
  return false;
}

bool DesData::ValueChangeRaisingFrom(const DesData& p) const {
  return AnyElementComplyFrom(p, [](double x, double q) { return x > q; });
}

bool DesData::ValueChangeFallingFrom(const DesData& p) const {
  return AnyElementComplyFrom(p, [](double x, double q) { return x < q; });
}

bool DesData::TriggerRaisingFrom(const DesData& p) const {
  return AnyElementComplyFrom(
      p, [](double x, double q) { return (x > 0 && q <= 0) || (x == 0 && q < 0); });
}

bool DesData::TriggerFallingFrom(const DesData& p) const {
  return AnyElementComplyFrom(
      p, [](double x, double q) { return (x < 0 && q >= 0) || (x == 0 && q > 0); });
}

bool DesData::EnablingFrom(const DesData& p) const {
  return AnyElementComplyFrom(p, [](double x, double q) { return x > 0 && q <= 0; });
}

bool DesData::DisablingFrom(const DesData& p) const {
  return AnyElementComplyFrom(p, [](double x, double q) { return x <= 0 && q > 0; });
}
