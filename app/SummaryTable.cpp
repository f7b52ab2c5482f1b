#include "app/SummaryTable.h"

#include <cstdio>

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

void PrintEngine(std::ostream& out, const RunReport& report) {
  out << "\nengine\n";
  Line(out, "events executed", Count(report.eventsExecuted));
  Line(out, "time steps", Count(report.timeSteps));
  Line(out, "wall time (s)", Format("%.3f", report.wallSeconds));
  Line(out, "events per second",
       report.wallSeconds > 0 ? Format("%.0f", static_cast<double>(report.eventsExecuted) / report.wallSeconds)
                              : std::string("-"));
  if (!report.fingerprint.empty()) Line(out, "event fingerprint", report.fingerprint);
}

}  // namespace summary
