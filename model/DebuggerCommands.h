// The debugger's command package "twdb" for the stand-in host: the commands
// a user types at the debugger's prompt, as host functions that act on one
// engine's debugger through the library's exported operations. A mistake
// (unknown id, missing argument, bad number) prints one line and leaves the
// prompt asking again.
#pragma once

#include <string>
#include <vector>

class TWDebugger;

namespace host {

class DebuggerCommands {
 public:
  // Registers every "twdb.<command>" for `debugger`, which must outlive
  // the prompt's use of them; Uninstall removes them.
  static void Install(TWDebugger* debugger);
  static void Uninstall();

  struct Command {
    const char* name;
    const char* usage;
    const char* summary;  // one line for "help"
    const char* details;  // "help COMMAND"
  };
  static const std::vector<Command>& Commands();
};

}  // namespace host
