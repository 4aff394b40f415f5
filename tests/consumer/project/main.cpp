#include "ksatfit.hpp"

#include <cstdio>

// Fits a straight line through three points and prints its slope.
int main() {
  const float x[3] = {1.0f, 2.0f, 3.0f};
  const float y[3] = {2.0f, 4.0f, 6.0f};
  float b[2] = {0.0f, 0.0f};
  float sspoly[2];
  float stat[10];
  ksatfit::RCURV(3, x, y, 1, b, sspoly, stat);
  std::printf("%.3f\n", static_cast<double>(b[1]));
  return b[1] > 1.99f && b[1] < 2.01f ? 0 : 1;
}
