#include "kernel/NodeInterface.h"

#include "support/DesExcept.h"
#include "support/PMMallocError.h"

// The check status has no meaning until a block sets it; it starts at 0
// only so that copying a fresh block never reads an indeterminate value.
NodeInterface::NodeInterface()
    : eventType("Unknown"), nonStorageFlag(false), checkStatus(0), des(nullptr) {}

NodeInterface::NodeInterface(const NodeInterface& other)
    : eventType(other.eventType),
      nonStorageFlag(other.nonStorageFlag),
      checkStatus(other.checkStatus),
      des(other.des) {}

NodeInterface& NodeInterface::operator=(const NodeInterface& other) {
  if (this != &other) {
    eventType = other.eventType;
    nonStorageFlag = other.nonStorageFlag;
    checkStatus = other.checkStatus;
    des = other.des;
  }
  return *this;
}

NodeInterface::~NodeInterface() = default;

MSGRespEvent NodeInterface::DoProcessEvent(DesEvent*) { return MSGRespEvent(); }

bool NodeInterface::ExecuteTimeoutEvent(DesEvent*, TimeoutData*) { return false; }

void* NodeInterface::getObjProxy() { return nullptr; }

const char* NodeInterface::GetBlkParentName() const { return nullptr; }

std::string* NodeInterface::Get_FullPathPtr() { return nullptr; }

void NodeInterface::CreateFullPath() {}

std::string NodeInterface::getFieldAsString(const char*) const { return std::string(); }

void NodeInterface::InitLoggers() {}

BlockStateResult* NodeInterface::GetBlockState() { return nullptr; }

void NodeInterface::ThrowNoEngine() {
  throw new DesExcept(DES_GenericInternalErr, "invalid des pointer");
}

void NodeInterface::SetEventType(const char* type) { eventType = pmCopyText(type); }
