#include "blocks/StartTimer.h"

#include "tarnwell.h"

StartTimer::StartTimer(std::string timerTag) : tag(std::move(timerTag)) { SetEventType("StartTimer"); }

StartTimer::~StartTimer() = default;

void StartTimer::Process(DesEntity* entity) {
  RCPtr<TimerData> timer = entity->FindOrCreateTimer(this, tag);
  timer->SetTimer(Now(), this);
  Log<10>(entity->GetCarrierEvent(), tag.Name());
}
