// R3ORP: the least-squares fit on polynomials orthogonal over the data, built
// one degree at a time by the three-term recurrence, with the pure error, the
// stopping rules and the conditions met on the way. The rows are walked once
// to survey them, once to set up the basis and once per degree
// (orthogonal_walks.hpp). In double precision the error sum of squares is
// formed from the residuals of the finished fit (RealTraits).
#include <algorithm>

#include "errors/error_layer.hpp"
#include "kernels/real_kernels.hpp"
#include "kernels/real_traits.hpp"
#include "ksatfit/kernels.hpp"
#include "regression/orthogonal_fit.hpp"
#include "regression/orthogonal_walks.hpp"
#include "runtime/one_based.hpp"

namespace ksatfit {

// The criterion's percent is scaled by 0.01 in the working precision.
static_assert(static_cast<float>(0.01) == 0.01f);

namespace {

// Upper-tail probability of the lack-of-fit F test of the degree-(K-1) fit,
// which leaves NDIST - K degrees of freedom for lack of fit.
template <class Real>
Real lack_of_fit_probability(int K, int NDIST, Real SST, Real SSREG, Real SSPE, Real DFPE) {
  if (K >= NDIST) return 1;
  Real SSLOF = SST - SSREG - SSPE;
  if (SSLOF < 0) SSLOF = 0;
  const Real DFLOF = static_cast<Real>(NDIST - K);
  const Real MSLOF = SSLOF / DFLOF;
  const Real MSPE = C1DIV(SSPE, DFPE);
  Real FLOF = 0;
  Real PLOF = 0;
  C1F(MSLOF, MSPE, DFLOF, DFPE, FLOF, PLOF);
  return PLOF;
}

// The conditions at the end, in their order. The type-6 message prints as it
// is raised; of the rest, the last one raised is what this level reports.
template <class Real>
void report_conditions(int NDEG, int NDIST, int MAXDEG, int ICRIT, int LOF, Real SST, Real SSREG,
                       Real TOL, Real& SSE, Real& SSPE) {
  if (SSE == 0 || SSREG >= TOL) {
    E1STI(1, NDEG);
    E1MES(6, 11, "The degree %(I1) polynomial fit is a perfect fit within machine precision.");
  }
  if (SST <= 0) {
    E1MES(3, 4,
          "The response variable, X(*,IRSP), is constant.  A zero degree polynomial is "
          "fit.");
    SSE = 0;
    if (LOF == 1) SSPE = 0;
  } else if (NDIST - NDEG == 1 && MAXDEG > NDEG) {
    E1STI(1, NDEG);
    E1STI(2, NDIST);
    E1MES(3, 5,
          "A degree %(I1) polynomial is fitted.  There are only %(I2) distinct "
          "abscissas, so a higher degree polynomial fit cannot be computed.");
  } else if (ICRIT == 0 && SSREG >= TOL && MAXDEG > NDEG) {
    E1STI(1, MAXDEG);
    E1STI(2, NDEG);
    E1MES(3, 6,
          "Although a degree %(I1) fit was requested, a degree %(I2) polynomial is "
          "fitted because the degree %(I2) polynomial fit is a perfect fit within "
          "machine precision.");
  }
}

// Whether the fit stops at degree K - 1.
template <class Real>
bool degree_suffices(int K, int LOFLAG, int ICRIT, Real CF, Real PLOF, Real SST, Real SSREG,
                     Real TOL) {
  if (K == 1) return SST <= 0;
  if (LOFLAG == 1 && ICRIT == 2) return PLOF > CF;
  return SSREG >= CF * SST || SSREG >= TOL;
}

}  // namespace

template <class Real>
void R3ORP(int N, Real* XS, const Real* Y, const Real* W, const Real* F, int MAXDEG, int ICRIT,
           Real CRIT, int LOF, int& NDEG, Real& XSCALE, Real& XSHIFT, Carried<Real>* ALPHA,
           Carried<Real>* BETA, Carried<Real>* OCOEF, Carried<Real>* D, Real& DFE, Real& SSE,
           Real& DFPE, Real& SSPE, int* IWK, Real* WORK) {
  using Traits = RealTraits<Real>;
  RoutineScope guard("R3ORP");
  const Vec1<Real> x(XS);
  const Vec1<Carried<Real>> alpha(ALPHA), beta(BETA), ocoef(OCOEF), d(D);

  const Survey<Real> s = survey_rows(N, XS, Y, W, F, IWK);
  if (s.IMAX == s.IMIN) {
    E1MES(4, 7,
          "Each value of the independent variable is the same.  The independent "
          "variable, X(*,IND), cannot be constant.");
    return;
  }
  int NDIST = s.NDIST;
  int LOFLAG = LOF;
  const Real CF = (ICRIT == 0 ? Real{100} : CRIT) * Real(0.01);
  if (LOF == 1) {
    SSPE = pure_error(s.NGROUP, IWK, Y, W);
    DFPE = s.SUMF - static_cast<Real>(NDIST);
    // Without replicates there is no pure error to test against; ICRIT = 2
    // then falls back on the R-squared rule with CF = CRIT/100.
    if (DFPE == 0) LOFLAG = 0;
  }
  const Real XMID = (x(s.IMIN) + x(s.IMAX)) * Real(0.5);
  XSCALE = Real{4} / (x(s.IMAX) - x(s.IMIN));

  Carried<Real> BETAK = 0;
  std::fill_n(OCOEF, MAXDEG + 1, Carried<Real>{0});
  Real SSREG = 0;
  d(1) = s.SW;
  ocoef(1) = s.SWY / s.SW;
  NDEG = 0;

  // y enters every sum centred at its weighted mean YBAR, so that neither
  // the units nor the origin of y matter: a y that is tiny against the basis
  // values (1e-9 .. 1e-3) or large against its own spread is not swamped.
  // The degree-0 fit leaves the centred sum itself: its share SWY^2/SW is
  // exactly what centring at YBAR removes, so nothing is subtracted for it
  // (and the cancelling SWYY - SWY^2/SW is never formed). A sum of
  // nonnegative terms needs no clamp at 0. In double, OCOEF(1) stays wide
  // and YBAR is it rounded: any centre serves the sums, as P_1, P_2, ... are
  // orthogonal to the constant.
  const Real YBAR = static_cast<Real>(ocoef(1));
  XSHIFT = -(XMID * XSCALE);
  Basis<Real> b = make_basis(WORK, XS, N, W == nullptr);
  const Start<Real> start = start_basis(N, XS, Y, W, XMID, XSCALE, XSHIFT, YBAR, b);
  Real RSS = start.RSS;    // residual sum of squares of the degree-(K-1) fit
  Carried<Real> SWYP = 0;           // sum of w (y - YBAR) P_{K-1}; first formed for P_1
  Carried<Real> SWPP = s.SW;        // sum of w P_{K-1}^2
  Carried<Real> SZPP = start.SZPP;  // sum of z w P_{K-1}^2
  const Real SST = s.YCONST ? Real{0} : RSS;
  const Real TOL = (Real{1} - Real{10} * Traits::epsilon()) * SST;
  const int NLOOP = MAXDEG + 1 < NDIST ? MAXDEG + 1 : NDIST;
  for (int K = 1; K <= NLOOP; ++K) {
    if (K >= 2) {
      const Real SSK = static_cast<Real>(SWYP * SWYP / SWPP);
      RSS = RSS - SSK;
      if (RSS <= 0) RSS = 0;
      SSREG = SSREG + SSK;
      if (SSREG > SST) SSREG = SST;
    }
    Real PLOF = 1;
    if (LOFLAG == 1 && K >= 2) {
      PLOF = lack_of_fit_probability(K, NDIST, SST, SSREG, SSPE, DFPE);
    }
    if (degree_suffices(K, LOFLAG, ICRIT, CF, PLOF, SST, SSREG, TOL) || K == NLOOP) break;

    NDEG = K;
    const Carried<Real> ALPHAK = SZPP / SWPP;
    if (K >= 2) BETAK = SWPP / d(K - 1);
    const Sums<Real> p = next_polynomial(N, Y, W, YBAR, ALPHAK, BETAK, b);
    SWYP = p.SWYP;
    SWPP = p.SWPP;
    SZPP = p.SZPP;
    if (SWPP <= 0) {
      // P_K vanishes on every row: abscissas closer together than single
      // precision resolves over their range have become one when scaled, and
      // only K distinct values remain. Degree K cannot be fitted (its D would
      // be 0 and its coefficient 0/0), so the fit ends at K - 1 as when the
      // distinct abscissas run out, and says so.
      NDEG = K - 1;
      NDIST = K;
      break;
    }
    alpha(K) = ALPHAK;
    beta(K) = BETAK;
    d(K + 1) = SWPP;
    ocoef(K + 1) = SWYP / SWPP;
    b.rotate();
  }

  SSE = Traits::error_sum_of_squares(RSS, [&] {
    return residual_sum_of_squares(N, XS, Y, W, NDEG, ALPHA, BETA, OCOEF);
  });
  DFE = static_cast<Real>(-1 - NDEG) + s.SUMF;
  if (DFE == 0) SSE = 0;
  report_conditions(NDEG, NDIST, MAXDEG, ICRIT, LOF, SST, SSREG, TOL, SSE, SSPE);
}

#define KSATFIT_ORTHOGONAL_RECURRENCE(Real)                                                  \
  template void R3ORP<Real>(int, Real*, const Real*, const Real*, const Real*, int, int, Real, \
                            int, int&, Real&, Real&, Carried<Real>*, Carried<Real>*,           \
                            Carried<Real>*, Carried<Real>*, Real&, Real&, Real&, Real&, int*,  \
                            Real*);
KSATFIT_ORTHOGONAL_RECURRENCE(float)
KSATFIT_ORTHOGONAL_RECURRENCE(double)
#undef KSATFIT_ORTHOGONAL_RECURRENCE

}  // namespace ksatfit
