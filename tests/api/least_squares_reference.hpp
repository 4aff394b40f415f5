// A weighted least-squares fit of y on 1, x, ..., x^degree in long double,
// by modified Gram-Schmidt on the power columns: a reference for the library's
// fits that shares nothing with their orthogonal-polynomial basis.
#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

namespace ksatfit::testing_reference {

using Long = long double;

// Weighted least squares of y on 1, x, ..., x^degree in long double:
// coefficients, their standard errors and the error sum of squares.
struct Reference {
  std::vector<Long> b, se;
  Long sse = 0;
  Long mse = 0;  // sse / df
  Long df = 0;   // n - (degree + 1)
  std::vector<std::vector<Long>> rinv;  // R^-1 of the weighted power columns, A = Q R

  // sum_j b_j x^j
  Long fitted(Long x) const {
    Long v = 0;
    for (std::size_t k = b.size(); k-- > 0;) v = v * x + b[k];
    return v;
  }
  // |R^-T (1, x, ..., x^degree)|^2: the fitted value's variance over mse,
  // and a row's leverage over its weight.
  Long variance_factor(Long x) const {
    Long sum = 0;
    for (std::size_t k = 0; k < b.size(); ++k) {
      Long c = 0, power = 1;
      for (std::size_t j = 0; j <= k; ++j, power *= x) c += rinv[j][k] * power;
      sum += c * c;
    }
    return sum;
  }
  // Cov(b_j, b_k) = mse (R^-1 R^-T)(j, k)
  Long covariance(std::size_t j, std::size_t k) const {
    Long sum = 0;
    for (std::size_t m = 0; m < b.size(); ++m) sum += rinv[j][m] * rinv[k][m];
    return mse * sum;
  }
};

inline Reference long_double_fit(const std::vector<double>& x, const std::vector<double>& y,
                          const std::vector<double>& w, int degree) {
  const std::size_t n = x.size();
  const std::size_t p = static_cast<std::size_t>(degree) + 1;
  std::vector<std::vector<Long>> q(p, std::vector<Long>(n));
  std::vector<std::vector<Long>> r(p, std::vector<Long>(p, 0));
  for (std::size_t i = 0; i < n; ++i) {
    Long power = std::sqrt(static_cast<Long>(w[i]));
    for (std::size_t k = 0; k < p; ++k, power *= x[i]) q[k][i] = power;
  }
  for (std::size_t k = 0; k < p; ++k) {  // modified Gram-Schmidt: A = Q R
    for (std::size_t j = 0; j < k; ++j) {
      Long dot = 0;
      for (std::size_t i = 0; i < n; ++i) dot += q[j][i] * q[k][i];
      r[j][k] = dot;
      for (std::size_t i = 0; i < n; ++i) q[k][i] -= dot * q[j][i];
    }
    Long norm = 0;
    for (std::size_t i = 0; i < n; ++i) norm += q[k][i] * q[k][i];
    r[k][k] = std::sqrt(norm);
    for (std::size_t i = 0; i < n; ++i) q[k][i] /= r[k][k];
  }
  std::vector<Long> residual(n), qty(p);
  for (std::size_t i = 0; i < n; ++i) residual[i] = std::sqrt(static_cast<Long>(w[i])) * y[i];
  for (std::size_t k = 0; k < p; ++k) {
    Long dot = 0;
    for (std::size_t i = 0; i < n; ++i) dot += q[k][i] * residual[i];
    qty[k] = dot;
    for (std::size_t i = 0; i < n; ++i) residual[i] -= dot * q[k][i];
  }
  Reference ref;
  for (Long e : residual) ref.sse += e * e;
  // R b = Q'y, and the covariance of b is MSE (R'R)^-1 = MSE R^-1 R^-T.
  ref.b.assign(p, 0);
  std::vector<std::vector<Long>> rinv(p, std::vector<Long>(p, 0));
  for (std::size_t k = p; k-- > 0;) {
    Long s = qty[k];
    for (std::size_t j = k + 1; j < p; ++j) s -= r[k][j] * ref.b[j];
    ref.b[k] = s / r[k][k];
    rinv[k][k] = 1 / r[k][k];
    for (std::size_t j = k + 1; j < p; ++j) {
      Long t = 0;
      for (std::size_t m = k + 1; m <= j; ++m) t += r[k][m] * rinv[m][j];
      rinv[k][j] = -t / r[k][k];
    }
  }
  const Long mse = ref.sse / static_cast<Long>(n - p);
  for (std::size_t k = 0; k < p; ++k) {
    Long s = 0;
    for (std::size_t j = k; j < p; ++j) s += rinv[k][j] * rinv[k][j];
    ref.se.push_back(std::sqrt(mse * s));
  }
  ref.rinv = rinv;
  ref.mse = mse;
  ref.df = static_cast<Long>(n - p);
  return ref;
}

}  // namespace ksatfit::testing_reference
