// The tarnwell command as a function, so that tests can run it in process:
// parses the options (and reads the model file, for `tarnwell run FILE`),
// builds the model, runs it through the driver and prints the summary.
// Returns the exit status: 0 done, 1 an error ended the simulation, 2
// invalid options or a mistake in the model (nothing ran), 130 stopped by
// Ctrl-C or SIGTERM (the summary so far printed, every file complete).
#pragma once

#include <ostream>

constexpr int kInterruptedStatus = 130;

int RunTarnwell(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                bool errIsTerminal);
