// The value every event handler returns. The engine never looks at it: it
// exists so that handlers share one signature and a block can report
// something to its own callers if it wishes.
#pragma once

class MSGRespEvent {
 public:
  MSGRespEvent() : handled(false), code(0) {}
  MSGRespEvent(bool wasHandled, int resultCode) : handled(wasHandled), code(resultCode) {}

  bool WasHandled() const { return handled; }
  int GetCode() const { return code; }

 private:
  bool handled;
  int code;
};
