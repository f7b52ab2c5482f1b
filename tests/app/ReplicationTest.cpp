// Replications: their seeds, their intervals, warm-up, parallel workers
// and the summary as JSON.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/BuiltinModel.h"
#include "app/Replication.h"
#include "app/RunOptions.h"
#include "tests/app/RunnerTestSupport.h"
#include "app/SummaryTable.h"
#include "model/ModelDriver.h"

namespace {

nlohmann::json ReadJson(const std::string& path) {
  std::ifstream in(path);
  return nlohmann::json::parse(in);
}

// The figure `section` / `label` of a summary written as JSON.
nlohmann::json Figure(const nlohmann::json& summary, const std::string& section, const std::string& label) {
  for (const nlohmann::json& s : summary.at("statistics"))
    if (s.at("section") == section && s.at("label") == label) return s;
  ADD_FAILURE() << "no figure " << section << " / " << label;
  return nlohmann::json();
}

TEST(Replication, SeedsAreDistinctAndTheFirstIsTheRunsOwn) {
  EXPECT_EQ(ReplicationSeed(7, 1), 7);
  std::set<int> seen;
  for (int seed : {0, 1, 7, 2147483647})
    for (int r = 2; r <= 1000; ++r) {
      const int s = ReplicationSeed(seed, r);
      EXPECT_GE(s, 1);
      seen.insert(s);
    }
  EXPECT_EQ(seen.size(), 4u * 999u);
}

TEST(Replication, TheIntervalIsTheStudentTHalfWidth) {
  // mean 3, sample sd sqrt(2.5), t(0.975; 4) = 2.776445.
  const summary::Interval i = summary::MeanInterval({1, 2, 3, 4, 5});
  EXPECT_DOUBLE_EQ(i.mean, 3.0);
  EXPECT_NEAR(i.halfWidth, 2.776445 * std::sqrt(2.5) / std::sqrt(5.0), 1e-5);
  EXPECT_TRUE(std::isnan(summary::MeanInterval({4}).halfWidth));
  EXPECT_DOUBLE_EQ(summary::MeanInterval({2, 2, 2}).halfWidth, 0.0);
}

TEST(Replication, AResultSurvivesItsJsonForm) {
  ReplicationResult r;
  r.replication = 3;
  r.seed = 12345;
  r.interrupted = true;
  r.timeReached = 17.25;
  r.description = "model queue";
  r.statistics.theoryName = "M/M/1 theory";
  r.statistics.notes = {"a note"};
  r.statistics.Add("entities", "served", 12, 0);
  r.statistics.Add("time", "mean", 2.5, 4, 2.0);
  r.statistics.Add("engine", "events per second", std::nan(""), 0);
  const ReplicationResult back = ReplicationResult::FromJson(r.ToJson());
  EXPECT_EQ(back.ToJson(), r.ToJson());
  EXPECT_TRUE(std::isnan(back.statistics.figures[2].value));
  EXPECT_TRUE(std::isnan(back.statistics.figures[0].theory));
  EXPECT_THROW(ReplicationResult::FromJson("{\"replication\": 1}"), std::invalid_argument);
  EXPECT_THROW(ReplicationResult::FromJson("not json"), std::invalid_argument);
}

// The statistical promise: the 95 % interval of the mean time in system of
// an M/M/1 queue (load 0.5) from 20 replications covers the theory (2) in
// at least 90 of 100 independent repetitions. Short runs, in process; the
// seeds are fixed, so the count is the same on every machine.
TEST(Replication, TheMM1IntervalCoversTheTheoryNineTimesInTen) {
  RunOptions options;
  const char* args[] = {"tarnwell", "--patience", "none", "--arrival-rate", "0.5", "--end-time", "600",
                        "--warm-up", "50", "--progress", "never"};
  ASSERT_EQ(ParseRunOptions(11, args, options).kind, ParseOutcome::Run);
  int covered = 0;
  for (int repetition = 1; repetition <= 100; ++repetition) {
    std::vector<summary::Statistics> runs;
    for (int r = 1; r <= 20; ++r) {
      DriverConfig config = DriverConfigFor(options);
      config.seed = ReplicationSeed(1000 + repetition, r);
      ModelDriver driver(config);
      BuiltinModel model(options, driver);
      const RunReport report = driver.Run();
      ASSERT_FALSE(report.failed) << report.diagnostic;
      runs.push_back(model.Statistics(report));
    }
    for (const summary::Combined& c : summary::Combine(runs))
      if (c.figure.section == "time in system (served)" && c.figure.label == "mean") {
        EXPECT_DOUBLE_EQ(c.figure.theory, 2.0);
        EXPECT_EQ(c.runs, 20u);
        if (std::fabs(c.figure.value - c.figure.theory) <= c.interval.halfWidth) ++covered;
      }
  }
  EXPECT_GE(covered, 90);
  EXPECT_LE(covered, 100);
  std::printf("covered %d of 100\n", covered);
}

// Started empty, an M/M/1 queue at load 0.9 shows short times in system for
// a long while: a short run's interval lies wholly below the theory (10).
// Leaving out the first 2000 time units removes that bias.
TEST(Replication, AWarmUpRemovesTheEmptyStartBias) {
  const std::string json = Scratch("warmup.json");
  const std::vector<std::string> common = {"--patience", "none", "--arrival-rate", "0.9", "--replications",
                                           "200", "--jobs", "2", "--summary-json", json};
  std::vector<std::string> cold = common, warm = common;
  cold.insert(cold.end(), {"--end-time", "500"});
  warm.insert(warm.end(), {"--end-time", "2500", "--warm-up", "2000"});

  const Outcome c = Tarnwell(cold);
  ASSERT_EQ(c.status, 0) << c.err;
  const nlohmann::json coldMean = Figure(ReadJson(json), "time in system (served)", "mean");
  EXPECT_LT(coldMean.at("mean").get<double>() + coldMean.at("halfWidth95").get<double>(), 10.0) << coldMean;

  const Outcome w = Tarnwell(warm);
  ASSERT_EQ(w.status, 0) << w.err;
  const nlohmann::json summary = ReadJson(json);
  const nlohmann::json warmMean = Figure(summary, "time in system (served)", "mean");
  EXPECT_LE(std::fabs(warmMean.at("mean").get<double>() - 10.0), warmMean.at("halfWidth95").get<double>())
      << warmMean;
  EXPECT_EQ(warmMean.at("runs"), 200);
  EXPECT_EQ(summary.at("options").at("warmUp"), 2000.0);
  EXPECT_NE(w.out.find("at most 1000000 events per step, warm-up 2000\n200 replications (seeds derived from 1)\n"),
            std::string::npos)
      << w.out;
  std::remove(json.c_str());
}

// Worker processes change nothing but the time it takes: the figures equal
// those of the same replications run one after the other here.
TEST(Replication, WorkersGiveTheFiguresOfOneProcess) {
  for (const std::string model : {"queue", "assembly"}) {
    const std::vector<std::string> args = {"--model", model, "--end-time", "2000", "--replications", "5"};
    std::vector<std::string> one = args, three = args;
    one.insert(one.end(), {"--jobs", "1"});
    three.insert(three.end(), {"--jobs", "3"});
    const Outcome a = Tarnwell(one), b = Tarnwell(three);
    ASSERT_EQ(a.status, 0) << a.err;
    ASSERT_EQ(b.status, 0) << b.err;
    // Everything up to the engine's timings.
    const std::string figuresA = a.out.substr(0, a.out.find("wall time")), figuresB = b.out.substr(0, b.out.find("wall time"));
    EXPECT_EQ(figuresA.substr(figuresA.find("\n\n")), figuresB.substr(figuresB.find("\n\n")));
    EXPECT_NE(a.out.find("mean ± 95% half-width"), std::string::npos) << a.out;
  }
}

TEST(Replication, ModelFilesReplicateToo) {
  const Outcome r = Tarnwell({"run", std::string(TARNWELL_MODELS_DIR) + "/queue.yaml", "--end-time", "1000",
                              "--replications", "4", "--jobs", "2"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("4 replications (seeds derived from 1)\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("server utilisation"), std::string::npos) << r.out;
}

// One run's JSON: every figure once, no interval, the options, the seed and
// the versions; the fingerprint has its place.
TEST(Replication, ASingleRunsSummaryJson) {
  const std::string json = Scratch("single.json");
  const Outcome r = Tarnwell({"--end-time", "1000", "--seed", "4", "--summary-json", json});
  ASSERT_EQ(r.status, 0) << r.err;
  const nlohmann::json s = ReadJson(json);
  EXPECT_EQ(s.at("product"), "Tarnwell");
  EXPECT_FALSE(s.at("version").get<std::string>().empty());
  EXPECT_EQ(s.at("options").at("seed"), 4);
  EXPECT_EQ(s.at("replications").size(), 1u);
  EXPECT_EQ(s.at("replications")[0].at("seed"), 4);
  EXPECT_TRUE(s.contains("fingerprint"));
  EXPECT_FALSE(s.at("interrupted").get<bool>());
  const nlohmann::json served = Figure(s, "entities", "served");
  EXPECT_TRUE(served.at("halfWidth95").is_null());
  const std::string count = std::to_string(served.at("mean").get<long>());
  EXPECT_NE(r.out.find("  served" + std::string(39 - count.size(), ' ') + count + "\n"), std::string::npos)
      << r.out << served;
  std::remove(json.c_str());
}

}  // namespace
