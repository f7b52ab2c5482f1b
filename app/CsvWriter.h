// One CSV row per entity leaving the model: time, exit block, entity id,
// entity type, then the model's attributes (empty where the entity has no
// such attribute). Each row is composed completely before it is written,
// so a failure while reading an entity never leaves half a row behind.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

class DesEntity;
class Sink;

class CsvWriter {
 public:
  CsvWriter() = default;
  CsvWriter(const CsvWriter&) = delete;
  CsvWriter& operator=(const CsvWriter&) = delete;
  ~CsvWriter();

  // Opens (truncates) the file; false with `error` set when it cannot be
  // written.
  bool Open(const std::string& path, std::string& error);
  void Header(const std::vector<std::string>& attributes);
  void Row(const Sink& sink, DesEntity& entity, double time);
  // Flushes and closes; false when the data could not all be written.
  bool Close();

 private:
  std::FILE* file = nullptr;
  std::vector<std::string> columns;
  std::string row;  // reused, so rows are composed without allocating
};
