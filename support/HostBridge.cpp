#include "support/HostBridge.h"

#include <cstring>

#include "support/HvCleaner.h"
#include "support/PMCorvaneError.h"
#include "support/PMMallocError.h"

#ifndef TARNWELL_VERSION
#define TARNWELL_VERSION "0.0.0"
#endif

namespace {

char gProductName[32] = "Tarnwell";

// Restores the host error mode when the call leaves, whichever way.
class ErrorModeScope {
 public:
  ErrorModeScope() : saved(hvSetErrorMode(-1)) {}
  ~ErrorModeScope() { hvSetErrorMode(saved); }
  ErrorModeScope(const ErrorModeScope&) = delete;
  ErrorModeScope& operator=(const ErrorModeScope&) = delete;

 private:
  int saved;
};

// The host's last error without its header line and trailing blanks. A text
// without a line break is kept whole.
std::string TrappedMessage() {
  const char* raw = hvGetLastErrMsg();
  char* copy = pmStrdup(raw ? raw : "");
  std::string text;
  const char* start = std::strchr(copy, '\n');
  text = start ? start + 1 : copy;
  hostFree(copy);
  std::size_t end = text.size();
  while (end > 0 && (text[end - 1] == '\0' || std::strchr(" \t\r\n\v\f", text[end - 1])))
    --end;
  text.resize(end);
  return text;
}

// One trapped call with `nOut` outputs the caller takes over.
void CallTrapped(int nOut, hvArray* out[], int nIn, hvArray* in[], const char* function,
                 bool noThrow) {
  hvArray* local[1] = {nullptr};
  bool wantsOutput = nOut > 0 && out != nullptr;
  int failed;
  {
    ErrorModeScope mode;
    failed = hostCallFunctionWithTrap(wantsOutput ? nOut : 1, wantsOutput ? out : local, nIn, in,
                                      function, true);
    if (!failed) {
      if (wantsOutput) {
        for (int i = 0; i < nOut; ++i)
          if (out[i]) hvSetArrayScope(out[i], 0);
      } else if (local[0]) {
        hvSetArrayScope(local[0], 0);
        hvDestroyArray(local[0]);
      }
    }
  }
  if (failed && !noThrow) {
    std::string message = TrappedMessage();
    throw new PMCorvaneError(function, message.c_str());
  }
}

hvArray* GetParam(hvArray* object, HvCleaner& guard, const char* param) {
  hvArray* in[2] = {object, guard.createString(param)};
  hvArray* out[1] = {nullptr};
  CallTrapped(1, out, 2, in, "get_param", false);
  return out[0];
}

double RootHandle(hvArray* object, HvCleaner& guard) {
  hvArray* in[1] = {object};
  hvArray* out[1] = {nullptr};
  CallTrapped(1, out, 1, in, "bdroot", false);
  guard.addHvArray(out[0]);
  if (out[0] == nullptr) return -1.0;
  hvArray* handle = GetParam(out[0], guard, "Handle");
  guard.addHvArray(handle);
  if (handle == nullptr || hvGetClassID(handle) != hvDOUBLE_CLASS || hvIsEmpty(handle))
    return -1.0;
  return hvGetPr(handle)[0];
}

}  // namespace

void pmCallCorvane(int nOut, hvArray* out[], int nIn, hvArray* in[], const char* function,
                   bool noThrow) {
  CallTrapped(nOut, out, nIn, in, function, noThrow);
}

hvArray* get_param_byhndl(double handle, const char* param) {
  HvCleaner guard;
  return GetParam(guard.createScalarDouble(handle), guard, param);
}

hvArray* get_param_byname(const char* object, const char* param) {
  HvCleaner guard;
  return GetParam(guard.createString(object), guard, param);
}

void set_param(double handle, const char* param, const char* value) {
  HvCleaner guard;
  hvArray* in[3] = {guard.createScalarDouble(handle), guard.createString(param),
                    guard.createString(value)};
  CallTrapped(0, nullptr, 3, in, "set_param", false);
}

double pmBDRoot_byhndl(double handle) {
  HvCleaner guard;
  return RootHandle(guard.createScalarDouble(handle), guard);
}

double pmBDRoot_byname(const std::string& name) {
  HvCleaner guard;
  return RootHandle(guard.createString(name), guard);
}

std::string getFieldAsStringByHandle(double handle, const char* field) {
  hvArray* value = get_param_byhndl(handle, field);
  HvCleaner guard(value);
  std::string text;
  pmArrayToString(value, text);
  return text;
}

char* pmHvArrayToString(const hvArray* a) {
  // Only a character array has text, and only its characters size the
  // buffer; any other array converts to empty text.
  const bool text = a != nullptr && hvGetClassID(a) == hvCHAR_CLASS;
  const std::size_t length = text ? hvGetNumberOfElements(a) + 1 : 1;
  char* buffer = static_cast<char*>(hostCalloc(length, 1));
  if (buffer == nullptr) pmThrowMemoryException();
  if (text) hvGetString(a, buffer, length);
  return buffer;
}

void pmArrayToString(const hvArray* a, std::string& out) {
  char* text = pmHvArrayToString(a);
  try {
    out.append(text);
  } catch (...) {
    hostFree(text);
    throw;
  }
  hostFree(text);
}

char* pmStrdup(const char* text) {
  if (text == nullptr) text = "";
  char* copy = static_cast<char*>(hostCalloc(std::strlen(text) + 1, 1));
  if (copy == nullptr) pmThrowMemoryException();
  hostStrcpy(copy, text);
  return copy;
}

const char* getBlockName(const brBlock*) {
  return "To use debugging with this code you need to export ggb_name from brindle and define "
         "DEBUGGING in sim_io";
}

void HvDblInfoLogDump(const hvArray*, int) {}

const char* GetProductName() { return gProductName; }

void pmRefreshProductName() {
  std::strncpy(gProductName, "Tarnwell", sizeof gProductName - 1);
  gProductName[sizeof gProductName - 1] = '\0';
}

const char* GetLibraryVersion() { return TARNWELL_VERSION; }
