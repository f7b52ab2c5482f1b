// A progress bar on standard error for long runs: redrawn at most ten times
// a second, erased when the run ends.
#pragma once

#include <chrono>

class ProgressBar {
 public:
  ProgressBar(double endTime, bool enabled);
  ~ProgressBar();
  void Update(double now);
  void Finish();

 private:
  void Draw(double fraction);

  double end;
  bool enabled;
  bool drawn;
  std::chrono::steady_clock::time_point lastDraw;
  std::chrono::steady_clock::time_point started;
};
