// Runs short runs of each built-in model with an allocation failing at every
// point in turn: the host memory service failing from its n-th call on, and
// a single failure of the global operator new in a call the library makes.
// Every point must end like a run the catalogue's memory error stopped
// (exit status 1 with that error, the engine terminated), or as a complete
// run where the library could do without the memory; either way with the
// CSV output complete, host memory and host arrays back to their level
// (and, in the sanitizer tree, nothing leaked).
//
// Past the first points only every STRIDE-th point runs; the full sweep is
//   TARNWELL_FULL_SWEEP=1 build/test/tests/sweep/memory_sweep_tests
// TARNWELL_SWEEP_FROM=n starts at point n (to look at one point closely).
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "app/Runner.h"
#include "host/HostControl.h"
#include "support/PMMallocError.h"
#include "tests/sweep/FailingNew.h"

namespace {

#ifdef TARNWELL_SANITIZED_BUILD
constexpr std::size_t kDense = 150;
constexpr std::size_t kStride = 97;
#else
constexpr std::size_t kDense = 400;
constexpr std::size_t kStride = 23;
#endif

std::size_t FirstPoint() {
  const char* from = std::getenv("TARNWELL_SWEEP_FROM");
  return from != nullptr && std::atol(from) > 0 ? static_cast<std::size_t>(std::atol(from)) : 1;
}

bool FullSweep() {
  const char* full = std::getenv("TARNWELL_FULL_SWEEP");
  return full != nullptr && *full != '\0' && *full != '0';
}

struct Model {
  const char* name;
  std::vector<std::string> args;
  const char* skipWhy = nullptr;
  const char* skipOperatorNewWhy = nullptr;
};

const Model kModels[] = {
    {"queue", {"--model", "queue", "--end-time", "200", "--patience", "none", "--seed", "3"}},
    {"impatient", {"--model", "queue", "--end-time", "200", "--patience", "2", "--seed", "3"}},
    {"assembly", {"--model", "assembly", "--end-time", "200", "--seed", "3"}},
};

struct Point {
  int status = 0;
  std::string err;
};

class MemorySweep : public ::testing::TestWithParam<Model> {
 protected:
  // One file per test and process: the tests may run at the same time, in
  // this build tree and in others.
  std::string CsvPath() const {
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '_');
    return ::testing::TempDir() + "tarnwell_sweep_" + std::to_string(getpid()) + "_" + name + ".csv";
  }

  Point Run(const std::function<void()>& arm, const std::function<void()>& disarm) {
    std::vector<std::string> args = GetParam().args;
    args.push_back("--csv");
    args.push_back(CsvPath());
    args.push_back("--progress");
    args.push_back("never");
    std::vector<const char*> argv = {"tarnwell"};
    for (const std::string& a : args) argv.push_back(a.c_str());
    std::ostringstream out, err;
    Point p;
    arm();
    p.status = RunTarnwell(static_cast<int>(argv.size()), argv.data(), out, err, false);
    disarm();
    p.err = err.str();
    return p;
  }

  // Every line of the CSV file is whole: it ends in a line break and has
  // the header's number of fields.
  void ExpectCompleteCsv(std::size_t point) {
    std::ifstream in(CsvPath(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string s = text.str();
    if (s.empty()) return;  // the run failed before the header
    ASSERT_EQ(s.back(), '\n') << "point " << point;
    std::istringstream lines(s);
    std::string line;
    std::size_t fields = 0;
    bool first = true;
    while (std::getline(lines, line)) {
      const std::size_t n = 1 + static_cast<std::size_t>(std::count(line.begin(), line.end(), ','));
      if (first) fields = n;
      first = false;
      ASSERT_EQ(n, fields) << "point " << point << ": " << line;
    }
  }

  // Sweeps points 1, 2, ... until a run completes without reaching the
  // failure, and prints how many points were run and how many of them ended
  // gracefully. `counts` says whether a reached point is one to check (a
  // failure outside the library may be absorbed where it happened).
  void Sweep(const char* what, const std::function<void(std::size_t)>& arm,
             const std::function<void()>& disarm, const std::function<bool()>& reached,
             const std::function<bool()>& counts) {
    if (GetParam().skipWhy != nullptr) GTEST_SKIP() << GetParam().skipWhy;
    // A first run makes what stays made (the message catalogue, the
    // data-value pool map) before the levels are taken; the memory error's
    // emergency reserve is host memory that a failure may use up.
    Run([] {}, [] {});
    const auto level = [] { return host::liveAllocations() - pmMemoryReserveLeft(); };
    std::size_t points = 0, graceful = 0, absorbed = 0;
    for (std::size_t n = FirstPoint();; n = (FullSweep() || n < kDense) ? n + 1 : n + kStride) {
      // Levels are taken point by point, so that one point's leak is not
      // blamed on the next.
      const std::size_t allocations = level();
      const std::size_t arrays = host::liveArrays();
      const Point p = Run([&] { arm(n); }, disarm);
      if (!reached()) {
        EXPECT_EQ(p.status, 0) << what << " point " << n << ": " << p.err;
        break;
      }
      const bool memoryError = p.status == 1 && p.err.find("DES_MemoryAllocErr") != std::string::npos;
      const bool levels = level() == allocations && host::liveArrays() == arrays;
      EXPECT_EQ(level(), allocations) << what << " point " << n << "\n" << p.err;
      EXPECT_EQ(host::liveArrays(), arrays) << what << " point " << n;
      ExpectCompleteCsv(n);
      // A run may also do without what it could not get (an ended entity
      // that cannot be recycled is freed instead) and complete.
      const bool completed = p.status == 0;
      EXPECT_TRUE(memoryError || completed) << what << " point " << n << ": status " << p.status
                                            << "\n" << p.err;
      if (!counts()) continue;
      ++points;
      if ((memoryError || completed) && levels) ++graceful;
      if (completed) ++absorbed;
      if (points - graceful >= 10) break;  // enough to go on
    }
    std::printf("%s sweep of the %s model: %zu points, %zu graceful (%zu of them completed)%s\n",
                what, GetParam().name, points, graceful, absorbed,
                FullSweep() ? "" : " (strided)");
    std::remove(CsvPath().c_str());
  }
};

TEST_P(MemorySweep, HostMemoryFailingFromEveryPoint) {
  std::size_t base = 0, armed = 0;
  Sweep(
      "host memory",
      [&](std::size_t n) {
        base = host::allocationCalls();
        armed = n;
        host::failAllocationsFrom(n);
      },
      [] { host::failAllocationsFrom(0); },
      [&] { return host::allocationCalls() - base >= armed; }, [] { return true; });
}

TEST_P(MemorySweep, SingleFailureOfOperatorNew) {
  if (GetParam().skipOperatorNewWhy != nullptr) GTEST_SKIP() << GetParam().skipOperatorNewWhy;
  Sweep(
      "operator new", [](std::size_t n) { failing_new::FailCall(n); },
      [] { failing_new::FailCall(0); }, [] { return failing_new::Fired(); },
      [] { return failing_new::FiredInLibrary(); });
}

INSTANTIATE_TEST_SUITE_P(BuiltinModels, MemorySweep, ::testing::ValuesIn(kModels),
                         [](const ::testing::TestParamInfo<Model>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
