// Root of the exceptions the library throws. Every exception is created with
// new and thrown as a pointer; the catcher owns it and deletes it through the
// virtual destructor.
#pragma once

#include "support/PMMemMgr.h"

struct brsvDiagnosticImpl;

class PMException : public PMMemMgr {
 public:
  virtual ~PMException();
  // The host diagnostic describing this error (owned by the host).
  virtual brsvDiagnosticImpl* getBrErrMsg() const = 0;
  // The formatted message; valid until the next call of the same operation
  // on any error.
  virtual const char* getMessage() const = 0;
  virtual char* getMessageNonConst() const = 0;
};
