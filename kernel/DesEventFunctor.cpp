#include "kernel/DesEventFunctor.h"

void DesEventFunctor::BindTo(NodeInterface* target, Handler h, const char* handlerName) {
  block = target;
  handler = h;
  SetName(handlerName);
}
