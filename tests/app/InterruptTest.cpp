// Ctrl-C and SIGTERM: a run stops at an event boundary, prints what it has
// marked as interrupted, leaves every file whole and exits with 130; a
// second signal ends the process at once.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/Interruption.h"
#include "tests/app/RunnerTestSupport.h"

namespace {

long FileSize(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

// Starts the command with `args`, its standard output to `out`.
pid_t Start(const std::vector<std::string>& args, const std::string& out) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(fd, STDOUT_FILENO);
    std::vector<char*> argv = {const_cast<char*>(TARNWELL_APP_PATH)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(TARNWELL_APP_PATH, argv.data());
    _exit(127);
  }
  return pid;
}

// Waits until `ready` holds (at most a minute) and sends `signal`; returns
// the child's exit status (also when it ended by itself before).
template <class Ready>
int InterruptWhen(pid_t pid, Ready ready, int signal) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  int status = 0;
  while (!ready() && std::chrono::steady_clock::now() < deadline) {
    if (waitpid(pid, &status, WNOHANG) == pid) return status;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(pid, signal);
  waitpid(pid, &status, 0);
  return status;
}

TEST(Interrupt, ASingleRunPrintsItsSummarySoFarAndLeavesWholeCsvRows) {
  for (const int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal);
    const std::string csv = Scratch("interrupted.csv"), out = Scratch("interrupted.out"),
                      json = Scratch("interrupted.json"), series = Scratch("interrupted-series.csv");
    // Far longer than the test waits.
    const pid_t pid = Start({"--end-time", "1e9", "--limit", "1000000000", "--csv", csv, "--summary-json", json,
                             "--series", series, "--series-interval", "20"},
                            out);
    const int status = InterruptWhen(pid, [&] { return FileSize(csv) > 200000; }, signal);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 130);

    const std::string summary = Slurp(out);
    EXPECT_NE(summary.find("interrupted at t = "), std::string::npos) << summary;
    EXPECT_NE(summary.find("time-average queue length"), std::string::npos) << summary;
    std::ifstream in(csv, std::ios::binary);
    std::size_t rows = 0;
    for (std::string line; std::getline(in, line); ++rows)
      ASSERT_EQ(std::count(line.begin(), line.end(), ','), 6) << "row " << rows << ": " << line;
    EXPECT_GT(rows, 1000u);
    const std::string text = Slurp(csv);
    EXPECT_EQ(text.back(), '\n');
    const nlohmann::json s = nlohmann::json::parse(Slurp(json));
    EXPECT_TRUE(s.at("interrupted").get<bool>());
    EXPECT_GT(s.at("replications")[0].at("timeReached").get<double>(), 0.0);
    std::ifstream samples(series, std::ios::binary);
    std::size_t sampled = 0;
    for (std::string line; std::getline(samples, line); ++sampled)
      ASSERT_EQ(std::count(line.begin(), line.end(), ','), 4) << "sample " << sampled << ": " << line;
    EXPECT_GT(sampled, 10u);
    EXPECT_EQ(Slurp(series).back(), '\n');
    for (const std::string& f : {csv, out, json, series}) std::remove(f.c_str());
  }
}

TEST(Interrupt, ReplicationsStopTogetherAndShowWhatTheyHave) {
  const std::string out = Scratch("replicated.out"), series = Scratch("replicated.csv");
  const std::string first = Scratch("replicated-r1.csv"), second = Scratch("replicated-r2.csv");
  const pid_t pid = Start({"--end-time", "1e9", "--replications", "4", "--jobs", "2", "--series", series,
                           "--series-interval", "10"},
                          out);
  // Both workers are well into their first replications: their series grow.
  const int status = InterruptWhen(
      pid, [&] { return FileSize(first) > 20000 && FileSize(second) > 20000; }, SIGINT);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 130);
  const std::string summary = Slurp(out);
  EXPECT_NE(summary.find("interrupted: none of 4 replications complete; the figures are those of 2 stopped "
                         "part-way"),
            std::string::npos)
      << summary;
  EXPECT_NE(summary.find("mean ± 95% half-width"), std::string::npos) << summary;
  for (const std::string& f : {first, second}) {
    const std::string rows = Slurp(f);
    EXPECT_EQ(rows.back(), '\n') << f;
    std::remove(f.c_str());
  }
  std::remove(out.c_str());
}

// The handlers alone, in a child: the first signal raises the flag and the
// process goes on; the second ends it by the signal's default action.
TEST(Interrupt, TheSecondSignalEndsTheProcessAtOnce) {
  EXPECT_EXIT(
      {
        Interruption interruption;
        raise(SIGINT);
        if (!Interruption::Requested()) _exit(1);
        raise(SIGTERM);
        _exit(0);
      },
      ::testing::KilledBySignal(SIGTERM), "");
  // Outside its lifetime the handlers before it are back.
  struct sigaction now {};
  {
    Interruption interruption;
  }
  sigaction(SIGINT, nullptr, &now);
  EXPECT_EQ(now.sa_handler, SIG_DFL);
}

}  // namespace
