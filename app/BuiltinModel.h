// The two models the runner knows, built from blocks into a driver:
//  - queue: customers arrive, wait in a queue (giving up after their
//    patience), are served by k servers and leave; timers measure each
//    customer's time in the system;
//  - assembly: frames and panels arrive separately, a combiner pairs them
//    into an assembly, a station serves it, an inspection stamps the frame
//    through the assembly, and a splitter sends both parts on.
// The model also prints the summary of a run.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "app/RunOptions.h"
#include "app/RunnableModel.h"
#include "blocks/Sink.h"

class Combiner;
class EntityGenerator;
class ModelDriver;
class Queue;
class ReadTimer;
class Server;
class Splitter;
struct DriverConfig;
struct RunReport;

class BuiltinModel : public RunnableModel {
 public:
  // Adds the blocks of the model that `options` names to `driver`.
  BuiltinModel(const RunOptions& options, ModelDriver& driver);

  void ObserveDepartures(const Sink::Observer& observer) override;
  std::vector<std::string> AttributeNames() const override { return attributeNames; }
  std::string Describe() const override;
  // Keeps every observation in every tally (exact quantiles; memory grows
  // with the run), with room for this many reserved so that a run of that
  // size collects them without allocating.
  void ReserveObservations(std::size_t n) override;

  // Entities (parts, for the assembly) made and gone out of the model.
  uint64_t Generated() const;
  uint64_t Departed() const;
  uint64_t Served() const;
  uint64_t TimedOut() const;

  void PrintSummary(std::ostream& out, const RunReport& report) const override;

 private:
  void BuildQueue(ModelDriver& driver);
  void BuildAssembly(ModelDriver& driver);
  void PrintQueueSummary(std::ostream& out, const RunReport& report) const;
  void PrintAssemblySummary(std::ostream& out, const RunReport& report) const;

  RunOptions options;
  std::vector<std::string> attributeNames;
  std::vector<Sink*> sinks;
  std::vector<ReadTimer*> timers;
  EntityGenerator* arrivals = nullptr;
  EntityGenerator* panels = nullptr;
  Queue* queue = nullptr;
  Queue* panelQueue = nullptr;
  Server* server = nullptr;
  Combiner* combiner = nullptr;
  Splitter* splitter = nullptr;
  Sink* served = nullptr;
  Sink* timedOut = nullptr;
  ReadTimer* servedTime = nullptr;
  ReadTimer* panelTime = nullptr;
};

// The driver settings that `options` asks for: the model's name, the end
// time, the seed and the engine's calendar settings.
DriverConfig DriverConfigFor(const RunOptions& options);
