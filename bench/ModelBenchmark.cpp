// Entities per second through the tarnwell command's default model (a
// queue with impatient customers: generator, timer, queue with patience
// timeouts, server, timer read, two sinks), and the calls the run makes to
// the general-purpose allocator and to the host memory service per entity
// once the model is warm.
//
//   build/release/bench/bench_model [--end-time T] [--arrival-rate L] [--warm-up F]
//
// The warm-up is the first fraction F (default one half) of the simulated
// time: by then the pools, the recycle lists, the calendars and the blocks'
// own lists have grown to the model's working size. A shorter warm-up still
// sees a few allocations: the queue and the timeout heap reaching lengths
// they never had before (with F = 0.1, 17 calls in about 800,000
// entities). The measured stretch is the rest of the run, up to the end
// time, before the engine terminates. The tallies behind the
// summary keep every observation; the benchmark reserves their room up
// front, as a long production run would.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/BuiltinModel.h"
#include "app/RunOptions.h"
#include "bench/AllocCounter.h"
#include "host/HostControl.h"
#include "host/ModelDriver.h"

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
  if (!(options.endTime > 0) || !(options.arrivalRate > 0) || !(warmFraction > 0 && warmFraction < 1)) {
    std::fprintf(stderr, "bench_model: end time and arrival rate must be positive, the warm-up in (0, 1)\n");
    return 2;
  }

  DriverConfig config;
  config.modelName = options.model;
  config.endTime = options.endTime;
  config.seed = options.seed;
  ModelDriver driver(config);
  BuiltinModel model(options, driver);
  model.ReserveObservations(static_cast<std::size_t>(options.arrivalRate * options.endTime * 1.2) + 1000);

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
    return 1;
  }

  const alloc_counter::Counts d = alloc_counter::Difference(allocEnd, allocWarm);
  const double entities = static_cast<double>(entitiesEnd - entitiesWarm);
  const double seconds = std::chrono::duration<double>(wallEnd - wallWarm).count();
  std::printf("bench_model: default model, end time %g, arrival rate %g, seed %d\n", options.endTime,
              options.arrivalRate, options.seed);
  std::printf("  entities through the model     %llu (%llu after warm-up at t = %g)\n",
              static_cast<unsigned long long>(model.Generated()),
              static_cast<unsigned long long>(entitiesEnd - entitiesWarm), warmTime);
  std::printf("  whole run                      %llu events in %.3f s\n",
              static_cast<unsigned long long>(report.eventsExecuted), report.wallSeconds);
  std::printf("  entities per second (warm)     %.0f\n", entities / seconds);
  std::printf("  events per second (whole run)  %.0f\n",
              static_cast<double>(report.eventsExecuted) / report.wallSeconds);
  std::printf("  general-allocator calls per entity, warm  %.6f  (%zu in total: malloc %zu, calloc %zu, "
              "realloc %zu, new %zu%s)\n",
              static_cast<double>(d.total()) / entities, d.total(), d.mallocCalls, d.callocCalls,
              d.reallocCalls, d.newCalls, alloc_counter::CountsCAllocator() ? "" : "; C allocator not counted");
  std::printf("  host-memory calls per entity, warm        %.6f  (%zu in total)\n",
              static_cast<double>(hostEnd - hostWarm) / entities, hostEnd - hostWarm);
  return 0;
}
