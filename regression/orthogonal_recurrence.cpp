// R3ORP: the least-squares fit on polynomials orthogonal over the data, built
// one degree at a time by the three-term recurrence, with the pure error, the
// stopping rules and the conditions met on the way.
//
// The rows are walked once to survey them, once to set up the basis and once
// per degree. Each walk carries several sums side by side, but every sum adds
// its terms in row order and in its own precision (float, or double where a
// vector kernel would carry it), so each comes out exactly as it would from a
// walk of its own.
#include <cmath>
#include <utility>

#include "errors/error_layer.hpp"
#include "ksatfit.hpp"
#include "regression/orthogonal_fit.hpp"
#include "runtime/one_based.hpp"

namespace ksatfit {

namespace {

// The frequencies and combined weights of the rows, as given ...
struct GivenWeights {
  Vec1<const float> w, f;
  float weight(int i) const { return w(i); }
  float root(int i) const { return std::sqrt(w(i)); }
  float frequency(int i) const { return f(i); }
};

// ... or 1 for every row.
struct UnitWeights {
  float weight(int) const { return 1.0f; }
  float root(int) const { return 1.0f; }
  float frequency(int) const { return 1.0f; }
};

// What one walk over the sorted rows finds: the positions of the first
// largest and the first smallest abscissa (as ISMAX and ISMIN find them),
// whether all y are equal, the number of groups of equal abscissas with their
// sizes in IWK(1..NDIST), and the sums of f, w y and w, each carried in
// double in row order and rounded once (as SSUM and SDOT carry them).
struct Survey {
  int IMAX = 1;
  int IMIN = 1;
  bool YCONST = true;
  int NDIST = 1;
  float SUMF = 0.0f;
  float SWY = 0.0f;
  float SW = 0.0f;
};

template <class Weights>
Survey survey(int N, const float* XS, const float* Y, const Weights& r, int* IWK) {
  const Vec1<const float> x(XS), y(Y);
  const Vec1<int> size(IWK);
  Survey s;
  double SUMF = 0.0;
  double SWY = 0.0;
  double SW = 0.0;
  int first = 1;  // first row of the current group
  for (int i = 1; i <= N; ++i) {
    if (i > 1) {
      if (x(i) > x(s.IMAX)) s.IMAX = i;
      if (x(i) < x(s.IMIN)) s.IMIN = i;
      if (y(i) != y(i - 1)) s.YCONST = false;
      if (x(i) != x(i - 1)) {
        size(s.NDIST) = i - first;
        ++s.NDIST;
        first = i;
      }
    }
    SUMF += r.frequency(i);
    SWY += double{y(i)} * r.weight(i);
    SW += r.weight(i);
  }
  size(s.NDIST) = N + 1 - first;
  s.SUMF = static_cast<float>(SUMF);
  s.SWY = static_cast<float>(SWY);
  s.SW = static_cast<float>(SW);
  return s;
}

// Within-group weighted sum of squares about each group's weighted mean. A
// group whose weights are all 0 holds no observation and adds nothing (its
// mean would be 0/0 and would turn the whole sum into NaN).
template <class Weights>
float pure_error(int NDIST, const int* IWK, const float* Y, const Weights& r) {
  const Vec1<const int> size(IWK);
  const Vec1<const float> y(Y);
  float SSPE = 0.0f;
  int first = 1;
  for (int g = 1; g <= NDIST; ++g) {
    const int last = first + size(g) - 1;
    float SWYG = 0.0f;
    float SWG = 0.0f;
    for (int i = first; i <= last; ++i) {
      SWYG = SWYG + r.weight(i) * y(i);
      SWG = SWG + r.weight(i);
    }
    if (SWG != 0.0f) {
      const float YBARG = SWYG / SWG;
      float S = 0.0f;  // sum of w (y - YBARG)^2 over the group, in row order
      for (int i = first; i <= last; ++i) {
        const float R = y(i) - YBARG;
        S = S + r.weight(i) * (R * R);
      }
      SSPE = SSPE + S;
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

// The working matrix: columns whose roles rotate from one degree to the
// next instead of being copied. Entering degree K, c2 holds P_{K-1}, c1
// P_{K-2} and c4 sqrt(w) P_{K-1}; c1 and c3 then receive P_K and sqrt(w) P_K.
// With unit weights sqrt(w) P is P itself: c3 is then c1 and c4 is c2, and
// the matrix has two columns instead of four.
struct Basis {
  Vec1<float> c1, c2, c3, c4;
  void rotate() {
    std::swap(c1, c2);
    std::swap(c3, c4);
  }
};

Basis make_basis(float* WORK, int N, bool unit_weights) {
  const Mat1<float> work(WORK, N);
  const Vec1<float> c1(work.ptr(1, 1)), c2(work.ptr(1, 2));
  if (unit_weights) return Basis{c1, c2, c1, c2};
  return Basis{c1, c2, Vec1<float>(work.ptr(1, 3)), Vec1<float>(work.ptr(1, 4))};
}

// The sums that a degree's walk over the rows carries for the polynomial P_K
// it forms.
struct Sums {
  float SWYP;  // sum of sqrt(w) (y - YBAR) sqrt(w) P_K, in float: gives OCOEF(K+1)
  float SWPP;  // sum of (sqrt(w) P_K)^2, in double (as SDOT): D(K+1)
  float SZPP;  // sum of z (sqrt(w) P_K)^2, in double (as SXYZ): ALPHA(K+1) times SWPP
};

// What the walk that sets up the basis forms besides it: the residual sum of
// squares of the degree-0 fit, the sum of w (y - YBAR)^2 in float, and the
// sum of z (sqrt(w) P_0)^2 in double (as SXYZ), ALPHA(1) times SW.
struct Start {
  float RSS;
  float SZPP;
};

// Sets up the working matrix for degree 1 and replaces x by z.
template <class Weights>
Start start_basis(int N, float* XS, const float* Y, const Weights& r, float XMID, float XSCALE,
                  float YBAR, const Basis& b) {
  const Vec1<float> x(XS);
  const Vec1<const float> y(Y);
  float RSS = 0.0f;
  double SZPP = 0.0;
  for (int i = 1; i <= N; ++i) {
    b.c4(i) = r.root(i);  // sqrt(w) P_0
    b.c1(i) = 0.0f;       // P_{-1}
    b.c3(i) = 0.0f;
    b.c2(i) = 1.0f;                 // P_0
    x(i) = (x(i) - XMID) * XSCALE;  // now z
    const float R = y(i) - YBAR;
    RSS = RSS + r.weight(i) * (R * R);
    SZPP += double{x(i)} * b.c4(i) * b.c4(i);
  }
  return Start{RSS, static_cast<float>(SZPP)};
}

// Values of P_K into c1 and sqrt(w) P_K into c3, and in the same walk the
// sums for P_K.
template <class Weights>
Sums next_polynomial(int N, const float* Z, const float* Y, const Weights& r, float YBAR,
                     float ALPHAK, float BETAK, const Basis& b) {
  const Vec1<const float> z(Z), y(Y);
  float SWYP = 0.0f;
  double SWPP = 0.0;
  double SZPP = 0.0;
  for (int i = 1; i <= N; ++i) {
    const float RW = r.root(i);
    b.c1(i) = (z(i) - ALPHAK) * b.c2(i) - b.c1(i) * BETAK;
    b.c3(i) = RW * b.c1(i);
    SWYP = SWYP + RW * (y(i) - YBAR) * b.c3(i);
    SWPP += double{b.c3(i)} * b.c3(i);
    SZPP += double{z(i)} * b.c3(i) * b.c3(i);
  }
  return Sums{SWYP, static_cast<float>(SWPP), static_cast<float>(SZPP)};
}

// Whether the fit stops at degree K - 1.
bool degree_suffices(int K, int LOFLAG, int ICRIT, float CF, float PLOF, float SST,
                     float SSREG, float TOL) {
  if (K == 1) return SST <= 0.0f;
  if (LOFLAG == 1 && ICRIT == 2) return PLOF > CF;
  return SSREG >= CF * SST || SSREG >= TOL;
}

template <class Weights>
void fit(int N, float* XS, const float* Y, const Weights& r, int MAXDEG, int ICRIT, float CRIT,
         int LOF, int& NDEG, float& XSCALE, float& XSHIFT, float* ALPHA, float* BETA,
         float* OCOEF, float* D, float& DFE, float& SSE, float& DFPE, float& SSPE, int* IWK,
         Basis b) {
  const Vec1<float> x(XS);
  const Vec1<float> alpha(ALPHA), beta(BETA), ocoef(OCOEF), d(D);

  const Survey s = survey(N, XS, Y, r, IWK);
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
    SSPE = pure_error(NDIST, IWK, Y, r);
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
  const Start start = start_basis(N, XS, Y, r, XMID, XSCALE, YBAR, b);
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
    const Sums p = next_polynomial(N, XS, Y, r, YBAR, ALPHAK, BETAK, b);
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

}  // namespace

void R3ORP(int N, float* XS, const float* Y, const float* W, const float* F,
           int MAXDEG, int ICRIT, float CRIT, int LOF, int& NDEG, float& XSCALE,
           float& XSHIFT, float* ALPHA, float* BETA, float* OCOEF, float* D,
           float& DFE, float& SSE, float& DFPE, float& SSPE, int* IWK, float* WORK) {
  RoutineScope guard("R3ORP");
  const Basis b = make_basis(WORK, N, W == nullptr);
  if (W == nullptr) {
    fit(N, XS, Y, UnitWeights{}, MAXDEG, ICRIT, CRIT, LOF, NDEG, XSCALE, XSHIFT, ALPHA, BETA,
        OCOEF, D, DFE, SSE, DFPE, SSPE, IWK, b);
  } else {
    fit(N, XS, Y, GivenWeights{Vec1<const float>(W), Vec1<const float>(F)}, MAXDEG, ICRIT, CRIT,
        LOF, NDEG, XSCALE, XSHIFT, ALPHA, BETA, OCOEF, D, DFE, SSE, DFPE, SSPE, IWK, b);
  }
}

}  // namespace ksatfit
