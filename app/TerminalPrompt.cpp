#include "app/TerminalPrompt.h"

#include <sys/select.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cwchar>

#include "host/HostControl.h"
#include "support/HostInterface.h"

#ifdef TARNWELL_HAVE_LIBEDIT
#include <histedit.h>
#endif

namespace {

enum class Read { Byte, End, Interrupted };

// One byte of standard input, giving up when the host's interrupt is or
// becomes pending. SIGINT stays blocked except inside pselect, so an
// interrupt that arrives between the look at the flag and the wait still
// ends the wait.
Read ReadByte(char& byte) {
  sigset_t interrupt, outside;
  sigemptyset(&interrupt);
  sigaddset(&interrupt, SIGINT);
  sigprocmask(SIG_BLOCK, &interrupt, &outside);
  sigset_t waiting = outside;
  sigdelset(&waiting, SIGINT);
  Read result = Read::End;
  for (;;) {
    if (hostIsInterruptPending()) {
      result = Read::Interrupted;
      break;
    }
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(STDIN_FILENO, &readable);
    if (pselect(STDIN_FILENO + 1, &readable, nullptr, nullptr, nullptr, &waiting) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    const ssize_t n = read(STDIN_FILENO, &byte, 1);
    if (n == 1) {
      result = Read::Byte;
      break;
    }
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    break;
  }
  sigprocmask(SIG_SETMASK, &outside, nullptr);
  return result;
}

}  // namespace

#ifdef TARNWELL_HAVE_LIBEDIT

struct TerminalPrompt::Editor {
  EditLine* line = nullptr;
  History* history = nullptr;
  std::string prompt;

  ~Editor() {
    if (line != nullptr) el_end(line);
    if (history != nullptr) history_end(history);
  }

  static const char* Prompt(EditLine* line) {
    void* self = nullptr;
    el_get(line, EL_CLIENTDATA, &self);
    return static_cast<Editor*>(self)->prompt.c_str();
  }

  // libedit's reader of characters, replaced so that the break key ends
  // the line at once: its own read would wait for the next key. The
  // terminal's interrupt character, should the editor's terminal mode pass
  // it through, counts as the break key too.
  static int GetChar(EditLine*, wchar_t* out) {
    std::mbstate_t shift{};
    for (;;) {
      char byte = 0;
      const Read got = ReadByte(byte);
      if (got == Read::End) return 0;
      if (got == Read::Interrupted || byte == '\x03') {
        host::setInterruptPending(true);
        return -1;
      }
      wchar_t c = 0;
      const std::size_t n = std::mbrtowc(&c, &byte, 1, &shift);
      if (n == static_cast<std::size_t>(-2)) continue;  // a character of several bytes goes on
      *out = n == static_cast<std::size_t>(-1) ? static_cast<wchar_t>(static_cast<unsigned char>(byte)) : c;
      return 1;
    }
  }
};
#else
struct TerminalPrompt::Editor {};
#endif

TerminalPrompt::TerminalPrompt(const std::string& prompt) : prompt(prompt) {
#ifdef TARNWELL_HAVE_LIBEDIT
  // Editing writes to the terminal: an output to a file or a pipe gets the
  // plain prompt instead of the editor's control sequences.
  if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) return;
  std::unique_ptr<Editor> made(new Editor);
  made->prompt = prompt;
  made->history = history_init();
  made->line = el_init("tarnwell", stdin, stdout, stderr);
  if (made->history == nullptr || made->line == nullptr) return;  // plain reading will do
  HistEvent event;
  history(made->history, &event, H_SETSIZE, 1000);
  history(made->history, &event, H_SETUNIQUE, 1);
  el_set(made->line, EL_EDITOR, "emacs");
  el_set(made->line, EL_CLIENTDATA, made.get());
  el_set(made->line, EL_PROMPT, &Editor::Prompt);
  el_set(made->line, EL_HIST, history, made->history);
  el_set(made->line, EL_GETCFN, &Editor::GetChar);
  el_source(made->line, nullptr);  // the user's ~/.editrc, when there is one
  editor = std::move(made);
#endif
}

TerminalPrompt::~TerminalPrompt() = default;

bool TerminalPrompt::ReadLine(std::string& line) {
  line.clear();
#ifdef TARNWELL_HAVE_LIBEDIT
  if (editor != nullptr) {
    std::fflush(stdout);
    int count = 0;
    const char* text = el_gets(editor->line, &count);
    // An interrupt may leave a partly typed line behind: it is dropped.
    if (text == nullptr || hostIsInterruptPending()) {
      std::fputs("\n", stdout);
      std::fflush(stdout);
      return false;
    }
    line.assign(text, static_cast<std::size_t>(count));
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (!line.empty()) {
      HistEvent event;
      history(editor->history, &event, H_ENTER, line.c_str());
    }
    return true;
  }
#endif
  std::fputs(prompt.c_str(), stdout);
  std::fflush(stdout);
  return ReadPlain(line);
}

bool TerminalPrompt::ReadPlain(std::string& line) {
  char byte = 0;
  for (;;) {
    const Read got = ReadByte(byte);
    if (got == Read::Byte && byte != '\n') {
      line += byte;
      continue;
    }
    if (got == Read::Byte) return true;
    // The end of input in the middle of a line still gives that line.
    if (got == Read::End && !line.empty()) return true;
    std::fputs("\n", stdout);
    std::fflush(stdout);
    return false;
  }
}
