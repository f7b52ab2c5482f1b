#include "host/TraceRenderer.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <utility>
#include <vector>

#include "host/HostControl.h"
#include "host/HostInternal.h"

namespace host {

namespace {

typedef nlohmann::ordered_json Json;

// One pair of a record; both borrowed from the record's cell.
struct Pair {
  std::string name;
  const hvArray* value;
};

std::vector<Pair> Pairs(const hvArray* record) {
  std::vector<Pair> pairs;
  if (record == nullptr || hvGetClassID(record) != hvCELL_CLASS || hvGetM(record) != 2) return pairs;
  for (std::size_t k = 0; k < hvGetN(record); ++k) {
    const hvArray* name = hvGetCell(record, 2 * k);
    pairs.push_back({name != nullptr ? detail::arrayText(name) : std::string(), hvGetCell(record, 2 * k + 1)});
  }
  return pairs;
}

const hvArray* Find(const std::vector<Pair>& pairs, const char* name) {
  for (const Pair& p : pairs)
    if (p.name == name) return p.value;
  return nullptr;
}

bool IsText(const hvArray* a) { return a != nullptr && hvGetClassID(a) == hvCHAR_CLASS; }

bool IsRealScalar(const hvArray* a) {
  return a != nullptr && hvGetClassID(a) == hvDOUBLE_CLASS && !hvIsComplex(a) &&
         hvGetNumberOfElements(a) == 1;
}

// Text that is a whole decimal number (the form of times sent as text).
bool ParseNumber(const std::string& text, double& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size();
}

// A value as one line of text: texts as they are, numbers in shortest exact
// form, matrices row by row in brackets, cells in braces.
std::string ValueText(const hvArray* a) {
  if (a == nullptr) return "[]";
  switch (hvGetClassID(a)) {
    case hvCHAR_CLASS:
      return detail::arrayText(a);
    case hvDOUBLE_CLASS:
    case hvLOGICAL_CLASS: {
      const bool logical = hvGetClassID(a) == hvLOGICAL_CLASS;
      auto element = [&](std::size_t i) {
        if (logical) return std::string(hvGetLogicals(a)[i] ? "true" : "false");
        return TraceRenderer::ShortestNumber(hvGetPr(a)[i]);
      };
      const std::size_t m = hvGetM(a), n = hvGetN(a);
      if (m * n == 1) return element(0);
      std::string text = "[";
      for (std::size_t r = 0; r < m; ++r) {
        if (r > 0) text += "; ";
        for (std::size_t c = 0; c < n; ++c) text += (c > 0 ? " " : "") + element(c * m + r);
      }
      return text + "]";
    }
    case hvCELL_CLASS: {
      std::string text = "{";
      for (std::size_t i = 0; i < hvGetNumberOfElements(a); ++i)
        text += (i > 0 ? ", " : "") + ValueText(hvGetCell(a, i));
      return text + "}";
    }
    default:
      return "<value>";
  }
}

// A value with its natural JSON type: text as a string, a real scalar as a
// number, logicals as booleans, matrices as arrays of rows, cells as arrays.
Json ValueJson(const hvArray* a) {
  if (a == nullptr) return Json();
  switch (hvGetClassID(a)) {
    case hvCHAR_CLASS:
      return detail::arrayText(a);
    case hvDOUBLE_CLASS:
    case hvLOGICAL_CLASS: {
      const bool logical = hvGetClassID(a) == hvLOGICAL_CLASS;
      auto element = [&](std::size_t i) {
        if (logical) return Json(hvGetLogicals(a)[i]);
        double v = hvGetPr(a)[i];
        return std::isfinite(v) ? Json(v) : Json(ValueText(a));
      };
      const std::size_t m = hvGetM(a), n = hvGetN(a);
      if (m * n == 1) return element(0);
      Json rows = Json::array();
      for (std::size_t r = 0; r < m; ++r) {
        Json row = Json::array();
        for (std::size_t c = 0; c < n; ++c) row.push_back(element(c * m + r));
        rows.push_back(row);
      }
      return m == 1 ? rows[0] : rows;
    }
    case hvCELL_CLASS: {
      Json items = Json::array();
      for (std::size_t i = 0; i < hvGetNumberOfElements(a); ++i) items.push_back(ValueJson(hvGetCell(a, i)));
      return items;
    }
    default:
      return ValueText(a);
  }
}

// The calendar table: one 1x7 cell of texts per row, the header first.
std::vector<std::vector<std::string>> CalendarRows(const hvArray* table) {
  std::vector<std::vector<std::string>> rows;
  if (table == nullptr || hvGetClassID(table) != hvCELL_CLASS) return rows;
  for (std::size_t i = 0; i < hvGetNumberOfElements(table); ++i) {
    const hvArray* row = hvGetCell(table, i);
    if (row == nullptr || hvGetClassID(row) != hvCELL_CLASS) continue;
    std::vector<std::string> cells;
    for (std::size_t k = 0; k < hvGetNumberOfElements(row); ++k) cells.push_back(ValueText(hvGetCell(row, k)));
    rows.push_back(cells);
  }
  return rows;
}

const std::size_t kTimeColumn = 2;
const char* const kIndent = "    ";

std::string ShortTime(const std::string& text) {
  double v;
  return ParseNumber(text, v) ? TraceRenderer::ShortestNumber(v) : text;
}

// The dump as columns padded to their widest cell; the executing event's row
// carries the marker in the first column.
std::string CalendarTable(const hvArray* table) {
  std::vector<std::vector<std::string>> rows = CalendarRows(table);
  std::vector<std::size_t> widths;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (r > 0 && rows[r].size() > kTimeColumn) rows[r][kTimeColumn] = ShortTime(rows[r][kTimeColumn]);
    if (!rows[r].empty() && rows[r][0] == " ") rows[r][0].clear();
    for (std::size_t c = 0; c < rows[r].size(); ++c) {
      if (widths.size() <= c) widths.push_back(0);
      widths[c] = std::max(widths[c], rows[r][c].size());
    }
  }
  std::string text;
  for (const auto& row : rows) {
    std::string line = kIndent;
    for (std::size_t c = 0; c < row.size(); ++c) {
      line += row[c];
      if (c + 1 < row.size()) line += std::string(widths[c] - row[c].size() + 2, ' ');
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    text += line + "\n";
  }
  return text;
}

}  // namespace

TraceRenderer::TraceRenderer(Format format, std::FILE* sink)
    : format(format), sink(sink), haveTime(false), time(0) {}

std::string TraceRenderer::ShortestNumber(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "Inf" : "-Inf";
  // The shortest digits that read back exactly, plain or with an exponent,
  // whichever is shorter.
  char text[40];
  const std::to_chars_result written = std::to_chars(text, text + sizeof text, value);
  return std::string(text, written.ptr);
}

std::string TraceRenderer::Render(const hvArray* record) {
  return format == Format::Text ? RenderText(record) : RenderJson(record);
}

std::string TraceRenderer::RenderText(const hvArray* record) {
  std::vector<Pair> pairs = Pairs(record);
  const hvArray* action = Find(pairs, "Action");
  if (action != nullptr && IsText(action) && detail::arrayText(action) == "cal")
    return CalendarTable(Find(pairs, "Data"));
  const hvArray* formatValue = Find(pairs, "FormatStr");
  const std::string formatText = formatValue != nullptr ? ValueText(formatValue) : std::string();

  // The values that fill the conversions: every pair after the format.
  std::vector<const hvArray*> values;
  bool afterFormat = false;
  for (const Pair& p : pairs) {
    if (afterFormat) values.push_back(p.value);
    if (p.name == "FormatStr") afterFormat = true;
  }
  const hvArray* timeValue = Find(pairs, "Time");
  const bool root = formatText.compare(0, 2, "\\D") == 0;
  if (root && IsRealScalar(timeValue)) {
    haveTime = true;
    time = hvGetPr(timeValue)[0];
  }

  // Lines as (left, right) columns.
  std::vector<std::pair<std::string, std::string>> lines(1);
  bool right = false;
  std::size_t next = 0;
  auto out = [&](const std::string& s) { (right ? lines.back().second : lines.back().first) += s; };
  auto fill = [&](bool isTime) {
    const hvArray* v = next < values.size() ? values[next++] : nullptr;
    double number;
    if (isTime && IsText(v) && ParseNumber(detail::arrayText(v), number))
      out(ShortestNumber(number));
    else
      out(ValueText(v));
  };
  for (std::size_t i = 0; i < formatText.size(); ++i) {
    const char ch = formatText[i];
    const std::string rest = formatText.substr(i, 5);
    if (ch == '\\' && i + 1 < formatText.size()) {
      // Markup is stored as backslash and letter, the line break too. The
      // break right after a block mark only ends the mark.
      const char mark = formatText[++i];
      if (mark == 'I') {
        out(kIndent);
      } else if (mark == 'D' || mark == 'L') {
        if (formatText.compare(i + 1, 2, "\\n") == 0) i += 2;
      } else if (mark == 'n') {
        lines.emplace_back();
        right = false;
      } else {
        out(std::string(1, '\\') + mark);
      }
    } else if (ch == '|' && i + 1 < formatText.size() && formatText[i + 1] == 'R') {
      right = true;
      ++i;
    } else if (ch == '\n') {
      lines.emplace_back();
      right = false;
    } else if (rest.compare(0, 2, "%s") == 0) {
      fill(false);
      ++i;
    } else if (rest == "%.15f") {
      fill(true);
      i += 4;
    } else if (rest.compare(0, 2, "%%") == 0) {
      out("%");
      ++i;
    } else {
      out(std::string(1, ch));
    }
  }
  if (lines.back().first.empty() && lines.back().second.empty()) lines.pop_back();
  // A root record without a time of its own shows the time it happens at.
  if (root && timeValue == nullptr && haveTime && !lines.empty() && lines[0].second.empty())
    lines[0].second = "Time = " + ShortestNumber(time);

  std::string text = root ? "\n" : "";
  for (const auto& line : lines) {
    std::string l = line.first;
    if (!line.second.empty()) {
      l += std::string(l.size() + 2 > kRightColumn ? 2 : kRightColumn - l.size(), ' ');
      l += line.second;
    }
    text += l + "\n";
  }
  return text;
}

std::string TraceRenderer::RenderJson(const hvArray* record) {
  std::vector<Pair> pairs = Pairs(record);
  const hvArray* timeValue = Find(pairs, "Time");
  const hvArray* formatValue = Find(pairs, "FormatStr");
  const std::string formatText = formatValue != nullptr ? ValueText(formatValue) : std::string();
  if (formatText.compare(0, 2, "\\D") == 0 && IsRealScalar(timeValue)) {
    haveTime = true;
    time = hvGetPr(timeValue)[0];
  }
  const hvArray* action = Find(pairs, "Action");
  const std::string actionText = action != nullptr ? ValueText(action) : std::string();

  Json object;
  object["action"] = actionText;
  object["time"] = haveTime ? Json(time) : Json();
  for (const Pair& p : pairs) {
    if (p.name == "Action" || p.name == "FormatStr") continue;
    if (actionText == "cal" && p.name == "Data") {
      // Rows as objects keyed by the header; the marker becomes a flag.
      std::vector<std::vector<std::string>> rows = CalendarRows(p.value);
      Json events = Json::array();
      for (std::size_t r = 1; r < rows.size(); ++r) {
        Json event;
        for (std::size_t c = 0; c < rows[r].size() && c < rows[0].size(); ++c) {
          double number;
          if (c == 0)
            event["Executing"] = rows[r][0] == "=>";
          else if (c == kTimeColumn && ParseNumber(rows[r][c], number))
            event[rows[0][c]] = number;
          else
            event[rows[0][c]] = rows[r][c];
        }
        events.push_back(event);
      }
      object["Events"] = events;
      continue;
    }
    object[p.name] = ValueJson(p.value);
  }
  return object.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

void TraceRenderer::Write(const std::string& text) {
  if (sink != nullptr)
    std::fwrite(text.data(), 1, text.size(), sink);
  else
    hostPrintf("%s", text.c_str());
}

void TraceRenderer::Install(std::shared_ptr<TraceRenderer> renderer) {
  registerFunction("des_dbg_log", [renderer](int, hvArray* out[], int nIn, hvArray* in[]) {
    if (nIn > 0) renderer->Write(renderer->Render(in[0]));
    // 0: the engine goes on to its breakpoint and single-step checks.
    out[0] = hvCreateDoubleScalar(0);
  });
  registerFunction("des_printDebugBanner", [renderer](int, hvArray*[], int, hvArray*[]) {
    if (renderer->format != Format::Text) return;
    hostPrintf(
        "Tarnwell debugger. The simulation stops at the prompt; type help for the commands.\n");
  });
  // The prompt is about to read: what the trace wrote must be visible first.
  registerFunction("des_activateCmdWin", [renderer](int, hvArray*[], int, hvArray*[]) {
    if (renderer->sink != nullptr) std::fflush(renderer->sink);
    std::fflush(stdout);
  });
}

}  // namespace host
