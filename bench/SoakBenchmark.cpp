// Resident memory of a long run of the tarnwell command's default model:
// printed before the run, in the middle, at the end of the simulated time
// and after the summary is printed. The tallies behind the summary estimate
// their quantiles as the run goes, so memory stays flat however long it
// runs; the end must lie within 10 % of the middle.
//
//   build/release/bench/bench_soak [--events N]     (default 10^8 events)
//
// The end time is chosen from the events per unit of simulated time of the
// default model (about 6.2); the run reports the events it executed.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "app/BuiltinModel.h"
#include "app/RunOptions.h"
#include "model/ModelDriver.h"

namespace {

constexpr double kEventsPerTimeUnit = 6.16;

double ResidentMegabytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

}  // namespace

int main(int argc, char** argv) {
  double events = 1e8;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--events") == 0) {
      events = std::atof(argv[i + 1]);
    } else {
      std::fprintf(stderr, "usage: bench_soak [--events N]\n");
      return 2;
    }
  }
  if (!(events > 0)) {
    std::fprintf(stderr, "bench_soak: the number of events must be positive\n");
    return 2;
  }
  RunOptions options;
  options.endTime = events / kEventsPerTimeUnit;
  ModelDriver driver(DriverConfigFor(options));
  BuiltinModel model(options, driver);

  const double start = ResidentMegabytes();
  double middle = 0.0, end = 0.0;
  const RunReport report = driver.Run([&](double now) {
    if (middle == 0.0 && now >= options.endTime / 2) middle = ResidentMegabytes();
    if (now >= options.endTime) end = ResidentMegabytes();
  });
  if (report.failed) {
    std::fprintf(stderr, "bench_soak: the run failed\n%s", report.diagnostic.c_str());
    return 1;
  }
  std::ostringstream summary;
  model.PrintSummary(summary, report);
  const double afterSummary = ResidentMegabytes();

  std::printf("bench_soak: default model, end time %g, %llu events in %.1f s\n", options.endTime,
              static_cast<unsigned long long>(report.eventsExecuted), report.wallSeconds);
  std::printf("  resident memory at start        %8.1f MB\n", start);
  std::printf("  resident memory in the middle   %8.1f MB\n", middle);
  std::printf("  resident memory at the end      %8.1f MB\n", end);
  std::printf("  resident memory after summary   %8.1f MB\n", afterSummary);
  const bool flat = end <= middle * 1.10 && afterSummary <= middle * 1.10;
  std::printf("  %s (end within 10 %% of the middle)\n", flat ? "flat" : "NOT FLAT");
  return flat ? 0 : 1;
}
