// The debugger's prompt on the runner's standard input, and the break key
// during a debug session.
//
// On a terminal (standard input and output both) lines are read with line
// editing and a history of the session's commands, when the runner was
// built with libedit; otherwise, and always from a pipe or a file, they are
// read plainly. Either way a read gives up as soon as the host's interrupt is
// pending, so Ctrl-C at the prompt reaches the debugger instead of waiting
// for the next line.
#pragma once

#include <memory>
#include <string>

class TerminalPrompt {
 public:
  explicit TerminalPrompt(const std::string& prompt);
  TerminalPrompt(const TerminalPrompt&) = delete;
  TerminalPrompt& operator=(const TerminalPrompt&) = delete;
  ~TerminalPrompt();

  // One line, without its line break. False at the end of input, and when
  // the user interrupted (the host's interrupt is then pending).
  bool ReadLine(std::string& line);
  // Lines are edited and kept in a history.
  bool Editing() const { return editor != nullptr; }

 private:
  bool ReadPlain(std::string& line);

  struct Editor;  // libedit's state; absent without libedit or a terminal
  std::string prompt;
  std::unique_ptr<Editor> editor;
};
