// Sweeps, emitted jobs and merged results.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/Sweep.h"

namespace {

struct Result {
  int status = -1;
  std::string out;
};

// Runs `command` through the shell; standard output only, unless `both`.
Result Shell(const std::string& command, bool both = false) {
  Result r;
  FILE* pipe = popen((command + (both ? " 2>&1" : "")).c_str(), "r");
  if (pipe == nullptr) return r;
  std::array<char, 4096> buffer;
  for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;) r.out.append(buffer.data(), n);
  const int status = pclose(pipe);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

const std::string app = TARNWELL_APP_PATH;

TEST(Sweep, ListsAreValuesAndRanges) {
  const struct {
    const char* text;
    const char* option;
    std::vector<std::string> values;
  } cases[] = {
      {"arrival-rate=0.5:0.9:0.1", "arrival-rate", {"0.5", "0.6", "0.7", "0.8", "0.9"}},
      {"servers=1,2,4", "servers", {"1", "2", "4"}},
      {"--servers=1:3", "servers", {"1", "2", "3"}},
      {"capacity=inf,2:6:2", "capacity", {"inf", "2", "4", "6"}},
      {"service-time=erlang(k=2),2", "service-time", {"erlang(k=2)", "2"}},
  };
  for (const auto& c : cases) {
    const SweepParameter p = ParseSweep(c.text);
    EXPECT_EQ(p.option, c.option) << c.text;
    EXPECT_EQ(p.values, c.values) << c.text;
  }
  for (const char* bad : {"servers", "=1,2", "servers=", "servers=1,,2", "x=3:1", "x=a:b", "x=1:2:0", "x=1:2:3:4",
                          "x=0:1e9"})
    EXPECT_THROW(ParseSweep(bad), std::invalid_argument) << bad;
}

TEST(Sweep, PointsAreTheCrossProductFirstParameterSlowest) {
  const std::vector<SweepPoint> points = SweepPoints({ParseSweep("a=1,2"), ParseSweep("b=x,y,z")});
  ASSERT_EQ(points.size(), 6u);
  EXPECT_EQ(DescribePoint(points[0]), "a=1, b=x");
  EXPECT_EQ(DescribePoint(points[2]), "a=1, b=z");
  EXPECT_EQ(DescribePoint(points[3]), "a=2, b=x");
  EXPECT_EQ(SweepPoints({}).size(), 1u);
}

// Beyond one machine: the emitted command lines, run by GNU parallel, give
// results whose merged table is the local sweep's, line for line.
TEST(Sweep, EmittedJobsRunByGnuParallelMergeIntoTheLocalTable) {
  if (Shell("command -v parallel").status != 0) GTEST_SKIP() << "GNU parallel is not installed (./tw installs it)";
  const std::string dir = ::testing::TempDir() + "tw_sweep_" + std::to_string(getpid());
  ASSERT_EQ(Shell("mkdir -p " + dir).status, 0);
  const std::string sweep = " --patience none --sweep arrival-rate=0.5:0.8:0.3 --sweep servers=1,2"
                            " --replications 3 --end-time 1500";
  const Result local = Shell(app + sweep + " --jobs 2");
  ASSERT_EQ(local.status, 0) << local.out;
  EXPECT_NE(local.out.find("4 points, 3 replications each (seeds derived from 1)"), std::string::npos) << local.out;
  EXPECT_NE(local.out.find("arrival-rate   servers"), std::string::npos) << local.out;

  const Result emitted = Shell("cd " + dir + " && " + app + sweep + " --emit-jobs jobs.txt");
  ASSERT_EQ(emitted.status, 0) << emitted.out;
  std::ifstream jobs(dir + "/jobs.txt");
  int lines = 0;
  for (std::string line; std::getline(jobs, line); ++lines)
    EXPECT_NE(line.find(" --replication " + std::to_string(lines % 3 + 1) + " --result "), std::string::npos) << line;
  EXPECT_EQ(lines, 12);
  const Result ran = Shell("cd " + dir + " && parallel --will-cite -j 2 < jobs.txt", true);
  ASSERT_EQ(ran.status, 0) << ran.out;
  const Result merged = Shell(app + " merge " + dir + "/jobs.txt.results/*.json", true);
  ASSERT_EQ(merged.status, 0) << merged.out;
  EXPECT_EQ(merged.out, local.out);

  // A result twice, or a file that is not one, is refused.
  const Result twice = Shell(app + " merge " + dir + "/jobs.txt.results/p0001-r00001.json " + dir +
                                 "/jobs.txt.results/p0001-r00001.json",
                             true);
  EXPECT_EQ(twice.status, 2);
  EXPECT_NE(twice.out.find("given twice"), std::string::npos) << twice.out;
  const Result notResult = Shell(app + " merge " + dir + "/jobs.txt", true);
  EXPECT_EQ(notResult.status, 2);
  EXPECT_NE(notResult.out.find("not a replication's result"), std::string::npos) << notResult.out;
  // Missing replications are named, and the rest still merges.
  const Result partial = Shell(app + " merge " + dir + "/jobs.txt.results/p0001-r0000[12].json", true);
  EXPECT_EQ(partial.status, 0);
  EXPECT_NE(partial.out.find("tarnwell merge: point 1: 2 of 3 replications"), std::string::npos) << partial.out;
  Shell("rm -rf " + dir);
}

TEST(Sweep, ModelFilesSweepTheirRunSettings) {
  const Result r = Shell(app + " run " + TARNWELL_MODELS_DIR + "/queue.yaml --end-time 1000 --sweep seed=1,2" +
                         " --replications 2 --jobs 1");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("2 points, 2 replications each"), std::string::npos) << r.out;
  const Result refused = Shell(app + " run " + TARNWELL_MODELS_DIR + "/queue.yaml --sweep servers=1,2", true);
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.out.find("--sweep: --servers applies to the built-in models only"), std::string::npos)
      << refused.out;
}

}  // namespace
