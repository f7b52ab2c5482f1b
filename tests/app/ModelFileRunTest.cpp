// `tarnwell run MODEL.yaml`: the shipped model files are the built-in
// models, and the command line overrides a file's run settings.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/app/RunnerTestSupport.h"

namespace {

// The summary from its first section on, without the wall-clock figures.
// Throughputs and the queue's waiting time are the built-in models' own (a
// file's report names block figures only).
std::string Figures(const std::string& summary) {
  std::istringstream in(summary);
  std::string kept, line;
  bool skipping = false;  // inside the waiting-time section, up to its blank line
  for (int n = 0; std::getline(in, line); ++n) {
    if (line.rfind("waiting time in the queue", 0) == 0) skipping = true;
    if (skipping) {
      skipping = !line.empty();
      continue;
    }
    if (n >= 4 && line.find("wall time") == std::string::npos && line.find("per second") == std::string::npos &&
        line.find("per time unit") == std::string::npos)
      kept += line + "\n";
  }
  return kept;
}

// With a warm-up as well: counts, time averages and timer blocks then cover
// the run from its end on, in a file as in the built-in model.
TEST(ModelFiles, TheShippedFilesGiveTheBuiltInModelsSummariesAndCsv) {
  for (const std::string model : {"queue", "assembly"})
    for (const char* handling : {"deterministic", "randomised"})
      for (const char* warmUp : {"0", "1000"}) {
        SCOPED_TRACE(model + " " + handling + " warm-up " + warmUp);
        const std::string compiledCsv = Scratch("compiled.csv");
        const std::string fileCsv = Scratch("file.csv");
        const Outcome compiled = Tarnwell({"--model", model, "--end-time", "4000", "--seed", "8", "--handling",
                                           handling, "--csv", compiledCsv, "--warm-up", warmUp});
        const Outcome file = Tarnwell({"run", std::string(TARNWELL_MODELS_DIR) + "/" + model + ".yaml", "--end-time",
                                       "4000", "--seed", "8", "--handling", handling, "--csv", fileCsv,
                                       "--warm-up", warmUp});
        ASSERT_EQ(compiled.status, 0) << compiled.err;
        ASSERT_EQ(file.status, 0) << file.err;
        EXPECT_GT(Figures(compiled.out).size(), 300u);
        EXPECT_EQ(Figures(file.out), Figures(compiled.out));
        const std::string rows = Slurp(compiledCsv);
        EXPECT_GT(rows.size(), 10000u);
        EXPECT_TRUE(rows == Slurp(fileCsv)) << "the CSV files differ";
        std::remove(compiledCsv.c_str());
        std::remove(fileCsv.c_str());
      }
}

// Exact quantiles reach a file's timer blocks too: beyond the values a
// tally keeps by itself the file's medians stay the built-in model's.
TEST(ModelFiles, ExactQuantilesApplyToTheFilesTimers) {
  const Outcome compiled = Tarnwell({"--end-time", "6000", "--exact-quantiles"});
  const Outcome file =
      Tarnwell({"run", std::string(TARNWELL_MODELS_DIR) + "/queue.yaml", "--end-time", "6000", "--exact-quantiles"});
  ASSERT_EQ(compiled.status, 0) << compiled.err;
  ASSERT_EQ(file.status, 0) << file.err;
  EXPECT_EQ(Figures(file.out), Figures(compiled.out));
  EXPECT_NE(Figures(file.out), Figures(Tarnwell({"run", std::string(TARNWELL_MODELS_DIR) + "/queue.yaml",
                                                 "--end-time", "6000"}).out));
}

TEST(ModelFiles, TheCommandLineOverridesTheFilesRunSettings) {
  const Outcome r = Tarnwell({"run", std::string(TARNWELL_MODELS_DIR) + "/queue.yaml", "--end-time", "300"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("model queue from "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("end time 300, seed 1,"), std::string::npos) << r.out;
}

TEST(ModelFiles, MistakesEndWithStatusTwoBeforeAnythingRuns) {
  const std::string path = Scratch("open_output.yaml");
  std::ofstream(path) << "name: m\n"
                         "entities: {Job: {Serial: int}}\n"
                         "blocks:\n"
                         "  - {name: Gen, type: EntityGenerator, entity: Job, interval: 1}\n"
                         "  - {name: Wait, type: Queue}\n"
                         "connections:\n"
                         "  - {from: Gen, to: Wait}\n";
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"run", path},
       "tarnwell: the model was not run, it has 1 mistake:\n"
       "  Output 0 of 'm/Wait' is not connected: an entity leaving through it would wait there for ever.\n"},
      {{"run", path, "--servers", "2"},
       "tarnwell: --servers: applies to the built-in models only; the model file sets its blocks (tarnwell --help "
       "lists the options)\n"},
      {{"run"}, "tarnwell: run: needs a model file: tarnwell run MODEL.yaml (tarnwell --help lists the options)\n"},
      {{"run", path + ".missing"},
       "tarnwell: cannot read the model file: '" + path + ".missing': No such file or directory\n"},
  };
  for (const auto& c : cases) {
    const Outcome r = Tarnwell(c.args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, "");
  }
  std::remove(path.c_str());
}

}  // namespace
