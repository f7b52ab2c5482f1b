// A model described as data, in YAML:
//
//   name: queue                      # the model's name, first part of every block path
//   run: {end-time: 1000, seed: 1, handling: deterministic, calendars: separate,
//         max-events-per-step: 1000000, csv: out.csv}       # all optional
//   entities:                        # entity types and their attributes
//     Customer: {Serial: int, Priority: double, Inspected: {type: double, value: -1}}
//   distributions:                   # optional: named, for parameters to refer to
//     service: "erlang(k=3, mean=1)"
//   blocks:                          # in order; each a name, a type and its parameters
//     - {name: Arrivals, type: EntityGenerator, entity: Customer, interval: "exponential(rate=0.9)"}
//     - {name: Out, type: Sink}
//   connections:                     # output `out` (0) of `from` to input `in` (0) of `to`
//     - {from: Arrivals, to: Out}
//   report:                          # sections of labelled statistics, "Block.statistic"
//     entities: {generated: Arrivals.generated, "in the model at the end": model.parts}
//
// Reading checks the file's form; Build makes the blocks through a block
// registry and connects them. Every mistake throws a ModelError (created
// with new) that names the file, the line and the column and says what was
// expected.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/BlockRegistry.h"

class ModelBlock;
class ModelDriver;

class ModelFile {
 public:
  // What the file's `run` section sets; the command line overrides it.
  struct RunSettings {
    std::optional<double> endTime;
    std::optional<int> seed;
    std::optional<int> handling;  // 0 deterministic, 1 randomised
    std::optional<bool> combinedCalendars;
    std::optional<uint64_t> maxEventsAtTimeStep;
    std::optional<std::string> csvPath;
  };
  struct ReportLine {
    std::string label;
    const ModelBlock* block;  // null for the model's own figures ("model.parts")
    std::string statistic;
  };
  struct ReportSection {
    std::string heading;
    std::vector<ReportLine> lines;
  };

  explicit ModelFile(const std::string& path);
  ModelFile(const ModelFile&) = delete;
  ModelFile& operator=(const ModelFile&) = delete;
  ~ModelFile();

  const std::string& Path() const { return path; }
  const std::string& Name() const { return name; }
  const RunSettings& Settings() const { return settings; }
  // The attributes of every entity type, in the order of the file.
  std::vector<std::string> AttributeNames() const;

  // Adds the blocks to `driver`, connects them and resolves the report.
  void Build(ModelDriver& driver, const BlockRegistry& registry = BlockRegistry::Global());
  // After Build: the report's sections and the model's sinks.
  const std::vector<ReportSection>& Report() const { return report; }
  ModelBlock* Block(const std::string& blockName) const;

 private:
  struct Impl;

  void Read();
  void BuildBlocks(ModelDriver& driver, const BlockRegistry& registry);
  void Connect();
  void ResolveReport();
  std::string BlockNames() const;

  std::unique_ptr<Impl> impl;
  std::string path;
  std::string name;
  RunSettings settings;
  std::vector<ReportSection> report;
};
