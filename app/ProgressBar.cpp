#include "app/ProgressBar.h"

#include <algorithm>
#include <cstdio>

ProgressBar::ProgressBar(double endTime, bool on)
    : end(endTime), enabled(on), drawn(false), started(std::chrono::steady_clock::now()) {
  lastDraw = started;
}

ProgressBar::~ProgressBar() { Finish(); }

void ProgressBar::Update(double now) {
  if (!enabled) return;
  const auto t = std::chrono::steady_clock::now();
  // Short runs finish before the first redraw and never show a bar.
  if (t - lastDraw < std::chrono::milliseconds(100)) return;
  lastDraw = t;
  Draw(end > 0 ? std::min(std::max(now / end, 0.0), 1.0) : 1.0);
}

void ProgressBar::Draw(double fraction) {
  const int width = 40;
  const int filled = static_cast<int>(fraction * width);
  char bar[width + 1];
  for (int i = 0; i < width; ++i) bar[i] = i < filled ? '#' : '.';
  bar[width] = '\0';
  const double seconds = std::chrono::duration<double>(lastDraw - started).count();
  std::fprintf(stderr, "\r[%s] %5.1f%%  %.0fs", bar, fraction * 100.0, seconds);
  std::fflush(stderr);
  drawn = true;
}

void ProgressBar::Finish() {
  if (!drawn) return;
  std::fprintf(stderr, "\r%70s\r", "");
  std::fflush(stderr);
  drawn = false;
}
