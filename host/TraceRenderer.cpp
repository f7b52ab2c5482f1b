#include "host/TraceRenderer.h"

#include <charconv>
#include <cctype>
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

// The elements of a real or logical matrix, row by row, each made by
// `make(logical, flag, number)` from the element's value.
template <class Make>
auto MatrixRows(const hvArray* a, Make make) -> std::vector<std::vector<decltype(make(false, false, 0.0))>> {
  const bool logical = hvGetClassID(a) == hvLOGICAL_CLASS;
  const std::size_t m = hvGetM(a), n = hvGetN(a);
  std::vector<std::vector<decltype(make(false, false, 0.0))>> rows(m);
  for (std::size_t r = 0; r < m; ++r)
    for (std::size_t c = 0; c < n; ++c) {
      const std::size_t i = c * m + r;
      rows[r].push_back(logical ? make(true, hvGetLogicals(a)[i], 0.0) : make(false, false, hvGetPr(a)[i]));
    }
  return rows;
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
      const auto rows = MatrixRows(a, [](bool logical, bool flag, double number) {
        if (logical) return std::string(flag ? "true" : "false");
        return TraceRenderer::ShortestNumber(number);
      });
      if (hvGetNumberOfElements(a) == 1) return rows[0][0];
      std::string text = "[";
      for (std::size_t r = 0; r < rows.size(); ++r) {
        if (r > 0) text += "; ";
        for (std::size_t c = 0; c < rows[r].size(); ++c) text += (c > 0 ? " " : "") + rows[r][c];
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
// number, logicals as booleans, matrices as arrays of rows (a row vector as
// one array), cells as arrays.
Json ValueJson(const hvArray* a) {
  if (a == nullptr) return Json();
  switch (hvGetClassID(a)) {
    case hvCHAR_CLASS:
      return detail::arrayText(a);
    case hvDOUBLE_CLASS:
    case hvLOGICAL_CLASS: {
      const auto rows = MatrixRows(a, [](bool logical, bool flag, double number) {
        if (logical) return Json(flag);
        return std::isfinite(number) ? Json(number) : Json(TraceRenderer::ShortestNumber(number));
      });
      if (hvGetNumberOfElements(a) == 1) return rows[0][0];
      Json json = Json::array();
      for (const auto& row : rows) json.push_back(Json(row));
      return rows.size() == 1 ? json[0] : json;
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

// A capacity of the largest count there is, as a number: no limit.
const double kNoLimit = 18446744073709551616.0;

// The attributes of an attribute-setting record: a cell with their names
// in row 1 and their values in row 2.
bool IsAttributeCell(const Pair& p) {
  return p.name == "AttCell" && p.value != nullptr && hvGetClassID(p.value) == hvCELL_CLASS &&
         hvGetM(p.value) == 2;
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
    : format(format), sink(sink), haveTime(false), time(0), rootWritten(true) {}

bool TraceRenderer::Filter::Active() const {
  return !blocks.empty() || !entities.empty() || from > 0.0 || to < std::numeric_limits<double>::infinity();
}

void TraceRenderer::Log(const hvArray* record) {
  const std::string text = Render(record);  // first: it moves the time on
  if (!filter.Active()) {
    Write(text);
    return;
  }
  const std::vector<Pair> pairs = Pairs(record);
  const hvArray* action = Find(pairs, "Action");
  if (IsText(action) && detail::arrayText(action) == "cal") {
    if (rootWritten) Write(text);
    return;
  }
  const hvArray* formatValue = Find(pairs, "FormatStr");
  const bool root = IsText(formatValue) && detail::arrayText(formatValue).compare(0, 2, "\\D") == 0;
  const bool kept = Kept(record);
  if (root) {
    rootWritten = kept;
    heldRoot = kept ? std::string() : text;
    if (kept) Write(text);
    return;
  }
  if (!kept) return;
  if (!rootWritten) {
    Write(heldRoot);
    heldRoot.clear();
    rootWritten = true;
  }
  Write(text);
}

namespace {

// The entity ids a record names: its entity fields, and the ids in the
// equation of a combination or a split.
std::vector<std::string> EntitiesNamed(const std::vector<Pair>& pairs) {
  std::vector<std::string> ids;
  for (const Pair& p : pairs) {
    if (!IsText(p.value)) continue;
    const std::string text = detail::arrayText(p.value);
    if (p.name == "EntityId" || p.name == "OldEntity" || p.name == "NewEntity") {
      ids.push_back(text);
    } else if (p.name == "Equation") {
      std::string word;
      for (char ch : text + " ") {
        if (std::isalnum(static_cast<unsigned char>(ch))) {
          word += ch;
        } else if (!word.empty()) {
          ids.push_back(word);
          word.clear();
        }
      }
    }
  }
  return ids;
}

}  // namespace

bool TraceRenderer::Kept(const hvArray* record) const {
  const double now = haveTime ? time : 0.0;
  if (now < filter.from || now > filter.to) return false;
  const std::vector<Pair> pairs = Pairs(record);
  bool namesBlock = false, blockKept = filter.blocks.empty();
  for (const char* field : {"Block", "To"}) {
    const hvArray* v = Find(pairs, field);
    if (!IsText(v)) continue;
    namesBlock = true;
    if (filter.blocks.count(detail::arrayText(v)) > 0) blockKept = true;
  }
  const std::vector<std::string> ids = EntitiesNamed(pairs);
  bool entityKept = filter.entities.empty();
  for (const std::string& id : ids)
    if (filter.entities.count(id) > 0) entityKept = true;
  // The model's own records name neither.
  if (!namesBlock && ids.empty()) return true;
  return blockKept && entityKept;
}

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
  std::size_t unlimited = std::size_t(-1);  // the value that is a capacity without limit
  bool afterFormat = false;
  for (const Pair& p : pairs) {
    if (afterFormat && IsAttributeCell(p)) {
      // Fills a "name = value" pair of conversions per attribute.
      for (std::size_t i = 0; i < hvGetNumberOfElements(p.value); ++i) values.push_back(hvGetCell(p.value, i));
    } else if (afterFormat && p.name == "Capacity" && IsRealScalar(p.value) && hvGetPr(p.value)[0] == kNoLimit) {
      unlimited = values.size();
      values.push_back(p.value);
    } else if (afterFormat) {
      values.push_back(p.value);
    }
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
    if (next == unlimited) {
      ++next;
      out("unlimited");
      return;
    }
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
    if (IsAttributeCell(p)) {
      Json attributes = Json::object();
      for (std::size_t k = 0; k < hvGetN(p.value); ++k)
        attributes[ValueText(hvGetCell(p.value, 2 * k))] = ValueJson(hvGetCell(p.value, 2 * k + 1));
      object[p.name] = attributes;
      continue;
    }
    if (p.name == "Capacity" && IsRealScalar(p.value) && hvGetPr(p.value)[0] == kNoLimit) {
      object[p.name] = Json();  // no limit
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
    if (nIn > 0) renderer->Log(in[0]);
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
