#include "app/Plotter.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

namespace {

// A name fit for a file: letters and digits, the rest as dashes.
std::string FileName(const std::string& text) {
  std::string name;
  for (char c : text) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '-';
  return name;
}

// A text for a gnuplot string in double quotes.
std::string Text(const std::string& text) {
  std::string quoted;
  for (char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return "\"" + quoted + "\"";
}

const char* kTerminal = "set terminal png size 900,560\n";

}  // namespace

bool Plotter::Open(const std::string& directory, std::string& problem) {
  dir = directory;
  if (std::system("command -v gnuplot >/dev/null 2>&1") != 0) {
    problem = "--plot: gnuplot is not installed (Debian: apt-get install gnuplot-nox)";
    return false;
  }
  if (mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) {
    problem = "--plot: cannot make '" + dir + "': " + std::strerror(errno);
    return false;
  }
  struct stat st {};
  if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    problem = "--plot: '" + dir + "' is not a directory";
    return false;
  }
  return true;
}

bool Plotter::Draw(const std::string& name, const std::string& data, const std::string& script,
                   std::string& problem) {
  const std::string base = dir + "/" + name;
  std::ofstream(base + ".dat") << data;
  std::ofstream gp(base + ".gp");
  gp << kTerminal << "set output " << Text(base + ".png") << "\n" << script;
  gp.close();
  if (!gp) {
    problem = "--plot: cannot write '" + base + ".gp'";
    return false;
  }
  std::remove((base + ".png").c_str());
  const std::string command = "gnuplot '" + base + ".gp' >/dev/null 2>&1";
  struct stat st {};
  if (base.find('\'') != std::string::npos || std::system(command.c_str()) != 0 ||
      stat((base + ".png").c_str(), &st) != 0 || st.st_size == 0) {
    problem = "--plot: gnuplot could not draw '" + base + ".png' (the script is '" + base + ".gp')";
    return false;
  }
  written.push_back(base + ".png");
  return true;
}

bool Plotter::TimeInSystem(const std::vector<double>& times, double rate, std::string& problem) {
  if (times.empty()) return true;
  // Bins over [0, the 99th percentile]: a long tail would squash the rest.
  std::vector<double> sorted = times;
  std::sort(sorted.begin(), sorted.end());
  const double top = std::max(sorted[static_cast<std::size_t>(0.99 * static_cast<double>(sorted.size() - 1))], 1e-9);
  const int bins = 50;
  const double width = top / bins;
  std::vector<double> counts(bins, 0.0);
  for (double t : times)
    if (t <= top) counts[std::min(bins - 1, static_cast<int>(t / width))] += 1.0;
  std::ostringstream data;
  data << "# bin centre, density\n";
  for (int i = 0; i < bins; ++i)
    data << (i + 0.5) * width << " " << counts[i] / (static_cast<double>(times.size()) * width) << "\n";
  std::ostringstream script;
  script << "set title \"Time in system\"\nset xlabel \"time in system\"\nset ylabel \"density\"\n"
         << "set style fill solid 0.5\nset boxwidth " << width << "\nset xrange [0:" << top << "]\n"
         << "plot " << Text(dir + "/time-in-system.dat") << " using 1:2 with boxes title \"measured\"";
  if (rate > 0.0)
    script << ", " << rate << "*exp(-" << rate << "*x) with lines linewidth 2 title \"theory\"";
  script << "\n";
  return Draw("time-in-system", data.str(), script.str(), problem);
}

bool Plotter::OverTime(const std::vector<std::string>& columns, const std::vector<std::vector<double>>& samples,
                       std::string& problem) {
  if (columns.empty() || samples.empty()) return true;
  std::ostringstream data;
  data << "# time, " << columns.front() << "\n";
  for (const std::vector<double>& s : samples) data << s[0] << " " << s[1] << "\n";
  const std::string name = FileName(columns.front()) + "-over-time";
  std::ostringstream script;
  script << "set title " << Text(columns.front() + " over time") << "\nset xlabel \"simulated time\"\n"
         << "set ylabel " << Text(columns.front()) << "\n"
         << "plot " << Text(dir + "/" + name + ".dat") << " using 1:2 with steps notitle\n";
  return Draw(name, data.str(), script.str(), problem);
}

bool Plotter::Sweep(const std::vector<ReplicationResult>& results, std::string& problem) {
  if (results.empty() || results.front().point.empty()) return true;
  // Figures per point, in the order of the points.
  std::map<int, std::vector<summary::Statistics>> byPoint;
  std::map<int, SweepPoint> points;
  for (const ReplicationResult& r : results) {
    byPoint[r.pointIndex].push_back(r.statistics);
    points[r.pointIndex] = r.point;
  }
  const std::string xName = points.begin()->second.front().first;
  // Non-numeric values of the swept option are placed 1, 2, 3... with
  // their text beneath.
  bool numeric = true;
  for (const auto& p : points) {
    char* end = nullptr;
    std::strtod(p.second.front().second.c_str(), &end);
    numeric = numeric && *end == '\0';
  }
  std::map<std::string, int> xIndex;
  for (const auto& p : points) xIndex.emplace(p.second.front().second, static_cast<int>(xIndex.size()) + 1);
  for (const summary::Statistic& key : results.front().statistics.figures) {
    if (key.key.empty()) continue;
    // A line (a data block) per combination of the other swept options.
    std::map<std::string, std::ostringstream> lines;
    bool theory = false;
    for (const auto& p : byPoint) {
      std::string others;
      for (std::size_t i = 1; i < points[p.first].size(); ++i)
        others += (others.empty() ? "" : ", ") + points[p.first][i].first + "=" + points[p.first][i].second;
      const std::string& x = points[p.first].front().second;
      for (const summary::Combined& c : summary::Combine(p.second)) {
        if (c.figure.section != key.section || c.figure.label != key.label) continue;
        std::ostringstream& line = lines[others];
        line << (numeric ? x : std::to_string(xIndex[x])) << " " << c.figure.value << " "
             << (std::isnan(c.interval.halfWidth) ? 0.0 : c.interval.halfWidth) << " ";
        if (std::isnan(c.figure.theory))
          line << "NaN\n";
        else {
          line << c.figure.theory << "\n";
          theory = true;
        }
      }
    }
    const std::string name = "sweep-" + FileName(key.key);
    std::ostringstream data, script;
    script << "set title " << Text(key.key + " against " + xName) << "\nset xlabel " << Text(xName)
           << "\nset ylabel " << Text(key.key + " (mean, 95% interval)") << "\nset key outside right\n";
    if (!numeric) {
      script << "set xtics (";
      bool first = true;
      for (const auto& x : xIndex) {
        script << (first ? "" : ", ") << Text(x.first) << " " << x.second;
        first = false;
      }
      script << ")\nset xrange [0.5:" << xIndex.size() + 0.5 << "]\n";
    }
    script << "plot ";
    int block = 0;
    for (auto& line : lines) {
      data << "# " << (line.first.empty() ? key.key : line.first) << "\n" << line.second.str() << "\n\n";
      const std::string title = line.first.empty() ? std::string("measured") : line.first;
      script << (block == 0 ? "" : ", ") << Text(dir + "/" + name + ".dat") << " index " << block
             << " using 1:2:3 with yerrorlines title " << Text(title);
      if (theory)
        script << ", " << Text(dir + "/" + name + ".dat") << " index " << block
               << " using 1:4 with lines dashtype 2 title " << Text(title + " theory");
      ++block;
    }
    script << "\n";
    if (!Draw(name, data.str(), script.str(), problem)) return false;
  }
  return true;
}
