#include "support/ErrExcept.h"

#include <algorithm>
#include <cstring>

#include "support/HostBridge.h"
#include "support/HostInterface.h"
#include "support/PMMallocError.h"

namespace {

// The host asks for the numeric handles of the objects an error names; each
// host object begins with its 8-byte handle.
double* ConvertHandles(void* const* first, void* const* last, size_t* count, const char*) {
  size_t n = static_cast<size_t>(last - first);
  *count = n;
  if (n == 0) return nullptr;
  double* handles = static_cast<double*>(hostCalloc(n, sizeof(double)));
  if (handles == nullptr) pmThrowMemoryException();
  for (size_t i = 0; i < n; ++i) std::memcpy(&handles[i], first[i], sizeof(double));
  return handles;
}

char gMessage[4096];
char gMessageNonConst[4096];

}  // namespace

ErrExcept::ErrExcept(unsigned long id, const char* a1, const char* a2, const char* a3,
                     const char* a4, const char* a5, const char* a6, const char* a7,
                     const char* a8)
    : diagnostic(nullptr), args{}, messageId(static_cast<uint32_t>(id)) {
  setStrings(a1, a2, a3, a4, a5, a6, a7, a8);
}

ErrExcept::ErrExcept(void** objs, int n, unsigned long id, const char* a1, const char* a2,
                     const char* a3, const char* a4, const char* a5, const char* a6,
                     const char* a7, const char* a8)
    : diagnostic(nullptr), args{}, messageId(static_cast<uint32_t>(id)) {
  setStrings(a1, a2, a3, a4, a5, a6, a7, a8);
  try {
    for (int i = 0; i < n; ++i) addObject(objs[i]);
  } catch (...) {
    releaseAll();
    throw;
  }
}

ErrExcept::ErrExcept(brsvDiagnosticImpl* d) : diagnostic(d), args{}, messageId(0) {}

ErrExcept::ErrExcept(const ErrExcept& other)
    : PMException(other), diagnostic(other.diagnostic), args{}, messageId(other.messageId) {
  copyFrom(other);
}

ErrExcept& ErrExcept::operator=(const ErrExcept& other) {
  if (this == &other) return *this;
  ErrExcept copy(other);  // may throw; *this is untouched until it succeeded
  releaseAll();
  diagnostic = copy.diagnostic;
  messageId = copy.messageId;
  std::swap(args, copy.args);
  objects.swap(copy.objects);
  errors.swap(copy.errors);
  return *this;
}

ErrExcept::~ErrExcept() { releaseAll(); }

void ErrExcept::copyFrom(const ErrExcept& other) {
  try {
    for (int i = 0; i < 8; ++i)
      if (other.args[i]) args[i] = pmStrdup(other.args[i]);
    objects = other.objects;
    errors.reserve(other.errors.size());
    for (ErrExcept* e : other.errors) {
      std::unique_ptr<ErrExcept> child(new ErrExcept(*e));
      errors.push_back(child.get());
      child.release();
    }
  } catch (...) {
    releaseAll();
    throw;
  }
}

void ErrExcept::releaseAll() {
  for (char*& a : args) {
    if (a) hostFree(a);
    a = nullptr;
  }
  for (ErrExcept* e : errors) delete e;
  errors.clear();
  objects.clear();
}

void ErrExcept::setStrings(const char* a1, const char* a2, const char* a3, const char* a4,
                           const char* a5, const char* a6, const char* a7, const char* a8) {
  const char* given[8] = {a1, a2, a3, a4, a5, a6, a7, a8};
  char* copies[8] = {};
  try {
    for (int i = 0; i < 8; ++i)
      if (given[i]) copies[i] = pmStrdup(given[i]);
  } catch (...) {
    for (char* c : copies)
      if (c) hostFree(c);
    throw;
  }
  for (int i = 0; i < 8; ++i) {
    if (args[i]) hostFree(args[i]);
    args[i] = copies[i];
  }
}

void ErrExcept::addObject(void* obj) {
  if (obj != nullptr && objects.size() < sMaxObjects &&
      std::find(objects.begin(), objects.end(), obj) == objects.end())
    objects.push_back(obj);
  for (ErrExcept* e : errors) e->addObject(obj);
}

void ErrExcept::addError(ErrExcept* e) {
  if (e == nullptr) return;
  try {
    errors.push_back(e);
  } catch (...) {
    delete e;  // the error was handed over; do not lose it silently
    throw;
  }
}

void ErrExcept::incorporateError(std::unique_ptr<ErrExcept>& holder, ErrExcept* e) {
  if (!holder)
    holder.reset(e);
  else
    holder->addError(e);
}

brsvDiagnosticImpl* ErrExcept::getBrErrMsg() const {
  if (diagnostic) return diagnostic;
  void* refs[sMaxObjects];
  size_t count = std::min<size_t>(objects.size(), sMaxObjects);
  std::copy(objects.begin(), objects.begin() + count, refs);
  diagnostic = brsvObjectError(refs, count, nullptr, ConvertHandles, messageId, args[0], args[1],
                               args[2], args[3], args[4], args[5], args[6], args[7]);
  for (ErrExcept* e : errors) brsvConcatenateDiagnostics(diagnostic, e->getBrErrMsg(), false);
  return diagnostic;
}

namespace {

// A wrapped host diagnostic has no code of ours: its text is the host's.
bool CopyWrappedMessage(const brsvDiagnosticImpl* d, char* buffer, size_t size) {
  const char* text = d ? brsvDiagnosticMessage(d) : nullptr;
  if (text == nullptr) return false;
  std::strncpy(buffer, text, size - 1);
  buffer[size - 1] = '\0';
  return true;
}

}  // namespace

const char* ErrExcept::getMessage() const {
  if (messageId == 0 && CopyWrappedMessage(diagnostic, gMessage, sizeof gMessage)) return gMessage;
  hostFormatMessage(hostMessageContext(), gMessage, sizeof gMessage - 1, messageId, args[0],
                    args[1], args[2], args[3], args[4], args[5], args[6], args[7]);
  return gMessage;
}

char* ErrExcept::getMessageNonConst() const {
  if (messageId == 0 &&
      CopyWrappedMessage(diagnostic, gMessageNonConst, sizeof gMessageNonConst))
    return gMessageNonConst;
  hostFormatMessage(hostMessageContext(), gMessageNonConst, sizeof gMessageNonConst - 1,
                    messageId, args[0], args[1], args[2], args[3], args[4], args[5], args[6],
                    args[7]);
  return gMessageNonConst;
}
