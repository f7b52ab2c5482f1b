// Sweeps: `--sweep PARAM=LIST` names an option of the run and the values it
// takes, and the run goes over the cross product of every swept option's
// values (a point each). A list is values and ranges separated by commas:
// `0.5,0.7`, `1:4` (1, 2, 3, 4) or `0.5:0.9:0.1` (from:to:step, both ends
// included).
#pragma once

#include <string>
#include <utility>
#include <vector>

struct SweepParameter {
  std::string option;  // without "--"
  std::vector<std::string> values;
};

// One point of a sweep: an (option, value) pair per swept option.
using SweepPoint = std::vector<std::pair<std::string, std::string>>;

// Reads "PARAM=LIST"; throws std::invalid_argument saying what is wrong.
SweepParameter ParseSweep(const std::string& text);

// The cross product, the first parameter varying slowest; one empty point
// when nothing is swept.
std::vector<SweepPoint> SweepPoints(const std::vector<SweepParameter>& parameters);

// "arrival-rate=0.5, servers=2"
std::string DescribePoint(const SweepPoint& point);
