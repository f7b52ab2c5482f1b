// A progress bar on standard error for long runs: the bar, the share done,
// the simulated time reached and an estimate of the wall time left, fitted
// to the terminal's width. Redrawn at most ten times a second, erased when
// the run ends.
#pragma once

#include <chrono>
#include <string>

class ProgressBar {
 public:
  ProgressBar(double endTime, bool enabled);
  ~ProgressBar();
  void Update(double now);
  void Finish();

  // The line drawn for `now` after `seconds` of wall time, `columns` wide
  // at most (without the carriage return).
  static std::string Render(double now, double end, double seconds, int columns);

 private:
  // The terminal's width (standard error's), else $COLUMNS, else 80.
  static int Columns();

  double end;
  bool enabled;
  bool drawn;
  int width;  // of the last line drawn, to erase it
  std::chrono::steady_clock::time_point lastDraw;
  std::chrono::steady_clock::time_point started;
};
