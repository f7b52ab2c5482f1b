#include "debugger/CommandLineShell.h"

#include <cstdint>
#include <cstring>

#include <boost/tokenizer.hpp>

#include "debugger/TWDebugger.h"
#include "support/HostBridge.h"

namespace {

// The command window's requester setting travels in the requester slot.
HostInputRequester Requester(int value) {
  return reinterpret_cast<HostInputRequester>(static_cast<intptr_t>(value));
}

void AnnounceInputRequest() {
  HostInputRequestEvent request{">> "};
  HostEventManager::fire(request);
}

// Sets a requester for as long as it lives.
class RequesterScope {
 public:
  explicit RequesterScope(int value) : saved(hostSetInputRequester(Requester(value))) {}
  ~RequesterScope() { hostSetInputRequester(saved); }
  RequesterScope(const RequesterScope&) = delete;
  RequesterScope& operator=(const RequesterScope&) = delete;

 private:
  HostInputRequester saved;
};

// Makes the caller's workspace current for as long as it lives.
class CallersWorkspace {
 public:
  CallersWorkspace() : saved(hostGetCurrentWorkspace()) {
    hostSetCurrentWorkspace(hostGetCallersWorkspace());
  }
  ~CallersWorkspace() { hostSetCurrentWorkspace(saved); }
  CallersWorkspace(const CallersWorkspace&) = delete;
  CallersWorkspace& operator=(const CallersWorkspace&) = delete;

 private:
  void* saved;
};

const std::size_t kPieceChars = 1023;

}  // namespace

CommandLineShell::CommandLineShell(TWDebugger* owner)
    : debugger(owner),
      continueSim(false),
      onFirstPrompt(&CommandLineShell::FirstTimeActivateCmdWindow),
      savedInputRequester(hostSetInputRequester(Requester(kRequesterAtConstruction))),
      inputEnded(false) {}

CommandLineShell::~CommandLineShell() { hostSetInputRequester(savedInputRequester); }

void CommandLineShell::Start() {
  bool abort = false;
  {
    RequesterScope prompt(kRequesterPrompt);
    AnnounceInputRequest();
    {
      HostInterruptMode interrupts(true);
      continueSim = false;
      inputEnded = false;
      try {
        while (!continueSim) {
          std::string line = TWDebugger::GetNextFromStartFcn();
          if (line.empty()) {
            CallersWorkspace callers;
            (this->*onFirstPrompt)();
            onFirstPrompt = &CommandLineShell::DoNothing;
            line = RequestInput();
          }
          if (inputEnded) {
            abort = true;
            break;
          }
          CallersWorkspace callers;
          EvalInputInCorvane(ProcessUserInput(line));
        }
      } catch (const HostInterruptException&) {
        abort = true;
      }
    }
    if (abort) debugger->Abort();
  }
  AnnounceInputRequest();
}

std::string CommandLineShell::RequestInput() {
  std::string text;
  hostSetCodeBlockStatus(0);
  hostSetExecutionStatus(0);
  if (!ReadNextLineAndAppend(text)) {
    inputEnded = true;
    return text;
  }
  if (text.empty()) return text;
  int status = hostIsCodeBlockComplete(text.c_str());
  hostSetCodeBlockStatus(status);
  while (status == 1) {
    RequesterScope continuation(kRequesterContinuation);
    text += '\n';
    if (!ReadNextLineAndAppend(text)) {
      inputEnded = true;
      return text;
    }
    status = hostIsCodeBlockComplete(text.c_str());
    hostSetCodeBlockStatus(status);
  }
  return text;
}

bool CommandLineShell::ReadNextLineAndAppend(std::string& text) const {
  AnnounceInputRequest();
  char buffer[kPieceChars + 1];
  for (;;) {
    const bool read = hostReadLine(buffer);
    if (!read || hostIsInterruptPending()) {
      text.clear();
      hostRaiseIfInterruptPending();
      if (!read) return false;
    }
    const std::size_t n = strnlen(buffer, kPieceChars);
    text.append(buffer, n);
    if (n < kPieceChars) return true;
  }
}

std::string CommandLineShell::ProcessUserInput(const std::string& input) {
  typedef boost::tokenizer<boost::char_separator<char>> Tokenizer;
  boost::char_separator<char> separators(" ,;(%\n");
  Tokenizer tokens(input, separators);
  auto it = tokens.begin();
  if (it != tokens.end() && *it == "help" && ++it == tokens.end()) return "help twdb";
  return input;
}

void CommandLineShell::EvalInputInCorvane(const std::string& text) {
  if (text.empty()) return;
  try {
    HostStackWatermark watermark;
    // A failed command is the user's mistake: the host reports it as it
    // would at its own prompt, and the prompt asks again.
    if (hostEvalCommand("import twdb.*") != 0 || hostEvalCommand(text.c_str()) != 0)
      hostReportUnhandledError(hvGetLastErrMsg());
  } catch (const HostInterruptException&) {
    debugger->Abort();
  }
}

void CommandLineShell::FirstTimeActivateCmdWindow() const {
  pmCallCorvane(0, nullptr, 0, nullptr, "des_activateCmdWin");
}
