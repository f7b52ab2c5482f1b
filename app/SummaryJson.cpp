#include "app/SummaryJson.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <nlohmann/json.hpp>

#include "support/HostBridge.h"

using nlohmann::json;

namespace {
json Number(double v) { return std::isnan(v) ? json(nullptr) : json(v); }
}  // namespace

SummaryJson::~SummaryJson() {
  if (file != nullptr) std::fclose(file);
}

bool SummaryJson::Open(const std::string& path, std::string& problem) {
  file = std::fopen(path.c_str(), "w");
  if (file == nullptr) {
    problem = "--summary-json: cannot write '" + path + "': " + std::strerror(errno);
    return false;
  }
  return true;
}

bool SummaryJson::Write(const RunOptions& o, const std::vector<std::string>& arguments,
                        const std::vector<ReplicationResult>& runs, const std::vector<PointFigures>& points,
                        bool interrupted, const std::string& fingerprint) {
  if (file == nullptr) return true;
  json replications = json::array();
  for (const ReplicationResult& r : runs)
    replications.push_back({{"replication", r.replication},
                            {"seed", r.seed},
                            {"point", r.point},
                            {"interrupted", r.interrupted},
                            {"stalled", r.stalled},
                            {"timeReached", r.timeReached}});
  json statistics = json::array();
  for (const PointFigures& p : points)
    for (const summary::Combined& c : p.figures) {
      json figure = {{"section", c.figure.section},
                     {"label", c.figure.label},
                     {"mean", Number(c.figure.value)},
                     {"halfWidth95", Number(c.interval.halfWidth)},
                     {"runs", c.runs},
                     {"theory", Number(c.figure.theory)}};
      // A sweep's figures name their point: {"arrival-rate": "0.5"}.
      if (!p.point.empty()) {
        json values = json::object();
        for (const auto& pv : p.point) values[pv.first] = pv.second;
        figure["point"] = values;
      }
      statistics.push_back(figure);
    }
  json options = {{"model", o.model},
                  {"endTime", o.endTime},
                  {"seed", o.seed},
                  {"replications", o.replications},
                  {"sweeps", [&o] {
                     json sweeps = json::object();
                     for (const SweepParameter& p : o.sweeps) sweeps[p.option] = p.values;
                     return sweeps;
                   }()},
                  {"warmUp", o.warmUp},
                  {"handling", o.handling == 0 ? "deterministic" : "randomised"},
                  {"calendars", o.combinedCalendars ? "combined" : "separate"},
                  {"maxEventsPerStep", o.maxEventsAtTimeStep}};
  if (o.model != RunOptions::kFileModel) {
    options["arrivalRate"] = o.arrivalRate;
    options["serviceRate"] = o.serviceRate;
    options["serviceTime"] = o.serviceTime;
    options["servers"] = o.servers;
    options["capacity"] = o.capacity;
    options["patience"] = o.patience;
    options["patienceFixed"] = o.patienceFixed;
  }
  json summary = {{"product", GetProductName()},
                  {"version", GetLibraryVersion()},
                  {"arguments", arguments},
                  {"options", options},
                  {"model", runs.empty() ? std::string() : runs.front().description},
                  {"theory", runs.empty() ? std::string() : runs.front().statistics.theoryName},
                  {"notes", runs.empty() ? std::vector<std::string>() : runs.front().statistics.notes},
                  {"interrupted", interrupted},
                  {"replications", replications},
                  {"statistics", statistics},
                  // The event fingerprint of the run, when one was taken.
                  {"fingerprint", fingerprint.empty() ? json(nullptr) : json(fingerprint)}};
  const std::string text = summary.dump(2) + "\n";
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  const bool closed = std::fclose(file) == 0;
  file = nullptr;
  return written && closed;
}
