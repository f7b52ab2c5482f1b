// What the runner's tests share: the command run in process, and scratch
// files of this test process.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/Runner.h"

struct Outcome {
  int status;
  std::string out, err;
};

// `tarnwell` with `args`, in this process; standard error is no terminal.
inline Outcome Tarnwell(const std::vector<std::string>& args) {
  std::vector<const char*> argv = {"tarnwell"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  const int status = RunTarnwell(static_cast<int>(argv.size()), argv.data(), out, err, false);
  return Outcome{status, out.str(), err.str()};
}

// A scratch file of this process: test runs may share the machine.
inline std::string Scratch(const std::string& name) {
  return ::testing::TempDir() + "tw_" + std::to_string(getpid()) + "_" + name;
}

inline std::string Slurp(const std::string& path) {
  std::ostringstream s;
  s << std::ifstream(path, std::ios::binary).rdbuf();
  return s.str();
}
