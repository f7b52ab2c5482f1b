#include "kernel/TimerData.h"

#include "kernel/Des.h"
#include "kernel/NodeInterface.h"
#include "support/DesExcept.h"
#include "support/MessageCatalogue.h"
#include "support/PMMallocError.h"

TW_POOLED_CLASS_DEFINE(TimerData)

TimerData::TimerData(const char* name)
    : name(pmCopyText(name)),
      isSet(false),
      isWarned(false),
      startTime(0.0),
      block(nullptr) {}

TimerData::TimerData(const std::string& name)
    : name(pmCopyText(name)), isSet(false), isWarned(false), startTime(0.0), block(nullptr) {}

TimerData::TimerData(const TimerData& other)
    : Pointee(other),
      PMMemMgr(other),
      name(pmCopyText(other.name)),
      isSet(other.isSet),
      isWarned(false),
      startTime(other.startTime),
      block(other.block) {}

TimerData& TimerData::operator=(const TimerData& other) {
  if (this != &other) {
    pmWithMemoryError([&] { name = other.name; });
    isSet = other.isSet;
    startTime = other.startTime;
    block = other.block;
  }
  return *this;
}

TimerData::~TimerData() = default;

void TimerData::copy(const TimerData* other) {
  if (other != nullptr) *this = *other;
}

TimerData* TimerData::clone() { return new TimerData(*this); }

void TimerData::SetTimer(double t, NodeInterface* startingBlock) {
  startTime = t;
  block = startingBlock;
  isSet = true;
}

void TimerData::ResetTimer(double) { isSet = false; }

void TimerData::SetName(const char* newName) { name = pmCopyText(newName); }

double TimerData::GetLapsedTime() const {
  // A timer that no block ever started has no way to the engine's clock.
  if (block == nullptr) {
    const std::string what = "timer '" + name + "' was read before it was ever started";
    throw new DesExcept(DES_GenericInternalErr, what.c_str());
  }
  // Throws DES_GenericInternalErr "invalid des pointer" for a block without
  // an engine.
  const Des* des = block->GetDesInstance();
  return des->GetTimeNow() - startTime;
}

double TimerData::GetLapsedTimeAndReset(double) {
  const double lapsed = GetLapsedTime();
  isSet = false;
  return lapsed;
}

void TimerData::ProcessError(NodeInterface* reportingBlock, const char* tag) const {
  const char* blockName = reportingBlock != nullptr ? reportingBlock->GetBlkParentName() : nullptr;
  DesExcept warning(DES_TimerAlreadyStarted, blockName, tag);
  warning.PrintWarning();
}
