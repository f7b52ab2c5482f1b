// One log record: ordered (name, value) pairs whose values are host arrays.
// The first pair is "Action" (the operation tag), normally followed by
// "FormatStr"; the renderer fills the format's conversions from the pairs
// after it, in order.
//
// Ownership: the record owns its names and every value it still holds.
// Copies, by construction or by assignment, duplicate every value, so two
// records never share an array. DoPrintLog takes the values out (and
// destroys them); what a record still holds when it is destroyed is
// destroyed with it.
//
// One exception, inside the logger framework: a record being processed
// lends its values to the debugger's state view, which keeps the record
// as the current one. The lender then only reads them (until DoPrintLog,
// which duplicates what it sends) and never destroys them.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "support/HostInterface.h"

class DesData;

// The array itself; DES_MemoryAllocErr when the host could not make it
// (null).
hvArray* CheckedHvArray(hvArray* a);
// Text of a character array, at most 1023 characters; empty for any other
// array and for null.
std::string HvArrayText(const hvArray* a);

class LoggerData {
 public:
  typedef std::pair<std::string, hvArray*> Pair;
  typedef std::vector<Pair> Pairs;

  LoggerData() : lentTo(nullptr) {}
  LoggerData(const LoggerData& other);
  LoggerData& operator=(const LoggerData& other);
  LoggerData(LoggerData&& other) noexcept : lentTo(nullptr) { Swap(other); }
  LoggerData& operator=(LoggerData&& other) noexcept {
    Swap(other);
    return *this;
  }
  ~LoggerData();

  // Each appends one pair; a value the host cannot create raises
  // DES_MemoryAllocErr with the record unchanged.
  void AddNameValuePair(const std::string& name, const std::string& value);
  void AddNameValuePair(const std::string& name, std::string&& value);
  void AddNameValuePair(const std::string& name, const char* value);
  void AddNameValuePair(const std::string& name, double value);
  void AddNameValuePair(const std::string& name, int value);
  void AddNameValuePair(const std::string& name, uint64_t value);
  void AddNameValuePair(const std::string& name, const DesData& value);
  // The record takes the array over (also when appending fails).
  void AddNameValuePair(const std::string& name, hvArray* value);

  // The value of the first "Action" pair as text (at most 1023 characters);
  // empty when there is none.
  std::string GetAction() const;
  // The value of the first pair called `name` as text (empty for numbers
  // and arrays that are not text), or empty text.
  std::string GetValueAsText(const std::string& name) const;
  // The pairs, every value a host array owned by the record.
  const Pairs& GetData() const;

  // Sends duplicates of the values to "des_dbg_log", asking no result; the
  // record keeps its own.
  void PrintLog() const;

 private:
  friend class _LoggerBase;
  friend class DesSimState;

  // Texts and numbers stay as they are until a host array of them is
  // needed: most records are read by the state view and never shown, and
  // host arrays are what costs.
  enum Kind { kArray, kText, kNumber };
  struct Native {
    Kind kind;
    bool owned;  // for kArray: this record destroys the array
    double number;
    std::string text;
  };

  void Swap(LoggerData& other) noexcept {
    pairs.swap(other.pairs);
    natives.swap(other.natives);
    std::swap(lentTo, other.lentTo);
  }
  void Append(const std::string& name, Native&& value, hvArray* array);
  // The k-th value as text, as GetValueAsText reads it.
  std::string TextAt(std::size_t k) const;
  // A host array of the k-th value for the caller (a duplicate of an array).
  hvArray* MakeValue(std::size_t k) const;
  std::size_t Size() const { return lentTo != nullptr ? lentTo->Size() : pairs.size(); }
  const std::string& Name(std::size_t k) const {
    return lentTo != nullptr ? lentTo->Name(k) : pairs[k].first;
  }
  // The keeper takes the pairs over; this record reads them from the
  // keeper until DropValues (the keeper must live that long).
  void LendValuesTo(LoggerData& keeper);
  // The k-th value for the caller to own: taken when this record owns it
  // (null left behind), else made.
  hvArray* TakeValue(std::size_t k);
  // Destroys what this record owns and forgets a keeper; every value reads
  // null afterwards.
  void DropValues();
  void DestroyData();

  // Parallel lists: pairs[k].second is null until the k-th value has been
  // made into an array (natives[k].kind kArray).
  mutable Pairs pairs;
  mutable std::vector<Native> natives;
  const LoggerData* lentTo;  // the keeper of this record's pairs, or null
};
