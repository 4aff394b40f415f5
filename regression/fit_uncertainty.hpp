// How sure a fit is, from its orthogonal basis: the basis polynomials are
// orthogonal under the fit's weights, so the orthogonal coefficients are
// uncorrelated with variances s^2 / D(K), and the variance of the fitted
// value at z is s^2 sum_K P_K(z)^2 / D(K) with no matrix to invert. These
// figures are not part of the fit's own routines; they read its results only.
#pragma once

#include "kernels/real_traits.hpp"

namespace ksatfit {

// The fitted value at z = XSCALE * X + XSHIFT and sum_{K=0..NDEG} of
// P_K(z)^2 / D(K+1), both formed in long double from the fit's ALPHA, BETA,
// OCOEF and D (NDEG, NDEG, NDEG+1 and NDEG+1 values).
struct BasisPoint {
  long double fitted;
  long double variance_factor;
};
template <class Real>
BasisPoint basis_point(int NDEG, const Real* ALPHA, const Real* BETA, Real XSCALE, Real XSHIFT,
                       const Real* OCOEF, const Real* D, Real X);

// COV (NDEG+1 by NDEG+1, symmetric) = S2 T diag(1 / D) T', the covariance of
// the power-form coefficients, where column K of T holds the powers of x in
// P_(K-1)(XSCALE * x + XSHIFT): the change of basis applied to each basis
// polynomial, carried as the double fit carries it whatever Real is.
template <class Real>
void power_form_covariance(int NDEG, const Real* ALPHA, const Real* BETA, Real XSCALE,
                           Real XSHIFT, const Real* D, Real S2, Real* COV);

// The leverage and residual statistics of one copy of a row of weight W,
// residual E and variance factor V (sum_K P_K(z)^2 / D(K)), in a fit with
// error standard deviation S on NU degrees of freedom and P coefficients.
// All NaN where they cannot be formed: no error degrees of freedom or
// estimate, a weight not above 0 (pass 0 for a row of frequency 0), or a
// leverage that is 1 up to the rounding of Real (the row alone decides the
// curve there).
struct RowInfluence {
  long double leverage, standardized, studentized, cooks_distance;
};
template <class Real>
RowInfluence row_influence(long double E, long double W, long double V, long double S,
                           long double NU, int P);

}  // namespace ksatfit
