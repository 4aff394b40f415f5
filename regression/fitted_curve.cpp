#include "regression/fitted_curve.hpp"

#include "runtime/one_based.hpp"

namespace ksatfit {

template <class Real>
Real orthogonal_series(int NDEG, const Real* ALPHA, const Real* BETA, const Real* OCOEF, Real z) {
  const Vec1<const Real> ocoef(OCOEF);
  Real sum = ocoef(1);
  walk_basis(NDEG, ALPHA, BETA, z, [&](int K, Real P) {
    if (K > 0) sum = sum + ocoef(K + 1) * P;
  });
  return sum;
}

template <class Real>
Real fitted_value(int NDEG, const Real* ALPHA, const Real* BETA, Real XSCALE, Real XSHIFT,
                  const Real* OCOEF, Real X) {
  return orthogonal_series(NDEG, ALPHA, BETA, OCOEF, XSCALE * X + XSHIFT);
}

template float orthogonal_series<float>(int, const float*, const float*, const float*, float);
template double orthogonal_series<double>(int, const double*, const double*, const double*,
                                          double);
template long double orthogonal_series<long double>(int, const long double*,
                                                    const long double*, const long double*,
                                                    long double);
template float fitted_value<float>(int, const float*, const float*, float, float, const float*,
                                   float);
template double fitted_value<double>(int, const double*, const double*, double, double,
                                     const double*, double);

}  // namespace ksatfit
