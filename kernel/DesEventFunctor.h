// Binds a block and one of its member handlers under a name, so that one
// block can schedule several kinds of events. Copied by value; owns nothing.
#pragma once

#include <string>

#include "kernel/MSGRespEvent.h"
#include "kernel/NodeInterface.h"

class DesEvent;

class DesEventFunctor {
 public:
  typedef MSGRespEvent (NodeInterface::*Handler)(DesEvent*);

  DesEventFunctor() : block(nullptr), handler(nullptr), name("unknown") {}

  void BindTo(NodeInterface* target, Handler h, const char* handlerName);
  // Convenience for a block binding one of its own (derived-class) handlers.
  template <class Block>
  void BindTo(Block* target, MSGRespEvent (Block::*h)(DesEvent*), const char* handlerName) {
    BindTo(static_cast<NodeInterface*>(target), static_cast<Handler>(h), handlerName);
  }

  // Runs the handler on the bound block; the handler's result is not passed on.
  MSGRespEvent operator()(DesEvent* event) const {
    (block->*handler)(event);
    return MSGRespEvent();
  }

  NodeInterface* GetBlock() const { return block; }
  const char* GetName() const { return name.c_str(); }
  void SetName(const char* newName) { name = newName != nullptr ? newName : ""; }

 private:
  NodeInterface* block;
  Handler handler;
  std::string name;
};
