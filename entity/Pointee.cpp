#include "entity/Pointee.h"

Pointee::~Pointee() = default;
