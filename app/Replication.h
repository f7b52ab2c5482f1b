// Replications of one model: their seeds, their results as JSON (the form
// workers send back and result files hold), and running many of them,
// side by side in worker processes.
//
// Each replication gets a seed of its own, derived from the run's seed:
// replication 1 uses the seed itself (so that one replication is the plain
// run), replication k > 1 uses SplitMix64(seed * 2^32 + k) reduced to
// 1..2^31-1. The driver spreads each run's seed over the blocks the same
// way, so the streams of different replications start from unrelated
// states of a generator with period 2^256 - 1.
//
// Workers are processes, not threads: the engine keeps state per process.
#pragma once

#include <csignal>
#include <functional>
#include <string>
#include <vector>

#include "app/SummaryTable.h"
#include "app/Sweep.h"

int ReplicationSeed(int seed, int replication);

// What one replication gives back.
struct ReplicationResult {
  int replication = 1;
  int seed = 1;
  // The plan it belongs to: the replications of each point, the seed they
  // derive theirs from, the sweep's point (index from 1; 0: no sweep).
  int replications = 1;
  int baseSeed = 1;
  int pointIndex = 0;
  SweepPoint point;
  std::string settings;  // the run's settings in one line
  // 0 ran; otherwise the command's exit status for this run (1 the
  // simulation failed, 2 the model has mistakes) with `error` to print.
  int status = 0;
  std::string error;
  bool interrupted = false;
  bool stalled = false;
  double timeReached = 0.0;
  std::string description;  // the model's one-line description
  summary::Statistics statistics;

  std::string ToJson() const;
  // Throws std::invalid_argument when `text` is not such a result.
  static ReplicationResult FromJson(const std::string& text);
};

// Runs runs 1..count (the replications of every point) with `run`, `jobs` at a time (1: in this
// process, one after the other; more: in worker processes, so `run` must
// leave nothing behind that the parent needs). Once `*stop` is raised no
// replication starts; workers are asked to stop theirs (SIGTERM). Returns
// the results in run order; a run whose worker died without a result
// comes back with status 1 and the reason.
using ReplicationRunner = std::function<ReplicationResult(int replication)>;
std::vector<ReplicationResult> RunReplications(int count, int jobs, const ReplicationRunner& run,
                                               const volatile std::sig_atomic_t* stop);

// The machine's cores (at least 1).
int CoreCount();
