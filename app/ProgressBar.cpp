#include "app/ProgressBar.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

// Seconds as 42s, 3m05s or 2h07m.
std::string Duration(double seconds) {
  char text[32];
  const long s = static_cast<long>(seconds + 0.5);
  if (s < 60)
    std::snprintf(text, sizeof text, "%lds", s);
  else if (s < 3600)
    std::snprintf(text, sizeof text, "%ldm%02lds", s / 60, s % 60);
  else
    std::snprintf(text, sizeof text, "%ldh%02ldm", s / 3600, (s % 3600) / 60);
  return text;
}

}  // namespace

ProgressBar::ProgressBar(double endTime, bool on)
    : end(endTime), enabled(on), drawn(false), width(0), started(std::chrono::steady_clock::now()) {
  lastDraw = started;
}

ProgressBar::~ProgressBar() { Finish(); }

int ProgressBar::Columns() {
  winsize size{};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  if (const char* columns = std::getenv("COLUMNS")) {
    const int n = std::atoi(columns);
    if (n > 0) return n;
  }
  return 80;
}

std::string ProgressBar::Render(double now, double end, double seconds, int columns) {
  const double fraction = end > 0 ? std::min(std::max(now / end, 0.0), 1.0) : 1.0;
  // The time left assumes the rest runs at the pace so far.
  const std::string left = fraction > 0.0 ? Duration(seconds * (1.0 - fraction) / fraction) : "?";
  char tail[128];
  std::snprintf(tail, sizeof tail, " %5.1f%%  t = %.6g / %.6g  %s, about %s left", fraction * 100.0, now, end,
                Duration(seconds).c_str(), left.c_str());
  std::string text = tail;
  // The bar takes what the figures leave, between 10 and 40 places; on a
  // narrow terminal the figures go first from the right.
  const int room = columns - 1 - static_cast<int>(text.size()) - 2;
  const int bar = std::min(40, room);
  if (bar >= 10) {
    const int filled = static_cast<int>(fraction * bar);
    text = "[" + std::string(filled, '#') + std::string(bar - filled, '.') + "]" + text;
  }
  if (static_cast<int>(text.size()) > columns - 1) text.resize(std::max(columns - 1, 0));
  return text;
}

void ProgressBar::Update(double now) {
  if (!enabled) return;
  const auto t = std::chrono::steady_clock::now();
  // Short runs finish before the first redraw and never show a bar.
  if (t - lastDraw < std::chrono::milliseconds(100)) return;
  lastDraw = t;
  const std::string line = Render(now, end, std::chrono::duration<double>(t - started).count(), Columns());
  // Padded over what a longer line before it left.
  std::fprintf(stderr, "\r%-*s", std::max(width, static_cast<int>(line.size())), line.c_str());
  std::fflush(stderr);
  width = static_cast<int>(line.size());
  drawn = true;
}

void ProgressBar::Finish() {
  if (!drawn) return;
  std::fprintf(stderr, "\r%*s\r", width, "");
  std::fflush(stderr);
  drawn = false;
}
