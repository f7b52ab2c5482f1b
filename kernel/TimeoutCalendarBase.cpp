#include "kernel/TimeoutCalendarBase.h"

TimeoutCalendarBase::~TimeoutCalendarBase() = default;
TimeoutData* TimeoutCalendarBase::topTimeout() const { return nullptr; }
bool TimeoutCalendarBase::IsEmpty() { return true; }
