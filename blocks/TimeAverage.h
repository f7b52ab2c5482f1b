// The time average of a piecewise-constant quantity (a queue length, the
// number of busy servers): the area under its curve divided by the time
// observed.
#pragma once

class TimeAverage {
 public:
  // The quantity takes `value` from time `t` on.
  void Update(double t, double value) {
    if (t > lastTime) {
      area += current * (t - lastTime);
      lastTime = t;
    }
    current = value;
  }
  // Average over [0, end]; closes the curve at `end`.
  double Close(double end) {
    Update(end, current);
    return end > 0.0 ? area / end : 0.0;
  }
  double Current() const { return current; }

 private:
  double lastTime = 0.0;
  double current = 0.0;
  double area = 0.0;
};
