// Reads data sets from standard input ("NOBS NDEG" then NOBS pairs as hex
// floats) and writes, one line per data set, B, SSPOLY and STAT as hex floats
// on standard output. The library's own messages go to standard error.
#include <cstdio>
#include <vector>

#include "ksatfit.hpp"

int main() {
  int unit = 0;
  ksatfit::UMACH(-3, unit);
  int NOBS = 0;
  int NDEG = 0;
  while (std::scanf("%d %d", &NOBS, &NDEG) == 2) {
    std::vector<float> x(NOBS);
    std::vector<float> y(NOBS);
    for (int i = 0; i < NOBS; ++i) {
      double a = 0.0;
      double b = 0.0;
      if (std::scanf("%la %la", &a, &b) != 2) return 2;
      x[i] = static_cast<float>(a);
      y[i] = static_cast<float>(b);
    }
    std::vector<float> B(NDEG + 1);
    std::vector<float> SSPOLY(NDEG + 1);
    std::vector<float> STAT(10);
    ksatfit::RCURV(NOBS, x.data(), y.data(), NDEG, B.data(), SSPOLY.data(), STAT.data());
    for (const std::vector<float>* out : {&B, &SSPOLY, &STAT}) {
      for (const float v : *out) std::printf(" %a", static_cast<double>(v));
    }
    std::printf("\n");
  }
  return 0;
}
