// --series FILE --series-interval DT: the model's quantities over time
// (queue lengths, entities in the model, the share of busy servers), one
// CSV row per sample, taken every DT of simulated time from 0. Each row is
// composed whole before it is written, so a run that stops early leaves no
// half row. The samples can also be kept for the plots.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

class ModelDriver;
class RunnableModel;

class SeriesWriter {
 public:
  SeriesWriter() = default;
  SeriesWriter(const SeriesWriter&) = delete;
  SeriesWriter& operator=(const SeriesWriter&) = delete;
  ~SeriesWriter();

  // Opens (truncates) the file; false with `problem` set when it cannot.
  bool Open(const std::string& path, std::string& problem);
  // Samples `model` every `interval` of the run in `driver`, from 0 to the
  // end time (or where the run stops); `keep` keeps the samples in memory.
  void Attach(ModelDriver& driver, const RunnableModel& model, int replication, double interval, bool keep);
  // Flushes and closes; false when the data could not all be written.
  bool Close();

  const std::vector<std::string>& Columns() const { return columns; }
  // Each kept sample: its time, then one value per column.
  const std::vector<std::vector<double>>& Samples() const { return samples; }

 private:
  void Sample(ModelDriver& driver, double time);

  std::FILE* file = nullptr;
  const RunnableModel* model = nullptr;
  int replication = 1;
  double interval = 1.0;
  bool keep = false;
  std::vector<std::string> columns;
  std::vector<std::vector<double>> samples;
  std::vector<double> values;
  std::string row;
};
