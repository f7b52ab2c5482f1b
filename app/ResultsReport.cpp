#include "app/ResultsReport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>

#include "support/HostBridge.h"

namespace {

using summary::Fixed;

// Text width in characters (the ± sign is two bytes).
std::size_t Width(const std::string& text) {
  std::size_t n = 0;
  for (unsigned char c : text) n += (c & 0xC0) != 0x80 ? 1 : 0;
  return n;
}

std::string Pad(const std::string& text, std::size_t width, bool right) {
  const std::string fill(width > Width(text) ? width - Width(text) : 0, ' ');
  return right ? fill + text : text + fill;
}

struct Point {
  SweepPoint values;
  std::vector<summary::Statistics> runs;
  std::vector<std::string> notes;
};

void PrintSweep(std::ostream& out, const std::map<int, Point>& points) {
  // Columns: the swept options, then every key figure of the first point.
  std::vector<std::string> header;
  for (const auto& pv : points.begin()->second.values) header.push_back(pv.first);
  const std::size_t parameters = header.size();
  std::vector<std::pair<std::string, std::string>> keys;  // section, label
  for (const summary::Statistic& s : points.begin()->second.runs.front().figures)
    if (!s.key.empty()) {
      header.push_back(s.key);
      keys.emplace_back(s.section, s.label);
    }
  bool anyTheory = false;
  std::vector<std::vector<std::string>> rows;
  for (const auto& entry : points) {
    std::vector<std::string> row;
    for (const auto& pv : entry.second.values) row.push_back(pv.second);
    const std::vector<summary::Combined> combined = summary::Combine(entry.second.runs);
    for (const auto& key : keys) {
      std::string cell = "-";
      for (const summary::Combined& c : combined) {
        if (c.figure.section != key.first || c.figure.label != key.second) continue;
        const int decimals = c.figure.decimals == 0 ? 1 : c.figure.decimals;
        cell = Fixed(c.figure.value, decimals) + " ± " + Fixed(c.interval.halfWidth, decimals);
        if (!std::isnan(c.figure.theory)) {
          cell += " [" + Fixed(c.figure.theory, 4) + "]";
          anyTheory = true;
        }
      }
      row.push_back(cell);
    }
    rows.push_back(row);
  }
  std::vector<std::size_t> widths(header.size());
  for (std::size_t c = 0; c < header.size(); ++c) {
    widths[c] = Width(header[c]);
    for (const auto& row : rows) widths[c] = std::max(widths[c], Width(row[c]));
  }
  auto print = [&](const std::vector<std::string>& cells) {
    std::string line;
    for (std::size_t c = 0; c < cells.size(); ++c)
      line += (c == 0 ? "" : "   ") + Pad(cells[c], widths[c], c >= parameters);
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out << line << "\n";
  };
  print(header);
  for (const auto& row : rows) print(row);
  out << "\nEach figure: mean ± 95% half-width over the replications";
  if (anyTheory) out << "; [theory]";
  out << ".\n";
  for (const auto& entry : points)
    for (const std::string& note : entry.second.notes) out << DescribePoint(entry.second.values) << ": " << note << "\n";
}

}  // namespace

void PrintResults(std::ostream& out, const std::vector<ReplicationResult>& results, const std::string& remark) {
  if (results.empty()) return;
  std::vector<const ReplicationResult*> ordered;
  for (const ReplicationResult& r : results) ordered.push_back(&r);
  std::sort(ordered.begin(), ordered.end(), [](const ReplicationResult* a, const ReplicationResult* b) {
    return a->pointIndex != b->pointIndex ? a->pointIndex < b->pointIndex : a->replication < b->replication;
  });
  const ReplicationResult& first = *ordered.front();
  std::map<int, Point> points;
  std::size_t stalled = 0;
  for (const ReplicationResult* r : ordered) {
    Point& p = points[r->pointIndex];
    p.values = r->point;
    p.runs.push_back(r->statistics);
    if (p.notes.empty()) p.notes = r->statistics.notes;
    stalled += r->stalled ? 1 : 0;
  }
  const bool sweep = first.pointIndex > 0;
  out << GetProductName() << " " << GetLibraryVersion() << "\n"
      << first.description << (sweep ? " (at the first point)" : "") << "\n"
      << first.settings << "\n";
  char text[160];
  if (sweep)
    std::snprintf(text, sizeof text, "%zu points, %d replication%s each (seeds derived from %d)\n\n", points.size(),
                  first.replications, first.replications == 1 ? "" : "s", first.baseSeed);
  else
    std::snprintf(text, sizeof text, "%d replications (seeds derived from %d)\n\n", first.replications,
                  first.baseSeed);
  out << text;
  if (!remark.empty()) out << remark << "\n\n";
  if (stalled > 0) out << stalled << " of the replications stalled (run one alone to see where)\n\n";
  if (sweep) {
    PrintSweep(out, points);
    return;
  }
  for (const std::string& note : first.statistics.notes) out << note << "\n";
  if (!first.statistics.notes.empty()) out << "\n";
  summary::PrintCombined(out, summary::Combine(points.begin()->second.runs), first.statistics.theoryName);
}

int MergeResults(const std::vector<std::string>& paths, std::ostream& out, std::ostream& err) {
  if (paths.empty()) {
    err << "tarnwell merge: needs result files: tarnwell merge RESULT.json...\n";
    return 2;
  }
  std::vector<ReplicationResult> results;
  std::set<std::pair<int, int>> seen;
  for (const std::string& path : paths) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    if (!in) {
      err << "tarnwell merge: cannot read '" << path << "'\n";
      return 2;
    }
    try {
      results.push_back(ReplicationResult::FromJson(text.str()));
    } catch (const std::invalid_argument& e) {
      err << "tarnwell merge: '" << path << "': " << e.what() << "\n";
      return 2;
    }
    const ReplicationResult& r = results.back();
    if (!seen.insert({r.pointIndex, r.replication}).second) {
      err << "tarnwell merge: '" << path << "': replication " << r.replication
          << (r.pointIndex > 0 ? " of point " + DescribePoint(r.point) : std::string()) << " given twice\n";
      return 2;
    }
    if (r.status != 0) {
      err << "tarnwell merge: '" << path << "' holds a failed run:\n" << r.error;
      return 1;
    }
  }
  // Results of another plan would make a table that means nothing.
  const ReplicationResult& first = results.front();
  for (const ReplicationResult& r : results)
    if (r.description != first.description && r.pointIndex == 0) {
      err << "tarnwell merge: the results are of different models or runs\n";
      return 2;
    }
  std::map<int, int> perPoint;
  for (const ReplicationResult& r : results) ++perPoint[r.pointIndex];
  for (const auto& p : perPoint)
    if (p.second != first.replications)
      err << "tarnwell merge: " << (p.first > 0 ? "point " + std::to_string(p.first) + ": " : std::string()) << p.second
          << " of " << first.replications << " replications\n";
  PrintResults(out, results);
  return 0;
}
