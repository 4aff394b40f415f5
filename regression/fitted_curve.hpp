// The value of a fitted polynomial at a given abscissa, formed on the
// orthogonal basis of the fit rather than from the power-form coefficients,
// which lose digits to cancellation as the degree grows.
#pragma once

namespace ksatfit {

// The sum of OCOEF(K+1) * P_K(z) for K = 0..NDEG at z = XSCALE * X + XSHIFT,
// with P_0 = 1, P_1 = z - ALPHA(1) and
// P_K = (z - ALPHA(K)) * P_(K-1) - BETA(K) * P_(K-2), as the fit built them.
float fitted_value(int NDEG, const float* ALPHA, const float* BETA, float XSCALE, float XSHIFT,
                   const float* OCOEF, float X);

}  // namespace ksatfit
