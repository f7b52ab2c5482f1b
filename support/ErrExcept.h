// The general error: a catalogue code with up to eight text arguments, the
// host objects (blocks) it is about, and further errors attached to it.
#pragma once

#include <cstdint>
#include <memory>

#include "entity/pmallocator.h"
#include "support/PMException.h"

class ErrExcept : public PMException {
 public:
  static const uint32_t sMaxObjects = 8;

  ErrExcept(unsigned long id, const char* a1 = nullptr, const char* a2 = nullptr,
            const char* a3 = nullptr, const char* a4 = nullptr, const char* a5 = nullptr,
            const char* a6 = nullptr, const char* a7 = nullptr, const char* a8 = nullptr);
  ErrExcept(void** objs, int n, unsigned long id, const char* a1 = nullptr,
            const char* a2 = nullptr, const char* a3 = nullptr, const char* a4 = nullptr,
            const char* a5 = nullptr, const char* a6 = nullptr, const char* a7 = nullptr,
            const char* a8 = nullptr);
  // Wraps a diagnostic the host already made; code 0, no arguments.
  explicit ErrExcept(brsvDiagnosticImpl* diagnostic);
  // Copies are deep: each copy owns its own argument texts and attached
  // errors, so no text or error is ever released twice.
  ErrExcept(const ErrExcept& other);
  ErrExcept& operator=(const ErrExcept& other);
  ~ErrExcept() override;

  brsvDiagnosticImpl* getBrErrMsg() const override;
  const char* getMessage() const override;
  char* getMessageNonConst() const override;

  uint32_t getErrCode() const { return messageId; }
  const char* getString(unsigned i) const { return i < 8 ? args[i] : nullptr; }
  void setStrings(const char* a1, const char* a2, const char* a3, const char* a4,
                  const char* a5, const char* a6, const char* a7, const char* a8);
  // Names one more host object: kept once, at most sMaxObjects of them, and
  // passed on to every attached error.
  void addObject(void* obj);
  std::size_t objectCount() const { return objects.size(); }
  void* object(std::size_t i) const { return objects[i]; }
  std::size_t errorCount() const { return errors.size(); }
  const ErrExcept* error(std::size_t i) const { return errors[i]; }

  // Collects errors into one: an empty holder takes `e`, a filled one
  // attaches it to the error it holds.
  static void incorporateError(std::unique_ptr<ErrExcept>& holder, ErrExcept* e);

 private:
  void addError(ErrExcept* e);
  void releaseAll();
  void copyFrom(const ErrExcept& other);

  mutable brsvDiagnosticImpl* diagnostic;  // owned by the host
  char* args[8];                           // owned copies (hostFree)
  pmvector<void*> objects;
  pmvector<ErrExcept*> errors;             // owned
  uint32_t messageId;
};
