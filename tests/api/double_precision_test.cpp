// fit_polynomial in double precision: random fits up to degree 8 against an
// independent least-squares solution in long double (modified Gram-Schmidt on
// the power columns), the messages' real values with a double's 17 digits,
// and the same conditions raised as in float.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "ksatfit/fit.hpp"
#include "least_squares_reference.hpp"

namespace ksatfit {
namespace {

using testing_reference::long_double_fit;
using testing_reference::Long;
using testing_reference::Reference;

// Every other fit weighted, through the overload with options.
TEST(DoubleFit, AgreesWithALongDoubleSolutionOnRandomFits) {
  std::mt19937_64 random(20261209);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  for (int trial = 0; trial < 60; ++trial) {
    const int degree = trial % 9;
    const int n = 20 + static_cast<int>(random() % 200);
    // Well conditioned: x spread over a range at least as wide as its
    // distance from 0, of any scale.
    const double half_width = std::pow(10.0, 2 * unit(random));
    const double centre = 0.5 * half_width * unit(random);
    const bool weighted = trial % 2 == 1;
    std::vector<double> truth(static_cast<std::size_t>(degree) + 1), x, y, w;
    for (double& c : truth) c = unit(random) * std::pow(10.0, 3 * unit(random));
    for (int i = 0; i < n; ++i) {
      const double t = unit(random);
      double v = 0;
      for (std::size_t k = truth.size(); k-- > 0;) v = v * t + truth[k];
      x.push_back(centre + half_width * t);
      y.push_back(v + 0.01 * unit(random));
      w.push_back(weighted ? 1.5 + unit(random) : 1.0);
    }
    SCOPED_TRACE("trial " + std::to_string(trial) + ", degree " + std::to_string(degree));
    DoubleFitOptions options;
    options.max_degree = degree;
    if (weighted) options.weights = w;
    const DoublePolynomialFit fit =
        weighted ? fit_polynomial(x, y, options) : fit_polynomial(x, y, degree);
    ASSERT_EQ(fit.degree_fitted, degree);
    const Reference ref = long_double_fit(x, y, w, degree);
    // Coefficients of powers of x scale with half_width^-k: compare each on
    // the scale of its own term over the data, |b_k| half_width^k.
    for (std::size_t k = 0; k < ref.b.size(); ++k) {
      const Long scale = std::pow(static_cast<Long>(half_width) + std::fabs(centre),
                                  static_cast<Long>(k));
      const Long largest_term = std::fabs(ref.b[k]) * scale + ref.se[k] * scale;
      EXPECT_LE(std::fabs(fit.coefficients[k] - ref.b[k]) * scale, 1e-9L * largest_term) << k;
      EXPECT_LE(std::fabs(fit.standard_errors[k] - ref.se[k]), 1e-8L * ref.se[k]) << k;
    }
    EXPECT_LE(std::fabs(fit.anova.ss_error - ref.sse), 1e-10L * ref.sse);
  }
}

// The messages of the double path come from the same error layer, with a
// real value shown to 17 significant digits (in the layout of the float's
// field, the E dropped before a three-digit exponent).
TEST(DoubleFit, MessagesShowADoublesDigits) {
  const struct {
    double weight;
    const char* shown;
  } cases[] = {
      {-0.1, "-1.0000000000000001E-01"},
      {-1e-300, "-1.0000000000000000-300"},
      {-2.5, "-2.5000000000000000E+00"},
  };
  const std::vector<double> x = {1, 2, 3}, y = {2, 3, 5};
  for (const auto& c : cases) {
    const std::vector<double> w = {1, c.weight, 1};
    DoubleFitOptions options;
    options.weights = w;
    options.max_degree = 1;
    try {
      fit_polynomial(x, y, options);
      ADD_FAILURE() << "no error for weight " << c.weight;
    } catch (const FitError& e) {
      EXPECT_EQ(e.what(), "The weight for row 2 of X was " + std::string(c.shown) +
                              ".  Weights must be nonnegative.");
      EXPECT_EQ(e.routine(), "R2ORP");
    }
  }
}

// The conditions of the fit are the float fit's: the same types, codes and
// texts where no real value is quoted.
TEST(DoubleFit, RaisesTheFloatFitsConditions) {
  const struct {
    std::vector<double> x, y;
    int degree;
  } cases[] = {
      {{1, 2, 3, 4}, {2, 4, 6, 8}, 3},   // a perfect line: lower degree
      {{1, 2, 3, 4}, {5, 5, 5, 5}, 2},   // constant y
      {{1, 1, 2, 2}, {1, 2, 3, 5}, 3},   // two distinct x only
  };
  for (const auto& c : cases) {
    const std::vector<float> xf(c.x.begin(), c.x.end()), yf(c.y.begin(), c.y.end());
    const DoublePolynomialFit in_double = fit_polynomial(c.x, c.y, c.degree);
    const PolynomialFit in_float = fit_polynomial(xf, yf, c.degree);
    EXPECT_EQ(in_double.degree_fitted, in_float.degree_fitted);
    ASSERT_EQ(in_double.warnings.size(), in_float.warnings.size());
    for (std::size_t i = 0; i < in_float.warnings.size(); ++i) {
      EXPECT_EQ(in_double.warnings[i].type, in_float.warnings[i].type);
      EXPECT_EQ(in_double.warnings[i].code, in_float.warnings[i].code);
      EXPECT_EQ(in_double.warnings[i].text, in_float.warnings[i].text);
    }
  }
  EXPECT_THROW(fit_polynomial(std::vector<double>{2, 2, 2}, std::vector<double>{1, 2, 3}, 1),
               FitError);
}

}  // namespace
}  // namespace ksatfit
