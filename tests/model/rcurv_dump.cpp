// Reads data sets from standard input ("NOBS NDEG" then NOBS pairs as hex
// floats) and writes, one line per data set, as hex floats on standard
// output: B, SSPOLY and STAT from RCURV; then, after a "|", the fitted
// degree, AOV, COEF and SQSS from R2ORP and R2TAP called directly. The
// library's own messages go to standard error.
#include <cstdio>
#include <vector>

#include "ksatfit/errors.hpp"
#include "ksatfit/regression.hpp"

namespace {

void print_summary(int NOBS, const std::vector<float>& x, const std::vector<float>& y,
                   int MAXDEG) {
  std::vector<float> X(x);
  X.insert(X.end(), y.begin(), y.end());
  std::vector<float> ALPHA(MAXDEG + 1), BETA(MAXDEG + 1), OCOEF(MAXDEG + 1), D(MAXDEG + 1);
  std::vector<float> WK(8 * static_cast<std::size_t>(NOBS));
  std::vector<int> IWK(NOBS);
  int NDEG = 0;
  int NMISS = 0;
  float XSCALE = 0.0f, XSHIFT = 0.0f, DFE = 0.0f, SSE = 0.0f, DFPE = 0.0f, SSPE = 0.0f;
  ksatfit::R2ORP(NOBS, 2, X.data(), NOBS, 2, 1, 0, 0, MAXDEG, 0, 0.0f, 0, NDEG, XSCALE, XSHIFT,
                 ALPHA.data(), BETA.data(), OCOEF.data(), D.data(), DFE, SSE, DFPE, SSPE, NMISS,
                 WK.data(), IWK.data());
  const int N = NDEG + 1;
  std::vector<float> AOV(15), COEF(4 * N), SQSS(4 * N), TLOF(4 * N);
  std::vector<float> WORK(static_cast<std::size_t>(N) * (NDEG + 7));
  ksatfit::R2TAP(NDEG, ALPHA.data(), BETA.data(), XSCALE, XSHIFT, OCOEF.data(), D.data(), DFE,
                 SSE, 0, DFPE, SSPE, 0, AOV.data(), SQSS.data(), N, COEF.data(), N, TLOF.data(),
                 N, WORK.data());
  std::printf(" | %d", NDEG);
  for (const float v : AOV) std::printf(" %a", static_cast<double>(v));
  for (const float v : COEF) std::printf(" %a", static_cast<double>(v));
  for (int column = 1; column <= 4; ++column) {
    for (int I = 1; I <= NDEG; ++I) std::printf(" %a", static_cast<double>(SQSS[(column - 1) * N + I - 1]));
  }
}

}  // namespace

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
    print_summary(NOBS, x, y, NDEG);
    std::printf("\n");
  }
  return 0;
}
