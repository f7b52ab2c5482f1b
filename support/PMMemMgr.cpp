#include "support/PMMemMgr.h"

void* PMMemMgr::operator new(std::size_t size) { return ::operator new(size); }

void PMMemMgr::operator delete(void* p, std::size_t size) { ::operator delete(p, size); }
