// R3ORP: the least-squares fit on polynomials orthogonal over the data, built
// one degree at a time by the three-term recurrence, with the pure error, the
// stopping rules and the conditions met on the way. The rows are walked once
// to survey them, once to set up the basis and once per degree
// (orthogonal_walks.hpp).
#include "errors/error_layer.hpp"
#include "ksatfit.hpp"
#include "regression/orthogonal_fit.hpp"
#include "regression/orthogonal_walks.hpp"
#include "runtime/one_based.hpp"

namespace ksatfit {

namespace {

// Upper-tail probability of the lack-of-fit F test of the degree-(K-1) fit,
// which leaves NDIST - K degrees of freedom for lack of fit.
float lack_of_fit_probability(int K, int NDIST, float SST, float SSREG, float SSPE,
                              float DFPE) {
  if (K >= NDIST) return 1.0f;
  float SSLOF = SST - SSREG - SSPE;
  if (SSLOF < 0.0f) SSLOF = 0.0f;
  const float DFLOF = static_cast<float>(NDIST - K);
  const float MSLOF = SSLOF / DFLOF;
  const float MSPE = C1DIV(SSPE, DFPE);
  float FLOF = 0.0f;
  float PLOF = 0.0f;
  C1F(MSLOF, MSPE, DFLOF, DFPE, FLOF, PLOF);
  return PLOF;
}

// The conditions at the end, in their order. The type-6 message prints as it
// is raised; of the rest, the last one raised is what this level reports.
void report_conditions(int NDEG, int NDIST, int MAXDEG, int ICRIT, int LOF, float SST,
                       float SSREG, float TOL, float& SSE, float& SSPE) {
  if (SSE == 0.0f || SSREG >= TOL) {
    E1STI(1, NDEG);
    E1MES(6, 11, "The degree %(I1) polynomial fit is a perfect fit within machine precision.");
  }
  if (SST <= 0.0f) {
    E1MES(3, 4,
          "The response variable, X(*,IRSP), is constant.  A zero degree polynomial is "
          "fit.");
    SSE = 0.0f;
    if (LOF == 1) SSPE = 0.0f;
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
bool degree_suffices(int K, int LOFLAG, int ICRIT, float CF, float PLOF, float SST,
                     float SSREG, float TOL) {
  if (K == 1) return SST <= 0.0f;
  if (LOFLAG == 1 && ICRIT == 2) return PLOF > CF;
  return SSREG >= CF * SST || SSREG >= TOL;
}

}  // namespace

void R3ORP(int N, float* XS, const float* Y, const float* W, const float* F,
           int MAXDEG, int ICRIT, float CRIT, int LOF, int& NDEG, float& XSCALE,
           float& XSHIFT, float* ALPHA, float* BETA, float* OCOEF, float* D,
           float& DFE, float& SSE, float& DFPE, float& SSPE, int* IWK, float* WORK) {
  RoutineScope guard("R3ORP");
  const Vec1<float> x(XS);
  const Vec1<float> alpha(ALPHA), beta(BETA), ocoef(OCOEF), d(D);

  const Survey s = survey_rows(N, XS, Y, W, F, IWK);
  if (s.IMAX == s.IMIN) {
    E1MES(4, 7,
          "Each value of the independent variable is the same.  The independent "
          "variable, X(*,IND), cannot be constant.");
    return;
  }
  int NDIST = s.NDIST;
  int LOFLAG = LOF;
  const float CF = (ICRIT == 0 ? 100.0f : CRIT) * 0.01f;
  if (LOF == 1) {
    SSPE = pure_error(NDIST, IWK, Y, W);
    DFPE = s.SUMF - static_cast<float>(NDIST);
    // Without replicates there is no pure error to test against; ICRIT = 2
    // then falls back on the R-squared rule with CF = CRIT/100.
    if (DFPE == 0.0f) LOFLAG = 0;
  }
  const float XMID = (x(s.IMIN) + x(s.IMAX)) * 0.5f;
  XSCALE = 4.0f / (x(s.IMAX) - x(s.IMIN));

  float BETAK = 0.0f;
  SSET(MAXDEG + 1, 0.0f, OCOEF, 1);
  float SSREG = 0.0f;
  d(1) = s.SW;
  ocoef(1) = s.SWY / s.SW;
  NDEG = 0;

  // y enters every sum centred at its weighted mean YBAR, so that neither
  // the units nor the origin of y matter: a y that is tiny against the basis
  // values (1e-9 .. 1e-3) or large against its own spread is not swamped.
  // The degree-0 fit leaves the centred sum itself: its share SWY^2/SW is
  // exactly what centring at YBAR removes, so nothing is subtracted for it
  // (and the cancelling SWYY - SWY^2/SW is never formed). A sum of
  // nonnegative terms needs no clamp at 0.
  const float YBAR = ocoef(1);
  Basis b = make_basis(WORK, N, W == nullptr);
  const Start start = start_basis(N, XS, Y, W, XMID, XSCALE, YBAR, b);
  float RSS = start.RSS;    // residual sum of squares of the degree-(K-1) fit
  float SWYP = 0.0f;        // sum of w (y - YBAR) P_{K-1}; first formed for P_1
  float SWPP = s.SW;        // sum of w P_{K-1}^2
  float SZPP = start.SZPP;  // sum of z w P_{K-1}^2
  const float SST = s.YCONST ? 0.0f : RSS;
  const float TOL = (1.0f - 10.0f * AMACH(4)) * SST;
  const int NLOOP = MAXDEG + 1 < NDIST ? MAXDEG + 1 : NDIST;
  for (int K = 1; K <= NLOOP; ++K) {
    if (K >= 2) {
      const float SSK = SWYP * SWYP / SWPP;
      RSS = RSS - SSK;
      if (RSS <= 0.0f) RSS = 0.0f;
      SSREG = SSREG + SSK;
      if (SSREG > SST) SSREG = SST;
    }
    float PLOF = 1.0f;
    if (LOFLAG == 1 && K >= 2) {
      PLOF = lack_of_fit_probability(K, NDIST, SST, SSREG, SSPE, DFPE);
    }
    if (degree_suffices(K, LOFLAG, ICRIT, CF, PLOF, SST, SSREG, TOL) || K == NLOOP) break;

    NDEG = K;
    const float ALPHAK = SZPP / SWPP;
    if (K >= 2) BETAK = SWPP / d(K - 1);
    const Sums p = next_polynomial(N, XS, Y, W, YBAR, ALPHAK, BETAK, b);
    SWYP = p.SWYP;
    SWPP = p.SWPP;
    SZPP = p.SZPP;
    if (SWPP <= 0.0f) {
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

  SSE = RSS;
  XSHIFT = -(XMID * XSCALE);
  DFE = static_cast<float>(-1 - NDEG) + s.SUMF;
  if (DFE == 0.0f) SSE = 0.0f;
  report_conditions(NDEG, NDIST, MAXDEG, ICRIT, LOF, SST, SSREG, TOL, SSE, SSPE);
}

}  // namespace ksatfit
