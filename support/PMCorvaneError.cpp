#include "support/PMCorvaneError.h"

#include "support/MessageCatalogue.h"

PMCorvaneError::PMCorvaneError(const char* function, const char* message)
    : ErrExcept(CV_FunctionCallError, function, message) {}
