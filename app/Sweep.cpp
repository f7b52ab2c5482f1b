#include "app/Sweep.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

namespace {

double RangeNumber(const std::string& text, const std::string& item) {
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(v))
    throw std::invalid_argument("'" + item + "' is not a range from:to[:step] of numbers");
  return v;
}

// 15 significant digits: 0.5 + 2 * 0.1 prints as 0.7.
std::string Value(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.15g", v);
  return text;
}

// Appends the values of "from:to[:step]" (step 1 by default).
void ExpandRange(const std::string& item, std::vector<std::string>& values) {
  std::vector<std::string> parts;
  std::istringstream in(item);
  for (std::string part; std::getline(in, part, ':');) parts.push_back(part);
  if (parts.size() < 2 || parts.size() > 3)
    throw std::invalid_argument("'" + item + "' is not a range from:to[:step] of numbers");
  const double from = RangeNumber(parts[0], item), to = RangeNumber(parts[1], item);
  const double step = parts.size() == 3 ? RangeNumber(parts[2], item) : 1.0;
  if (!(step > 0.0) || to < from)
    throw std::invalid_argument("'" + item + "' needs from <= to and a positive step");
  const double count = std::floor((to - from) / step + 1e-9) + 1.0;
  if (count > 10000) throw std::invalid_argument("'" + item + "' has more than 10000 values");
  // Each value from its index, so that steps such as 0.1 do not
  // accumulate rounding.
  for (int i = 0; i < static_cast<int>(count); ++i) values.push_back(Value(from + i * step));
}

}  // namespace

SweepParameter ParseSweep(const std::string& text) {
  const std::size_t equals = text.find('=');
  if (equals == std::string::npos || equals == 0 || equals + 1 == text.size())
    throw std::invalid_argument("'" + text + "' is not PARAM=LIST (e.g. arrival-rate=0.5:0.9:0.1)");
  SweepParameter p;
  p.option = text.substr(0, equals);
  if (p.option.rfind("--", 0) == 0) p.option.erase(0, 2);
  std::istringstream list(text.substr(equals + 1));
  for (std::string item; std::getline(list, item, ',');) {
    if (item.empty()) throw std::invalid_argument("'" + text + "' has an empty value");
    if (item.find(':') != std::string::npos)
      ExpandRange(item, p.values);
    else
      p.values.push_back(item);
  }
  if (p.values.empty()) throw std::invalid_argument("'" + text + "' has no values");
  return p;
}

std::vector<SweepPoint> SweepPoints(const std::vector<SweepParameter>& parameters) {
  std::vector<SweepPoint> points(1);
  for (const SweepParameter& p : parameters) {
    std::vector<SweepPoint> next;
    for (const SweepPoint& point : points)
      for (const std::string& v : p.values) {
        SweepPoint longer = point;
        longer.emplace_back(p.option, v);
        next.push_back(std::move(longer));
      }
    points = std::move(next);
  }
  return points;
}

std::string DescribePoint(const SweepPoint& point) {
  std::string text;
  for (const auto& pv : point) text += (text.empty() ? "" : ", ") + pv.first + "=" + pv.second;
  return text;
}
