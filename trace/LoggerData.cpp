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

LoggerData::LoggerData(const LoggerData& other) : lentTo(nullptr) {
  pairs.reserve(other.pairs.size());
  natives.reserve(other.natives.size());
  try {
    for (std::size_t k = 0; k < other.pairs.size(); ++k) {
      const Native& n = other.natives[k];
      hvArray* a = other.pairs[k].second;
      if (n.kind == kArray && a != nullptr) a = CheckedHvArray(hvDuplicateArray(a));
      pairs.emplace_back(other.pairs[k].first, a);
      natives.push_back(Native{n.kind, true, n.number, n.text});
    }
  } catch (...) {
    if (natives.size() < pairs.size()) hvDestroyArray(pairs.back().second);
    pairs.resize(natives.size());
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

void LoggerData::Append(const std::string& name, Native&& value, hvArray* array) {
  try {
    if (pairs.empty()) {  // a typical record, grown once
      pairs.reserve(8);
      natives.reserve(8);
    }
    pairs.emplace_back(name, array);
    try {
      natives.push_back(std::move(value));
    } catch (...) {
      pairs.pop_back();
      throw;
    }
  } catch (...) {
    hvDestroyArray(array);
    throw;
  }
}

void LoggerData::AddNameValuePair(const std::string& name, const std::string& value) {
  Append(name, Native{kText, true, 0.0, value}, nullptr);
}

void LoggerData::AddNameValuePair(const std::string& name, std::string&& value) {
  Append(name, Native{kText, true, 0.0, std::move(value)}, nullptr);
}

void LoggerData::AddNameValuePair(const std::string& name, const char* value) {
  Append(name, Native{kText, true, 0.0, value != nullptr ? value : ""}, nullptr);
}

void LoggerData::AddNameValuePair(const std::string& name, double value) {
  Append(name, Native{kNumber, true, value, std::string()}, nullptr);
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
  Append(name, Native{kArray, true, 0.0, std::string()}, value);
}

std::string LoggerData::GetAction() const { return GetValueAsText("Action"); }

std::string LoggerData::GetValueAsText(const std::string& name) const {
  for (std::size_t k = 0; k < pairs.size(); ++k)
    if (pairs[k].first == name) return TextAt(k);
  return std::string();
}

std::string LoggerData::TextAt(std::size_t k) const {
  const Native& n = natives[k];
  if (n.kind == kText) return n.text.size() <= 1023 ? n.text : n.text.substr(0, 1023);
  return n.kind == kArray ? HvArrayText(pairs[k].second) : std::string();
}

const LoggerData::Pairs& LoggerData::GetData() const {
  for (std::size_t k = 0; k < pairs.size(); ++k) {
    Native& n = natives[k];
    if (n.kind == kArray) continue;
    pairs[k].second = MakeValue(k);
    n.kind = kArray;
    n.owned = true;
  }
  return pairs;
}

hvArray* LoggerData::MakeValue(std::size_t k) const {
  const Native& n = natives[k];
  switch (n.kind) {
    case kText:
      return CheckedHvArray(hvCreateString(n.text.c_str()));
    case kNumber:
      return CheckedHvArray(hvCreateDoubleScalar(n.number));
    default:
      return pairs[k].second != nullptr ? CheckedHvArray(hvDuplicateArray(pairs[k].second)) : nullptr;
  }
}

void LoggerData::PrintLog() const {
  if (pairs.empty()) return;
  HvCleaner guard;
  hvArray* cell = CheckedHvArray(hvCreateCellMatrix(2, pairs.size()));
  guard.addHvArray(cell);
  for (std::size_t k = 0; k < pairs.size(); ++k) {
    hvSetCell(cell, 2 * k, CheckedHvArray(hvCreateString(pairs[k].first.c_str())));
    hvSetCell(cell, 2 * k + 1, MakeValue(k));
  }
  hvArray* in[1] = {cell};
  pmCallCorvane(0, nullptr, 1, in, "des_dbg_log");
}

void LoggerData::LendValuesTo(LoggerData& keeper) {
  LoggerData none;
  keeper.Swap(none);
  keeper.pairs.swap(pairs);
  keeper.natives.swap(natives);
  lentTo = &keeper;
}

hvArray* LoggerData::TakeValue(std::size_t k) {
  if (lentTo != nullptr) return lentTo->MakeValue(k);
  Native& n = natives[k];
  if (n.kind != kArray || !n.owned) return MakeValue(k);
  hvArray* taken = pairs[k].second;
  pairs[k].second = nullptr;
  return taken;
}

void LoggerData::DropValues() {
  lentTo = nullptr;
  DestroyData();
  for (std::size_t k = 0; k < pairs.size(); ++k) {
    pairs[k].second = nullptr;
    natives[k] = Native{kArray, true, 0.0, std::string()};
  }
}

void LoggerData::DestroyData() {
  for (std::size_t k = 0; k < pairs.size(); ++k) {
    if (natives[k].kind != kArray || !natives[k].owned) continue;
    hvDestroyArray(pairs[k].second);
    pairs[k].second = nullptr;
  }
}
