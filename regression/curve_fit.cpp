#include "regression/curve_fit.hpp"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>

#include "errors/error_layer.hpp"
#include "kernels/real_kernels.hpp"
#include "kernels/real_traits.hpp"
#include "ksatfit/errors.hpp"
#include "ksatfit/kernels.hpp"
#include "ksatfit/regression.hpp"
#include "regression/summary_statistics.hpp"
#include "regression/orthogonal_fit.hpp"
#include "runtime/one_based.hpp"

namespace ksatfit {
namespace {

// What the regression hands back besides its arrays.
template <class Real>
struct RegressionScalars {
  int NDEGF = 0;
  Real XSCALE = 0;
  Real XSHIFT = 0;
  Real DFE = 0;
  Real SSE = 0;
  Real DFPE = 0;  // written only with a lack-of-fit test, which is off
  Real SSPE = 0;
  int NMISS = 0;
};

// ALPHA, BETA, OCOEF and D of the regression, in the precision that the fit
// carries them in (RealTraits: Carried): in float the slices of WK and, for
// D, SSPOLY; in double arrays of their own.
template <class Real>
struct CarriedFit {
  std::vector<Carried<Real>> storage[4];
  Carried<Real>* ALPHA;
  Carried<Real>* BETA;
  Carried<Real>* OCOEF;
  Carried<Real>* D;
  CarriedFit(const CarriedFit&) = delete;  // the pointers may point into storage
  CarriedFit& operator=(const CarriedFit&) = delete;
  CarriedFit(int NDEG, Real* WK, const CurveFitSlices& s, Real* SSPOLY)
      : ALPHA(RealTraits<Real>::carried_array(WK + s.alpha, NDEG, storage[0])),
        BETA(RealTraits<Real>::carried_array(WK + s.beta, NDEG, storage[1])),
        OCOEF(RealTraits<Real>::carried_array(WK + s.ocoef, NDEG + 1, storage[2])),
        D(RealTraits<Real>::carried_array(SSPOLY, NDEG + 1, storage[3])) {}
};

// The two checks that RCURV and R2URV share; false when one fired.
bool curve_fit_arguments_ok(int NOBS, int NDEG) {
  if (NOBS < 1) {
    E1STI(1, NOBS);
    E1MES(5, 1, "The number of observations must be at least 1 while NOBS = %(I1) is given.");
    return false;
  }
  if (NDEG < 0) {
    E1STI(1, NDEG);
    E1MES(5, 2,
          "NDEG = %(I1).  The degree of the polynomial to be fit must be greater than or "
          "equal to 0.");
    return false;
  }
  return true;
}

// Storage for `count` elements, or null when the allocator refuses it or its
// size in bytes cannot be represented in this address space (which an
// allocation request could otherwise silently wrap).
template <class T>
std::unique_ptr<T[]> try_allocate(std::int64_t count) {
  constexpr auto limit = static_cast<std::uint64_t>(PTRDIFF_MAX) / sizeof(T);
  if (count < 0 || static_cast<std::uint64_t>(count) > limit) return nullptr;
  return std::unique_ptr<T[]>(new (std::nothrow) T[static_cast<std::size_t>(count)]);
}

// Rephrases the condition that the regression left for a curve fit. Returns
// false when the regression fitted nothing, so no output may be written.
bool report_regression_condition(int NDEG, int NDEGF) {
  const int type = N1RTY(1);
  const int code = N1RCD(1);
  if (type == 4 && code == 3) {
    E1MES(4, 3,
          "There are no valid data points.  Each (x,y) pair contains NaN (not a number).");
  } else if (type == 4 && code == 7) {
    E1MES(4, 7, "The x values are constant.  At least two distinct x values are needed.");
  } else if (type == 3 && code == 6) {
    E1STI(1, NDEG);
    E1STI(2, NDEGF);
    E1MES(3, 6,
          "A perfect fit was obtained with a polynomial of lower degree (=%(I2)) than NDEG = "
          "%(I1) as requested.");
  } else if (type == 3 && code == 4) {
    E1MES(3, 4,
          "The y values are constant.  A zero order polynomial is fit.  High order "
          "coefficients are set to zero.");
  }
  return type != 4 && type != 5;
}

// STAT(1)..STAT(4): means and sample variances over the pairs without NaN.
// The mean of x is the scaled abscissas' mean ALPHA(1) mapped back to x; one
// walk over the pairs then carries the sum of y and the sum of squares of x
// about that mean, each in index order (RealTraits: Sum).
template <class Real>
void means_and_variances(int NOBS, const Real* XDATA, const Real* YDATA,
                         const RegressionScalars<Real>& r, const Carried<Real>* ALPHA,
                         const Real* AOV, const Vec1<Real>& stat) {
  using Sum = typename RealTraits<Real>::Sum;
  const Vec1<const Real> x(XDATA);
  const Vec1<const Real> y(YDATA);
  const Real m = static_cast<Real>(NOBS - r.NMISS - 1);
  if (r.NDEGF != 0) {
    stat(1) = C1DIV(static_cast<Real>(ALPHA[0]) - r.XSHIFT, r.XSCALE);
  } else {
    stat(1) = RealTraits<Real>::missing();
    stat(3) = RealTraits<Real>::missing();
  }
  // Without a pair that contains NaN there is nothing to test. The squares
  // are summed even when the mean of x is NaN (degree 0); they are not used
  // then.
  const bool all_pairs = r.NMISS == 0;
  const Real XMEAN = stat(1);
  Sum sum = 0;
  Sum squares = 0;
  for (int I = 1; I <= NOBS; ++I) {
    if (!all_pairs && (IFNAN(x(I)) || IFNAN(y(I)))) continue;
    sum = sum + y(I);
    const Real deviation = x(I) - XMEAN;
    squares = squares + deviation * deviation;
  }
  stat(2) = static_cast<Real>(sum / (m + 1));
  if (r.NDEGF != 0) stat(3) = C1DIV(static_cast<Real>(squares), m);
  stat(4) = C1DIV(Vec1<const Real>(AOV)(6), m);
}

// B, SSPOLY and STAT from the regression and its summary statistics. Terms
// above the fitted degree are 0.
template <class Real>
void assemble_outputs(int NOBS, const Real* XDATA, const Real* YDATA, int NDEG,
                      const RegressionScalars<Real>& r, const CarriedFit<Real>& f,
                      const Real* WK, const CurveFitSlices& s, const Real* AOV, Real* B,
                      Real* SSPOLY, Real* STAT) {
  power_form_outputs(NDEG, r.NDEGF, f.OCOEF, static_cast<Real>(f.D[0]), WK + s.sqss, NDEG,
                     WK + s.coef, B, SSPOLY);
  const Vec1<Real> stat(STAT);
  const Vec1<const Real> aov(AOV);
  means_and_variances(NOBS, XDATA, YDATA, r, f.ALPHA, AOV, stat);
  stat(5) = aov(11);
  stat(6) = aov(1);
  stat(7) = aov(4);
  stat(8) = aov(2);
  stat(9) = aov(5);
  stat(10) = static_cast<Real>(r.NMISS);
}

// The first ROWS rows of the four columns of a matrix with leading dimension
// LD, as a matrix with leading dimension ROWS.
template <class Real>
std::vector<Real> leading_rows(const Real* matrix, int LD, int ROWS) {
  const Mat1<const Real> a(matrix, LD);
  std::vector<Real> rows(4 * static_cast<std::size_t>(ROWS));
  for (int J = 1; J <= 4; ++J) SCOPY(ROWS, a.ptr(1, J), 1, rows.data() + (J - 1) * ROWS, 1);
  return rows;
}

template <class Real>
void hand_back_details(int NDEG, const RegressionScalars<Real>& r, const CarriedFit<Real>& f,
                       const Real* WK, const CurveFitSlices& s, const Real* AOV,
                       CurveFitDetails<Real>& details) {
  details.NDEGF = r.NDEGF;
  details.XSCALE = r.XSCALE;
  details.XSHIFT = r.XSHIFT;
  details.NMISS = r.NMISS;
  details.ALPHA.assign(f.ALPHA, f.ALPHA + r.NDEGF);
  details.BETA.assign(f.BETA, f.BETA + r.NDEGF);
  details.OCOEF.assign(f.OCOEF, f.OCOEF + r.NDEGF + 1);
  details.D.assign(f.D, f.D + r.NDEGF + 1);
  std::copy_n(AOV, details.AOV.size(), details.AOV.begin());
  details.SQSS = leading_rows(WK + s.sqss, NDEG, r.NDEGF);
  details.COEF = leading_rows(WK + s.coef, NDEG + 1, r.NDEGF + 1);
}

// R2URV, handing back its details when DETAILS is not null.
template <class Real>
void curve_fit_work(int NOBS, const Real* XDATA, const Real* YDATA, int NDEG, Real* B,
                    Real* SSPOLY, Real* STAT, Real* WK, int* IWK, CurveFitDetails<Real>* DETAILS) {
  RoutineScope guard("R2URV");
  if (!curve_fit_arguments_ok(NOBS, NDEG)) return;
  const CurveFitSlices s = curve_fit_slices(NOBS, NDEG);

  // The data matrix of the regression has the abscissa in column 1 and the
  // response in column 2: XDATA and YDATA themselves, which the regression
  // reads where they are rather than from copies in slices 1 and 2. Unit
  // frequencies and weights, fit up to NDEG unless a perfect fit or the
  // distinct abscissas stop it, no lack-of-fit test. The basis sums of
  // squares D go to SSPOLY in float (CarriedFit).
  RegressionScalars<Real> r;
  const CarriedFit<Real> f(NDEG, WK, s, SSPOLY);
  R2ORP(NOBS, XDATA, YDATA, NDEG, r.NDEGF, r.XSCALE, r.XSHIFT, f.ALPHA, f.BETA, f.OCOEF, f.D,
        r.DFE, r.SSE, r.DFPE, r.SSPE, r.NMISS, WK + s.regression_work, IWK);
  if (!report_regression_condition(NDEG, r.NDEGF)) return;

  Real AOV[15];
  Real TLOF[20];  // never written: the lack-of-fit option is off
  const int IPRINT = 0;
  R2TAP(r.NDEGF, f.ALPHA, f.BETA, r.XSCALE, r.XSHIFT, f.OCOEF, f.D, r.DFE, r.SSE, 0, r.DFPE,
        r.SSPE, IPRINT, AOV, WK + s.sqss, NDEG, WK + s.coef, NDEG + 1, TLOF, 20,
        WK + s.summary_work);
  // The details first: in float D lies in SSPOLY, which the outputs overwrite.
  if (DETAILS != nullptr) hand_back_details(NDEG, r, f, WK, s, AOV, *DETAILS);
  assemble_outputs(NOBS, XDATA, YDATA, NDEG, r, f, WK, s, AOV, B, SSPOLY, STAT);
}

}  // namespace

template <class Real>
void power_form_outputs(int NDEG, int NDEGF, const Carried<Real>* OCOEF, Real D1,
                        const Real* SQSS, int LDSQSS, const Real* COEF, Real* B, Real* SSPOLY) {
  const Vec1<Real> sspoly(SSPOLY);
  const Real OCOEF1 = static_cast<Real>(OCOEF[0]);
  const Mat1<const Real> sqss(SQSS, LDSQSS);
  sspoly(1) = OCOEF1 * OCOEF1 * D1;
  SSET(NDEG, Real{0}, sspoly.ptr(2), 1);
  SCOPY(NDEGF, sqss.ptr(1, 2), 1, sspoly.ptr(2), 1);
  SSET(NDEG + 1, Real{0}, B, 1);
  SCOPY(NDEGF + 1, COEF, 1, B, 1);
}

std::int64_t rcurv_real_workspace_size(int NOBS, int NDEG) {
  const std::int64_t n = NOBS;
  const std::int64_t k = NDEG;
  return (k + 3) * (k + 1) + 11 * (n + k) + 5;
}

CurveFitSlices curve_fit_slices(int NOBS, int NDEG) {
  const std::ptrdiff_t n = NOBS;
  const std::ptrdiff_t k = NDEG;
  CurveFitSlices s{};
  s.x = 0;
  s.y = s.x + n;
  s.alpha = s.y + n;
  s.beta = s.alpha + k;
  s.ocoef = s.beta + k;
  s.regression_work = s.ocoef + k + 1;
  s.sqss = s.regression_work;
  s.coef = s.sqss + 4 * k;
  s.summary_work = s.coef + 4 * (k + 1);
  return s;
}

void RCURV(int NOBS, const float* XDATA, const float* YDATA, int NDEG, float* B,
           float* SSPOLY, float* STAT) {
  curve_fit<float>(NOBS, XDATA, YDATA, NDEG, B, SSPOLY, STAT, nullptr);
}

void R2URV(int NOBS, const float* XDATA, const float* YDATA, int NDEG, float* B,
           float* SSPOLY, float* STAT, float* WK, int* IWK) {
  curve_fit_work<float>(NOBS, XDATA, YDATA, NDEG, B, SSPOLY, STAT, WK, IWK, nullptr);
}

template <class Real>
void curve_fit(int NOBS, const Real* XDATA, const Real* YDATA, int NDEG, Real* B, Real* SSPOLY,
               Real* STAT, CurveFitDetails<Real>* DETAILS) {
  RoutineScope guard("RCURV");
  if (!curve_fit_arguments_ok(NOBS, NDEG)) return;
  // Both requests are made; whichever succeeded is released on return,
  // before the name is popped.
  const std::unique_ptr<Real[]> WK = try_allocate<Real>(rcurv_real_workspace_size(NOBS, NDEG));
  const std::unique_ptr<int[]> IWK = try_allocate<int>(NOBS);
  if (!WK || !IWK) {
    E1MES(5, 3, " ");
    E1STI(1, NOBS);
    E1STI(2, NDEG);
    E1MES(5, 3,
          "The required storage cannot be allocated based on NOBS = %(I1) and NDEG = %(I2).");
    return;
  }
  curve_fit_work(NOBS, XDATA, YDATA, NDEG, B, SSPOLY, STAT, WK.get(), IWK.get(), DETAILS);
}

#define KSATFIT_CURVE_FIT(Real)                                                              \
  template void curve_fit<Real>(int, const Real*, const Real*, int, Real*, Real*, Real*,       \
                                CurveFitDetails<Real>*);                                       \
  template void power_form_outputs<Real>(int, int, const Carried<Real>*, Real, const Real*,   \
                                         int, const Real*, Real*, Real*);
KSATFIT_CURVE_FIT(float)
KSATFIT_CURVE_FIT(double)
#undef KSATFIT_CURVE_FIT

}  // namespace ksatfit
