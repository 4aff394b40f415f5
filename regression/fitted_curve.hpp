// The value of a fitted polynomial at a given abscissa, formed on the
// orthogonal basis of the fit rather than from the power-form coefficients,
// which lose digits to cancellation as the degree grows.
#pragma once

#include "runtime/one_based.hpp"

namespace ksatfit {

// Calls visit(K, P_K(z)) for K = 0..NDEG, the basis polynomials formed in
// type T from ALPHA and BETA by the recurrence below.
template <class T, class Real, class Visit>
void walk_basis(int NDEG, const Real* ALPHA, const Real* BETA, T z, Visit&& visit) {
  const Vec1<const Real> alpha(ALPHA);
  const Vec1<const Real> beta(BETA);
  T previous = 0;  // P_(K-2)
  T current = 1;   // P_(K-1)
  visit(0, current);
  for (int K = 1; K <= NDEG; ++K) {
    const T next = (z - static_cast<T>(alpha(K))) * current - previous * static_cast<T>(beta(K));
    previous = current;
    current = next;
    visit(K, current);
  }
}

// The sum of OCOEF(K+1) * P_K(z) for K = 0..NDEG, with P_0 = 1,
// P_1 = z - ALPHA(1) and P_K = (z - ALPHA(K)) * P_(K-1) - BETA(K) * P_(K-2),
// as the fit built them.
template <class Real>
Real orthogonal_series(int NDEG, const Real* ALPHA, const Real* BETA, const Real* OCOEF, Real z);

// The fitted polynomial at z = XSCALE * X + XSHIFT.
template <class Real>
Real fitted_value(int NDEG, const Real* ALPHA, const Real* BETA, Real XSCALE, Real XSHIFT,
                  const Real* OCOEF, Real X);

}  // namespace ksatfit
