// The lines of a run's summary, one format for every model: a label, the
// measured figure and, where theory gives one, the figure beside it.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

struct RunReport;

namespace summary {

void Line(std::ostream& out, const std::string& label, const std::string& value,
          const std::string& theory = std::string());
std::string Count(uint64_t n);
std::string Real(double v);
std::string Format(const char* format, double value);
// The engine's figures that end every summary: events, time steps, wall time.
void PrintEngine(std::ostream& out, const RunReport& report);

}  // namespace summary
