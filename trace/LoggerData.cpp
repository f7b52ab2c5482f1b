#include "trace/LoggerData.h"

#include "entity/DesData.h"
#include "support/ErrExcept.h"
#include "support/HostBridge.h"
#include "support/HvCleaner.h"
#include "support/MessageCatalogue.h"

hvArray* CheckedHvArray(hvArray* a) {
  if (a == nullptr) throw new ErrExcept(DES_MemoryAllocErr);
  return a;
}

std::string HvArrayText(const hvArray* a) {
  if (a == nullptr || hvGetClassID(a) != hvCHAR_CLASS) return std::string();
  char buffer[1024];
  hvGetString(a, buffer, sizeof buffer);
  return buffer;
}

LoggerData::LoggerData(const LoggerData& other) : ownsValues(true) {
  pairs.reserve(other.pairs.size());
  try {
    for (const Pair& p : other.pairs)
      pairs.emplace_back(p.first, p.second != nullptr ? CheckedHvArray(hvDuplicateArray(p.second)) : nullptr);
  } catch (...) {
    DestroyData();
    throw;
  }
}

LoggerData& LoggerData::operator=(const LoggerData& other) {
  if (this == &other) return *this;
  LoggerData copy(other);
  Swap(copy);
  return *this;
}

LoggerData::~LoggerData() { DestroyData(); }

void LoggerData::AddNameValuePair(const std::string& name, const std::string& value) {
  AddNameValuePair(name, CheckedHvArray(hvCreateString(value.c_str())));
}

void LoggerData::AddNameValuePair(const std::string& name, const char* value) {
  AddNameValuePair(name, CheckedHvArray(hvCreateString(value != nullptr ? value : "")));
}

void LoggerData::AddNameValuePair(const std::string& name, double value) {
  AddNameValuePair(name, CheckedHvArray(hvCreateDoubleScalar(value)));
}

void LoggerData::AddNameValuePair(const std::string& name, int value) {
  AddNameValuePair(name, static_cast<double>(value));
}

void LoggerData::AddNameValuePair(const std::string& name, uint64_t value) {
  AddNameValuePair(name, static_cast<double>(value));
}

void LoggerData::AddNameValuePair(const std::string& name, const DesData& value) {
  AddNameValuePair(name, CheckedHvArray(value.GetDataValueAsHvArray()));
}

void LoggerData::AddNameValuePair(const std::string& name, hvArray* value) {
  try {
    if (pairs.empty()) pairs.reserve(8);  // a typical record, grown once
    pairs.emplace_back(name, value);
  } catch (...) {
    hvDestroyArray(value);
    throw;
  }
}

std::string LoggerData::GetAction() const { return GetValueAsText("Action"); }

std::string LoggerData::GetValueAsText(const std::string& name) const {
  for (const Pair& p : pairs)
    if (p.first == name) return HvArrayText(p.second);
  return std::string();
}

void LoggerData::PrintLog() const {
  if (pairs.empty()) return;
  HvCleaner guard;
  hvArray* cell = CheckedHvArray(hvCreateCellMatrix(2, pairs.size()));
  guard.addHvArray(cell);
  for (std::size_t k = 0; k < pairs.size(); ++k) {
    hvSetCell(cell, 2 * k, CheckedHvArray(hvCreateString(pairs[k].first.c_str())));
    if (pairs[k].second != nullptr)
      hvSetCell(cell, 2 * k + 1, CheckedHvArray(hvDuplicateArray(pairs[k].second)));
  }
  hvArray* in[1] = {cell};
  pmCallCorvane(0, nullptr, 1, in, "des_dbg_log");
}

void LoggerData::LendValuesTo(LoggerData& keeper) const {
  LoggerData made;
  made.pairs = pairs;
  keeper.Swap(made);
  const_cast<LoggerData*>(this)->ownsValues = false;
}

hvArray* LoggerData::TakeValue(std::size_t k) {
  hvArray*& value = pairs[k].second;
  if (!ownsValues) return value != nullptr ? CheckedHvArray(hvDuplicateArray(value)) : nullptr;
  hvArray* taken = value;
  value = nullptr;
  return taken;
}

void LoggerData::DropValues() {
  DestroyData();
  for (Pair& p : pairs) p.second = nullptr;
  ownsValues = true;
}

void LoggerData::DestroyData() {
  if (!ownsValues) return;
  for (Pair& p : pairs) {
    hvDestroyArray(p.second);
    p.second = nullptr;
  }
}
