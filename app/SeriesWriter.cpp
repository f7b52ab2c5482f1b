#include "app/SeriesWriter.h"

#include <cerrno>
#include <cstring>

#include "app/RunnableModel.h"
#include "model/ModelDriver.h"

SeriesWriter::~SeriesWriter() { Close(); }

bool SeriesWriter::Open(const std::string& path, std::string& problem) {
  file = std::fopen(path.c_str(), "w");
  if (file == nullptr) {
    problem = "cannot write '" + path + "': " + std::strerror(errno);
    return false;
  }
  return true;
}

void SeriesWriter::Attach(ModelDriver& driver, const RunnableModel& runModel, int replicationNumber,
                          double sampleInterval, bool keepSamples) {
  model = &runModel;
  replication = replicationNumber;
  interval = sampleInterval;
  keep = keepSamples;
  columns = model->SeriesColumns();
  if (file != nullptr) {
    std::string header = "replication,time";
    for (const std::string& c : columns) header += "," + c;
    header += "\n";
    std::fwrite(header.data(), 1, header.size(), file);
  }
  driver.AtTime(0.0, [this, &driver](double t) { Sample(driver, t); });
}

void SeriesWriter::Sample(ModelDriver& driver, double time) {
  model->SampleSeries(values);
  if (keep) {
    samples.emplace_back(1, time);
    samples.back().insert(samples.back().end(), values.begin(), values.end());
  }
  if (file != nullptr) {
    char number[32];
    row = std::to_string(replication);
    std::snprintf(number, sizeof number, ",%.10g", time);
    row += number;
    for (double v : values) {
      std::snprintf(number, sizeof number, ",%.10g", v);
      row += number;
    }
    row += '\n';
    std::fwrite(row.data(), 1, row.size(), file);
  }
  // The next sample from the count of intervals, so that times do not
  // drift by adding rounding errors.
  const double next = interval * (static_cast<double>(static_cast<long long>(time / interval + 0.5)) + 1.0);
  driver.AtTime(next, [this, &driver](double t) { Sample(driver, t); });
}

bool SeriesWriter::Close() {
  if (file == nullptr) return true;
  const bool ok = std::ferror(file) == 0;
  const bool closed = std::fclose(file) == 0;
  file = nullptr;
  return ok && closed;
}
