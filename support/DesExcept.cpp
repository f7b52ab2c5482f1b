#include "support/DesExcept.h"

#include "support/HostInterface.h"

DesExcept::DesExcept(unsigned long id, const char* a1, const char* a2, const char* a3,
                     const char* a4, const char* a5, const char* a6, const char* a7,
                     const char* a8)
    : ErrExcept(id, a1, a2, a3, a4, a5, a6, a7, a8) {}

DesExcept::DesExcept(void* obj, unsigned long id, const char* a1, const char* a2,
                     const char* a3, const char* a4, const char* a5, const char* a6,
                     const char* a7, const char* a8)
    : ErrExcept(&obj, 1, id, a1, a2, a3, a4, a5, a6, a7, a8) {}

DesExcept::DesExcept(void* obj1, void* obj2, unsigned long id, const char* a1, const char* a2,
                     const char* a3, const char* a4, const char* a5, const char* a6,
                     const char* a7, const char* a8)
    : ErrExcept(id, a1, a2, a3, a4, a5, a6, a7, a8) {
  addObject(obj1);
  addObject(obj2);
}

DesExcept::DesExcept(void** objs, int n, unsigned long id, const char* a1, const char* a2,
                     const char* a3, const char* a4, const char* a5, const char* a6,
                     const char* a7, const char* a8)
    : ErrExcept(objs, n, id, a1, a2, a3, a4, a5, a6, a7, a8) {}

void DesExcept::PrintWarning() const {
  brsvWarning(nullptr, "Tarnwell:", getErrCode(), getString(0), getString(1), getString(2),
              getString(3), getString(4), getString(5), getString(6), getString(7));
}
