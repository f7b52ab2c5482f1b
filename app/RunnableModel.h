// What the runner needs of a model, built-in or read from a file, once its
// blocks are in the driver: the attributes for the CSV columns, the sinks
// to observe, one line that describes it and the figures of a run.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "app/SummaryTable.h"
#include "blocks/Sink.h"

struct RunReport;

class RunnableModel {
 public:
  virtual ~RunnableModel() = default;

  // The attribute names of the model's entity types, for CSV columns.
  virtual std::vector<std::string> AttributeNames() const = 0;
  // Every sink tells `observer` about the entities leaving through it.
  virtual void ObserveDepartures(const Sink::Observer& observer) = 0;
  virtual std::string Describe() const = 0;
  // The run's figures, section by section, once the run has ended.
  virtual summary::Statistics Statistics(const RunReport& report) const = 0;
  void PrintSummary(std::ostream& out, const RunReport& report) const { summary::Print(out, Statistics(report)); }
  // Whether the model can leave out what happened before a time (a
  // warm-up); if so, WarmUpEnds is called when the run passes that time
  // and the figures cover only what follows.
  virtual bool HasWarmUp() const { return false; }
  virtual void WarmUpEnds(double) {}

  // What a series samples over time: the quantities' names, and their
  // values now (as many, in the same order).
  virtual std::vector<std::string> SeriesColumns() const = 0;
  virtual void SampleSeries(std::vector<double>& values) const = 0;
  // For the plots: every time in the system from now on is kept (served
  // entities, after the warm-up); the rate of the exponential law they
  // follow in theory, 0 when there is no theory.
  virtual void KeepTimesInSystem() {}
  virtual const std::vector<double>& TimesInSystem() const {
    static const std::vector<double> none;
    return none;
  }
  virtual double TimeInSystemRate() const { return 0.0; }
  // Keeps every observation of the model's tallies (exact quantiles), with
  // room for n reserved; a model without tallies has nothing to keep.
  virtual void ReserveObservations(std::size_t) {}
};
