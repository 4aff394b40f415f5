// R3ORP: the least-squares fit on polynomials orthogonal over the data, built
// one degree at a time by the three-term recurrence, with the pure error, the
// stopping rules and the conditions met on the way.
#include <cmath>
#include <utility>

#include "errors/error_layer.hpp"
#include "ksatfit.hpp"
#include "regression/orthogonal_fit.hpp"
#include "runtime/one_based.hpp"

namespace ksatfit {

namespace {

bool all_equal(int N, const float* Y) {
  const Vec1<const float> y(Y);
  for (int i = 1; i < N; ++i) {
    if (y(i) != y(i + 1)) return false;
  }
  return true;
}

// Sizes of the runs of equal values of the sorted XS into IWK(1..NDIST);
// returns NDIST.
int count_groups(int N, const float* XS, int* IWK) {
  const Vec1<const float> x(XS);
  const Vec1<int> iwk(IWK);
  ISET(N, 0, IWK, 1);
  int NDIST = 1;
  iwk(1) = 1;
  for (int i = 2; i <= N; ++i) {
    if (x(i) != x(i - 1)) ++NDIST;
    ++iwk(NDIST);
  }
  return NDIST;
}

// Sum of w * (y - YBAR)^2 in row order.
float centred_sum_of_squares(int N, const float* Y, const float* W, float YBAR) {
  const Vec1<const float> y(Y), w(W);
  float S = 0.0f;
  for (int i = 1; i <= N; ++i) {
    const float R = y(i) - YBAR;
    S = S + w(i) * (R * R);
  }
  return S;
}

// Within-group weighted sum of squares about each group's weighted mean. A
// group whose weights are all 0 holds no observation and adds nothing (its
// mean would be 0/0 and would turn the whole sum into NaN).
float pure_error(int NDIST, const int* IWK, const float* Y, const float* W) {
  const Vec1<const int> size(IWK);
  const Vec1<const float> y(Y), w(W);
  float SSPE = 0.0f;
  int first = 1;
  for (int g = 1; g <= NDIST; ++g) {
    const int last = first + size(g) - 1;
    float SWYG = 0.0f;
    float SWG = 0.0f;
    for (int i = first; i <= last; ++i) {
      SWYG = SWYG + w(i) * y(i);
      SWG = SWG + w(i);
    }
    if (SWG != 0.0f) {
      SSPE = SSPE + centred_sum_of_squares(size(g), y.ptr(first), w.ptr(first), SWYG / SWG);
    }
    first = last + 1;
  }
  return SSPE;
}

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

// The working matrix: four columns whose roles rotate from one degree to
// the next instead of being copied. Entering degree K, c2 holds P_{K-1}, c1
// P_{K-2} and c4 sqrt(w) P_{K-1}; c1 and c3 then receive P_K and sqrt(w) P_K.
struct Basis {
  Vec1<float> c1, c2, c3, c4;
  void rotate() {
    std::swap(c1, c2);
    std::swap(c3, c4);
  }
};

// Values of P_K into c1 and sqrt(w) P_K into c3, and in the same pass the
// sum of sqrt(w) (y - YBAR) sqrt(w) P_K that gives its coefficient.
float next_polynomial(int N, const float* Z, const float* Y, const float* W, float YBAR,
                      float ALPHAK, float BETAK, const Basis& b) {
  const Vec1<const float> z(Z), y(Y), w(W);
  float SWYP = 0.0f;
  for (int i = 1; i <= N; ++i) {
    const float RW = std::sqrt(w(i));
    b.c1(i) = (z(i) - ALPHAK) * b.c2(i) - b.c1(i) * BETAK;
    b.c3(i) = RW * b.c1(i);
    SWYP = SWYP + RW * (y(i) - YBAR) * b.c3(i);
  }
  return SWYP;
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
  const Vec1<const float> w(W);
  const Vec1<float> alpha(ALPHA), beta(BETA), ocoef(OCOEF), d(D);

  const int IMAX = ISMAX(N, XS, 1);
  const int IMIN = ISMIN(N, XS, 1);
  if (IMAX == IMIN) {
    E1MES(4, 7,
          "Each value of the independent variable is the same.  The independent "
          "variable, X(*,IND), cannot be constant.");
    return;
  }
  const bool YCONST = all_equal(N, Y);
  int NDIST = count_groups(N, XS, IWK);
  const float SUMF = SSUM(N, F, 1);
  int LOFLAG = LOF;
  const float CF = (ICRIT == 0 ? 100.0f : CRIT) * 0.01f;
  if (LOF == 1) {
    SSPE = pure_error(NDIST, IWK, Y, W);
    DFPE = SUMF - static_cast<float>(NDIST);
    // Without replicates there is no pure error to test against; ICRIT = 2
    // then falls back on the R-squared rule with CF = CRIT/100.
    if (DFPE == 0.0f) LOFLAG = 0;
  }
  const float XMID = (x(IMIN) + x(IMAX)) * 0.5f;
  XSCALE = 4.0f / (x(IMAX) - x(IMIN));
  const float SWY = SDOT(N, Y, 1, W, 1);
  const float SW = SSUM(N, W, 1);

  const Mat1<float> work(WORK, N);
  Basis b{Vec1<float>(work.ptr(1, 1)), Vec1<float>(work.ptr(1, 2)),
          Vec1<float>(work.ptr(1, 3)), Vec1<float>(work.ptr(1, 4))};
  for (int i = 1; i <= N; ++i) b.c4(i) = std::sqrt(w(i));
  SSET(N, 0.0f, b.c1.ptr(1), 1);
  SSET(N, 0.0f, b.c3.ptr(1), 1);
  SSET(N, 1.0f, b.c2.ptr(1), 1);
  for (int i = 1; i <= N; ++i) x(i) = (x(i) - XMID) * XSCALE;  // now z
  float BETAK = 0.0f;
  SSET(MAXDEG + 1, 0.0f, OCOEF, 1);
  float SSREG = 0.0f;
  d(1) = SW;
  ocoef(1) = SWY / SW;
  NDEG = 0;

  // y enters every sum centred at its weighted mean YBAR, so that neither
  // the units nor the origin of y matter: a y that is tiny against the basis
  // values (1e-9 .. 1e-3) or large against its own spread is not swamped.
  const float YBAR = ocoef(1);
  float SWYP = 0.0f;  // sum of w (y - YBAR) P_{K-1}; first formed for P_1
  float SWPP = SW;    // sum of w P_{K-1}^2
  float RSS = 0.0f;   // residual sum of squares of the degree-(K-1) fit
  float SST = 0.0f;
  float TOL = 0.0f;
  const int NLOOP = MAXDEG + 1 < NDIST ? MAXDEG + 1 : NDIST;
  for (int K = 1; K <= NLOOP; ++K) {
    if (K == 1) {
      // The degree-0 fit leaves the centred sum itself: its share SWY^2/SW
      // is exactly what centring at YBAR removes, so nothing is subtracted
      // here (and the cancelling SWYY - SWY^2/SW is never formed). A sum of
      // nonnegative terms needs no clamp at 0.
      RSS = centred_sum_of_squares(N, Y, W, YBAR);
      SST = YCONST ? 0.0f : RSS;
      TOL = (1.0f - 10.0f * AMACH(4)) * SST;
    } else {
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
    const float ALPHAK = SXYZ(N, XS, 1, b.c4.ptr(1), 1, b.c4.ptr(1), 1) / SWPP;
    if (K >= 2) BETAK = SWPP / d(K - 1);
    SWYP = next_polynomial(N, XS, Y, W, YBAR, ALPHAK, BETAK, b);
    SWPP = SDOT(N, b.c3.ptr(1), 1, b.c3.ptr(1), 1);
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
  DFE = static_cast<float>(-1 - NDEG) + SUMF;
  if (DFE == 0.0f) SSE = 0.0f;
  report_conditions(NDEG, NDIST, MAXDEG, ICRIT, LOF, SST, SSREG, TOL, SSE, SSPE);
}

}  // namespace ksatfit
