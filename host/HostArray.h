// The stand-in host's array value. Only the host's own sources see its
// layout; everyone else goes through the hv* functions.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "support/HostInterface.h"

struct hvArray {
  hvClassID classId = hvUNKNOWN_CLASS;
  // At least two entries; trailing singleton dimensions beyond the second are
  // dropped, so a 2x3x1 array is 2x3.
  std::vector<uint64_t> dims;
  bool complex = false;
  std::vector<double> real;       // double arrays: one per element
  std::vector<double> imag;       // complex double arrays: one per element
  std::unique_ptr<bool[]> logicals;  // logical arrays: one per element
  std::string chars;              // character arrays: one per element, column order
  // Cell arrays: one slot per element. Structure arrays: element-major, one
  // slot per (element, field): slot = element * fieldNames.size() + field.
  // Slots own what they hold; null is an empty slot.
  std::vector<hvArray*> slots;
  std::vector<std::string> fieldNames;

  int scope = 0;           // 1: left to the interpreter's clean-up
  bool temporary = false;  // on the interpreter's temporaries list
  bool contained = false;  // held by a cell or structure

  std::size_t elements() const;
};
