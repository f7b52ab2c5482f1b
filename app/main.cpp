// The tarnwell command: runs a built-in model and prints its summary.
// `tarnwell --help` lists the options.
#include <unistd.h>

#include <iostream>

#include "app/Runner.h"

int main(int argc, char** argv) {
  return RunTarnwell(argc, argv, std::cout, std::cerr, isatty(STDERR_FILENO) != 0);
}
