#include "regression/fit_uncertainty.hpp"

#include <cmath>
#include <cstddef>
#include <limits>
#include <vector>

#include "regression/fitted_curve.hpp"
#include "regression/power_basis.hpp"
#include "runtime/one_based.hpp"

namespace ksatfit {

template <class Real>
BasisPoint basis_point(int NDEG, const Real* ALPHA, const Real* BETA, Real XSCALE, Real XSHIFT,
                       const Real* OCOEF, const Real* D, Real X) {
  using Long = long double;
  const Vec1<const Real> ocoef(OCOEF);
  const Vec1<const Real> d(D);
  BasisPoint point{0, 0};
  const Long z = static_cast<Long>(XSCALE) * X + XSHIFT;
  walk_basis(NDEG, ALPHA, BETA, z, [&](int K, Long P) {
    point.fitted += ocoef(K + 1) * P;
    point.variance_factor += P * P / d(K + 1);
  });
  return point;
}

template <class Real>
void power_form_covariance(int NDEG, const Real* ALPHA, const Real* BETA, Real XSCALE,
                           Real XSHIFT, const Real* D, Real S2, Real* COV) {
  using Wide = Carried<double>;
  const int N = NDEG + 1;
  const auto size = static_cast<std::size_t>(N);
  const std::vector<Wide> alpha(ALPHA, ALPHA + NDEG);
  const std::vector<Wide> beta(BETA, BETA + NDEG);
  std::vector<Wide> unit(size, 0);
  std::vector<double> powers(size * size);
  std::vector<double> WK(4 * size);
  const Mat1<double> t(powers.data(), N);
  for (int K = 1; K <= N; ++K) {
    unit[static_cast<std::size_t>(K - 1)] = 1;
    R3TAP<double>(NDEG, unit.data(), t.ptr(1, K), alpha.data(), beta.data(), XSCALE, XSHIFT,
                  WK.data(), N);
    unit[static_cast<std::size_t>(K - 1)] = 0;
  }
  const Vec1<const Real> d(D);
  const Mat1<Real> cov(COV, N);
  for (int I = 1; I <= N; ++I) {
    for (int J = 1; J <= I; ++J) {
      long double sum = 0;
      for (int K = 1; K <= N; ++K) sum += static_cast<long double>(t(I, K)) * t(J, K) / d(K);
      cov(I, J) = cov(J, I) = static_cast<Real>(S2 * sum);
    }
  }
}

template <class Real>
RowInfluence row_influence(long double E, long double W, long double V, long double S,
                           long double NU, int P) {
  const long double NaN = std::numeric_limits<long double>::quiet_NaN();
  const long double eps = std::numeric_limits<Real>::epsilon();
  const long double H = W * V;
  if (!(NU > 0) || std::isnan(S) || !(W > 0) || !(H < 1 - 10 * eps)) {
    return {NaN, NaN, NaN, NaN};
  }
  const long double r = std::sqrt(W) * E / (S * std::sqrt(1 - H));
  return {H, r, r * std::sqrt((NU - 1) / (NU - r * r)), r * r * H / (P * (1 - H))};
}

#define KSATFIT_FIT_UNCERTAINTY(Real)                                                          \
  template BasisPoint basis_point<Real>(int, const Real*, const Real*, Real, Real, const Real*, \
                                        const Real*, Real);                                    \
  template void power_form_covariance<Real>(int, const Real*, const Real*, Real, Real,          \
                                            const Real*, Real, Real*);                          \
  template RowInfluence row_influence<Real>(long double, long double, long double, long double, \
                                            long double, int);
KSATFIT_FIT_UNCERTAINTY(float)
KSATFIT_FIT_UNCERTAINTY(double)
#undef KSATFIT_FIT_UNCERTAINTY

}  // namespace ksatfit
