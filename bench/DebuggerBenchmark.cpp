// bench_debugger: what an attached debugger costs when nothing shows.
//
// The hold model of bench_hold (n events pending through Des, storage type
// 3, deterministic handling; each executed event goes back at now +
// U[0, 2)) runs twice in one process: without a debugger, and with one
// whose switches are all off, stepping off and no user breakpoint. The
// second still builds every scheduling and execution record, because the
// state view follows every operation. Each mode warms up, then runs K
// windows of about 0.25 s; the median window's events per second is
// printed with the ratio of the two.
//
//   bench_debugger [--n N] [--windows K]
//   bench_debugger --only plain|debugger [--n N] [--events M]
//       one measured region of M events inside tw_bench_measured, for
//       callgrind (--toggle-collect=tw_bench_measured), as in bench_hold.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/HostControl.h"
#include "tarnwell.h"

// Not cloned under another name, so that callgrind's toggle finds it.
#if defined(__clang__)
#define TW_BENCH_KEEP __attribute__((noinline))
#else
#define TW_BENCH_KEEP __attribute__((noipa))
#endif
extern "C" TW_BENCH_KEEP void tw_bench_measured(void (*body)(void*), void* context) {
  body(context);
}

namespace {

using Clock = std::chrono::steady_clock;

struct Random {  // splitmix64, as bench_hold
  uint64_t state;
  double Hold() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return static_cast<double>((z ^ (z >> 31)) >> 11) * 0x1.0p-52;
  }
};

class HoldBlock : public NodeInterface {
 public:
  explicit HoldBlock(Des* engine) {
    SetDesInstance(engine);
    SetEventType("Hold");
  }
  const char* GetBlkParentName() const override { return "bench/Hold"; }
  std::string getFieldAsString(const char*) const override { return "bench/Hold"; }
  MSGRespEvent DoProcessEvent(DesEvent* e) override {
    ++executed;
    e->SetTime(e->GetTime() + random.Hold());
    GetDesInstance()->AddEvt(e);
    return MSGRespEvent();
  }
  Random random{0x7A3E5C1D2B4F6081ull};
  uint64_t executed = 0;
};

class Model {
 public:
  Model(bool debugged, std::size_t n) : block(nullptr) {
    des.Initialize();
    des.Start();
    des.StartCalendar(0, 0, 12345, 0, 1000000000ull);
    if (debugged) {
      des.StartDebugger("bench");
      des.GetEventCalendar()->InitCalendarLoggers();
      des.GetDebugger()->GetLogController()->DisableAllLogging();
      des.GetDebugger()->GetBreakPointManager()->SetSingleSteppingEnabled(false);
    }
    block = new HoldBlock(&des);
    for (std::size_t i = 0; i < n; ++i) des.AddEvt(new DesEvent(block->random.Hold(), 0, block, nullptr));
    next = des.GetDesNextTime(0.0);
  }
  ~Model() {
    des.Terminate();  // destroys the pending events
    delete block;
  }
  uint64_t Run(uint64_t count) {
    const uint64_t stop = block->executed + count;
    while (block->executed < stop) next = des.ExecuteEvents(next, next, true);
    return count;
  }

 private:
  Des des;
  HoldBlock* block;
  double next = 0.0;
};

struct Region {
  Model* model;
  uint64_t count;
};

void RunRegion(void* p) {
  Region* r = static_cast<Region*>(p);
  r->model->Run(r->count);
}

double EventsPerSecond(Model& m, uint64_t count) {
  Region region{&m, count};
  const Clock::time_point t0 = Clock::now();
  tw_bench_measured(&RunRegion, &region);
  return static_cast<double>(count) / std::chrono::duration<double>(Clock::now() - t0).count();
}

// Median of K windows of about 0.25 s, after a warm-up of about 0.25 s.
double Measure(bool debugged, std::size_t n, int windows) {
  Model model(debugged, n);
  uint64_t batch = 1000;
  while (true) {  // size the window (also the warm-up)
    const double rate = EventsPerSecond(model, batch);
    if (static_cast<double>(batch) / rate >= 0.25) break;
    batch = static_cast<uint64_t>(rate * 0.3) + 1;
  }
  std::vector<double> rates;
  for (int i = 0; i < windows; ++i) rates.push_back(EventsPerSecond(model, batch));
  std::sort(rates.begin(), rates.end());
  return rates[rates.size() / 2];
}

[[noreturn]] void Usage() {
  std::fprintf(stderr,
               "usage: bench_debugger [--n N] [--windows K]\n"
               "       bench_debugger --only plain|debugger [--n N] [--events M]\n");
  std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t n = 1000;
  int windows = 5;
  uint64_t events = 200000;
  std::string only;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (i + 1 >= argc) Usage();
    const char* v = argv[++i];
    if (a == "--n")
      n = std::strtoull(v, nullptr, 10);
    else if (a == "--windows")
      windows = std::atoi(v);
    else if (a == "--events")
      events = std::strtoull(v, nullptr, 10);
    else if (a == "--only")
      only = v;
    else
      Usage();
  }
  if (n < 1 || windows < 1 || (!only.empty() && only != "plain" && only != "debugger")) Usage();
  Des::InitMsgContext();
  DesEntity::createTypeMap();
  if (!only.empty()) {
    Model model(only == "debugger", n);
    model.Run(std::min<uint64_t>(events, 10000));  // warm-up
    Region region{&model, events};
    tw_bench_measured(&RunRegion, &region);
    std::printf("%s: %llu events\n", only.c_str(), static_cast<unsigned long long>(events));
    return 0;
  }
  const double plain = Measure(false, n, windows);
  const double debugged = Measure(true, n, windows);
  std::printf("hold model, n = %zu, median of %d windows\n", n, windows);
  std::printf("  no debugger          %12.0f events/s\n", plain);
  std::printf("  debugger, all off    %12.0f events/s\n", debugged);
  std::printf("  cost ratio           %12.2f x\n", plain / debugged);
  return 0;
}
