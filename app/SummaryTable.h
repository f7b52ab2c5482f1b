// The lines of a run's summary, one format for every model: a label, the
// measured figure and, where theory gives one, the figure beside it. A
// model lists its figures as Statistics; a single run prints them as they
// are, replications print each as a mean with its confidence half-width.
#pragma once

#include <cmath>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

struct RunReport;

namespace summary {

// One figure of a run: the section it belongs to, its label, its value and,
// where theory gives one, the theoretical value (NaN: none). `decimals`
// says how it prints (0 for counts).
struct Statistic {
  std::string section;
  std::string label;
  double value = 0.0;
  int decimals = 4;
  double theory = std::nan("");
  // The column's name in a sweep's table; empty: not shown there.
  std::string key;
};

// Everything a model reports of one run: the figures, remarks that belong
// above them (a warning about the load, say) and the name of the theory
// column.
struct Statistics {
  std::vector<Statistic> figures;
  std::vector<std::string> notes;
  std::string theoryName = "theory";

  void Add(const std::string& section, const std::string& label, double value, int decimals = 4,
           double theory = std::nan("")) {
    figures.push_back(Statistic{section, label, value, decimals, theory, std::string()});
  }
  // Shows the figure added last in a sweep's table, as `column`.
  void Key(const std::string& column) { figures.back().key = column; }
};

void Line(std::ostream& out, const std::string& label, const std::string& value,
          const std::string& theory = std::string());
std::string Count(uint64_t n);
std::string Real(double v);
std::string Format(const char* format, double value);
// `v` with `decimals` places; "-" for NaN (a figure without a value).
std::string Fixed(double v, int decimals);
// The time average over [start, end] of a quantity whose average over
// [0, end] is `average` and whose area up to `start` is `areaToStart`
// (what a warm-up leaves out); NaN for an empty span.
double AverageSince(double average, double end, double areaToStart, double start);
// The engine's figures that end every summary: events, time steps, wall time.
void AddEngine(Statistics& statistics, const RunReport& report);
void PrintEngine(std::ostream& out, const RunReport& report);

// One run's figures, section by section.
void Print(std::ostream& out, const Statistics& statistics);

// The mean of `values` and the half-width of its 95 % confidence interval
// (Student t with n - 1 degrees of freedom); the half-width is NaN for
// fewer than two values.
struct Interval {
  double mean = 0.0;
  double halfWidth = std::nan("");
};
Interval MeanInterval(const std::vector<double>& values);

// The figures of several runs of one model, combined label by label:
// `runs` all list the same figures in the same order (those that do not
// are left out). Each line shows the mean and the half-width.
struct Combined {
  Statistic figure;  // value: the mean
  Interval interval;
  std::size_t runs = 0;
};
std::vector<Combined> Combine(const std::vector<Statistics>& runs);
void PrintCombined(std::ostream& out, const std::vector<Combined>& combined, const std::string& theoryName);

}  // namespace summary
