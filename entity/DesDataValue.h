// The numbers of a data value: one block of `size` bytes from the block pool
// of that size, shared between values through RCPtr<DesDataValue>. A
// complex value keeps its elements interleaved: real part, imaginary part,
// element by element.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "entity/DesDataPool.h"
#include "entity/Pointee.h"
#include "entity/Pool.h"

class DesDataValue : public Pointee {
  TW_POOLED_CLASS(DesDataValue)

 public:
  // Each constructor takes one block from `pool`, whose blocks must hold at
  // least `size` bytes (a null pool stands for DesDataPool::GetInstance(size)).
  // A size of 0 holds no block.
  DesDataValue(std::size_t size, DesDataPool* pool);  // zero-filled
  DesDataValue(std::size_t size, const void* src, DesDataPool* pool);  // size bytes of src
  // The vector's elements, as many as fit the block; the rest of the block
  // is zero.
  DesDataValue(std::size_t size, const std::vector<double>& v, DesDataPool* pool);
  // A new block from the same pool with the same bytes; the copy starts
  // unshared.
  DesDataValue(const DesDataValue& other);
  // Copies the other's bytes into this block (as many as both hold); the
  // size and the block stay.
  DesDataValue& operator=(const DesDataValue& other);
  ~DesDataValue() override;

  void GetData(void* dst) const;
  void SetData(const void* src);
  void* GetDataPtr() const { return data; }
  std::size_t GetSize() const { return static_cast<std::size_t>(size); }
  DesDataPool* GetPool() const { return pool; }

 private:
  // Takes the block; the only step that can fail (memory error, or a pool
  // whose blocks are too small for `size`).
  void TakeBlock();

  uint64_t size;
  void* data;
  DesDataPool* pool;
};
