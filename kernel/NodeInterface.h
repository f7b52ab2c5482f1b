// Base of every object that receives events: the host's discrete-event
// blocks and the library's own timeouts. Its data layout and the order of its
// virtual operations are part of the library's boundary with the host's
// block code, so both are fixed.
#pragma once

#include <string>

#include "kernel/MSGRespEvent.h"

class Des;
class DesEvent;
class TimeoutData;
class BlockStateResult;

class NodeInterface {
 public:
  NodeInterface();
  NodeInterface(const NodeInterface& other);
  NodeInterface& operator=(const NodeInterface& other);

  // Slot 0.
  virtual ~NodeInterface();
  // Slot 1: the handler of events that carry no functor.
  virtual MSGRespEvent DoProcessEvent(DesEvent* event);
  // Slot 2: a timeout scheduled by this block has fired.
  virtual bool ExecuteTimeoutEvent(DesEvent* event, TimeoutData* timeout);
  // Slot 3: the host object that stands for the block in error reports.
  virtual void* getObjProxy();
  // Slot 4.
  virtual const char* GetBlkParentName() const;
  // Slot 5.
  virtual std::string* Get_FullPathPtr();
  // Slot 6.
  virtual void CreateFullPath();
  // Slot 7: block fields as text for the debugger and the logs.
  virtual std::string getFieldAsString(const char* field) const;
  // Slot 8: blocks create their operation loggers here.
  virtual void InitLoggers();
  // Slot 9: block state for the debugger.
  virtual BlockStateResult* GetBlockState();

  // The engine of the model; throws DES_GenericInternalErr ("invalid des
  // pointer") while the block belongs to none.
  // Inline: blocks ask for it on every event they handle.
  Des* GetDesInstance() const {
    if (des == nullptr) ThrowNoEngine();
    return des;
  }

  std::string GetEventType() const { return eventType; }
  void SetEventType(const char* type);
  bool GetNonStorageFlag() const { return nonStorageFlag; }
  void SetNonStorageFlag(bool flag) { nonStorageFlag = flag; }
  int GetCheckStatus() const { return checkStatus; }
  void SetCheckStatus(int status) { checkStatus = status; }

 protected:
  void SetDesInstance(Des* engine) { des = engine; }

 private:
  // Events and timeouts read the engine pointer directly: they raise their
  // own error when it is null.
  friend class DesEvent;
  friend class TimeoutData;

  [[noreturn]] static void ThrowNoEngine();

  std::string eventType;
  bool nonStorageFlag;
  int checkStatus;
  Des* des;
};
