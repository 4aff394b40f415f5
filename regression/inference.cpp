#include "regression/inference.hpp"

#include <cmath>

#include "errors/error_layer.hpp"
#include "kernels/real_kernels.hpp"
#include "kernels/real_traits.hpp"
#include "ksatfit/errors.hpp"
#include "regression/argument_checks.hpp"
#include "runtime/one_based.hpp"

namespace ksatfit {

template <class Real>
void RCOEF(int NCOEF, const Real* B, const Real* STDB, Real DFE, Real* COEF, int LDCOEF) {
  RoutineScope guard("RCOEF");
  int IER = 1;
  C1DIM(1, NCOEF, "NCOEF", LDCOEF, "LDCOEF", IER);
  if (DFE < 0) {
    E1STR(1, DFE);
    E1MES(5, IER, "DFE = %(R1).  It must be nonnegative.");
  }
  ++IER;
  const Vec1<const Real> stdb(STDB);
  for (int I = 1; I <= NCOEF; ++I) {
    if (!IFNAN(stdb(I)) && stdb(I) < 0) {
      E1STI(1, I);
      E1STR(1, stdb(I));
      E1MES(5, IER, "STDB(%(I1)) = %(R1).  It must be nonnegative.");
    }
  }
  if (N1RTY(0) != 0) return;

  const Mat1<Real> coef(COEF, LDCOEF);
  SCOPY(NCOEF, B, 1, coef.ptr(1, 1), 1);
  SCOPY(NCOEF, STDB, 1, coef.ptr(1, 2), 1);
  for (int I = 1; I <= NCOEF; ++I) {
    C1T(coef(I, 1), coef(I, 2), DFE, coef(I, 3), coef(I, 4));
  }
}

template <class Real>
void C1T(Real B, Real SE, Real DFE, Real& T, Real& PVAL) {
  using Traits = RealTraits<Real>;
  RoutineScope guard("C1T");
  PVAL = Traits::missing();
  T = C1DIV(B, SE);
  // A NaN DFE counts as zero degrees of freedom.
  if (IFNAN(T) || IFNAN(DFE) || DFE == 0) return;
  if (T == Traits::plus_infinity() || T == Traits::minus_infinity()) {
    PVAL = 0;
  } else {
    PVAL = Traits::t_two_tails(std::fabs(T), DFE);
  }
}

template <class Real>
void G3AOV(Real DFR, Real SSR, Real DFE, Real SSE, Real* AOV) {
  const Vec1<Real> aov(AOV);
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

template <class Real>
void G1AOV(Real DFR, Real SSR, Real DFE, Real SSE, Real YMEAN, Real* AOV) {
  RoutineScope guard("G1AOV");
  int IER = 1;
  C1GE0(DFR, "DFR", IER);
  C1GE0(SSR, "SSR", IER);
  C1GE0(DFE, "DFE", IER);
  C1GE0(SSE, "SSE", IER);
  if (N1RTY(0) != 0) return;

  const Real NaN = RealTraits<Real>::missing();
  const Vec1<Real> aov(AOV);
  G3AOV(DFR, SSR, DFE, SSE, AOV);
  aov(11) = C1DIV(Real{100} * SSR, aov(6));

  // Adjusted R-squared from the ratio of the error mean square to the total
  // mean square; a ratio above 1 would make it negative and is shown as 0.
  const Real total_mean_square = C1DIV(aov(6), aov(3));
  const Real ratio = C1DIV(aov(8), total_mean_square);
  if (IFNAN(ratio)) {
    aov(12) = NaN;
  } else if (ratio > 1) {
    aov(12) = 0;
  } else {
    aov(12) = (Real{1} - ratio) * Real{100};
  }

  if (IFNAN(aov(8))) {
    aov(13) = NaN;
    aov(15) = NaN;
  } else {
    aov(13) = std::sqrt(aov(8));
    aov(15) = C1DIV(Real{100} * aov(13), YMEAN);
  }
  aov(14) = YMEAN;
}

#define KSATFIT_INFERENCE(Real)                                                   \
  template void RCOEF<Real>(int, const Real*, const Real*, Real, Real*, int);     \
  template void C1T<Real>(Real, Real, Real, Real&, Real&);                        \
  template void G3AOV<Real>(Real, Real, Real, Real, Real*);                       \
  template void G1AOV<Real>(Real, Real, Real, Real, Real, Real*);
KSATFIT_INFERENCE(float)
KSATFIT_INFERENCE(double)
#undef KSATFIT_INFERENCE

void RCOEF(int NCOEF, const float* B, const float* STDB, float DFE, float* COEF, int LDCOEF) {
  RCOEF<float>(NCOEF, B, STDB, DFE, COEF, LDCOEF);
}

void G1AOV(float DFR, float SSR, float DFE, float SSE, float YMEAN, float* AOV) {
  G1AOV<float>(DFR, SSR, DFE, SSE, YMEAN, AOV);
}

}  // namespace ksatfit
