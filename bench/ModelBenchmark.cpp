// Entities per second through the tarnwell command's two queue models, the
// plain M/M/1 (no patience) and the default model (a queue with impatient
// customers: generator, timer, queue with patience timeouts, server, timer
// read, two sinks), the events each customer costs, and the calls the run
// makes to the general-purpose allocator and to the host memory service
// per entity once the model is warm. A last table puts both models beside
// the hold model: one customer is so many hold-model events.
//
//   build/release/bench/bench_model [--end-time T] [--arrival-rate L] [--warm-up F]
//
// The warm-up is the first fraction F (default one half) of the simulated
// time: by then the pools, the recycle lists, the calendars and the blocks'
// own lists have grown to the model's working size. A shorter warm-up still
// sees a few allocations: the queue and the timeout heap reaching lengths
// they never had before (with F = 0.1, 17 calls in about 800,000
// entities). The measured stretch is the rest of the run, up to the end
// time, before the engine terminates. The tallies behind the summary
// estimate their quantiles in constant memory, as in a production run.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/BuiltinModel.h"
#include "app/RunOptions.h"
#include "bench/AllocCounter.h"
#include "host/HostControl.h"
#include "model/ModelDriver.h"

namespace {

struct Measured {
  uint64_t entities = 0;        // generated after the warm-up
  uint64_t entitiesWholeRun = 0;
  uint64_t eventsWholeRun = 0;  // the driver counts events for the whole run only
  double seconds = 0.0;         // wall time after the warm-up
  alloc_counter::Counts alloc;  // general-allocator calls after the warm-up
  std::size_t hostCalls = 0;    // host memory calls after the warm-up
};

// One run of the model in `options`; false when it did not complete.
bool RunModel(const RunOptions& options, double warmFraction, Measured& out) {
  DriverConfig config;
  config.modelName = options.model;
  config.endTime = options.endTime;
  config.seed = options.seed;
  ModelDriver driver(config);
  BuiltinModel model(options, driver);

  const double warmTime = options.endTime * warmFraction;
  bool warm = false, closed = false;
  alloc_counter::Counts allocWarm, allocEnd;
  std::size_t hostWarm = 0, hostEnd = 0;
  uint64_t entitiesWarm = 0, entitiesEnd = 0;
  std::chrono::steady_clock::time_point wallWarm, wallEnd;
  const RunReport report = driver.Run([&](double now) {
    if (!warm && now >= warmTime) {
      warm = true;
      entitiesWarm = model.Generated();
      hostWarm = host::allocationCalls();
      wallWarm = std::chrono::steady_clock::now();
      allocWarm = alloc_counter::Snapshot();
    } else if (warm && !closed && now >= options.endTime) {
      // The driver's last report, before anything is released.
      allocEnd = alloc_counter::Snapshot();
      wallEnd = std::chrono::steady_clock::now();
      hostEnd = host::allocationCalls();
      entitiesEnd = model.Generated();
      closed = true;
    }
  });
  if (report.failed || !closed) {
    std::fprintf(stderr, "bench_model: the run did not complete\n%s", report.diagnostic.c_str());
    return false;
  }
  out.entities = entitiesEnd - entitiesWarm;
  out.entitiesWholeRun = model.Generated();
  out.eventsWholeRun = report.eventsExecuted;
  out.seconds = std::chrono::duration<double>(wallEnd - wallWarm).count();
  out.alloc = alloc_counter::Difference(allocEnd, allocWarm);
  out.hostCalls = hostEnd - hostWarm;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  RunOptions options;
  options.endTime = 1000000.0;
  double warmFraction = 0.5;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--end-time") == 0) options.endTime = std::atof(argv[i + 1]);
    else if (std::strcmp(argv[i], "--arrival-rate") == 0) options.arrivalRate = std::atof(argv[i + 1]);
    else if (std::strcmp(argv[i], "--warm-up") == 0) warmFraction = std::atof(argv[i + 1]);
    else {
      std::fprintf(stderr, "usage: bench_model [--end-time T] [--arrival-rate L] [--warm-up F]\n");
      return 2;
    }
  }
  if (argc % 2 == 0 || !(options.endTime > 0) || !(options.arrivalRate > 0) ||
      !(warmFraction > 0 && warmFraction < 1)) {
    std::fprintf(stderr, "bench_model: end time and arrival rate must be positive, the warm-up in (0, 1)\n");
    return 2;
  }

  RunOptions plain = options;
  plain.patience = 0.0;
  struct Row {
    const char* name;
    RunOptions options;
    Measured m;
  } rows[] = {{"plain M/M/1 (--patience none)", plain, {}}, {"default model", options, {}}};
  std::printf("bench_model: end time %g, arrival rate %g, seed %d, warm-up %g of the time\n",
              options.endTime, options.arrivalRate, options.seed, warmFraction);
  for (Row& row : rows) {
    if (!RunModel(row.options, warmFraction, row.m)) return 1;
    const Measured& m = row.m;
    const double entities = static_cast<double>(m.entities);
    std::printf("\n%s\n", row.name);
    std::printf("  entities after warm-up          %llu\n", static_cast<unsigned long long>(m.entities));
    std::printf("  whole run                      %llu events\n",
                static_cast<unsigned long long>(m.eventsWholeRun));
    std::printf("  entities per second (warm)     %.0f\n", entities / m.seconds);
    std::printf("  general-allocator calls per entity, warm  %.6f  (%zu in total: malloc %zu, calloc %zu, "
                "realloc %zu, new %zu%s)\n",
                static_cast<double>(m.alloc.total()) / entities, m.alloc.total(), m.alloc.mallocCalls,
                m.alloc.callocCalls, m.alloc.reallocCalls, m.alloc.newCalls,
                alloc_counter::CountsCAllocator() ? "" : "; C allocator not counted");
    std::printf("  host-memory calls per entity, warm        %.6f  (%zu in total)\n",
                static_cast<double>(m.hostCalls) / entities, m.hostCalls);
  }

  // A hold-model event is one calendar step: take the earliest event, run
  // its handler, add it again. A customer needs several, plus the blocks'
  // and entities' work; instructions per customer come from callgrind
  // (bench/README.md gives the command). Events per customer are those of
  // the whole run (the driver counts no other way), time per customer that
  // of the warm stretch.
  std::printf("\nper customer, beside the hold model (one event per customer)\n");
  std::printf("  %-32s %18s %16s %14s\n", "model", "events/customer", "ns/customer", "ns/event");
  for (const Row& row : rows) {
    const double entities = static_cast<double>(row.m.entities);
    const double perCustomer = static_cast<double>(row.m.eventsWholeRun) /
                               static_cast<double>(row.m.entitiesWholeRun);
    const double ns = row.m.seconds * 1e9 / entities;
    std::printf("  %-32s %18.3f %16.0f %14.1f\n", row.name, perCustomer, ns, ns / perCustomer);
  }
  std::printf("  %-32s %18.3f %16s %14s\n", "hold model (bench_hold)", 1.0, "-", "-");
  return 0;
}
