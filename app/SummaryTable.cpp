#include "app/SummaryTable.h"

#include <boost/math/distributions/students_t.hpp>
#include <cmath>
#include <cstdio>
#include <map>

#include "model/ModelDriver.h"

namespace summary {

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

void Line(std::ostream& out, const std::string& label, const std::string& value, const std::string& theory) {
  char text[160];
  std::snprintf(text, sizeof text, "  %-30s %14s", label.c_str(), value.c_str());
  out << text;
  if (!theory.empty()) {
    std::snprintf(text, sizeof text, " %14s", theory.c_str());
    out << text;
  }
  out << "\n";
}

std::string Count(uint64_t n) { return std::to_string(n); }
std::string Real(double v) { return Format("%.4f", v); }

double AverageSince(double average, double end, double areaToStart, double start) {
  const double span = end - start;
  return span > 0.0 ? (average * end - areaToStart) / span : std::nan("");
}

std::string Fixed(double v, int decimals) {
  if (std::isnan(v)) return "-";
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, v);
  return text;
}

namespace {

// Sections in the order of their first figure; `visit(section, first,
// last)` for each run of figures of one section.
template <class T, class Visit>
void ForEachSection(const std::vector<T>& items, const std::string& (*section)(const T&), Visit visit) {
  std::size_t i = 0;
  while (i < items.size()) {
    std::size_t j = i;
    while (j < items.size() && section(items[j]) == section(items[i])) ++j;
    visit(section(items[i]), i, j);
    i = j;
  }
}

const std::string& SectionOf(const Statistic& s) { return s.section; }
const std::string& SectionOfCombined(const Combined& c) { return c.figure.section; }

}  // namespace

void AddEngine(Statistics& statistics, const RunReport& report) {
  statistics.Add("engine", "events executed", static_cast<double>(report.eventsExecuted), 0);
  statistics.Add("engine", "time steps", static_cast<double>(report.timeSteps), 0);
  statistics.Add("engine", "wall time (s)", report.wallSeconds, 3);
  statistics.Add("engine", "events per second",
                 report.wallSeconds > 0 ? static_cast<double>(report.eventsExecuted) / report.wallSeconds
                                        : std::nan(""),
                 0);
}

void PrintEngine(std::ostream& out, const RunReport& report) {
  Statistics engine;
  AddEngine(engine, report);
  out << "\n";
  Print(out, engine);
}

void Print(std::ostream& out, const Statistics& statistics) {
  for (const std::string& note : statistics.notes) out << note << "\n";
  if (!statistics.notes.empty()) out << "\n";
  bool first = true;
  ForEachSection(statistics.figures, &SectionOf, [&](const std::string& section, std::size_t i, std::size_t j) {
    bool theory = false;
    for (std::size_t k = i; k < j; ++k) theory = theory || !std::isnan(statistics.figures[k].theory);
    if (!first) out << "\n";
    first = false;
    if (theory) {
      char heading[160];
      std::snprintf(heading, sizeof heading, "%-32s %14s %14s\n", section.c_str(), "measured",
                    statistics.theoryName.c_str());
      out << heading;
    } else {
      out << section << "\n";
    }
    for (std::size_t k = i; k < j; ++k) {
      const Statistic& s = statistics.figures[k];
      Line(out, s.label, Fixed(s.value, s.decimals), std::isnan(s.theory) ? std::string() : Real(s.theory));
    }
  });
}

Interval MeanInterval(const std::vector<double>& values) {
  Interval interval;
  const std::size_t n = values.size();
  if (n == 0) return interval;
  double sum = 0.0;
  for (double v : values) sum += v;
  interval.mean = sum / static_cast<double>(n);
  if (n < 2) return interval;
  double squares = 0.0;
  for (double v : values) squares += (v - interval.mean) * (v - interval.mean);
  const double sd = std::sqrt(squares / static_cast<double>(n - 1));
  const boost::math::students_t t(static_cast<double>(n - 1));
  interval.halfWidth = boost::math::quantile(t, 0.975) * sd / std::sqrt(static_cast<double>(n));
  return interval;
}

std::vector<Combined> Combine(const std::vector<Statistics>& runs) {
  std::vector<Combined> combined;
  if (runs.empty()) return combined;
  const std::vector<Statistic>& first = runs.front().figures;
  for (std::size_t k = 0; k < first.size(); ++k) {
    std::vector<double> values;
    for (const Statistics& run : runs) {
      if (k >= run.figures.size() || run.figures[k].label != first[k].label ||
          run.figures[k].section != first[k].section)
        continue;
      // A figure without a value in a run (events per second of a run too
      // short to time) leaves that run out of its mean.
      if (!std::isnan(run.figures[k].value)) values.push_back(run.figures[k].value);
    }
    Combined c;
    c.figure = first[k];
    c.runs = values.size();
    c.interval = MeanInterval(values);
    c.figure.value = values.empty() ? std::nan("") : c.interval.mean;
    combined.push_back(c);
  }
  return combined;
}

void PrintCombined(std::ostream& out, const std::vector<Combined>& combined, const std::string& theoryName) {
  bool first = true;
  ForEachSection(combined, &SectionOfCombined, [&](const std::string& section, std::size_t i, std::size_t j) {
    bool theory = false;
    for (std::size_t k = i; k < j; ++k) theory = theory || !std::isnan(combined[k].figure.theory);
    if (!first) out << "\n";
    first = false;
    char text[200];
    std::snprintf(text, sizeof text, "%-32s %26s%s%s\n", section.c_str(), "mean ± 95% half-width",
                  theory ? "  " : "", theory ? theoryName.c_str() : "");
    out << text;
    for (std::size_t k = i; k < j; ++k) {
      const Combined& c = combined[k];
      // Means of counts get a decimal: they are no longer whole.
      const int decimals = c.figure.decimals == 0 ? 1 : c.figure.decimals;
      const std::string value = Fixed(c.figure.value, decimals) + " ± " + Fixed(c.interval.halfWidth, decimals);
      std::snprintf(text, sizeof text, "  %-30s %25s", c.figure.label.c_str(), value.c_str());
      out << text;
      if (!std::isnan(c.figure.theory)) {
        std::snprintf(text, sizeof text, " %14s", Real(c.figure.theory).c_str());
        out << text;
      }
      out << "\n";
    }
  });
}

}  // namespace summary
