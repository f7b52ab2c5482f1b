#include "app/FileModel.h"

#include "app/SummaryTable.h"
#include "blocks/Queue.h"
#include "blocks/ReadTimer.h"
#include "blocks/Server.h"
#include "model/ModelDriver.h"
#include "model/ModelFile.h"

FileModel::FileModel(std::unique_ptr<ModelFile> modelFile, ModelDriver& modelDriver, double warmUp)
    : file(std::move(modelFile)), driver(modelDriver) {
  file->Build(driver);
  if (warmUp > 0.0) driver.AtTime(warmUp, [this](double t) { WarmUpEnds(t); });
}

namespace {

// What a block figure is, by its name in model files: a time average, a
// level read at the end, or (any other whole number) a count that grows.
bool IsTimeAverage(const std::string& name) { return name == "average-length" || name == "utilisation"; }
bool IsLevel(const std::string& name) {
  return name == "held" || name == "length" || name == "last-departure";
}

}  // namespace

void FileModel::WarmUpEnds(double time) {
  warmUpEnd = time;
  for (const auto& block : driver.Blocks()) {
    // Closing a time average part-way only brings its area up to date.
    block->CloseStatistics(time);
    const auto record = [&](const std::string& name, double v, bool) { atWarmUp[{block.get(), name}] = v; };
    if (auto* timer = dynamic_cast<ReadTimer*>(block.get())) {
      // A timer block's own figures start again from no values at all.
      timer->Elapsed().Clear();
      timer->ModelBlock::Statistics(record);
    } else {
      block->Statistics(record);
    }
  }
}

double FileModel::SinceWarmUp(const ModelBlock* block, const std::string& name, double value, double end) const {
  const auto at = atWarmUp.find({block, name});
  if (at == atWarmUp.end() || IsLevel(name)) return value;
  if (IsTimeAverage(name)) return summary::AverageSince(value, end, at->second * warmUpEnd, warmUpEnd);
  return value - at->second;
}

std::vector<std::string> FileModel::AttributeNames() const { return file->AttributeNames(); }

void FileModel::ObserveDepartures(const Sink::Observer& observer) {
  for (const auto& block : driver.Blocks())
    if (auto* sink = dynamic_cast<Sink*>(block.get())) sink->SetObserver(observer);
}

std::string FileModel::Describe() const {
  const std::size_t n = driver.Blocks().size();
  return "model " + file->Name() + " from " + file->Path() + ": " + std::to_string(n) + " block" +
         (n == 1 ? "" : "s");
}

summary::Statistics FileModel::Statistics(const RunReport& report) const {
  summary::Statistics statistics;
  const double end = report.interrupted ? report.timeReached : driver.Config().endTime;
  for (const ModelFile::ReportSection& section : file->Report()) {
    for (const ModelFile::ReportLine& line : section.lines) {
      double value = 0.0;
      bool whole = true;
      if (line.block == nullptr) {
        const std::string& s = line.statistic;
        value = static_cast<double>(s == "entities"     ? report.entitiesInModel
                                    : s == "parts"      ? report.partsInModel
                                    : s == "events"     ? report.eventsExecuted
                                                        : report.timeSteps);
      } else {
        line.block->Statistics([&](const std::string& name, double v, bool isWhole) {
          if (name != line.statistic) return;
          value = SinceWarmUp(line.block, name, v, end);
          whole = isWhole;
        });
      }
      statistics.Add(section.heading, line.label, value, whole ? 0 : 4);
      statistics.Key(line.label);
    }
  }
  summary::AddEngine(statistics, report);
  return statistics;
}

std::vector<std::string> FileModel::SeriesColumns() const {
  std::vector<std::string> columns;
  for (const auto& block : driver.Blocks()) {
    const std::string name = block->Path().substr(block->Path().rfind('/') + 1);
    if (dynamic_cast<const Queue*>(block.get()) != nullptr) columns.push_back(name + " length");
    if (dynamic_cast<const Server*>(block.get()) != nullptr) columns.push_back(name + " utilisation");
  }
  columns.push_back("in model");
  return columns;
}

void FileModel::SampleSeries(std::vector<double>& values) const {
  values.clear();
  std::size_t held = 0;
  for (const auto& block : driver.Blocks()) {
    held += block->EntitiesHeld();
    if (const auto* queue = dynamic_cast<const Queue*>(block.get())) values.push_back(static_cast<double>(queue->Length()));
    if (const auto* server = dynamic_cast<const Server*>(block.get()))
      values.push_back(static_cast<double>(server->EntitiesHeld()) / server->Servers());
  }
  values.push_back(static_cast<double>(held));
}

void FileModel::ReserveObservations(std::size_t n) {
  for (const auto& block : driver.Blocks())
    if (auto* timer = dynamic_cast<ReadTimer*>(block.get())) timer->Elapsed().KeepAll(n);
}
