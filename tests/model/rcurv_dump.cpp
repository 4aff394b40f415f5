// Reads data sets from standard input ("NOBS NDEG WEIGHTED", then NOBS rows
// of hex floats: x and y, and with WEIGHTED = 1 also a frequency and a
// weight) and writes, one line per data set, as hex floats on standard
// output: B, SSPOLY and STAT from RCURV (of x and y); then, after a "|", the
// fitted degree, AOV, COEF and SQSS from R2ORP and R2TAP called directly,
// with the frequencies and weights when given; and for those, after another
// "|", DFPE and SSPE and the degrees of freedom and sums of squares of the
// lack-of-fit tests. The library's own messages go to standard error.
#include <cstddef>
#include <cstdio>
#include <vector>

#include "ksatfit/errors.hpp"
#include "ksatfit/regression.hpp"

namespace {

void print(const std::vector<float>& values) {
  for (const float v : values) std::printf(" %a", static_cast<double>(v));
}

// The columns of X: x, y, then the frequencies and the weights (WEIGHTED).
void print_summary(int NOBS, const std::vector<float>& X, bool weighted, int MAXDEG) {
  const int NCOL = weighted ? 4 : 2, IFRQ = weighted ? 3 : 0, IWT = weighted ? 4 : 0;
  const int LOF = weighted ? 1 : 0;
  std::vector<float> ALPHA(MAXDEG + 1), BETA(MAXDEG + 1), OCOEF(MAXDEG + 1), D(MAXDEG + 1);
  std::vector<float> WK(8 * static_cast<std::size_t>(NOBS));
  std::vector<int> IWK(NOBS);
  int NDEG = 0;
  int NMISS = 0;
  float XSCALE = 0.0f, XSHIFT = 0.0f, DFE = 0.0f, SSE = 0.0f, DFPE = 0.0f, SSPE = 0.0f;
  ksatfit::R2ORP(NOBS, NCOL, X.data(), NOBS, 2, 1, IFRQ, IWT, MAXDEG, 0, 0.0f, LOF, NDEG, XSCALE,
                 XSHIFT, ALPHA.data(), BETA.data(), OCOEF.data(), D.data(), DFE, SSE, DFPE, SSPE,
                 NMISS, WK.data(), IWK.data());
  const int N = NDEG + 1;
  std::vector<float> AOV(15), COEF(4 * N), SQSS(4 * N), TLOF(4 * N);
  std::vector<float> WORK(static_cast<std::size_t>(N) * (NDEG + 7));
  ksatfit::R2TAP(NDEG, ALPHA.data(), BETA.data(), XSCALE, XSHIFT, OCOEF.data(), D.data(), DFE,
                 SSE, LOF, DFPE, SSPE, 0, AOV.data(), SQSS.data(), N, COEF.data(), N, TLOF.data(),
                 N, WORK.data());
  std::printf(" | %d", NDEG);
  print(AOV);
  print(COEF);
  const auto columns = [&](const std::vector<float>& table, int last) {
    for (int column = 1; column <= last; ++column) {
      for (int I = 1; I <= NDEG; ++I) {
        std::printf(" %a", static_cast<double>(table[(column - 1) * N + I - 1]));
      }
    }
  };
  columns(SQSS, 4);
  if (weighted) {
    std::printf(" | %a %a", static_cast<double>(DFPE), static_cast<double>(SSPE));
    columns(TLOF, 2);
  }
}

}  // namespace

int main() {
  int unit = 0;
  ksatfit::UMACH(-3, unit);
  int NOBS = 0;
  int NDEG = 0;
  int WEIGHTED = 0;
  while (std::scanf("%d %d %d", &NOBS, &NDEG, &WEIGHTED) == 3) {
    const int NCOL = WEIGHTED == 1 ? 4 : 2;
    std::vector<float> X(static_cast<std::size_t>(NOBS) * NCOL);
    for (int i = 0; i < NOBS; ++i) {
      for (int column = 0; column < NCOL; ++column) {
        double value = 0.0;
        if (std::scanf("%la", &value) != 1) return 2;
        X[static_cast<std::size_t>(column) * NOBS + i] = static_cast<float>(value);
      }
    }
    std::vector<float> B(NDEG + 1);
    std::vector<float> SSPOLY(NDEG + 1);
    std::vector<float> STAT(10);
    ksatfit::RCURV(NOBS, X.data(), X.data() + NOBS, NDEG, B.data(), SSPOLY.data(), STAT.data());
    print(B);
    print(SSPOLY);
    print(STAT);
    print_summary(NOBS, X, WEIGHTED == 1, NDEG);
    std::printf("\n");
  }
  return 0;
}
