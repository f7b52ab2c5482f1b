// Host cells of texts, the form in which the debugger hands its listings to
// the host's commands.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "support/HostInterface.h"

// rows x columns cell whose elements are host strings of `texts`, taken in
// column order (the first `rows` texts fill the first column). The caller
// owns the cell; DES_MemoryAllocErr when the host has no memory, with
// nothing left behind.
hvArray* NewTextCell(std::size_t rows, std::size_t columns, const std::vector<std::string>& texts);
