// Confidence and prediction intervals, the coefficients' covariance and the
// statistics of the rows, from the fit's orthogonal basis, its D and its
// error mean square. Everything is formed in long double and rounded once.
#include "api/fit_uncertainty.hpp"

#include <cmath>
#include <cstddef>
#include <limits>
#include <stdexcept>
#include <string>

#include "kernels/real_traits.hpp"
#include "regression/fit_uncertainty.hpp"

namespace ksatfit {
namespace {

using Long = long double;

// The error variance s^2, NaN without error degrees of freedom.
template <class Real>
Long error_variance(const BasicPolynomialFit<Real>& fit) {
  return fit.anova.df_error > 0 ? static_cast<Long>(fit.anova.ms_error)
                                : std::numeric_limits<Long>::quiet_NaN();
}

// t of a two-sided interval at `level`, with the fit's error degrees of freedom.
template <class Real>
Long t_of_level(const BasicPolynomialFit<Real>& fit, Real level) {
  if (!(level > 0 && level < 1)) {
    throw std::invalid_argument("ksatfit: the level of an interval must lie between 0 and 1, not " +
                                std::to_string(level));
  }
  return students_t_upper_quantile((1 - static_cast<double>(level)) / 2, fit.anova.df_error);
}

template <class Real>
BasisPoint basis_point_of(const BasicPolynomialFit<Real>& fit, Real x) {
  return basis_point(fit.degree_fitted, fit.alpha.data(), fit.beta.data(), fit.x_scale,
                     fit.x_shift, fit.orthogonal_coefficients.data(),
                     fit.basis_sums_of_squares.data(), x);
}

template <class Real>
Real rounded(Long value) {
  return static_cast<Real>(value);
}

}  // namespace

template <class Real>
std::vector<Real> coefficient_covariance(const BasicPolynomialFit<Real>& fit) {
  const auto p = static_cast<std::size_t>(fit.degree_fitted) + 1;
  std::vector<Real> covariance(p * p);
  power_form_covariance(fit.degree_fitted, fit.alpha.data(), fit.beta.data(), fit.x_scale,
                        fit.x_shift, fit.basis_sums_of_squares.data(),
                        rounded<Real>(error_variance(fit)), covariance.data());
  return covariance;
}

template <class Real>
std::vector<BasicInterval<Real>> BasicPolynomialFit<Real>::confidence_intervals(Real level) const {
  const Long t = t_of_level(*this, level);
  std::vector<BasicInterval<Real>> intervals;
  for (int k = 0; k <= degree_fitted; ++k) {
    const auto i = static_cast<std::size_t>(k);
    const Long b = coefficients[i];
    const Long half = t * standard_errors[i];
    intervals.push_back({rounded<Real>(b - half), rounded<Real>(b + half)});
  }
  return intervals;
}

template <class Real>
std::vector<BasicPrediction<Real>> BasicPolynomialFit<Real>::predict(std::span<const Real> x,
                                                                     Real level,
                                                                     Real weight) const {
  const Long t = t_of_level(*this, level);
  if (!(weight > 0)) {
    throw std::invalid_argument("ksatfit: the weight of a predicted reading must be above 0, not " +
                                std::to_string(weight));
  }
  const Long s2 = error_variance(*this);
  std::vector<BasicPrediction<Real>> predictions;
  for (const Real x0 : x) {
    const BasisPoint at = basis_point_of(*this, x0);
    const Long se_fit = std::sqrt(s2 * at.variance_factor);
    const Long confidence = t * se_fit;
    const Long prediction = t * std::sqrt(s2 / weight + se_fit * se_fit);
    predictions.push_back({x0, rounded<Real>(at.fitted), rounded<Real>(se_fit),
                           rounded<Real>(at.fitted - confidence),
                           rounded<Real>(at.fitted + confidence),
                           rounded<Real>(at.fitted - prediction),
                           rounded<Real>(at.fitted + prediction)});
  }
  return predictions;
}

template <class Real>
std::vector<BasicCaseStatistics<Real>> case_statistics(const BasicPolynomialFit<Real>& fit,
                                                       std::span<const Real> x,
                                                       std::span<const Real> y,
                                                       const BasicFitOptions<Real>& options) {
  const Real NaN = std::numeric_limits<Real>::quiet_NaN();
  const auto given = [](std::span<const Real> column, std::size_t i) {
    return column.empty() ? Real{1} : column[i];
  };
  std::vector<BasicCaseStatistics<Real>> cases;
  Long observations = 0;  // the frequencies of the rows used with a weight above 0
  for (std::size_t i = 0; i < x.size(); ++i) {
    BasicCaseStatistics<Real> c{static_cast<int>(i), false, x[i], y[i],
                                given(options.weights, i), given(options.frequencies, i),
                                NaN, NaN, NaN, NaN, NaN, NaN, false, false};
    c.used = !std::isnan(c.x) && !std::isnan(c.y) && !std::isnan(c.weight) &&
             !std::isnan(c.frequency);
    if (c.used && c.weight > 0) observations += c.frequency;
    cases.push_back(c);
  }

  const Long s = std::sqrt(error_variance(fit));
  const int p = fit.degree_fitted + 1;
  for (BasicCaseStatistics<Real>& c : cases) {
    if (!c.used) continue;
    const BasisPoint at = basis_point_of(fit, c.x);
    const Long residual = c.y - at.fitted;
    const Long weight = c.frequency > 0 ? c.weight : Real{0};
    const RowInfluence r =
        row_influence<Real>(residual, weight, at.variance_factor, s, fit.anova.df_error, p);
    c.fitted = rounded<Real>(at.fitted);
    c.residual = rounded<Real>(residual);
    c.leverage = rounded<Real>(r.leverage);
    c.standardized_residual = rounded<Real>(r.standardized);
    c.studentized_residual = rounded<Real>(r.studentized);
    c.cooks_distance = rounded<Real>(r.cooks_distance);
    c.outlier = std::fabs(r.studentized) > 3;
    c.influential = r.cooks_distance > 4 / observations;
  }
  return cases;
}

#define KSATFIT_FIT_UNCERTAINTY(Real)                                                           \
  template std::vector<Real> coefficient_covariance(const BasicPolynomialFit<Real>&);           \
  template std::vector<BasicInterval<Real>> BasicPolynomialFit<Real>::confidence_intervals(     \
      Real) const;                                                                              \
  template std::vector<BasicPrediction<Real>> BasicPolynomialFit<Real>::predict(                \
      std::span<const Real>, Real, Real) const;                                                 \
  template std::vector<BasicCaseStatistics<Real>> case_statistics(                              \
      const BasicPolynomialFit<Real>&, std::span<const Real>, std::span<const Real>,            \
      const BasicFitOptions<Real>&);
KSATFIT_FIT_UNCERTAINTY(float)
KSATFIT_FIT_UNCERTAINTY(double)
#undef KSATFIT_FIT_UNCERTAINTY

}  // namespace ksatfit
