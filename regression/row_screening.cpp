// R4ORP screens the rows of the data matrix (missing values, frequencies and
// weights through C1WFR), gathers the usable ones in abscissa order and fits
// them with R3ORP.
#include "errors/error_layer.hpp"
#include "kernels/real_kernels.hpp"
#include "kernels/real_traits.hpp"
#include "ksatfit/errors.hpp"
#include "ksatfit/kernels.hpp"
#include "regression/orthogonal_fit.hpp"
#include "runtime/one_based.hpp"

namespace ksatfit {

namespace {

template <class Real>
void raise_negative(int INVOKE, int NCALL, int IROW, Real VALUE, int ICODE,
                    std::string_view TEXT, std::string_view INVOKED_TEXT) {
  E1STI(1, IROW);
  E1STR(1, VALUE);
  if (INVOKE <= 0) {
    E1MES(4, ICODE, TEXT);
  } else {
    E1STI(2, NCALL);
    E1MES(4, ICODE, INVOKED_TEXT);
  }
}

}  // namespace

template <class Real>
void C1WFR(int INVOKE, int NCALL, const Real* X, int LDX, int IROW, int ISIGN, int IFRQ,
           int IWT, Real /*UNUSED*/, int& NMISS, Real& FRQ, Real& WT, int& IRET) {
  const Mat1<const Real> x(X, LDX);
  IRET = 0;
  if (IFRQ > 0) {
    FRQ = x(IROW, IFRQ);
    if (IFNAN(FRQ)) {
      NMISS += ISIGN;
      IRET = 2;
    } else if (FRQ == 0) {
      // The row enters with weight 0 whatever its weight column holds, so the
      // column is not read; the neutral 1 keeps f * weight at 0 even when the
      // caller's WT still holds a NaN or infinite weight of an earlier row.
      IRET = 1;
      WT = 1;
      return;
    }
  }
  if (IWT > 0) {
    WT = x(IROW, IWT);
    if (IFNAN(WT) && IRET != 2) {
      NMISS += ISIGN;
      IRET = 2;
    }
  }
  if (IFRQ <= 0) {
    FRQ = 1;
  } else if (!IFNAN(FRQ) && FRQ < 0) {
    raise_negative(INVOKE, NCALL, IROW, FRQ, 2,
                   "The frequency for row %(I1) of X is %(R1).  Frequencies must be "
                   "nonnegative.",
                   "The frequency for row %(I1) of X on invocation number %(I2) of this "
                   "routine is %(R1).  Frequencies must be nonnegative.");
    IRET = 3;
    return;
  }
  if (ISIGN == -1) FRQ = -FRQ;
  if (IWT <= 0) {
    WT = 1;
  } else if (!IFNAN(WT) && WT < 0) {
    raise_negative(INVOKE, NCALL, IROW, WT, 1,
                   "The weight for row %(I1) of X was %(R1).  Weights must be "
                   "nonnegative.",
                   "The weight for row %(I1) of X on invocation number %(I2) of this "
                   "routine was %(R1).  Weights must be nonnegative.");
    IRET = 3;
  }
}

template <class Real>
void R4ORP(int NOBS, const Real* XCOL, const Real* YCOL, const Real* X, int LDX, int IFRQ, int IWT,
           int MAXDEG, int ICRIT, Real CRIT, int LOF, int& NDEG, Real& XSCALE, Real& XSHIFT,
           Carried<Real>* ALPHA, Carried<Real>* BETA, Carried<Real>* OCOEF, Carried<Real>* D,
           Real& DFE, Real& SSE, Real& DFPE, Real& SSPE, int& NMISS, Real* XS, Real* Y, Real* W,
           Real* F, int* IWK, Real* STAGE) {
  RoutineScope guard("R4ORP");
  const Vec1<const Real> xcol(XCOL), ycol(YCOL);
  const Mat1<Real> stage(STAGE, NOBS);
  const Vec1<Real> xs(XS), y(Y), w(W), f(F);
  const Vec1<int> iwk(IWK);

  // Keep the rows with x, y, frequency and weight all present; a negative
  // frequency or weight ends the fit at once. Without frequency and weight
  // columns every row has frequency and weight 1, and nothing is staged.
  // IWK(n) is the row of X that the n-th kept row came from.
  const bool weighted = IFRQ > 0 || IWT > 0;
  NMISS = 0;
  int n = 0;
  int nan_rows = 0;  // C1WFR's own count; the screening counts NMISS itself
  Real FRQ = 1;
  Real WT = 1;
  for (int I = 1; I <= NOBS; ++I) {
    if (IFNAN(xcol(I)) || IFNAN(ycol(I))) {
      ++NMISS;
      continue;
    }
    if (weighted) {
      int IRET = 0;
      C1WFR(0, I, X, LDX, I, 1, IFRQ, IWT, RealTraits<Real>::missing(), nan_rows, FRQ, WT, IRET);
      if (IRET == 3) return;
      if (IRET == 2) {
        ++NMISS;
        continue;
      }
      stage(I, 1) = WT;
      stage(I, 2) = FRQ;
    }
    ++n;
    xs(n) = xcol(I);
    iwk(n) = I;
  }
  if (n == 0) {
    E1MES(4, 3,
          "Each row of X contains a missing value in either the IRSP, IFRQ, IND, or "
          "IWT column.");
    return;
  }

  // Sort the abscissas; the permutation carries the rows along, so y, weight
  // and frequency are read in abscissa order straight from their rows.
  SVRGP(n, XS, XS, IWK);
  for (int i = 1; i <= n; ++i) y(i) = ycol(iwk(i));
  if (weighted) {
    for (int i = 1; i <= n; ++i) {
      const int row = iwk(i);
      w(i) = stage(row, 1);
      f(i) = stage(row, 2);
      w(i) = f(i) * w(i);
    }
  }
  R3ORP(n, XS, Y, weighted ? W : nullptr, weighted ? F : nullptr, MAXDEG, ICRIT, CRIT, LOF,
        NDEG, XSCALE, XSHIFT, ALPHA, BETA, OCOEF, D, DFE, SSE, DFPE, SSPE, IWK, STAGE);
}

#define KSATFIT_ROW_SCREENING(Real)                                                            \
  template void C1WFR<Real>(int, int, const Real*, int, int, int, int, int, Real, int&, Real&, \
                            Real&, int&);                                                      \
  template void R4ORP<Real>(int, const Real*, const Real*, const Real*, int, int, int, int,    \
                            int, Real, int, int&, Real&, Real&, Carried<Real>*,                \
                            Carried<Real>*, Carried<Real>*, Carried<Real>*, Real&, Real&,      \
                            Real&, Real&, int&, Real*, Real*, Real*, Real*, int*, Real*);
KSATFIT_ROW_SCREENING(float)
KSATFIT_ROW_SCREENING(double)
#undef KSATFIT_ROW_SCREENING

}  // namespace ksatfit
