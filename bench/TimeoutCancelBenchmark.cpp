// Cost of cancelling one scheduled timeout among n, through the engine.
//
// The engine keeps its timeouts in timeout storage 0, a heap in which every
// timeout records its place: cancelling one sifts from that place, about
// log n comparisons and no memory. (It used to rebuild the whole heap, n log
// n comparisons and a fresh vector per cancellation.) This program measures
// that.
//
// Set-up per size n: an engine with separate event and timeout calendars
// (deterministic handling), n entities each held on an event of a holding
// block, each with one timeout scheduled at a random deadline in [1, 2).
// Measured step: Des::ProcessTimeoutDataRemoval of a uniformly chosen
// scheduled timeout (one that is not the earliest, so that only the
// collection's removal is timed, not the move of the shared timeout event).
// The timeout is then scheduled again at a new random deadline (not timed),
// so n stays constant. Each size runs until 0.5 s of measured time or
// 200,000 cancellations, after 20 untimed ones.
//
// Usage: bench_timeout_cancel [--quick]
//   --quick   sizes 100 and 1,000 only, 0.05 s each (smoke test)
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "entity/DesEntity.h"
#include "entity/EntityList.h"
#include "kernel/Des.h"
#include "kernel/DesEvent.h"
#include "kernel/NodeInterface.h"
#include "kernel/TimeoutData.h"

namespace {

class HoldingBlock : public NodeInterface {
 public:
  explicit HoldingBlock(Des* engine) { SetDesInstance(engine); }
};

struct Result {
  std::size_t n;
  std::size_t cancels;
  double nsPerCancel;
};

Result Measure(std::size_t n, double seconds) {
  Des engine;
  engine.Initialize();
  engine.Start();
  engine.StartCalendar(0, 0, 0, 0, 1000000);
  HoldingBlock block(&engine);
  std::mt19937_64 random(12345);
  std::uniform_real_distribution<double> deadline(1.0, 2.0);

  std::vector<DesEvent*> carriers;
  std::vector<TimeoutData*> timeouts;
  carriers.reserve(n);
  timeouts.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    DesEntity* entity = engine.GetEntityList()->CloneEntity("DefaultEntity", false);
    DesEvent* carrier = new DesEvent(0.0, 0, &block, entity);
    const double t = deadline(random);
    TimeoutData* td = entity->CreateTimeout("renege", t, 0, &block, carrier, 1);
    engine.ProcessTimeoutDataAddition(td);
    carriers.push_back(carrier);
    timeouts.push_back(td);
  }

  std::uniform_int_distribution<std::size_t> pick(0, n - 1);
  using Clock = std::chrono::steady_clock;
  Clock::duration measured{};
  std::size_t cancels = 0;
  const auto budget = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  for (std::size_t round = 0;; ++round) {
    TimeoutData* td = timeouts[pick(random)];
    if (td == engine.GetTimeoutCalendar()->topTimeout()) continue;
    const auto start = Clock::now();
    engine.ProcessTimeoutDataRemoval(td);
    const auto stop = Clock::now();
    if (round >= 20) {
      measured += stop - start;
      ++cancels;
    }
    // Scheduled again (the entity rearms its own timeout of that tag).
    DesEntity* entity = td->GetEventPtrWithParentEntity()->GetEntity();
    const double t = deadline(random);
    engine.ProcessTimeoutDataAddition(
        entity->CreateTimeout("renege", t, 0, &block, td->GetEventPtrWithParentEntity(), 1));
    if (cancels >= 200000 || (cancels > 0 && measured >= budget)) break;
  }

  for (DesEvent* carrier : carriers) delete carrier;  // entities remove their timeouts
  engine.Terminate();
  return Result{n, cancels,
                std::chrono::duration<double, std::nano>(measured).count() /
                    static_cast<double>(cancels)};
}

}  // namespace

int main(int argc, char** argv) {
  const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  const std::vector<std::size_t> sizes =
      quick ? std::vector<std::size_t>{100, 1000} : std::vector<std::size_t>{100, 1000, 10000, 100000};
  const double seconds = quick ? 0.05 : 0.5;
  std::printf("Cancelling one of n scheduled timeouts (timeout storage 0, indexed heap)\n");
  std::printf("%8s %10s %14s %12s %18s\n", "n", "cancels", "ns/cancel", "x n=100",
              "ns/log2 n");
  double first = 0.0;
  for (std::size_t n : sizes) {
    const Result r = Measure(n, seconds);
    if (first == 0.0) first = r.nsPerCancel;
    const double logn = std::log2(static_cast<double>(n));
    std::printf("%8zu %10zu %14.0f %12.1f %18.3f\n", r.n, r.cancels, r.nsPerCancel,
                r.nsPerCancel / first, r.nsPerCancel / logn);
  }
  return 0;
}
