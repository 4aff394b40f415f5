// The figures of BasicPolynomialFit (ksatfit/fit.hpp) that say how sure the
// fit is, formed from the fit's own orthogonal basis once fit_polynomial has
// the rest.
#pragma once

#include <span>
#include <vector>

#include "ksatfit/fit.hpp"

namespace ksatfit {

// Cov(b) of the fitted powers, row-major (fit.covariance).
template <class Real>
std::vector<Real> coefficient_covariance(const BasicPolynomialFit<Real>& fit);

// One entry per row of x, y and the options' weights and frequencies (fit.cases).
template <class Real>
std::vector<BasicCaseStatistics<Real>> case_statistics(const BasicPolynomialFit<Real>& fit,
                                                       std::span<const Real> x,
                                                       std::span<const Real> y,
                                                       const BasicFitOptions<Real>& options);

}  // namespace ksatfit
