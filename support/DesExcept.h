// The engine's error. It adds nothing to ErrExcept; a catcher tells engine
// failures from other errors by this type.
#pragma once

#include "support/ErrExcept.h"
#include "support/MessageCatalogue.h"

class DesExcept : public ErrExcept {
 public:
  DesExcept(unsigned long id, const char* a1 = nullptr, const char* a2 = nullptr,
            const char* a3 = nullptr, const char* a4 = nullptr, const char* a5 = nullptr,
            const char* a6 = nullptr, const char* a7 = nullptr, const char* a8 = nullptr);
  DesExcept(void* obj, unsigned long id, const char* a1 = nullptr, const char* a2 = nullptr,
            const char* a3 = nullptr, const char* a4 = nullptr, const char* a5 = nullptr,
            const char* a6 = nullptr, const char* a7 = nullptr, const char* a8 = nullptr);
  DesExcept(void* obj1, void* obj2, unsigned long id, const char* a1 = nullptr,
            const char* a2 = nullptr, const char* a3 = nullptr, const char* a4 = nullptr,
            const char* a5 = nullptr, const char* a6 = nullptr, const char* a7 = nullptr,
            const char* a8 = nullptr);
  DesExcept(void** objs, int n, unsigned long id, const char* a1 = nullptr,
            const char* a2 = nullptr, const char* a3 = nullptr, const char* a4 = nullptr,
            const char* a5 = nullptr, const char* a6 = nullptr, const char* a7 = nullptr,
            const char* a8 = nullptr);
  DesExcept(const DesExcept&) = default;
  DesExcept& operator=(const DesExcept&) = default;

  // Issues the error as a host warning (prefix "Tarnwell:") instead of
  // throwing it. The caller still owns and deletes the object.
  void PrintWarning() const;
};
