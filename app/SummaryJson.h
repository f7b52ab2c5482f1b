// The summary of a run as JSON (--summary-json FILE), for tools and
// notebooks: the versions, the command line and options, every
// replication's seed, and every figure with its mean, its 95 % half-width
// (null for a single run) and the theory where there is one. The file is
// opened before the run, so that a file that cannot be written is refused
// before anything runs; it is written whole at the end.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "app/Replication.h"
#include "app/RunOptions.h"
#include "app/SummaryTable.h"

class SummaryJson {
 public:
  SummaryJson() = default;
  SummaryJson(const SummaryJson&) = delete;
  SummaryJson& operator=(const SummaryJson&) = delete;
  ~SummaryJson();

  // Opens (truncates) `path`; false with `problem` set when it cannot.
  bool Open(const std::string& path, std::string& problem);
  bool IsOpen() const { return file != nullptr; }
  // The figures of one point of a sweep (the only one, without a sweep).
  struct PointFigures {
    SweepPoint point;
    std::vector<summary::Combined> figures;
  };
  // Writes the summary and closes the file; false when writing failed.
  // `fingerprint` is the run's event fingerprint, empty when there is none.
  bool Write(const RunOptions& options, const std::vector<std::string>& arguments,
             const std::vector<ReplicationResult>& runs, const std::vector<PointFigures>& points,
             bool interrupted, const std::string& fingerprint = std::string());

 private:
  std::FILE* file = nullptr;
};
