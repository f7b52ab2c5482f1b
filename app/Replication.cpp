#include "app/Replication.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <nlohmann/json.hpp>
#include <stdexcept>

using nlohmann::json;

int ReplicationSeed(int seed, int replication) {
  if (replication <= 1) return seed;
  uint64_t x = (static_cast<uint64_t>(static_cast<uint32_t>(seed)) << 32) + static_cast<uint32_t>(replication);
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  x ^= x >> 31;
  return static_cast<int>(x % 2147483647u) + 1;
}

namespace {

// JSON has no NaN: a figure without a value is null.
json Number(double v) { return std::isnan(v) ? json(nullptr) : json(v); }
double Number(const json& j) { return j.is_null() ? std::nan("") : j.get<double>(); }

}  // namespace

std::string ReplicationResult::ToJson() const {
  json figures = json::array();
  for (const summary::Statistic& s : statistics.figures)
    figures.push_back({{"section", s.section}, {"label", s.label}, {"value", Number(s.value)},
                       {"decimals", s.decimals}, {"theory", Number(s.theory)}, {"key", s.key}});
  const json j = {{"replication", replication},     {"seed", seed},
                  {"replications", replications},   {"baseSeed", baseSeed},
                  {"pointIndex", pointIndex},       {"point", point},
                  {"settings", settings},
                  {"status", status},               {"error", error},
                  {"interrupted", interrupted},     {"stalled", stalled},
                  {"timeReached", timeReached},     {"description", description},
                  {"theoryName", statistics.theoryName}, {"notes", statistics.notes},
                  {"figures", figures}};
  return j.dump();
}

ReplicationResult ReplicationResult::FromJson(const std::string& text) {
  try {
    const json j = json::parse(text);
    ReplicationResult r;
    r.replication = j.at("replication").get<int>();
    r.seed = j.at("seed").get<int>();
    r.replications = j.at("replications").get<int>();
    r.baseSeed = j.at("baseSeed").get<int>();
    r.pointIndex = j.at("pointIndex").get<int>();
    r.point = j.at("point").get<SweepPoint>();
    r.settings = j.at("settings").get<std::string>();
    r.status = j.at("status").get<int>();
    r.error = j.at("error").get<std::string>();
    r.interrupted = j.at("interrupted").get<bool>();
    r.stalled = j.at("stalled").get<bool>();
    r.timeReached = j.at("timeReached").get<double>();
    r.description = j.at("description").get<std::string>();
    r.statistics.theoryName = j.at("theoryName").get<std::string>();
    r.statistics.notes = j.at("notes").get<std::vector<std::string>>();
    for (const json& f : j.at("figures")) {
      r.statistics.Add(f.at("section").get<std::string>(), f.at("label").get<std::string>(), Number(f.at("value")),
                       f.at("decimals").get<int>(), Number(f.at("theory")));
      r.statistics.figures.back().key = f.at("key").get<std::string>();
    }
    return r;
  } catch (const json::exception& e) {
    throw std::invalid_argument(std::string("not a replication's result: ") + e.what());
  }
}

int CoreCount() {
  const long n = sysconf(_SC_NPROCESSORS_ONLN);
  return n > 0 ? static_cast<int>(n) : 1;
}

namespace {

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// A worker: runs replications first, first + step, ... and writes each
// result as one line to `fd`. Never returns.
[[noreturn]] void Work(int first, int step, int count, const ReplicationRunner& run,
                       const volatile std::sig_atomic_t* stop, int fd) {
  int status = 0;
  try {
    for (int r = first; r <= count && *stop == 0; r += step)
      if (!WriteAll(fd, std::to_string(r) + " " + run(r).ToJson() + "\n")) break;
  } catch (...) {
    status = 1;
  }
  close(fd);
  // No exit handlers, no flushing of buffers copied from the parent.
  _exit(status);
}

struct Worker {
  pid_t pid = -1;
  int fd = -1;
  std::string pending;  // a line not yet complete
};

}  // namespace

std::vector<ReplicationResult> RunReplications(int count, int jobs, const ReplicationRunner& run,
                                               const volatile std::sig_atomic_t* stop) {
  std::map<int, ReplicationResult> results;
  if (jobs > count) jobs = count;
  if (jobs <= 1) {
    for (int r = 1; r <= count && *stop == 0; ++r) results[r] = run(r);
  } else {
    const pid_t parent = getpid();
    std::vector<Worker> workers;
    for (int w = 0; w < jobs; ++w) {
      int fds[2];
      if (pipe(fds) != 0) break;
      const pid_t pid = fork();
      if (pid == 0) {
        close(fds[0]);
        for (const Worker& other : workers) close(other.fd);
        // A worker of its own process group: the terminal's Ctrl-C reaches
        // the parent alone, which passes it on once. A worker dies with
        // its parent.
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(1);
        Work(w + 1, jobs, count, run, stop, fds[1]);
      }
      close(fds[1]);
      if (pid < 0) {
        close(fds[0]);
        break;
      }
      workers.push_back(Worker{pid, fds[0], std::string()});
    }
    bool passedOn = false;
    std::size_t open = workers.size();
    while (open > 0) {
      if (*stop != 0 && !passedOn) {
        for (const Worker& w : workers) kill(w.pid, SIGTERM);
        passedOn = true;
      }
      std::vector<pollfd> polled;
      for (const Worker& w : workers)
        if (w.fd >= 0) polled.push_back(pollfd{w.fd, POLLIN, 0});
      if (poll(polled.data(), polled.size(), -1) < 0) continue;  // EINTR: a signal, seen above
      for (const pollfd& p : polled) {
        if (p.revents == 0) continue;
        for (Worker& w : workers) {
          if (w.fd != p.fd) continue;
          char buffer[65536];
          const ssize_t n = read(w.fd, buffer, sizeof buffer);
          if (n < 0 && errno == EINTR) continue;
          if (n <= 0) {
            close(w.fd);
            w.fd = -1;
            --open;
            continue;
          }
          w.pending.append(buffer, static_cast<std::size_t>(n));
          // A line: the run's number, a space, its result.
          for (std::size_t nl; (nl = w.pending.find('\n')) != std::string::npos;) {
            const std::size_t space = w.pending.find(' ');
            const int run = std::atoi(w.pending.c_str());
            results[run] = ReplicationResult::FromJson(w.pending.substr(space + 1, nl - space - 1));
            w.pending.erase(0, nl + 1);
          }
        }
      }
    }
    for (const Worker& w : workers) {
      int status = 0;
      while (waitpid(w.pid, &status, 0) < 0 && errno == EINTR) {
      }
    }
    // A replication a worker should have run but never reported: it died
    // (or could not be started). Interrupted runs simply stop early.
    if (*stop == 0)
      for (int r = 1; r <= count; ++r)
        if (results.count(r) == 0) {
          ReplicationResult lost;
          lost.replication = r;
          lost.status = 1;
          lost.error = "tarnwell: run " + std::to_string(r) + " of " + std::to_string(count) +
                       " ended without a result (its worker process died)\n";
          results[r] = lost;
        }
  }
  std::vector<ReplicationResult> ordered;
  for (auto& r : results) ordered.push_back(std::move(r.second));
  return ordered;
}
