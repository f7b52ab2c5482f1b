// Hold-model benchmark of the event calendar.
//
// The hold model keeps n events pending; executing one schedules exactly one
// new event at now + Uniform[0, 2). The handler reuses the executed event (new
// time, added again), as blocks do, so the measured steady state neither
// creates nor destroys events. The engine is driven through its real run loop:
// storage type 3 through Des (Initialize, Start, StartCalendar, then
// Des::ExecuteEvents at the next event time); storage types 0 to 2 through the
// calendar factories, InitCalendar and the calendar's own ExecuteEvents and
// GetNextEventTime, which is what Des forwards to. The baseline is a bare
// std::priority_queue of (time, priority, sequence) records fed by the same
// random stream.
//
// A cancel-heavy variant executes one event, cancels a random pending one and
// schedules both again, so that each executed event costs one removal of the
// earliest event, one cancellation and two insertions.
//
// Usage:
//   bench_hold                          full table (hold and cancel-heavy),
//                                       allocation counts
//   bench_hold --quick                  smaller sizes and windows (smoke test)
//   bench_hold --verify                 every configuration executes the same
//                                       events in the same order (exit 1 if not)
//   bench_hold --only CONFIG --n N --events M [--variant hold|cancel]
//       one configuration, n pending events, a warm-up of min(M, max(n,
//       10000)) events, then exactly one measured region of M events inside
//       the function tw_bench_measured (for callgrind). CONFIG is baseline or
//       typeS-det / typeS-rnd with S in 0..3.
//
// Instruction counts per event (engine vs. baseline at n = 1000), each
// command on one line:
//   valgrind --tool=callgrind --toggle-collect=tw_bench_measured
//       --callgrind-out-file=cg.type3-det
//       ./bench/bench_hold --only type3-det --n 1000 --events 200000
//   valgrind --tool=callgrind --toggle-collect=tw_bench_measured
//       --callgrind-out-file=cg.baseline
//       ./bench/bench_hold --only baseline --n 1000 --events 200000
//   callgrind_annotate cg.type3-det | head -40
// With --toggle-collect only the measured region is counted: divide the
// "PROGRAM TOTALS" Ir by the events executed that the program prints. As a
// cross-check without toggling, run each configuration with --events 200000
// and --events 400000 and divide the difference of the totals by 200000.
#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <queue>
#include <string>
#include <vector>

#include "bench/AllocCounter.h"
#include "host/HostControl.h"
#include "kernel/Des.h"
#include "kernel/DesEvent.h"
#include "kernel/EventCalendarBase.h"
#include "kernel/EventCalendarFactory.h"
#include "kernel/NodeInterface.h"
#include "support/PMException.h"

// The only code callgrind counts with --toggle-collect=tw_bench_measured.
// noipa (g++) keeps the compiler from cloning it under another name (a
// constant-propagated copy would not be matched by the toggle); clang
// clones nothing that is not inlined.
#if defined(__clang__)
#define TW_BENCH_NO_CLONE __attribute__((noinline))
#else
#define TW_BENCH_NO_CLONE __attribute__((noipa))
#endif
extern "C" TW_BENCH_NO_CLONE void tw_bench_measured(void (*body)(void*), void* context) {
  body(context);
}

namespace {

using Clock = std::chrono::steady_clock;

// ------------------------------------------------------------------ random

// splitmix64: cheap, and the same sequence for the engine and the baseline.
struct Random {
  uint64_t state;
  explicit Random(uint64_t seed) : state(seed) {}
  uint64_t NextBits() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform on [0, 2).
  double Hold() { return static_cast<double>(NextBits() >> 11) * 0x1.0p-52; }
  // Uniform on [0, n).
  std::size_t Below(std::size_t n) {
    return static_cast<std::size_t>((static_cast<unsigned __int128>(NextBits()) * n) >> 64);
  }
};

constexpr uint64_t kStreamSeed = 0x7A3E5C1D2B4F6081ull;
constexpr int kCalendarSeed = 12345;
constexpr uint64_t kMaxEventsAtTimeStep = 1000000000ull;

// ------------------------------------------------------------------ configurations

enum class Variant { Hold, Cancel };

struct Config {
  std::string name;
  bool baseline;
  int storage;   // 0..3
  int handling;  // 0 deterministic, 1 randomised
};

std::vector<Config> AllConfigs() {
  std::vector<Config> out;
  out.push_back({"baseline", true, -1, -1});
  for (int s = 0; s <= 3; ++s)
    for (int h = 0; h <= 1; ++h)
      out.push_back({"type" + std::to_string(s) + (h == 0 ? "-det" : "-rnd"), false, s, h});
  return out;
}

// Largest n that a configuration runs at; larger cells print as skipped.
// Storage type 1 inserts in linear time: filling it with n events is
// quadratic, so it stops at 10,000. Storage type 0 cancels by rebuilding the
// whole heap, and storage type 1 cannot be filled with a million events in
// reasonable time, so the cancel-heavy variant bounds those too.
std::size_t SizeCap(const Config& c, Variant v) {
  if (c.baseline) return SIZE_MAX;
  if (c.storage == 1) return 10000;
  if (c.storage == 0 && v == Variant::Cancel) return 1000000;
  return SIZE_MAX;
}

// ------------------------------------------------------------------ workloads

// A workload: filled with n events at construction, RunEvents executes at
// least the given number of events and returns how many it executed.
class Workload {
 public:
  virtual ~Workload() = default;
  virtual uint64_t RunEvents(uint64_t count) = 0;
  // Sum of the times of the executed events: equal sums from two workloads
  // fed by the same stream mean they executed the same events in the same
  // order (to the precision of a checksum).
  virtual double TimeChecksum() const = 0;
};

// The bare priority queue the engine is compared with.
class BaselineWorkload : public Workload {
 public:
  struct Entry {
    double time;
    int32_t priority;
    uint32_t sequence;
  };
  struct Later {
    bool operator()(const Entry& a, const Entry& b) const {
      if (a.time != b.time) return a.time > b.time;
      if (a.priority != b.priority) return a.priority > b.priority;
      return a.sequence > b.sequence;
    }
  };

  explicit BaselineWorkload(std::size_t n) : random(kStreamSeed) {
    std::vector<Entry> initial;
    initial.reserve(n);
    for (std::size_t i = 0; i < n; ++i) initial.push_back({random.Hold(), 0, nextSequence++});
    queue = std::priority_queue<Entry, std::vector<Entry>, Later>(Later(), std::move(initial));
  }

  uint64_t RunEvents(uint64_t count) override {
    for (uint64_t i = 0; i < count; ++i) {
      Entry e = queue.top();
      queue.pop();
      checksum += e.time;
      e.time += random.Hold();
      e.sequence = nextSequence++;
      queue.push(e);
    }
    return count;
  }

  double TimeChecksum() const override { return checksum; }

 private:
  Random random;
  double checksum = 0.0;
  uint32_t nextSequence = 0;
  std::priority_queue<Entry, std::vector<Entry>, Later> queue;
};

// Where a block schedules and cancels: the engine (storage type 3, as the host
// runs it) or a calendar made by a factory (the other storage types).
struct EngineSink {
  Des* des;
  void Add(DesEvent* e) { des->AddEvt(e); }
  void Delete(DesEvent* e) { des->DeleteEvt(e); }
};
struct CalendarSink {
  EventCalendarBase* calendar;
  void Add(DesEvent* e) { calendar->AddEvt(e); }
  void Delete(DesEvent* e) { calendar->DeleteEvt(e); }
};

// The block whose events are held. Hold: the executed event goes back at
// now + U[0, 2). Cancel: additionally a random other pending event is
// cancelled and scheduled again at now + U[0, 2); every event but the one
// executing is pending, so any other event of the block is a valid victim.
template <class Sink>
class HoldBlock : public NodeInterface {
 public:
  HoldBlock(Des* engine, Sink s, Variant v) : sink(s), variant(v), random(kStreamSeed) {
    SetDesInstance(engine);
    SetEventType("Hold");
  }

  MSGRespEvent DoProcessEvent(DesEvent* e) override {
    ++executed;
    const double now = e->GetTime();
    checksum += now;
    e->SetTime(now + random.Hold());
    sink.Add(e);
    if (variant == Variant::Cancel) {
      std::size_t i = random.Below(events.size());
      DesEvent* victim = events[i];
      if (victim == e) victim = events[i + 1 < events.size() ? i + 1 : 0];
      sink.Delete(victim);
      victim->SetTime(now + random.Hold());
      sink.Add(victim);
    }
    return MSGRespEvent();
  }

  Sink sink;
  Variant variant;
  Random random;
  uint64_t executed = 0;
  double checksum = 0.0;
  // Every event of the block (all pending between handlers), kept for the
  // cancel-heavy variant's victims only: the hold variant keeps nothing per
  // event beside the calendar, so that its bytes per pending event are the
  // engine's.
  std::vector<DesEvent*> events;
};

class EngineWorkload : public Workload {
 public:
  EngineWorkload(const Config& c, Variant v, std::size_t n) : config(c) {
    des = new Des();
    des->Initialize();
    des->Start();
    // Separate event and timeout calendars, the host's usual setting; the
    // hold model schedules no timeouts, so the timeout calendar stays idle.
    des->StartCalendar(c.handling, 0, kCalendarSeed, 0, kMaxEventsAtTimeStep);
    viaEngine = (c.storage == 3);
    if (viaEngine) {
      engineBlock = new HoldBlock<EngineSink>(des, EngineSink{des}, v);
      Fill(*engineBlock, n);
    } else {
      calendar = c.handling == 0 ? NewDeterministicEventCalendar(c.storage, kMaxEventsAtTimeStep, des)
                                 : NewRandomizedEventCalendar(c.storage, kMaxEventsAtTimeStep, des);
      if (calendar == nullptr) {
        std::fprintf(stderr, "no calendar for storage type %d\n", c.storage);
        std::exit(2);
      }
      calendar->InitCalendar(kCalendarSeed);
      calendarBlock = new HoldBlock<CalendarSink>(des, CalendarSink{calendar}, v);
      Fill(*calendarBlock, n);
    }
  }

  ~EngineWorkload() override {
    // Every event is pending between calls: the calendar that holds them
    // destroys them at termination.
    if (calendar != nullptr) calendar->TerminateCalendar();
    des->Terminate();
    delete engineBlock;
    delete calendarBlock;
    delete des;
  }

  uint64_t RunEvents(uint64_t count) override {
    return viaEngine ? Run(*engineBlock, count) : Run(*calendarBlock, count);
  }

  double TimeChecksum() const override {
    return viaEngine ? engineBlock->checksum : calendarBlock->checksum;
  }

 private:
  template <class Sink>
  void Fill(HoldBlock<Sink>& block, std::size_t n) {
    const bool keep = block.variant == Variant::Cancel;
    if (keep) block.events.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
      DesEvent* e = new DesEvent(block.random.Hold(), 0, &block, nullptr);
      if (keep) block.events.push_back(e);
      block.sink.Add(e);
    }
    next = viaEngine ? des->GetDesNextTime(0.0) : calendar->GetNextEventTime(0.0);
  }

  template <class Sink>
  uint64_t Run(HoldBlock<Sink>& block, uint64_t count) {
    const uint64_t start = block.executed;
    const uint64_t stop = start + count;
    double t = next;
    if (viaEngine) {
      while (block.executed < stop) t = des->ExecuteEvents(t, t, true);
    } else {
      while (block.executed < stop) {
        calendar->ExecuteEvents(t, true);
        t = calendar->GetNextEventTime(t);
      }
    }
    next = t;
    return block.executed - start;
  }

  Config config;
  Des* des = nullptr;
  EventCalendarBase* calendar = nullptr;
  bool viaEngine = false;
  HoldBlock<EngineSink>* engineBlock = nullptr;
  HoldBlock<CalendarSink>* calendarBlock = nullptr;
  double next = 0.0;
};

// The cancel-heavy baseline: a bare indexed binary heap of 24-byte records
// and a position array indexed by event number, the least a cancellable
// calendar must keep. It draws from the stream exactly as the engine's block
// does (new time of the executed event, victim, victim's new time), so both
// execute the same events in the same order.
class CancelBaselineWorkload : public Workload {
 public:
  explicit CancelBaselineWorkload(std::size_t n) : random(kStreamSeed), position(n) {
    heap.reserve(n);
    for (std::size_t i = 0; i < n; ++i) Push({random.Hold(), nextSequence++, static_cast<uint32_t>(i)});
  }

  uint64_t RunEvents(uint64_t count) override {
    const std::size_t n = position.size();
    for (uint64_t k = 0; k < count; ++k) {
      Entry e = heap[0];
      RemoveAt(0);
      const double now = e.time;
      checksum += now;
      Push({now + random.Hold(), nextSequence++, e.id});
      std::size_t victim = random.Below(n);
      if (victim == e.id) victim = victim + 1 < n ? victim + 1 : 0;
      RemoveAt(position[victim]);
      Push({now + random.Hold(), nextSequence++, static_cast<uint32_t>(victim)});
    }
    return count;
  }

  double TimeChecksum() const override { return checksum; }

 private:
  struct Entry {
    double time;
    uint64_t sequence;
    uint32_t id;
  };
  static bool Before(const Entry& a, const Entry& b) {
    return a.time != b.time ? a.time < b.time : a.sequence < b.sequence;
  }
  void Place(std::size_t i, const Entry& e) {
    heap[i] = e;
    position[e.id] = static_cast<uint32_t>(i);
  }
  void SiftUp(std::size_t i, Entry e) {
    while (i > 0) {
      const std::size_t p = (i - 1) / 2;
      if (!Before(e, heap[p])) break;
      Place(i, heap[p]);
      i = p;
    }
    Place(i, e);
  }
  void SiftDown(std::size_t i, Entry e) {
    const std::size_t size = heap.size();
    for (;;) {
      std::size_t c = 2 * i + 1;
      if (c >= size) break;
      if (c + 1 < size && Before(heap[c + 1], heap[c])) ++c;
      if (!Before(heap[c], e)) break;
      Place(i, heap[c]);
      i = c;
    }
    Place(i, e);
  }
  void Push(const Entry& e) {
    heap.push_back(e);
    SiftUp(heap.size() - 1, e);
  }
  void RemoveAt(std::size_t i) {
    const Entry last = heap.back();
    heap.pop_back();
    if (i == heap.size()) return;
    if (i > 0 && Before(last, heap[(i - 1) / 2]))
      SiftUp(i, last);
    else
      SiftDown(i, last);
  }

  Random random;
  double checksum = 0.0;
  uint64_t nextSequence = 0;
  std::vector<Entry> heap;
  std::vector<uint32_t> position;
};

Workload* MakeWorkload(const Config& c, Variant v, std::size_t n) {
  if (c.baseline && v == Variant::Cancel) return new CancelBaselineWorkload(n);
  if (c.baseline) return new BaselineWorkload(n);
  return new EngineWorkload(c, v, n);
}

// ------------------------------------------------------------------ measurement

struct Window {
  uint64_t events = 0;
  double seconds = 0.0;
  alloc_counter::Counts general;
  std::size_t hostCalls = 0;
};

struct RegionArgs {
  Workload* workload;
  uint64_t count;
  uint64_t executed;
};

void RunRegion(void* p) {
  RegionArgs* a = static_cast<RegionArgs*>(p);
  a->executed = a->workload->RunEvents(a->count);
}

Window Measure(Workload& w, uint64_t count) {
  Window out;
  RegionArgs args{&w, count, 0};
  const alloc_counter::Counts before = alloc_counter::Snapshot();
  const std::size_t hostBefore = host::allocationCalls();
  const Clock::time_point t0 = Clock::now();
  tw_bench_measured(&RunRegion, &args);
  const Clock::time_point t1 = Clock::now();
  out.hostCalls = host::allocationCalls() - hostBefore;
  out.general = alloc_counter::Difference(alloc_counter::Snapshot(), before);
  out.events = args.executed;
  out.seconds = std::chrono::duration<double>(t1 - t0).count();
  return out;
}

struct CellResult {
  bool skipped = true;
  double rate = 0.0;  // median events per second
  uint64_t eventsPerWindow = 0;
  int windows = 0;
  double generalPerEvent = 0.0;  // over all windows
  double hostPerEvent = 0.0;
};

struct Budget {
  double windowSeconds;     // aimed-at length of one measured window
  double warmupSeconds;     // cap on the warm-up
  uint64_t maxWindowEvents;
  int windows;
};

CellResult RunCell(const Config& c, Variant v, std::size_t n, const Budget& b) {
  CellResult r;
  if (n > SizeCap(c, v)) return r;
  Workload* w = MakeWorkload(c, v, n);

  // Warm-up: at least n events (every event has moved once) up to a time cap,
  // in growing steps; its rate sizes the measured windows.
  uint64_t warmed = 0;
  uint64_t step = 64;
  double warmSeconds = 0.0;
  const uint64_t warmTarget = std::max<uint64_t>(n, 10000);
  while (warmed < warmTarget && warmSeconds < b.warmupSeconds) {
    Window ww = Measure(*w, step);
    warmed += ww.events;
    warmSeconds += ww.seconds;
    step = std::min<uint64_t>(step * 2, warmTarget);
  }
  const double warmRate = warmSeconds > 0 ? static_cast<double>(warmed) / warmSeconds : 1e9;
  uint64_t perWindow = static_cast<uint64_t>(warmRate * b.windowSeconds);
  perWindow = std::max<uint64_t>(1, std::min<uint64_t>(perWindow, b.maxWindowEvents));

  std::vector<double> rates;
  uint64_t events = 0;
  std::size_t general = 0;
  std::size_t hostCalls = 0;
  for (int i = 0; i < b.windows; ++i) {
    Window m = Measure(*w, perWindow);
    rates.push_back(static_cast<double>(m.events) / m.seconds);
    events += m.events;
    general += m.general.total();
    hostCalls += m.hostCalls;
  }
  delete w;

  std::sort(rates.begin(), rates.end());
  r.skipped = false;
  r.rate = rates[rates.size() / 2];
  r.eventsPerWindow = perWindow;
  r.windows = b.windows;
  r.generalPerEvent = static_cast<double>(general) / static_cast<double>(events);
  r.hostPerEvent = static_cast<double>(hostCalls) / static_cast<double>(events);
  return r;
}

std::string Rate(double r) {
  char buf[32];
  if (r >= 1e6)
    std::snprintf(buf, sizeof buf, "%.2fM", r / 1e6);
  else if (r >= 1e3)
    std::snprintf(buf, sizeof buf, "%.1fk", r / 1e3);
  else
    std::snprintf(buf, sizeof buf, "%.0f", r);
  return buf;
}

std::string SizeLabel(std::size_t n) {
  if (n >= 1000000 && n % 1000000 == 0) return std::to_string(n / 1000000) + "M";
  if (n >= 1000 && n % 1000 == 0) return std::to_string(n / 1000) + "k";
  return std::to_string(n);
}

// One row per configuration, one column per n: the median rate and, for
// every row but the baseline (row 0), its ratio to the baseline at that n.
// With `scaling`, a last column gives the row's rate at the largest n over
// its rate at the smallest.
void PrintRateTable(const char* caption, const std::vector<Config>& configs,
                    const std::vector<std::size_t>& sizes,
                    const std::vector<std::vector<CellResult>>& cells, bool scaling) {
  std::printf("\n%s\n\n%-10s", caption, "config");
  for (std::size_t n : sizes) std::printf(" %16s", ("n=" + SizeLabel(n)).c_str());
  if (scaling) std::printf(" %10s", "scaling");
  std::printf("\n");
  for (std::size_t ci = 0; ci < configs.size(); ++ci) {
    std::printf("%-10s", configs[ci].name.c_str());
    for (std::size_t si = 0; si < sizes.size(); ++si) {
      const CellResult& r = cells[ci][si];
      const CellResult& base = cells[0][si];
      char buf[48];
      if (r.skipped)
        std::snprintf(buf, sizeof buf, "skipped");
      else if (ci == 0 || base.skipped)
        std::snprintf(buf, sizeof buf, "%s", Rate(r.rate).c_str());
      else
        std::snprintf(buf, sizeof buf, "%s (%.2f)", Rate(r.rate).c_str(), r.rate / base.rate);
      std::printf(" %16s", buf);
    }
    if (scaling) {
      const CellResult& lo = cells[ci].front();
      const CellResult& hi = cells[ci].back();
      if (lo.skipped || hi.skipped)
        std::printf(" %10s", "-");
      else
        std::printf(" %10.3f", hi.rate / lo.rate);
    }
    std::printf("\n");
  }
}

void PrintAllocTable(const char* title, const std::vector<Config>& configs,
                     const std::vector<std::size_t>& sizes,
                     const std::vector<std::vector<CellResult>>& cells) {
  std::printf("\n%s: allocation calls per executed event in the measured windows,\n"
              "general allocator (malloc, calloc, realloc, operator new) / host memory\n"
              "service (hostCalloc).\n\n%-10s",
              title, "config");
  for (std::size_t n : sizes) std::printf(" %16s", ("n=" + SizeLabel(n)).c_str());
  std::printf("\n");
  for (std::size_t ci = 0; ci < configs.size(); ++ci) {
    std::printf("%-10s", configs[ci].name.c_str());
    for (std::size_t si = 0; si < sizes.size(); ++si) {
      const CellResult& r = cells[ci][si];
      char buf[48];
      if (r.skipped)
        std::snprintf(buf, sizeof buf, "-");
      else
        std::snprintf(buf, sizeof buf, "%.3g / %.3g", r.generalPerEvent, r.hostPerEvent);
      std::printf(" %16s", buf);
    }
    std::printf("\n");
  }
}

// ------------------------------------------------------------------ driver

struct Options {
  bool quick = false;
  bool verify = false;
  std::string only;
  std::size_t n = 1000;
  uint64_t events = 200000;
  Variant variant = Variant::Hold;
  int windows = 5;
};

[[noreturn]] void Usage() {
  std::fprintf(stderr,
               "usage: bench_hold [--quick] [--windows K]\n"
               "       bench_hold --verify\n"
               "       bench_hold --only CONFIG [--n N] [--events M] [--variant hold|cancel]\n"
               "CONFIG: baseline, type0-det, type0-rnd, ..., type3-det, type3-rnd\n");
  std::exit(2);
}

Options Parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) Usage();
      return argv[++i];
    };
    if (a == "--quick") {
      o.quick = true;
    } else if (a == "--verify") {
      o.verify = true;
    } else if (a == "--only") {
      o.only = value();
    } else if (a == "--n") {
      o.n = std::strtoull(value().c_str(), nullptr, 10);
    } else if (a == "--events") {
      o.events = std::strtoull(value().c_str(), nullptr, 10);
    } else if (a == "--windows") {
      o.windows = std::atoi(value().c_str());
    } else if (a == "--variant") {
      std::string v = value();
      if (v == "hold")
        o.variant = Variant::Hold;
      else if (v == "cancel")
        o.variant = Variant::Cancel;
      else
        Usage();
    } else {
      Usage();
    }
  }
  if (o.windows < 1 || o.n < 2) Usage();
  return o;
}

int RunOnly(const Options& o) {
  const std::vector<Config> configs = AllConfigs();
  const Config* c = nullptr;
  for (const Config& k : configs)
    if (k.name == o.only) c = &k;
  if (c == nullptr) Usage();
  Workload* w = MakeWorkload(*c, o.variant, o.n);
  w->RunEvents(std::min<uint64_t>(o.events, std::max<uint64_t>(o.n, 10000)));
  Window m = Measure(*w, o.events);
  delete w;
  std::printf("%s %s n=%zu: executed %" PRIu64 " events in the measured region, %.3f s, %s/s; "
              "general allocator calls %zu, hostCalloc calls %zu\n",
              c->name.c_str(), o.variant == Variant::Hold ? "hold" : "cancel", o.n, m.events,
              m.seconds, Rate(static_cast<double>(m.events) / m.seconds).c_str(),
              m.general.total(), m.hostCalls);
  return 0;
}

// Every configuration must execute the same events in the same order as the
// baseline of its variant: compared through the checksum of executed times,
// which the same order of additions makes bit-identical.
int RunVerify() {
  const std::vector<Config> configs = AllConfigs();
  const uint64_t events = 20000;
  int failures = 0;
  for (Variant v : {Variant::Hold, Variant::Cancel}) {
    for (std::size_t n : {std::size_t{10}, std::size_t{1000}}) {
      const Config& reference = configs[0];
      Workload* ref = MakeWorkload(reference, v, n);
      ref->RunEvents(events);
      const double expected = ref->TimeChecksum();
      delete ref;
      for (const Config& c : configs) {
        if (c.baseline) continue;
        Workload* w = MakeWorkload(c, v, n);
        const uint64_t executed = w->RunEvents(events);
        const double got = w->TimeChecksum();
        delete w;
        const bool ok = executed == events && got == expected;
        if (!ok) ++failures;
        std::printf("%-6s n=%-5zu %-10s vs %-9s %s (executed %" PRIu64 ", checksum %.17g, expected %.17g)\n",
                    v == Variant::Hold ? "hold" : "cancel", n, c.name.c_str(),
                    reference.name.c_str(), ok ? "ok" : "MISMATCH", executed, got, expected);
      }
    }
  }
  std::printf("%s\n", failures == 0 ? "all configurations agree" : "configurations disagree");
  return failures == 0 ? 0 : 1;
}

// cells[config][size index].
std::vector<std::vector<CellResult>> RunTable(const std::vector<Config>& configs, Variant v,
                                              const std::vector<std::size_t>& sizes,
                                              const Budget& budget) {
  std::vector<std::vector<CellResult>> cells(configs.size());
  for (std::size_t ci = 0; ci < configs.size(); ++ci)
    for (std::size_t n : sizes) {
      Budget b = budget;
      // Storage type 0 rebuilds the heap per cancellation: keep its windows few.
      if (v == Variant::Cancel && configs[ci].storage == 0 && n > 100000) b.windows = 3;
      cells[ci].push_back(RunCell(configs[ci], v, n, b));
      std::fflush(stdout);
    }
  return cells;
}

int RunAll(const Options& o) {
  const std::vector<Config> configs = AllConfigs();
  const std::vector<std::size_t> sizes =
      o.quick ? std::vector<std::size_t>{10, 1000, 100000}
              : std::vector<std::size_t>{10, 100, 1000, 10000, 100000, 1000000};
  const Budget budget = o.quick ? Budget{0.03, 0.05, 200000, 3}
                                : Budget{0.25, 1.0, 20000000, o.windows};

  std::printf("Tarnwell hold-model benchmark\n"
              "windows per cell: %d (median reported); window length aimed at %.2f s;\n"
              "warm-up per cell: max(n, 10000) events or %.1f s, whichever comes first\n"
              "storage type 1 (sorted list, linear insertion) is capped at n = %zu;\n"
              "C allocator counted: %s\n",
              budget.windows, budget.windowSeconds, budget.warmupSeconds,
              SizeCap(configs[3], Variant::Hold),
              alloc_counter::CountsCAllocator() ? "yes" : "no (sanitizer build)");

  // Priming: one pass over every configuration at a small size, discarded,
  // so that code, pools and the host's free lists are warm.
  {
    const Budget priming{0.02, 0.02, 100000, 1};
    for (const Config& c : configs) RunCell(c, Variant::Hold, 1000, priming);
  }

  const std::vector<std::vector<CellResult>> hold = RunTable(configs, Variant::Hold, sizes, budget);
  PrintRateTable("Hold model: events per second (median of the windows) and, in brackets,\n"
                 "the ratio to the baseline's rate at the same n.",
                 configs, sizes, hold, false);
  PrintAllocTable("Hold model", configs, sizes, hold);

  // Cancel-heavy: the baseline, then one row per storage type and handling
  // type; each row ends with its own rate at the largest n over its rate at
  // the smallest.
  const std::vector<std::size_t> cancelSizes =
      o.quick ? std::vector<std::size_t>{1000, 100000} : std::vector<std::size_t>{1000, 1000000};
  const std::vector<std::vector<CellResult>> cancel =
      RunTable(configs, Variant::Cancel, cancelSizes, budget);
  PrintRateTable("Cancel-heavy: each executed event cancels a random pending event and\n"
                 "schedules two. The baseline is a bare indexed binary heap. Events per\n"
                 "second (median), in brackets the ratio to the baseline at the same n; the\n"
                 "last column is the row's rate at the largest n over its rate at the\n"
                 "smallest.",
                 configs, cancelSizes, cancel, true);
  std::printf("(storage type 1 is capped at n = 10,000; storage type 0 cancels by\n"
              "rebuilding its heap, so its largest cell runs few events per window)\n");
  PrintAllocTable("Cancel-heavy", configs, cancelSizes, cancel);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const Options o = Parse(argc, argv);
  try {
    if (o.verify) return RunVerify();
    return o.only.empty() ? RunAll(o) : RunOnly(o);
  } catch (PMException* e) {
    std::fprintf(stderr, "bench_hold: engine error: %s\n", e->getMessage());
    delete e;
    return 1;
  }
}
