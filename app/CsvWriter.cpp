#include "app/CsvWriter.h"

#include <cerrno>
#include <cstring>

#include "blocks/Sink.h"
#include "tarnwell.h"

namespace {
// The last part of a block path: the exit's name.
const char* ExitName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return path.c_str() + (slash == std::string::npos ? 0 : slash + 1);
}
}  // namespace

CsvWriter::~CsvWriter() { Close(); }

bool CsvWriter::Open(const std::string& path, std::string& error) {
  file = std::fopen(path.c_str(), "w");
  if (file == nullptr) {
    error = "cannot write '" + path + "': " + std::strerror(errno);
    return false;
  }
  row.reserve(512);
  return true;
}

void CsvWriter::Header(const std::vector<std::string>& attributes) {
  columns = attributes;
  if (file == nullptr) return;
  std::string header = "time,exit,entity,type";
  for (const std::string& a : columns) header += "," + a;
  header += "\n";
  std::fwrite(header.data(), 1, header.size(), file);
}

void CsvWriter::Row(const Sink& sink, DesEntity& entity, double time) {
  if (file == nullptr) return;
  char number[32];
  row.clear();
  std::snprintf(number, sizeof number, "%.10g", time);
  row += number;
  row += ',';
  row += ExitName(sink.Path());
  row += ',';
  row += entity.GetId();
  row += ',';
  row += entity.GetName();
  NodeInterface* reader = const_cast<Sink*>(&sink);
  for (const std::string& a : columns) {
    row += ',';
    if (!entity.HasAttribute(reader, a.c_str())) continue;
    std::snprintf(number, sizeof number, "%.10g", entity.ReadNumberFromAttribute(reader, a.c_str()));
    row += number;
  }
  row += '\n';
  std::fwrite(row.data(), 1, row.size(), file);
}

bool CsvWriter::Close() {
  if (file == nullptr) return true;
  const bool ok = std::ferror(file) == 0;
  const bool closed = std::fclose(file) == 0;
  file = nullptr;
  return ok && closed;
}
