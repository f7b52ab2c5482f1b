#include "support/PMException.h"

PMException::~PMException() = default;
