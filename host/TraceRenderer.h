// The host's renderer of the engine's log records ("des_dbg_log"), with the
// debugger's banner ("des_printDebugBanner") and command-window activation
// ("des_activateCmdWin"). A record arrives as a 2-row cell: names in row 1,
// values in row 2, the first pair "Action" and a "FormatStr" whose
// conversions are filled by the pairs after it, in order.
//
// Two forms: text for a person (root records open a block that carries the
// time, nested ones are indented under it, "|R" starts a right-hand column,
// the calendar dump is an aligned table) and JSON Lines for tools (one object
// per record: action, time, then every pair but the format with its natural
// JSON type).
#pragma once

#include <cstdio>
#include <limits>
#include <memory>
#include <set>
#include <string>

#include "support/HostInterface.h"

namespace host {

class TraceRenderer {
 public:
  enum class Format { Text, JsonLines };

  // `sink` null writes to the host console; otherwise the renderer writes
  // to that stream and never closes it (its opener does).
  explicit TraceRenderer(Format format = Format::Text, std::FILE* sink = nullptr);

  // The record laid out in this renderer's form, ending in a line break.
  // Keeps the time of the last root record that carried one: nested records
  // happen at that time.
  std::string Render(const hvArray* record);
  void Write(const std::string& text);

  // What a filtered trace keeps: the records that name one of `blocks` (by
  // path, in "Block" or "To") and one of `entities` (by id), happening from
  // `from` to `to`; an empty set asks nothing. Records of the whole model
  // (its start and end) need only the time. A root record that is dropped
  // is still written before the first kept record nested under it, and a
  // calendar dump goes with its root record, so that what is kept reads in
  // its context.
  struct Filter {
    std::set<std::string> blocks;
    std::set<std::string> entities;
    double from = 0.0;
    double to = std::numeric_limits<double>::infinity();
    bool Active() const;
  };
  void SetFilter(const Filter& f) { filter = f; }
  // Renders the record and writes it, unless the filter drops it.
  void Log(const hvArray* record);

  // Registers the three host functions for `renderer` (shared: they keep it
  // alive), replacing earlier ones of the same names.
  static void Install(std::shared_ptr<TraceRenderer> renderer);

  // The shortest text that reads back as exactly `value`.
  static std::string ShortestNumber(double value);
  // Column at which a "|R" item starts in the text form.
  static const std::size_t kRightColumn = 48;

 private:
  std::string RenderText(const hvArray* record);
  std::string RenderJson(const hvArray* record);

  bool Kept(const hvArray* record) const;

  Format format;
  std::FILE* sink;
  bool haveTime;
  double time;
  Filter filter;
  std::string heldRoot;  // the dropped root record, written once something under it is kept
  bool rootWritten;      // the current root record is in the trace
};

}  // namespace host
