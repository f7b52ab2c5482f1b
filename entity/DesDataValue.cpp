#include "entity/DesDataValue.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "support/DesExcept.h"
#include "support/MessageCatalogue.h"

TW_POOLED_CLASS_DEFINE(DesDataValue)

DesDataValue::DesDataValue(std::size_t sz, DesDataPool* p) : size(sz), data(nullptr), pool(p) {
  TakeBlock();
  if (data != nullptr) std::memset(data, 0, sz);
}

DesDataValue::DesDataValue(std::size_t sz, const void* src, DesDataPool* p)
    : size(sz), data(nullptr), pool(p) {
  TakeBlock();
  if (data == nullptr) return;
  if (src != nullptr)
    std::memcpy(data, src, sz);
  else
    std::memset(data, 0, sz);
}

DesDataValue::DesDataValue(std::size_t sz, const std::vector<double>& v, DesDataPool* p)
    : size(sz), data(nullptr), pool(p) {
  TakeBlock();
  if (data == nullptr) return;
  // A vector longer than the block must not spill into the next block; a
  // shorter one must not leave a recycled block's old numbers behind.
  std::size_t bytes = std::min(v.size() * sizeof(double), sz);
  if (bytes != 0) std::memcpy(data, v.data(), bytes);
  std::memset(static_cast<char*>(data) + bytes, 0, sz - bytes);
}

DesDataValue::DesDataValue(const DesDataValue& other)
    : Pointee(), size(other.size), data(nullptr), pool(other.pool) {
  TakeBlock();
  if (data != nullptr) std::memcpy(data, other.data, static_cast<std::size_t>(size));
}

DesDataValue& DesDataValue::operator=(const DesDataValue& other) {
  if (this == &other || data == nullptr || other.data == nullptr) return *this;
  std::memcpy(data, other.data, static_cast<std::size_t>(std::min(size, other.size)));
  return *this;
}

DesDataValue::~DesDataValue() {
  if (data != nullptr) pool->free(data);
}

void DesDataValue::TakeBlock() {
  if (size == 0) return;
  if (pool == nullptr) pool = DesDataPool::GetInstance(static_cast<std::size_t>(size));
  if (pool->GetBlockSize() < size) {
    std::string detail = "a data value of " + std::to_string(size) +
                         " bytes was given a pool of " + std::to_string(pool->GetBlockSize()) +
                         "-byte blocks";
    throw new DesExcept(DES_GenericInternalErr, detail.c_str());
  }
  data = pool->alloc();
}

void DesDataValue::GetData(void* dst) const {
  if (data != nullptr) std::memcpy(dst, data, static_cast<std::size_t>(size));
}

void DesDataValue::SetData(const void* src) {
  if (data != nullptr) std::memcpy(data, src, static_cast<std::size_t>(size));
}
