#include "regression/inference.hpp"

#include <cmath>

#include "errors/error_layer.hpp"
#include "regression/argument_checks.hpp"
#include "runtime/one_based.hpp"

namespace ksatfit {

void RCOEF(int NCOEF, const float* B, const float* STDB, float DFE, float* COEF, int LDCOEF) {
  RoutineScope guard("RCOEF");
  int IER = 1;
  C1DIM(1, NCOEF, "NCOEF", LDCOEF, "LDCOEF", IER);
  if (DFE < 0.0f) {
    E1STR(1, DFE);
    E1MES(5, IER, "DFE = %(R1).  It must be nonnegative.");
  }
  ++IER;
  const Vec1<const float> stdb(STDB);
  for (int I = 1; I <= NCOEF; ++I) {
    if (!IFNAN(stdb(I)) && stdb(I) < 0.0f) {
      E1STI(1, I);
      E1STR(1, stdb(I));
      E1MES(5, IER, "STDB(%(I1)) = %(R1).  It must be nonnegative.");
    }
  }
  if (N1RTY(0) != 0) return;

  const Mat1<float> coef(COEF, LDCOEF);
  SCOPY(NCOEF, B, 1, coef.ptr(1, 1), 1);
  SCOPY(NCOEF, STDB, 1, coef.ptr(1, 2), 1);
  for (int I = 1; I <= NCOEF; ++I) {
    C1T(coef(I, 1), coef(I, 2), DFE, coef(I, 3), coef(I, 4));
  }
}

void C1T(float B, float SE, float DFE, float& T, float& PVAL) {
  RoutineScope guard("C1T");
  PVAL = AMACH(6);
  T = C1DIV(B, SE);
  // A NaN DFE counts as zero degrees of freedom.
  if (IFNAN(T) || IFNAN(DFE) || DFE == 0.0f) return;
  if (T == AMACH(7) || T == AMACH(8)) {
    PVAL = 0.0f;
  } else {
    // 1 minus the distribution function, so a |T| far out gives exactly 0.
    PVAL = 2.0f * (1.0f - TDF(std::fabs(T), DFE));
  }
}

void G3AOV(float DFR, float SSR, float DFE, float SSE, float* AOV) {
  const Vec1<float> aov(AOV);
  aov(1) = DFR;
  aov(2) = DFE;
  aov(3) = DFR + DFE;
  aov(4) = SSR;
  aov(5) = SSE;
  aov(6) = SSR + SSE;
  aov(7) = C1DIV(SSR, DFR);
  aov(8) = C1DIV(SSE, DFE);
  C1F(aov(7), aov(8), DFR, DFE, aov(9), aov(10));
}

void G1AOV(float DFR, float SSR, float DFE, float SSE, float YMEAN, float* AOV) {
  RoutineScope guard("G1AOV");
  int IER = 1;
  C1GE0(DFR, "DFR", IER);
  C1GE0(SSR, "SSR", IER);
  C1GE0(DFE, "DFE", IER);
  C1GE0(SSE, "SSE", IER);
  if (N1RTY(0) != 0) return;

  const float NaN = AMACH(6);
  const Vec1<float> aov(AOV);
  G3AOV(DFR, SSR, DFE, SSE, AOV);
  aov(11) = C1DIV(100.0f * SSR, aov(6));

  // Adjusted R-squared from the ratio of the error mean square to the total
  // mean square; a ratio above 1 would make it negative and is shown as 0.
  const float total_mean_square = C1DIV(aov(6), aov(3));
  const float ratio = C1DIV(aov(8), total_mean_square);
  if (IFNAN(ratio)) {
    aov(12) = NaN;
  } else if (ratio > 1.0f) {
    aov(12) = 0.0f;
  } else {
    aov(12) = (1.0f - ratio) * 100.0f;
  }

  if (IFNAN(aov(8))) {
    aov(13) = NaN;
    aov(15) = NaN;
  } else {
    aov(13) = std::sqrt(aov(8));
    aov(15) = C1DIV(100.0f * aov(13), YMEAN);
  }
  aov(14) = YMEAN;
}

}  // namespace ksatfit
