// --plot DIR: PNG plots drawn by gnuplot (Debian's gnuplot-nox). For one
// run: the histogram of the time in system, with the theoretical density
// where there is one, and the queue length over time. For a sweep: each key
// figure against the first swept option, with its 95 % interval, a line
// for every combination of the other swept options. Next to each PNG the
// data and the gnuplot script that drew it stay, to redraw it differently.
#pragma once

#include <string>
#include <vector>

#include "app/Replication.h"

class Plotter {
 public:
  // Checks that gnuplot can be run and DIR made; false with `problem` set.
  bool Open(const std::string& dir, std::string& problem);

  // time-in-system.png; `rate` > 0: the density rate·e^(-rate·t) beside it.
  bool TimeInSystem(const std::vector<double>& times, double rate, std::string& problem);
  // <column>-over-time.png for the first column of `samples` (time first).
  bool OverTime(const std::vector<std::string>& columns, const std::vector<std::vector<double>>& samples,
                std::string& problem);
  // One PNG per key figure of a sweep's results.
  bool Sweep(const std::vector<ReplicationResult>& results, std::string& problem);

  // The PNGs written so far.
  const std::vector<std::string>& Written() const { return written; }

 private:
  // Writes `data` and `script` as DIR/name.dat and DIR/name.gp and runs
  // gnuplot on the script, which draws DIR/name.png.
  bool Draw(const std::string& name, const std::string& data, const std::string& script, std::string& problem);

  std::string dir;
  std::vector<std::string> written;
};
