// A failed call into the host interpreter: the function's name and the
// host's error text.
#pragma once

#include "support/ErrExcept.h"

class PMCorvaneError : public ErrExcept {
 public:
  PMCorvaneError(const char* function, const char* message);
};
