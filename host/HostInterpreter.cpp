// The interpreter: registered host functions, trapped calls, the temporaries
// that calls return, command evaluation and workspaces.
//
// Temporaries: every output a call returns starts with scope 1 and goes on
// the temporaries list. The caller either takes it over (hvSetArrayScope 0,
// storing it into a container, or destroying it, each of which takes it off
// the list) or leaves it; what is still on the list is destroyed when the
// next outermost call starts (arrays passed as that call's inputs are spared
// until the one after) or by host::releaseTemporaries(). Calls made from
// inside a host function never release anything, since the outer function
// may still be using earlier results.
#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "host/HostArray.h"
#include "host/HostControl.h"
#include "host/HostInternal.h"

namespace {

struct Workspace {
  const char* name;
};

Workspace baseWorkspace{"base"};
Workspace callerWorkspace{"caller"};

struct InterpreterState {
  std::map<std::string, host::Function> functions;
  std::vector<hvArray*> temporaries;
  std::string lastError;
  int errorMode = 0;
  int callDepth = 0;
  int stackMarks = 0;
  void* workspace = &baseWorkspace;
  std::set<std::string> imports;  // packages imported with "import P.*"
};

InterpreterState& state() {
  static InterpreterState s;
  return s;
}

// Destroys what the slots hold and leaves them null.
void clearSlots(std::vector<hvArray*>& slots) {
  for (hvArray*& a : slots) {
    hvDestroyArray(a);
    a = nullptr;
  }
}

// Splits a statement into words at blanks; 'quoted text' is one word, with
// '' standing for a quote inside it.
std::vector<std::string> splitWords(const std::string& statement) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < statement.size()) {
    while (i < statement.size() && std::isspace(static_cast<unsigned char>(statement[i]))) ++i;
    if (i >= statement.size()) break;
    std::string word;
    if (statement[i] == '\'') {
      for (++i; i < statement.size(); ++i) {
        if (statement[i] == '\'') {
          if (i + 1 < statement.size() && statement[i + 1] == '\'') {
            word += '\'';
            ++i;
          } else {
            ++i;
            break;
          }
        } else {
          word += statement[i];
        }
      }
    } else {
      while (i < statement.size() && !std::isspace(static_cast<unsigned char>(statement[i])))
        word += statement[i++];
    }
    words.push_back(word);
  }
  return words;
}

// Splits command text into statements at line breaks and semicolons that are
// not inside quoted text.
std::vector<std::string> splitStatements(const std::string& text) {
  std::vector<std::string> statements(1);
  bool quoted = false;
  for (char c : text) {
    if (c == '\'') quoted = !quoted;
    if (!quoted && (c == '\n' || c == ';' || c == '\r')) {
      statements.emplace_back();
    } else {
      statements.back() += c;
    }
  }
  return statements;
}

// The registered function a command word names: the word itself, or the word
// inside one of the imported packages.
std::string resolve(const std::string& word) {
  InterpreterState& s = state();
  if (s.functions.count(word)) return word;
  for (const std::string& package : s.imports) {
    std::string qualified = package + "." + word;
    if (s.functions.count(qualified)) return qualified;
  }
  return word;
}

int evalStatement(const std::string& statement) {
  std::vector<std::string> words = splitWords(statement);
  if (words.empty()) return 0;
  if (words[0] == "import") {
    for (std::size_t i = 1; i < words.size(); ++i) {
      const std::string& w = words[i];
      if (w.size() > 2 && w.compare(w.size() - 2, 2, ".*") == 0)
        state().imports.insert(w.substr(0, w.size() - 2));
    }
    return 0;
  }
  std::vector<hvArray*> args;
  for (std::size_t i = 1; i < words.size(); ++i) {
    hvArray* a = hvCreateString(words[i].c_str());
    if (!a) {
      for (hvArray* made : args) hvDestroyArray(made);
      state().lastError = "Error using ==> " + words[0] + "\nOut of memory.";
      return 1;
    }
    args.push_back(a);
  }
  std::string name = resolve(words[0]);
  // Trapped: the caller reads the error (hvGetLastErrMsg) and reports it as
  // its prompt would.
  int rc = hostCallFunctionWithTrap(0, nullptr, static_cast<int>(args.size()), args.data(),
                                    name.c_str(), true);
  for (hvArray* a : args) hvDestroyArray(a);
  return rc;
}

bool isIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

}  // namespace

// ---------------------------------------------------------------- calls

int hostCallFunctionWithTrap(int nOut, hvArray* out[], int nIn, hvArray* in[],
                             const char* function, bool trap) {
  InterpreterState& s = state();
  if (nOut < 0 || (nOut > 0 && !out)) nOut = 0;
  if (nIn < 0 || (nIn > 0 && !in)) nIn = 0;
  if (s.callDepth == 0) host::detail::releaseTemporariesExcept(in, static_cast<std::size_t>(nIn));

  std::string name = function ? function : "";
  // The function fills slots of our own; the caller's slots are written only
  // on success, so a failed call never leaves half-made outputs behind.
  std::vector<hvArray*> slots(static_cast<std::size_t>(std::max(nOut, 1)), nullptr);
  auto fail = [&](const std::string& message) {
    clearSlots(slots);
    for (int i = 0; i < nOut; ++i) out[i] = nullptr;
    s.lastError = "Error using ==> " + name + "\n" + message;
    if (!trap) hostPrintf("%s\n", s.lastError.c_str());
    return 1;
  };

  auto it = s.functions.find(name);
  if (it == s.functions.end()) return fail("Undefined function '" + name + "'.");
  host::Function f = it->second;  // a copy: the function may unregister itself

  ++s.callDepth;
  try {
    f(nOut, slots.data(), nIn, in);
  } catch (const host::HostInterrupt&) {
    // The user's interrupt is not an error of the function: it unwinds on.
    --s.callDepth;
    clearSlots(slots);
    for (int i = 0; i < nOut; ++i) out[i] = nullptr;
    throw;
  } catch (const std::exception& e) {
    --s.callDepth;
    return fail(e.what());
  } catch (...) {
    // Exceptions that are not the host's own (an engine error thrown through
    // a host function) pass through untouched, after the clean-up.
    --s.callDepth;
    clearSlots(slots);
    for (int i = 0; i < nOut; ++i) out[i] = nullptr;
    throw;
  }
  --s.callDepth;

  for (int i = 0; i < nOut; ++i) {
    out[i] = slots[static_cast<std::size_t>(i)];
    slots[static_cast<std::size_t>(i)] = nullptr;
    if (out[i]) hvSetArrayScope(out[i], 1);
  }
  clearSlots(slots);  // an answer nobody asked for
  return 0;
}

const char* hvGetLastErrMsg() { return state().lastError.c_str(); }

int hvSetErrorMode(int mode) {
  int previous = state().errorMode;
  state().errorMode = mode;
  return previous;
}

// ---------------------------------------------------------------- commands

// Command syntax: `name word word ...` per statement, statements separated by
// line breaks or semicolons; `import P.*` makes the functions "P.name"
// callable as `name`. Stops at the first failing statement and returns
// nonzero; its error is then in hvGetLastErrMsg() (not printed).
int hostEvalCommand(const char* command) {
  if (!command) return 0;
  for (const std::string& statement : splitStatements(command)) {
    if (int rc = evalStatement(statement)) return rc;
  }
  return 0;
}

void* hostGetCurrentWorkspace() { return state().workspace; }

void* hostGetCallersWorkspace() { return &callerWorkspace; }

// A null workspace stands for the base workspace.
void* hostSetCurrentWorkspace(void* workspace) {
  void* previous = state().workspace;
  state().workspace = workspace ? workspace : &baseWorkspace;
  return previous;
}

// A block opens with one of the block keywords and closes with "end"; "end"
// inside brackets is an index, not a closer. Quoted text and comments ('%' to
// the end of the line) are skipped; a line ending in "..." goes on.
int hostIsCodeBlockComplete(const char* text) {
  static const std::set<std::string> openers = {"if",     "for", "while",   "switch",
                                                "try",    "parfor", "function"};
  if (!text) return 0;
  std::string t = text;
  int open = 0;
  int brackets = 0;
  bool continued = false;
  char previous = ' ';  // last non-blank character, to tell a quote from a transpose
  for (std::size_t i = 0; i < t.size();) {
    char c = t[i];
    if (c == '\n') {
      continued = false;
      previous = ' ';
      ++i;
    } else if (c == '%') {
      while (i < t.size() && t[i] != '\n') ++i;
    } else if (c == '\'' && !(isIdentChar(previous) || previous == ')' || previous == ']' ||
                              previous == '}' || previous == '.' || previous == '\'')) {
      for (++i; i < t.size() && t[i] != '\'' && t[i] != '\n'; ++i) {
      }
      if (i < t.size() && t[i] == '\'') ++i;
      previous = 'x';
    } else if (t.compare(i, 3, "...") == 0) {
      continued = true;
      i += 3;
      while (i < t.size() && t[i] != '\n') ++i;
    } else if (isIdentChar(c)) {
      std::size_t start = i;
      while (i < t.size() && isIdentChar(t[i])) ++i;
      std::string word = t.substr(start, i - start);
      bool field = start > 0 && t[start - 1] == '.';
      if (!field && brackets == 0) {
        if (openers.count(word)) ++open;
        if (word == "end") --open;
      }
      previous = 'x';
    } else {
      if (c == '(' || c == '[' || c == '{') ++brackets;
      if ((c == ')' || c == ']' || c == '}') && brackets > 0) --brackets;
      if (!std::isspace(static_cast<unsigned char>(c))) previous = c;
      ++i;
    }
  }
  return open > 0 || continued ? 1 : 0;
}

void hostReportUnhandledError(const char* message) {
  hostPrintf("??? %s\n", message && *message ? message : "Unknown error");
}

HostStackWatermark::HostStackWatermark() { ++state().stackMarks; }

HostStackWatermark::~HostStackWatermark() { --state().stackMarks; }

// ---------------------------------------------------------------- controls

namespace host {

void registerFunction(const std::string& name, Function f) {
  if (f) state().functions[name] = std::move(f);
}

void unregisterFunction(const std::string& name) { state().functions.erase(name); }

bool hasFunction(const std::string& name) { return state().functions.count(name) != 0; }

int errorMode() { return state().errorMode; }

int stackWatermarks() { return state().stackMarks; }

void releaseTemporaries() { detail::releaseTemporariesExcept(nullptr, 0); }

namespace detail {

void addTemporary(hvArray* a) {
  if (!a || a->temporary) return;
  state().temporaries.push_back(a);
  a->temporary = true;
}

void forgetTemporary(hvArray* a) {
  if (!a || !a->temporary) return;
  std::vector<hvArray*>& list = state().temporaries;
  list.erase(std::remove(list.begin(), list.end(), a), list.end());
  a->temporary = false;
}

void releaseTemporariesExcept(hvArray* const* keep, std::size_t keepCount) {
  std::vector<hvArray*> doomed;
  std::vector<hvArray*> kept;
  for (hvArray* a : state().temporaries) {
    bool spared = keep && std::find(keep, keep + keepCount, a) != keep + keepCount;
    (spared ? kept : doomed).push_back(a);
  }
  state().temporaries = kept;
  for (hvArray* a : doomed) {
    a->temporary = false;
    hvDestroyArray(a);
  }
}

void resetInterpreter() {
  InterpreterState& s = state();
  releaseTemporariesExcept(nullptr, 0);
  s.functions.clear();
  s.lastError.clear();
  s.errorMode = 0;
  s.workspace = &baseWorkspace;
  s.imports.clear();
  installStandardFunctions();
}

}  // namespace detail
}  // namespace host
