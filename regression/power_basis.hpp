// Change of basis from a fit on monic orthogonal polynomials in the scaled
// variable z = XSCALE * x + XSHIFT to the ordinary powers of x, for the
// coefficients and for their variances.
//
// The basis is P_0 = 1, P_1 = z - ALPHA(1),
// P_K = (z - ALPHA(K)) * P_(K-1) - BETA(K) * P_(K-2). Both routines are
// templates on the real type, made for float and double.
#pragma once

#include "kernels/real_traits.hpp"

namespace ksatfit {

// OCOEF(1..NDEG+1) holds the coefficients of P_0..P_NDEG, C(1..NDEG+1)
// receives those of x^0..x^NDEG; C may be OCOEF itself. WK is LDWK by 4,
// LDWK >= NDEG+1.
template <class Real>
void R3TAP(int NDEG, const Carried<Real>* OCOEF, Real* C, const Carried<Real>* ALPHA,
           const Carried<Real>* BETA, Real XSCALE, Real XSHIFT, Real* WK, int LDWK);

// VAR(1..NDEG+1) holds the variances of the (uncorrelated) orthogonal
// coefficients on entry and the variances of the power-form coefficients on
// return. WK is LDWK by NDEG+3, LDWK >= NDEG+1.
template <class Real>
void R4TAP(int NDEG, Real* VAR, const Carried<Real>* ALPHA, const Carried<Real>* BETA,
           Real XSCALE, Real XSHIFT, Real* WK, int LDWK);

}  // namespace ksatfit
