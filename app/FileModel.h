// A model read from a file (model/ModelFile.h), run by the tarnwell
// command: its blocks come from the file, its summary from the file's
// report sections, printed like the built-in models' summaries.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/RunnableModel.h"

class ModelBlock;
class ModelDriver;
class ModelFile;

class FileModel : public RunnableModel {
 public:
  // Builds the file's blocks into `driver`; throws ModelError* for a
  // mistake in the file. A file builds once: every run reads it afresh.
  // With a warm-up, the blocks' figures cover the run from `warmUp` on.
  FileModel(std::unique_ptr<ModelFile> file, ModelDriver& driver, double warmUp = 0.0);

  std::vector<std::string> AttributeNames() const override;
  void ObserveDepartures(const Sink::Observer& observer) override;
  std::string Describe() const override;
  summary::Statistics Statistics(const RunReport& report) const override;
  // Each queue's length and each server's share of busy servers, and the
  // entities in the model.
  std::vector<std::string> SeriesColumns() const override;
  void SampleSeries(std::vector<double>& values) const override;
  // Every timer block keeps all its observations.
  void ReserveObservations(std::size_t n) override;

  // The end of the warm-up: every block's figures as they stand, time
  // averages brought up to date, timer blocks emptied.
  bool HasWarmUp() const override { return true; }
  void WarmUpEnds(double time) override;

 private:
  // A block figure over the run since the warm-up (the whole run without one).
  double SinceWarmUp(const ModelBlock* block, const std::string& name, double value, double end) const;

  std::unique_ptr<ModelFile> file;
  ModelDriver& driver;
  double warmUpEnd = 0.0;
  std::map<std::pair<const ModelBlock*, std::string>, double> atWarmUp;
};
