// The tarnwell command as a function, so that tests can run it in process:
// parses the options, builds the model, runs it through the driver and
// prints the summary. Returns the exit status: 0 done, 1 a catalogue error
// ended the simulation, 2 invalid options (nothing ran).
#pragma once

#include <ostream>

int RunTarnwell(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                bool errIsTerminal);
