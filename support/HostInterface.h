// The operations of the embedding host environment that the engine calls.
//
// The engine knows the host only through these declarations. Whatever library
// provides them (the real environment, or the stand-in under host/) is linked
// in beside the engine. Ownership rules the engine relies on:
//  - every hv* creation returns null on failure, never throws;
//  - storing an array into a cell or a structure field hands it to the
//    container; destroying a container destroys what it holds;
//  - hvDuplicateArray is deep;
//  - memory from hostCalloc is zero-filled and released with hostFree.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <stdexcept>

// ---------------------------------------------------------------- arrays

struct hvArray;  // opaque host value
struct brsvDiagnosticImpl;  // opaque host diagnostic
struct brBlock;  // opaque host block

enum hvClassID {
  hvUNKNOWN_CLASS = 0,
  hvCELL_CLASS,
  hvSTRUCT_CLASS,
  hvLOGICAL_CLASS,
  hvCHAR_CLASS,
  hvDOUBLE_CLASS,
};

enum hvComplexity { hvREAL = 0, hvCOMPLEX = 1 };

// ---------------------------------------------------------------- memory

void* hostCalloc(size_t count, size_t size);
void hostFree(void* p);
char* hostStrcpy(char* dst, const char* src);

// ---------------------------------------------------------------- messages

// The record a component hands to the message service: `count` codes (the
// array ends with 0xFFFFFFFF), with an identifier and a printf-style text each.
struct hostMessageTable {
  uint32_t count;
  uint32_t facility;
  const uint32_t* codes;
  const char* const* identifiers;
  const char* const* texts;
  const char* prefix;
};

void* hostMemoryContext();
void* hostMessageContext();
int hostAddMessageTable(void* context, const hostMessageTable* table);
int hostRemoveMessageTable(void* context, const hostMessageTable* table);
// Writes the text of `code` with its %s/%d placeholders filled, in order, from
// the arguments (a null argument reads as empty text) into `buffer`: at most
// `maxChars` characters and a terminating NUL. Returns the number of
// characters written, or -1 when the code is not registered (the buffer then
// holds a short note naming the code).
int hostFormatMessage(void* context, char* buffer, size_t maxChars, uint32_t code,
                      const char* a1 = nullptr, const char* a2 = nullptr,
                      const char* a3 = nullptr, const char* a4 = nullptr,
                      const char* a5 = nullptr, const char* a6 = nullptr,
                      const char* a7 = nullptr, const char* a8 = nullptr);
// The identifier registered for `code` ("PREFIX" + identifier), or null.
const char* hostMessageIdentifier(void* context, uint32_t code);

// ---------------------------------------------------------------- console

int hostPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
int hvxPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
void hostDumpStackTrace(int depth, int flags, void* context);
void hostAssert(const char* file, const char* condition, int line, const char* message);
int hostIsSignalThread();

// ---------------------------------------------------------------- interrupts

bool hostIsInterruptPending();
// Throws the host's interrupt exception when one is pending, clearing the
// flag.
void hostRaiseIfInterruptPending();

// The host's interrupt (the user's break key). The host throws it by value,
// in its own way; it unwinds through interpreter calls, and the debugger's
// prompt catches it to abort the simulation.
struct HostInterruptException : std::runtime_error {
  HostInterruptException() : std::runtime_error("Interrupted") {}
};

// While alive, the user's break key sets the pending flag instead of
// interrupting the host directly.
class HostInterruptMode {
 public:
  explicit HostInterruptMode(bool deferred = true);
  ~HostInterruptMode();
  HostInterruptMode(const HostInterruptMode&) = delete;
  HostInterruptMode& operator=(const HostInterruptMode&) = delete;

 private:
  bool previous_;
};

// ---------------------------------------------------------------- host arrays

hvArray* hvCreateString(const char* text);
hvArray* hvCreateDoubleScalar(double value);
hvArray* hvCreateDoubleMatrix(size_t m, size_t n, hvComplexity complexity);
hvArray* hvCreateNumericArray(size_t numDims, const uint64_t* dims, hvClassID classId,
                              hvComplexity complexity);
hvArray* hvCreateLogicalScalar(bool value);
hvArray* hvCreateCellMatrix(size_t m, size_t n);
hvArray* hvCreateStructMatrix(size_t m, size_t n, int numFields, const char** fieldNames);

void hvSetCell(hvArray* cell, size_t index, hvArray* value);  // takes `value`
hvArray* hvGetCell(const hvArray* cell, size_t index);  // borrowed
void hvSetFieldByNumber(hvArray* s, size_t index, int field, hvArray* value);  // takes `value`
void hvSetField(hvArray* s, size_t index, const char* field, hvArray* value);  // takes `value`
hvArray* hvGetField(const hvArray* s, size_t index, const char* field);  // borrowed, or null
hvArray* hvGetFieldByNumber(const hvArray* s, size_t index, int field);  // borrowed, or null
int hvGetNumberOfFields(const hvArray* s);
const char* hvGetFieldNameByNumber(const hvArray* s, int field);
int hvGetFieldNumber(const hvArray* s, const char* field);  // -1 when absent

// Copies at most `length` - 1 characters of a character array into `buffer`
// and terminates it; returns 0 on success, 1 when the array is not text or
// the buffer was too short (the text is then cut).
int hvGetString(const hvArray* a, char* buffer, size_t length);
size_t hvGetM(const hvArray* a);
size_t hvGetN(const hvArray* a);  // product of all dimensions after the first
size_t hvGetNumberOfElements(const hvArray* a);
size_t hvGetNumberOfDimensions(const hvArray* a);
const uint64_t* hvGetDimensions(const hvArray* a);
hvClassID hvGetClassID(const hvArray* a);
bool hvIsEmpty(const hvArray* a);
bool hvIsComplex(const hvArray* a);
double* hvGetPr(const hvArray* a);  // real data of a double array, or null
double* hvGetPi(const hvArray* a);  // imaginary data of a complex array, or null
bool* hvGetLogicals(const hvArray* a);

hvArray* hvDuplicateArray(const hvArray* a);
void hvDestroyArray(hvArray* a);  // null is ignored
// Scope 0 keeps an array alive after the interpreter call that made it
// returns; 1 (the default for arrays an interpreter call returns) leaves it to
// the interpreter's clean-up.
void hvSetArrayScope(hvArray* a, int scope);
const char* hvGetLastErrMsg();
int hvSetErrorMode(int mode);  // returns the previous mode

// ---------------------------------------------------------------- interpreter

// Calls the named host function. Returns 0 on success; nonzero when the
// function failed or does not exist, its message then in hvGetLastErrMsg()
// after a header line. With `trap` false a failure is reported on the console
// instead.
int hostCallFunctionWithTrap(int nOut, hvArray* out[], int nIn, hvArray* in[],
                             const char* function, bool trap);
// Evaluates a command line in the current workspace; returns 0 on success.
int hostEvalCommand(const char* command);
void* hostGetCurrentWorkspace();
void* hostGetCallersWorkspace();
void* hostSetCurrentWorkspace(void* workspace);  // returns the previous one
// The code-block status of typed text: 1 while it opens a block of
// statements (or a continued line) that is not yet closed, so the prompt
// must read more lines; 0 when it is complete.
int hostIsCodeBlockComplete(const char* text);
void hostReportUnhandledError(const char* message);

// Marks how deep the host's stack is while the engine holds the thread.
class HostStackWatermark {
 public:
  HostStackWatermark();
  ~HostStackWatermark();
  HostStackWatermark(const HostStackWatermark&) = delete;
  HostStackWatermark& operator=(const HostStackWatermark&) = delete;
};

// ---------------------------------------------------------------- diagnostics

// Called by the host with the object references [first, last); stores their
// number in *count and returns an array of that many numeric handles made
// with hostCalloc (the host releases it), or null when there are none.
typedef double* (*brsvHandleConverter)(void* const* first, void* const* last, size_t* count,
                                       const char* text);
typedef void (*brsvMessageCallback)(const char* text);

// The host owns every diagnostic it returns.
brsvDiagnosticImpl* brsvObjectError(void* const* objects, size_t count,
                                    brsvMessageCallback messageCallback,
                                    brsvHandleConverter converter, uint32_t code,
                                    const char* a1 = nullptr, const char* a2 = nullptr,
                                    const char* a3 = nullptr, const char* a4 = nullptr,
                                    const char* a5 = nullptr, const char* a6 = nullptr,
                                    const char* a7 = nullptr, const char* a8 = nullptr);
void brsvWarning(brsvMessageCallback messageCallback, const char* prefix, uint32_t code,
                 const char* a1 = nullptr, const char* a2 = nullptr, const char* a3 = nullptr,
                 const char* a4 = nullptr, const char* a5 = nullptr, const char* a6 = nullptr,
                 const char* a7 = nullptr, const char* a8 = nullptr);
// Argument-list form: reads one text argument per placeholder of the text.
void brsvWarningV(brsvMessageCallback messageCallback, const char* prefix, uint32_t code,
                  va_list args);
void brsvConcatenateDiagnostics(brsvDiagnosticImpl* to, brsvDiagnosticImpl* appended,
                                bool asCause);

// Read-only view of a diagnostic, for the code that shows it to the user.
uint32_t brsvDiagnosticCode(const brsvDiagnosticImpl* d);
const char* brsvDiagnosticIdentifier(const brsvDiagnosticImpl* d);
const char* brsvDiagnosticMessage(const brsvDiagnosticImpl* d);
size_t brsvDiagnosticHandleCount(const brsvDiagnosticImpl* d);
double brsvDiagnosticHandle(const brsvDiagnosticImpl* d, size_t i);
size_t brsvDiagnosticChildCount(const brsvDiagnosticImpl* d);
const brsvDiagnosticImpl* brsvDiagnosticChild(const brsvDiagnosticImpl* d, size_t i);

// ---------------------------------------------------------------- command window

// Reads one line (without its line break) into a 1024-byte buffer; returns
// false at end of input.
bool hostReadLine(char* buffer);
typedef void (*HostInputRequester)(void* data);
HostInputRequester hostSetInputRequester(HostInputRequester requester);
int hostSetExecutionStatus(int status);  // returns the previous status
int hostSetCodeBlockStatus(int status);  // returns the previous status

// An input request: the command window asks its listeners for a line.
struct HostInputRequestEvent {
  const char* prompt;
};

class HostEventManager {
 public:
  typedef void (*Listener)(const HostInputRequestEvent& event, void* data);
  static void addListener(Listener listener, void* data);
  static void removeListener(Listener listener, void* data);
  static void fire(const HostInputRequestEvent& event);
};
