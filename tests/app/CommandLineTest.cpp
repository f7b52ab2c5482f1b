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

// Each refusal is one line on standard error, the whole message as the
// user reads it, and status 2 before anything runs.
TEST(CommandLine, RefusalsSayWhyAndExitWithStatusTwo) {
  const std::string help = " (tarnwell --help lists the options)\n";
  const struct {
    const char* args;
    std::string message;
  } cases[] = {
      {"--csv --end-time 10", "--csv: needs a value, but '--end-time' is an option"},
      {"--summary-json --seed 3", "--summary-json: needs a value, but '--seed' is an option"},
      {"--end-time 10 stray", "'stray': unexpected argument (a model file runs as: tarnwell run MODEL.yaml)"},
      {"models/queue.yaml", "'models/queue.yaml': unexpected argument (a model file runs as: tarnwell run MODEL.yaml)"},
      {"--panel-rate 2", "--panel-rate: applies to the assembly model only (--model assembly)"},
      {"--panel-limit 5", "--panel-limit: applies to the assembly model only (--model assembly)"},
      {"--model assembly --patience 3", "--patience: applies to the queue model only, not to the assembly"},
      {"--model assembly --priority-attribute Serial",
       "--priority-attribute: applies to the queue model only, not to the assembly"},
      {"--patience none --patience-fixed", "--patience-fixed: customers never give up here (--patience none)"},
      {"--priority-attribute Nope",
       "--priority-attribute: customers have no attribute 'Nope' (they carry Serial, Priority and TimeInSystem)"},
      {"--arrival-rate 1e308",
       "--arrival-rate: the mean interval between arrivals (1e-308) is below the time resolution at the end time "
       "(1.45519e-11): the clock could never reach the end time"},
      {"--model assembly --panel-rate 1e300 --end-time 1e6",
       "--panel-rate: the mean interval between arrivals (1e-300) is below the time resolution at the end time "
       "(1.16415e-10): the clock could never reach the end time"},
      {"--arrival-rate 1e9",
       "--arrival-rate: about 1e+14 arrivals before the end time 100000: the run would take days (lower the rate "
       "or the end time, or give --limit)"},
      {"--jobs 2", "--jobs: runs replications side by side; give --replications N too"},
      {"--replications 0", "--replications: must be between 1 and 1000000, not '0'"},
      {"--replications 3 --csv out.csv", "--csv: follows a single run; not with --replications"},
      {"--replications 3 --trace", "--trace: follows a single run; not with --replications"},
      {"--replications 3 --debug", "--debug: follows a single run; not with --replications"},
      {"--warm-up 100000", "--warm-up: must be a time from 0 to below the end time, not '100000'"},
      {"--warm-up -1", "--warm-up: must be a time from 0 to below the end time, not '-1'"},
      {"--sweep servers", "--sweep: 'servers' is not PARAM=LIST (e.g. arrival-rate=0.5:0.9:0.1)"},
      {"--sweep nope=1,2", "--sweep: 'nope' is not an option"},
      {"--sweep csv=a,b", "--sweep: --csv cannot be swept"},
      {"--sweep exact-quantiles=1", "--sweep: --exact-quantiles cannot be swept"},
      {"--servers 2 --sweep servers=1,2", "--sweep: --servers is given and swept"},
      {"--sweep servers=2,0", "--sweep servers=0: --servers: must be between 1 and 100000, not '0'"},
      {"--sweep servers=1,2 --csv x.csv", "--csv: follows a single run; not with --sweep"},
      {"--emit-jobs jobs.txt --trace", "--trace: follows a single run; not with --emit-jobs"},
      {"--sweep-point 2", "--sweep-point: needs --sweep"},
      {"--replications 2 --progress always", "--progress: shows a single run's progress; not with --replications"},
      {"--series-interval 5", "--series-interval: needs --series or --plot"},
      {"--series s.csv --series-interval 1e-4", "--series-interval: would sample more than 10^8 times before the end time"},
      {"--sweep servers=1,2 --sweep-point 3", "--sweep-point: the sweep has 2 points"},
      {"--replications 2 --replication 3", "--replication: must be at most --replications (2)"},
  };
  for (const auto& c : cases) {
    const Result r = Tarnwell(c.args, true);
    EXPECT_EQ(r.status, 2) << c.args;
    EXPECT_EQ(r.out, "tarnwell: " + c.message + help) << c.args;
  }
  // A model file has its own parameters: the built-in models' options are
  // refused for it.
  const std::string file = std::string("run ") + TARNWELL_MODELS_DIR + "/queue.yaml ";
  for (const char* option : {"--servers 2", "--model queue"}) {
    const Result r = Tarnwell(file + option, true);
    EXPECT_EQ(r.status, 2) << option;
    EXPECT_NE(r.out.find("applies to the built-in models only"), std::string::npos) << r.out;
  }
  // Nothing ran: a refused --summary-json file was never written.
  const std::string json = ::testing::TempDir() + "tw_refused_" + std::to_string(getpid()) + ".json";
  EXPECT_EQ(Tarnwell("--summary-json '" + json + "' --panel-rate 2").status, 2);
  EXPECT_FALSE(std::ifstream(json).good());
  const Result unwritable = Tarnwell("--summary-json /nonexistent-dir/s.json", true);
  EXPECT_EQ(unwritable.status, 2);
  EXPECT_NE(unwritable.out.find("--summary-json: cannot write '/nonexistent-dir/s.json'"), std::string::npos);
}

TEST(CommandLine, VersionPrintsTheProductAndVersion) {
  const Result r = Tarnwell("--version");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("Tarnwell ", 0), 0u) << r.out;
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
}

// The load warning: a queue that cannot keep up says so, instead of just
// leaving the theory out.
TEST(CommandLine, AnOfferedLoadOfOneOrMoreIsWarnedAbout) {
  const Result r = Tarnwell("--patience none --arrival-rate 1.2 --end-time 500");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("warning: the offered load (arrival rate x mean service time / servers) is 1.2, 1 or more"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find("M/M/1 theory"), std::string::npos);
  EXPECT_EQ(Tarnwell("--servers 2 --arrival-rate 1.2 --end-time 500").out.find("warning"), std::string::npos);
}

}  // namespace
