// The built-in models run end to end through the driver.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/BuiltinModel.h"
#include "app/RunOptions.h"
#include "app/Runner.h"
#include "model/ModelDriver.h"
#include "tarnwell.h"

namespace {

struct Departure {
  std::string exit, id, type;
  bool composite = false;
  std::map<std::string, double> attributes;
};

struct Outcome {
  RunReport report;
  uint64_t generated = 0, departed = 0, served = 0, timedOut = 0;
  std::vector<Departure> departures;
};

// The command line of `tarnwell` with `args`; points into `args`.
std::vector<const char*> Argv(const std::vector<std::string>& args) {
  std::vector<const char*> argv = {"tarnwell"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  return argv;
}

// Runs a built-in model set by command-line options; `record` keeps departures.
Outcome RunModel(const std::vector<std::string>& args, bool record = false) {
  const std::vector<const char*> argv = Argv(args);
  RunOptions options;
  const ParseOutcome parsed = ParseRunOptions(static_cast<int>(argv.size()), argv.data(), options);
  EXPECT_EQ(parsed.kind, ParseOutcome::Run) << parsed.text;
  Outcome out;
  ModelDriver driver(DriverConfigFor(options));
  BuiltinModel model(options, driver);
  if (record) {
    model.ObserveDepartures([&out, names = model.AttributeNames()](const Sink& sink, DesEntity& e, double) {
      Departure d{sink.Path(), e.GetId(), e.GetName(), e.GetHasSubEntity() != 0 || e.GetIsSubEntity(), {}};
      NodeInterface* blk = const_cast<Sink*>(&sink);
      for (const std::string& n : names)
        if (e.HasAttribute(blk, n.c_str())) d.attributes[n] = e.ReadNumberFromAttribute(blk, n.c_str());
      out.departures.push_back(d);
    });
  }
  out.report = driver.Run();
  out.generated = model.Generated();
  out.departed = model.Departed();
  out.served = model.Served();
  out.timedOut = model.TimedOut();
  return out;
}

// Runs the command in process; returns its standard output.
std::string Summary(const std::vector<std::string>& args) {
  const std::vector<const char*> argv = Argv(args);
  std::ostringstream out, err;
  EXPECT_EQ(RunTarnwell(static_cast<int>(argv.size()), argv.data(), out, err, false), 0) << err.str();
  return out.str();
}

// The figures of the summary line labelled `label`.
std::vector<double> Figures(const std::string& summary, const std::string& label) {
  std::vector<double> figures;
  const std::size_t at = summary.find("\n  " + label + " ");
  if (at == std::string::npos) return figures;
  const std::size_t from = at + 3 + label.size();
  std::istringstream line(summary.substr(from, summary.find('\n', from) - from));
  for (double x; line >> x;) figures.push_back(x);
  return figures;
}

// Both models under both handling types and both calendar arrangements.
TEST(ModelRuns, EveryArrangementRunsToTheEndAndConservesEntities) {
  for (const std::string model : {"queue", "assembly"})
    for (const char* handling : {"deterministic", "randomised"})
      for (const char* calendars : {"separate", "combined"}) {
        SCOPED_TRACE(model + " " + handling + " " + calendars);
        const Outcome o = RunModel({"--model", model, "--handling", handling, "--calendars", calendars,
                                    "--end-time", "5000", "--seed", "11"});
        ASSERT_FALSE(o.report.failed) << o.report.diagnostic;
        EXPECT_FALSE(o.report.stalled);
        EXPECT_EQ(o.report.timeReached, 5000.0);
        EXPECT_GT(o.departed, 1000u);
        EXPECT_EQ(o.generated, o.departed + o.report.partsInModel);
        if (model == "queue") {
          EXPECT_GT(o.timedOut, 0u);
          EXPECT_EQ(o.generated, o.served + o.timedOut + o.report.entitiesInModel);
        }
      }
}

TEST(ModelRuns, TheSameSeedWritesTheSameCsvByteForByte) {
  for (const char* model : {"queue", "assembly"}) {
    std::vector<std::string> files;
    for (const char* seed : {"5", "5", "6"}) {
      // The process id keeps test runs that share the machine apart.
      const std::string path =
          ::testing::TempDir() + "tw_repeat_" + std::to_string(getpid()) + model + seed + ".csv";
      Summary({"--model", model, "--end-time", "3000", "--seed", seed, "--handling", "randomised", "--csv",
               path});
      std::ostringstream content;
      content << std::ifstream(path, std::ios::binary).rdbuf();
      files.push_back(content.str());
      std::remove(path.c_str());
    }
    EXPECT_GT(files[0].size(), 10000u);
    EXPECT_EQ(files[0], files[1]) << model;
    EXPECT_NE(files[0], files[2]) << model << ": another seed, another run";
  }
}

TEST(ModelRuns, PlainMM1MatchesTheoryWithinThreePercent) {
  // rho = 0.5, about 100,000 customers; the slower sanitizer build runs a quarter, looser.
#ifdef TARNWELL_SANITIZED_BUILD
  const char* endTime = "50000";
  const double tolerance = 0.06;
#else
  const char* endTime = "210000";
  const double tolerance = 0.03;
#endif
  const std::string summary = Summary({"--arrival-rate", "0.5", "--service-rate", "1", "--patience", "none",
                                       "--end-time", endTime, "--seed", "3"});
#ifndef TARNWELL_SANITIZED_BUILD
  EXPECT_GE(Figures(summary, "served").at(0), 100000.0) << summary;
#endif
  EXPECT_EQ(Figures(summary, "timed out"), std::vector<double>{0.0}) << summary;
  // Measured, then the theory beside it: a plain M/M/1 shows both.
  const std::vector<double> mean = Figures(summary, "mean");
  ASSERT_EQ(mean.size(), 2u) << summary;
  EXPECT_DOUBLE_EQ(mean[1], 2.0);
  EXPECT_NEAR(mean[0], 2.0, 2.0 * tolerance) << summary;
  // The wait before service alone: rho / (mu - lambda), a noisier figure.
  const std::vector<double> wait = Figures(summary, "mean (Little's law)");
  ASSERT_EQ(wait.size(), 2u) << summary;
  EXPECT_DOUBLE_EQ(wait[1], 1.0);
  EXPECT_NEAR(wait[0], 1.0, 3.0 * tolerance) << summary;
}

TEST(ModelRuns, ImpatientCustomersLeaveOnceThroughTheirOwnExit) {
  const Outcome o =
      RunModel({"--arrival-rate", "1.5", "--patience", "4", "--patience-fixed", "--end-time", "3000"}, true);
  ASSERT_FALSE(o.report.failed);
  EXPECT_GT(o.timedOut, 100u);
  EXPECT_GT(o.served, 1000u);
  std::set<std::string> served, gaveUp;
  for (const Departure& d : o.departures) {
    (d.exit == "queue/Served" ? served : gaveUp).insert(d.id);
    // One who gave up spent exactly the fixed patience in the system.
    if (d.exit == "queue/Timed Out") { EXPECT_NEAR(d.attributes.at("TimeInSystem"), 4.0, 1e-9); }
  }
  EXPECT_EQ(served.size(), o.served) << "ids are unique per run";
  EXPECT_EQ(gaveUp.size(), o.timedOut);
  for (const std::string& id : gaveUp) EXPECT_EQ(served.count(id), 0u) << id << " left twice";
}

TEST(ModelRuns, AssembledPartsComeOutSplitWithTheirAttributes) {
  const Outcome o = RunModel({"--model", "assembly", "--end-time", "2000", "--seed", "9"}, true);
  ASSERT_FALSE(o.report.failed) << o.report.diagnostic;
  std::set<double> frames, panels;
  for (const Departure& d : o.departures) {
    EXPECT_FALSE(d.composite) << d.id;
    const auto& a = d.attributes;
    if (d.exit == "assembly/Frames Out") {
      // Only its own attributes, plus what the inspection wrote through the assembly.
      EXPECT_EQ(d.type, "Frame");
      EXPECT_EQ(a.count("PanelSerial"), 0u);
      EXPECT_TRUE(a.at("Length") >= 1.9 && a.at("Length") <= 2.1) << a.at("Length");
      EXPECT_TRUE(a.at("Inspected") > 0 && a.at("FrameTime") > 0) << d.id;
      frames.insert(a.at("FrameSerial"));
    } else {
      EXPECT_EQ(d.exit + " " + d.type, "assembly/Panels Out Panel");
      EXPECT_EQ(a.count("FrameSerial"), 0u);
      EXPECT_TRUE(a.at("Width") >= 0.9 && a.at("PanelTime") > 0) << d.id;
      panels.insert(a.at("PanelSerial"));
    }
  }
  EXPECT_GT(frames.size(), 1000u);
  // Pairs are made in arrival order: the n-th frame with the n-th panel.
  EXPECT_EQ(frames, panels);
}

TEST(ModelRuns, AStalledModelNamesTheBlocksStillHoldingEntities) {
  const std::vector<std::string> args = {"--model", "assembly", "--limit", "50", "--panel-limit", "40",
                                         "--capacity", "5"};
  const Outcome o = RunModel(args);
  ASSERT_FALSE(o.report.failed);
  EXPECT_TRUE(o.report.stalled);
  EXPECT_LT(o.report.timeReached, 1000.0);
  // After the 40th panel, frames pile up from the combiner back to the generator.
  std::map<std::string, std::size_t> held;
  for (const BlockHolding& h : o.report.holdings) held[h.path] = h.entities;
  EXPECT_EQ(held, (std::map<std::string, std::size_t>{{"assembly/Assemble", 1},
                                                       {"assembly/Frame Queue", 5},
                                                       {"assembly/Frame Timer", 1},
                                                       {"assembly/Frames", 1}}));
  EXPECT_EQ(o.generated, 40u + 48u);
  EXPECT_EQ(o.generated, o.departed + o.report.partsInModel);
  const std::string out = Summary(args);
  EXPECT_NE(out.find("The model stalled at t = "), std::string::npos) << out;
  EXPECT_NE(out.find("assembly/Frame Queue"), std::string::npos);
  EXPECT_NE(out.find("5 entities"), std::string::npos);
  // A model that simply runs out of work has not stalled.
  const Outcome done = RunModel({"--limit", "20", "--patience", "none"});
  EXPECT_FALSE(done.report.failed || done.report.stalled);
  EXPECT_EQ(done.served, 20u);
  EXPECT_TRUE(done.report.holdings.empty());
}

}  // namespace
