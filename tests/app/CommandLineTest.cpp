// The tarnwell command as a user meets it.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

struct Result {
  int status = -1;
  std::string out;  // standard output and standard error together
};

// Runs the command with `args` (already quoted for the shell).
Result Tarnwell(const std::string& args, bool errOnly = false) {
  const std::string command =
      std::string(TARNWELL_APP_PATH) + " " + args + (errOnly ? " 2>&1 >/dev/null" : " 2>&1");
  Result r;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return r;
  std::array<char, 4096> buffer;
  for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;)
    r.out.append(buffer.data(), n);
  const int status = pclose(pipe);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

TEST(CommandLine, BadValuesExitWithStatusTwoAndOneLineNamingTheOption) {
  const struct {
    const char* args;
    const char* option;
  } cases[] = {
      {"--arrival-rate -1", "--arrival-rate"}, {"--service-rate 0", "--service-rate"},
      {"--end-time soon", "--end-time"},       {"--end-time nan", "--end-time"},
      {"--model factory", "--model"},          {"--seed -3", "--seed"},
      {"--servers 0", "--servers"},            {"--capacity 2.5", "--capacity"},
      {"--patience -4", "--patience"},         {"--handling sometimes", "--handling"},
      {"--calendars both", "--calendars"},     {"--max-events-per-step 0", "--max-events-per-step"},
      {"--no-such-option", "--no-such-option"}, {"--seed", "--seed"},
      {"--csv /nonexistent-dir/out.csv", "--csv"},
      {"--service-time 'normal(mean=1)'", "--service-time"},
      {"--service-time 'uniform(low=-1, high=1)'", "--service-time"},
      {"--service-time 2 --service-rate 3", "--service-time"},
  };
  for (const auto& c : cases) {
    const Result r = Tarnwell(c.args);
    EXPECT_EQ(r.status, 2) << c.args << "\n" << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << c.args << "\n" << r.out;
    EXPECT_NE(r.out.find(c.option), std::string::npos) << c.args << "\n" << r.out;
  }
}

TEST(CommandLine, HelpExplainsEveryOption) {
  const Result r = Tarnwell("--help");
  EXPECT_EQ(r.status, 0);
  for (const char* option : {"--model", "--end-time", "--seed", "--arrival-rate", "--service-rate",
                             "--servers", "--capacity", "--patience", "--handling", "--calendars",
                             "--max-events-per-step", "--csv", "--progress", "--priority-attribute",
                             "--service-time", "--exact-quantiles"})
    EXPECT_NE(r.out.find(option), std::string::npos) << option;
}

TEST(CommandLine, TheDefaultModelPrintsItsSummary) {
  const Result r = Tarnwell("--end-time 2000");
  ASSERT_EQ(r.status, 0) << r.out;
  for (const char* line : {"generated", "served", "timed out", "in the model at the end", "mean",
                           "median", "95th percentile", "time-average queue length",
                           "server utilisation", "events executed", "wall time", "events per second"})
    EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
  // Customers give up in the default model, so it is not a plain M/M/1.
  EXPECT_EQ(r.out.find("M/M/1 theory"), std::string::npos);
  // Standard error is not a terminal here: no progress bar.
  EXPECT_EQ(Tarnwell("--end-time 2000", true).out, "");
  // Past a thousand customers the quantiles are estimates unless asked for
  // exactly; both summaries have them.
  const Result exact = Tarnwell("--end-time 2000 --exact-quantiles");
  ASSERT_EQ(exact.status, 0) << exact.out;
  EXPECT_NE(exact.out.find("95th percentile"), std::string::npos);
}

TEST(CommandLine, AServiceTimeDistributionReplacesTheRate) {
  const Result r = Tarnwell("--end-time 2000 --patience none --service-time 'erlang(k=4, mean=0.5)'");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("1 server serving gamma (shape 4, mean 0.5)"), std::string::npos) << r.out;
  // Not exponential service, so no M/M/1 theory beside the figures.
  EXPECT_EQ(r.out.find("M/M/1 theory"), std::string::npos);
}

TEST(CommandLine, ACatalogueErrorExitsWithStatusOneAndLeavesOnlyWholeCsvRows) {
  // The process id keeps test runs that share the machine apart.
  const std::string csv = ::testing::TempDir() + "tw_failed_run_" + std::to_string(getpid()) + ".csv";
  ASSERT_EQ(csv.find('\''), std::string::npos);
  // With a bounded queue, some time steps hold more than three events.
  const Result r = Tarnwell("--capacity 8 --max-events-per-step 3 --csv '" + csv + "'");
  // Under the sanitizer build a leak would change the status.
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find("Exceeded maximum number of simultaneous events, 3"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Identifier: VORTANE:DES_MaxEventsAtTimeStep"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("entities\n"), std::string::npos) << "no summary after a failure";

  std::ifstream in(csv, std::ios::binary);
  std::size_t rows = 0;
  for (std::string line; std::getline(in, line); ++rows)
    EXPECT_EQ(std::count(line.begin(), line.end(), ','), 6) << line;
  EXPECT_GT(rows, 10u);
  in.clear();  // the last row ended: the file closes with a line break
  in.seekg(-1, std::ios::end);
  EXPECT_EQ(in.get(), '\n');
  std::remove(csv.c_str());
}

}  // namespace
