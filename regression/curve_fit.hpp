// The curve-fit entry: RCURV (ksatfit/regression.hpp) checks its arguments, obtains the
// workspace and calls R2URV, which fits through the orthogonal-polynomial
// regression and its summary statistics and assembles B, SSPOLY and STAT.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "kernels/real_traits.hpp"

namespace ksatfit {

// What a curve fit computes on its way to B, SSPOLY and STAT, for callers
// that report the whole fit. Written only when B, SSPOLY and STAT are.
template <class Real>
struct CurveFitDetails {
  int NDEGF = 0;
  Real XSCALE = 0;
  Real XSHIFT = 0;
  int NMISS = 0;
  std::vector<Real> ALPHA;  // NDEGF
  std::vector<Real> BETA;   // NDEGF
  std::vector<Real> OCOEF;  // NDEGF + 1
  std::vector<Real> D;      // NDEGF + 1
  std::array<Real, 15> AOV{};
  std::vector<Real> SQSS;  // NDEGF rows by 4, leading dimension NDEGF
  std::vector<Real> COEF;  // NDEGF + 1 rows by 4, leading dimension NDEGF + 1
};

// RCURV (float: the library's routine; double: the same fit in double
// precision), handing back the details of the fit as well when DETAILS is
// not null. The routine-name stack, the messages and the outputs are RCURV's.
template <class Real>
void curve_fit(int NOBS, const Real* XDATA, const Real* YDATA, int NDEG, Real* B, Real* SSPOLY,
               Real* STAT, CurveFitDetails<Real>* DETAILS);

// B and SSPOLY (NDEG+1 each) of a fit of degree NDEGF: the power-form
// coefficients (column 1 of COEF) and the sequential sums of squares (column
// 2 of SQSS), 0 above NDEGF, and SSPOLY(1) = OCOEF(1)^2 * D1, the uncorrected
// sum of squares of the intercept (D1 is the sum of the weights).
template <class Real>
void power_form_outputs(int NDEG, int NDEGF, const Carried<Real>* OCOEF, Real D1, const Real* SQSS,
                        int LDSQSS, const Real* COEF, Real* B, Real* SSPOLY);

// RCURV with caller-supplied workspace: WK of at least
// rcurv_real_workspace_size(NOBS, NDEG) reals, IWK of NOBS integers.
void R2URV(int NOBS, const float* XDATA, const float* YDATA, int NDEG, float* B,
           float* SSPOLY, float* STAT, float* WK, int* IWK);

// (NDEG+3)(NDEG+1) + 11(NOBS+NDEG) + 5, formed in 64 bits: in 32 bits it
// overflows for large NOBS or NDEG and would under-size the workspace.
std::int64_t rcurv_real_workspace_size(int NOBS, int NDEG);

// Where R2URV keeps its pieces in WK, as offsets in reals from WK(1). Room for
// the data matrix (x then y, leading dimension NOBS; left untouched, as the
// regression reads XDATA and YDATA where they are), the recurrence parameters
// and the orthogonal coefficients come first; the regression's work area
// follows and, once the regression is done, holds SQSS (leading dimension
// NDEG), COEF (leading dimension NDEG+1) and the work area of the summary
// statistics. Only the parts that a call uses are touched, so the untouched
// pages of a large workspace cost nothing.
struct CurveFitSlices {
  std::ptrdiff_t x;
  std::ptrdiff_t y;
  std::ptrdiff_t alpha;
  std::ptrdiff_t beta;
  std::ptrdiff_t ocoef;
  std::ptrdiff_t regression_work;
  std::ptrdiff_t sqss;
  std::ptrdiff_t coef;
  std::ptrdiff_t summary_work;
};
CurveFitSlices curve_fit_slices(int NOBS, int NDEG);

}  // namespace ksatfit
