#include "kernel/DesCalendarBase.h"

DesCalendarBase::~DesCalendarBase() = default;
void DesCalendarBase::TerminateCalendar() {}
void DesCalendarBase::Compile() {}
void DesCalendarBase::InitCalendar(int) {}
void DesCalendarBase::ExecuteEvents(double, bool) {}
void DesCalendarBase::AddEvt(DesEvent*) {}
void DesCalendarBase::AddEvtWithoutLogging(DesEvent*) {}
void DesCalendarBase::DeleteEvt(DesEvent*) {}
void DesCalendarBase::DeleteEvtWithoutLogging(DesEvent*) {}
void DesCalendarBase::AddToTimeoutCollection(TimeoutData*) {}
void DesCalendarBase::RemoveFromTimeoutCollection(TimeoutData*) {}
void DesCalendarBase::PrintTimeoutDeletion(TimeoutData*) {}
TimeoutData* DesCalendarBase::topTimeout() const { return nullptr; }
bool DesCalendarBase::IsEmpty() { return false; }
