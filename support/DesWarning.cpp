#include "support/DesWarning.h"

#include <cstdarg>
#include <cstdint>

#include "support/HostInterface.h"

void DesWarning(unsigned long id, ...) {
  va_list args;
  va_start(args, id);
  brsvWarningV(nullptr, "Tarnwell:", static_cast<uint32_t>(id), args);
  va_end(args);
}

void DesWarning(void*, unsigned long id, ...) {
  va_list args;
  va_start(args, id);
  brsvWarningV(nullptr, "Tarnwell:", static_cast<uint32_t>(id), args);
  va_end(args);
}
