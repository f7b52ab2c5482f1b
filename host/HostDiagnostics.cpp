// Diagnostics: object errors, warnings and their concatenation.
//
// The host owns every diagnostic it makes: they live in a registry until
// host::releaseDiagnostics() or the end of the process, so whoever receives
// one only borrows it. Appended diagnostics are referenced, not copied.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "host/HostControl.h"
#include "host/HostInternal.h"

struct brsvDiagnosticImpl {
  uint32_t code = 0;
  std::string identifier;
  std::string message;
  std::vector<double> handles;
  struct Appended {
    const brsvDiagnosticImpl* diagnostic;
    bool asCause;
  };
  std::vector<Appended> appended;
};

namespace {

constexpr std::size_t kMaxMessage = 4095;

struct DiagnosticState {
  std::vector<std::unique_ptr<brsvDiagnosticImpl>> made;
  std::vector<host::Warning> warnings;
};

DiagnosticState& state() {
  static DiagnosticState s;
  return s;
}

std::string format(uint32_t code, const char* const* args, std::size_t count) {
  char buffer[kMaxMessage + 1];
  host::detail::formatMessage(hostMessageContext(), buffer, kMaxMessage, code, args, count);
  return buffer;
}

std::string identifierOf(uint32_t code) {
  const char* id = hostMessageIdentifier(hostMessageContext(), code);
  return id ? id : "";
}

// True when `d` is `target` or reaches it through appended diagnostics.
bool reaches(const brsvDiagnosticImpl* d, const brsvDiagnosticImpl* target) {
  if (d == target) return true;
  for (const auto& a : d->appended)
    if (reaches(a.diagnostic, target)) return true;
  return false;
}

// Records the warning and shows it on the console. The arguments kept are as
// many as the text has placeholders, or up to the last non-null one when the
// caller passed more.
void issueWarning(brsvMessageCallback callback, const char* prefix, uint32_t code,
                  const char* const* args, std::size_t count) {
  host::Warning w;
  w.prefix = prefix ? prefix : "";
  w.code = code;
  w.identifier = identifierOf(code);
  w.message = format(code, args, count);
  std::size_t kept = host::detail::countPlaceholders(host::detail::messageText(hostMessageContext(), code));
  for (std::size_t i = 0; i < count; ++i)
    if (args[i] && i + 1 > kept) kept = i + 1;
  if (kept > count) kept = count;
  for (std::size_t i = 0; i < kept; ++i) {
    w.args.push_back(args[i] ? args[i] : "");
    w.argIsNull.push_back(args[i] == nullptr);
  }
  hostPrintf("Warning: %s\n", w.message.c_str());
  if (callback) callback(w.message.c_str());
  state().warnings.push_back(std::move(w));
}

void render(const brsvDiagnosticImpl* d, const std::string& indent, std::string& text) {
  text += indent + d->message + "\n";
  if (!d->identifier.empty()) text += indent + "Identifier: " + d->identifier + "\n";
  for (double h : d->handles) {
    const host::HostObject* o = host::findObject(h);
    if (o) {
      text += indent + "Block: " + o->path + "\n";
    } else {
      char note[64];
      std::snprintf(note, sizeof note, "Block: (unknown handle %.15g)", h);
      text += indent + note + "\n";
    }
  }
  for (const auto& a : d->appended) {
    text += indent + (a.asCause ? "Caused by:\n" : "Also:\n");
    render(a.diagnostic, indent + "  ", text);
  }
}

}  // namespace

// The converter's text argument receives the formatted message.
brsvDiagnosticImpl* brsvObjectError(void* const* objects, size_t count,
                                    brsvMessageCallback messageCallback,
                                    brsvHandleConverter converter, uint32_t code,
                                    const char* a1, const char* a2, const char* a3,
                                    const char* a4, const char* a5, const char* a6,
                                    const char* a7, const char* a8) {
  const char* args[8] = {a1, a2, a3, a4, a5, a6, a7, a8};
  auto d = std::make_unique<brsvDiagnosticImpl>();
  d->code = code;
  d->identifier = identifierOf(code);
  d->message = format(code, args, 8);
  if (converter && objects && count > 0) {
    // The converter may throw; nothing is registered until it has returned.
    std::size_t n = 0;
    double* handles = converter(objects, objects + count, &n, d->message.c_str());
    if (handles) {
      d->handles.assign(handles, handles + n);
      hostFree(handles);
    }
  }
  if (messageCallback) messageCallback(d->message.c_str());
  state().made.push_back(std::move(d));
  return state().made.back().get();
}

void brsvWarning(brsvMessageCallback messageCallback, const char* prefix, uint32_t code,
                 const char* a1, const char* a2, const char* a3, const char* a4,
                 const char* a5, const char* a6, const char* a7, const char* a8) {
  const char* args[8] = {a1, a2, a3, a4, a5, a6, a7, a8};
  issueWarning(messageCallback, prefix, code, args, 8);
}

// Reads exactly one text per placeholder of the code's text, so a caller's
// argument list is never read past its end; an unregistered code reads none.
void brsvWarningV(brsvMessageCallback messageCallback, const char* prefix, uint32_t code,
                  va_list args) {
  std::size_t n =
      host::detail::countPlaceholders(host::detail::messageText(hostMessageContext(), code));
  std::vector<const char*> texts;
  for (std::size_t i = 0; i < n; ++i) texts.push_back(va_arg(args, const char*));
  issueWarning(messageCallback, prefix, code, texts.data(), texts.size());
}

// Appending a diagnostic to itself or to one it already reaches would make a
// cycle; such a request is ignored.
void brsvConcatenateDiagnostics(brsvDiagnosticImpl* to, brsvDiagnosticImpl* appended,
                                bool asCause) {
  if (!to || !appended || reaches(appended, to)) return;
  to->appended.push_back({appended, asCause});
}

uint32_t brsvDiagnosticCode(const brsvDiagnosticImpl* d) { return d ? d->code : 0; }

const char* brsvDiagnosticIdentifier(const brsvDiagnosticImpl* d) {
  return d ? d->identifier.c_str() : "";
}

const char* brsvDiagnosticMessage(const brsvDiagnosticImpl* d) {
  return d ? d->message.c_str() : "";
}

size_t brsvDiagnosticHandleCount(const brsvDiagnosticImpl* d) { return d ? d->handles.size() : 0; }

double brsvDiagnosticHandle(const brsvDiagnosticImpl* d, size_t i) {
  return d && i < d->handles.size() ? d->handles[i] : 0.0;
}

size_t brsvDiagnosticChildCount(const brsvDiagnosticImpl* d) {
  return d ? d->appended.size() : 0;
}

const brsvDiagnosticImpl* brsvDiagnosticChild(const brsvDiagnosticImpl* d, size_t i) {
  return d && i < d->appended.size() ? d->appended[i].diagnostic : nullptr;
}

namespace host {

const std::vector<Warning>& warnings() { return state().warnings; }

void clearWarnings() { state().warnings.clear(); }

std::size_t diagnosticCount() { return state().made.size(); }

void releaseDiagnostics() { state().made.clear(); }

std::string renderDiagnostic(const brsvDiagnosticImpl* d) {
  std::string text;
  if (d) render(d, "", text);
  return text;
}

}  // namespace host
