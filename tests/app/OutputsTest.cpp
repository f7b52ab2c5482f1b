// What a run writes besides its summary: series over time, PNG plots, and
// the progress bar.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/ProgressBar.h"
#include "tests/app/RunnerTestSupport.h"

namespace {

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A PNG file: its signature and a size that holds a picture.
void ExpectPng(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char header[8] = {};
  in.read(header, 8);
  EXPECT_EQ(std::string(header, 8), std::string("\x89PNG\r\n\x1a\n", 8)) << path;
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0) << path;
  EXPECT_GT(st.st_size, 2000) << path;
}

TEST(Outputs, ASeriesSamplesEveryIntervalInWholeRows) {
  const std::string series = Scratch("series.csv");
  for (const std::string model : {"queue", "assembly"}) {
    const Outcome r = Tarnwell({"--model", model, "--end-time", "1000", "--series", series, "--series-interval", "2.5"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = Lines(series);
    ASSERT_EQ(lines.size(), 1u + 401u) << model;  // the header, then t = 0, 2.5, ..., 1000
    const long columns = std::count(lines[0].begin(), lines[0].end(), ',');
    EXPECT_EQ(columns, model == "queue" ? 4 : 5) << lines[0];
    for (const std::string& line : lines) EXPECT_EQ(std::count(line.begin(), line.end(), ','), columns) << line;
    EXPECT_EQ(lines[1].substr(0, 4), "1,0,");
    EXPECT_EQ(lines[5].substr(0, 5), "1,10,");
    EXPECT_EQ(lines.back().substr(0, 7), "1,1000,");
  }
  std::remove(series.c_str());
  // Replications write a file each, numbered.
  const Outcome r = Tarnwell({"--end-time", "500", "--replications", "3", "--jobs", "2", "--series", series});
  ASSERT_EQ(r.status, 0) << r.err;
  for (int k = 1; k <= 3; ++k) {
    const std::string path = Scratch("series-r" + std::to_string(k) + ".csv");
    const std::vector<std::string> lines = Lines(path);
    ASSERT_EQ(lines.size(), 1002u) << path;
    EXPECT_EQ(lines[1].substr(0, 2), std::to_string(k) + ",");
    std::remove(path.c_str());
  }
}

TEST(Outputs, PlotsArePngFiles) {
  if (std::system("command -v gnuplot >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "gnuplot is not installed (./tw installs gnuplot-nox)";
  const std::string dir = Scratch("plots");
  const Outcome one = Tarnwell({"--patience", "none", "--end-time", "3000", "--plot", dir});
  ASSERT_EQ(one.status, 0) << one.err;
  ExpectPng(dir + "/time-in-system.png");
  ExpectPng(dir + "/queue-length-over-time.png");
  // The theoretical density is drawn beside the histogram.
  std::ifstream script(dir + "/time-in-system.gp");
  const std::string text((std::istreambuf_iterator<char>(script)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("0.1*exp(-0.1*x)"), std::string::npos) << text;

  const Outcome sweep = Tarnwell({"--patience", "none", "--end-time", "500", "--sweep", "arrival-rate=0.3,0.6",
                                  "--sweep", "servers=1,2", "--replications", "3", "--plot", dir});
  ASSERT_EQ(sweep.status, 0) << sweep.err;
  for (const char* key : {"time-in-system", "queue-length", "utilisation", "throughput"})
    ExpectPng(dir + "/sweep-" + key + ".png");
  const Outcome refused = Tarnwell({"--replications", "3", "--plot", dir});
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find("--plot: draws one run or a sweep; not replications alone"), std::string::npos)
      << refused.err;
  EXPECT_EQ(std::system(("rm -rf '" + dir + "'").c_str()), 0);
}

TEST(Outputs, TheProgressBarFitsTheTerminal) {
  for (const int columns : {10, 30, 60, 80, 200}) {
    const std::string line = ProgressBar::Render(250.0, 1000.0, 30.0, columns);
    EXPECT_LE(static_cast<int>(line.size()), columns - 1) << columns << ": " << line;
  }
  const std::string wide = ProgressBar::Render(250.0, 1000.0, 30.0, 120);
  EXPECT_NE(wide.find(" 25.0%"), std::string::npos) << wide;
  EXPECT_NE(wide.find("t = 250 / 1000"), std::string::npos) << wide;
  // A quarter done in 30 s: 90 s to go at that pace.
  EXPECT_NE(wide.find("30s, about 1m30s left"), std::string::npos) << wide;
  EXPECT_EQ(wide.find('['), 0u) << wide;
  // Nothing done yet: no estimate.
  EXPECT_NE(ProgressBar::Render(0.0, 1000.0, 1.0, 120).find("about ? left"), std::string::npos);
}

}  // namespace
