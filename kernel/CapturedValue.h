// The value an event captured when its block scheduled it, in one pointer:
// null while there is none (DesData::NoValue), which is what nearly every
// event carries, otherwise a pooled DesData that shares the captured shape
// and numbers.
//
// Copies have the strong guarantee: a copy or assignment that cannot get a
// DesData from its pool throws the library's memory error and leaves the
// target unchanged. Setting over an existing value reuses its DesData.
#pragma once

#include "entity/DesData.h"

class CapturedValue {
 public:
  CapturedValue() noexcept : data(nullptr) {}
  CapturedValue(const CapturedValue& other)
      : data(other.data != nullptr ? new DesData(*other.data) : nullptr) {}
  CapturedValue& operator=(const CapturedValue& other) {
    CapturedValue copy(other);
    Swap(copy);
    return *this;
  }
  ~CapturedValue() { delete data; }

  void Swap(CapturedValue& other) noexcept {
    DesData* mine = data;
    data = other.data;
    other.data = mine;
  }

  bool Empty() const { return data == nullptr; }
  // A copy sharing the captured value's storage; a DesData without value
  // when nothing was captured.
  DesData Get() const { return data != nullptr ? *data : DesData(DesData::NoValue{}); }
  void Set(const DesData& value) {
    if (IsNoValue(value)) {
      delete data;
      data = nullptr;
    } else if (data != nullptr) {
      *data = value;
    } else {
      data = new DesData(value);
    }
  }

 private:
  // What DesData::NoValue makes: nothing to share, so nothing to keep.
  static bool IsNoValue(const DesData& value) {
    return !value.HasShape() && !value.GetValuePtr() && value.GetSize() == 0 &&
           value.GetPool() == nullptr;
  }

  DesData* data;
};
