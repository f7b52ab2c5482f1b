// The two models the runner knows, built from blocks into a driver:
//  - queue: customers arrive, wait in a queue (giving up after their
//    patience), are served by k servers and leave; timers measure each
//    customer's time in the system;
//  - assembly: frames and panels arrive separately, a combiner pairs them
//    into an assembly, a station serves it, an inspection stamps the frame
//    through the assembly, and a splitter sends both parts on.
// The model also gives the figures of a run. It measures times in the
// system itself, at its sinks, so that a warm-up period can be left out.
#pragma once

#include <cstdint>
#include <deque>
#include <ostream>
#include <string>
#include <vector>

#include "app/RunOptions.h"
#include "app/RunnableModel.h"
#include "blocks/Sink.h"
#include "blocks/Tally.h"
#include "entity/NameHandle.h"

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

  summary::Statistics Statistics(const RunReport& report) const override;
  bool HasWarmUp() const override { return true; }
  void WarmUpEnds(double time) override;

  std::vector<std::string> SeriesColumns() const override;
  void SampleSeries(std::vector<double>& values) const override;
  void KeepTimesInSystem() override { keepTimes = true; }
  const std::vector<double>& TimesInSystem() const override { return times; }
  double TimeInSystemRate() const override;

  // Arrivals times the mean service time, per server: 1 or more, and the
  // servers cannot keep up.
  double OfferedLoad() const;

 private:
  // A sink whose entities carry, in `attribute`, a time the model reports.
  struct Watch {
    Sink* sink;
    NameHandle attribute;
    Tally tally;
  };
  // What the counters and time averages read when the warm-up ended.
  struct Baseline {
    double time = 0.0;
    uint64_t generated = 0, panels = 0, served = 0, timedOut = 0, completed = 0, combined = 0, split = 0;
    uint64_t departed[2] = {0, 0};
    double queueArea = 0.0, panelQueueArea = 0.0, busyArea = 0.0;
  };

  void BuildQueue(ModelDriver& driver);
  void BuildAssembly(ModelDriver& driver);
  void WatchSinks();
  void QueueStatistics(summary::Statistics& s, const RunReport& report, double end) const;
  void AssemblyStatistics(summary::Statistics& s, const RunReport& report, double end) const;
  // The time average over [warm-up end, end] of a quantity whose average
  // over [0, end] is `average`; `area` is its area up to the warm-up's end.
  double SinceWarmUp(double average, double area, double end) const;

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
  std::deque<Watch> watches;  // a deque: the sinks' observers point into it
  Sink::Observer forward;     // the runner's observer (the CSV), after ours
  bool measuring = true;      // false during the warm-up
  bool keepTimes = false;
  std::vector<double> times;  // of the served, for the plots
  ModelDriver& driver;
  Baseline baseline;
};

// The driver settings that `options` asks for: the model's name, the end
// time, the seed and the engine's calendar settings.
DriverConfig DriverConfigFor(const RunOptions& options);
