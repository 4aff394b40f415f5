// How sure a fit is: intervals, the coefficients' covariance and the row
// statistics, each against the textbook formulas evaluated on a long-double
// least-squares solution of the same data (least_squares_reference.hpp),
// which shares nothing with the library's orthogonal basis; and the rule that
// a row of frequency f is f copies of itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "kernels/real_traits.hpp"
#include "ksatfit/fit.hpp"
#include "least_squares_reference.hpp"

namespace ksatfit {
namespace {

using testing_reference::Long;
using testing_reference::long_double_fit;
using testing_reference::Reference;

// The upper Q quantile of Student's t by bisection on its distribution
// function (the double path's two-tailed probability), independent of the
// quantile the library uses.
Long t_by_bisection(double level, Long nu) {
  double lo = 0, hi = 1e6;
  for (int i = 0; i < 200; ++i) {
    const double mid = 0.5 * (lo + hi);
    (RealTraits<double>::t_two_tails(mid, static_cast<double>(nu)) > 1 - level ? lo : hi) = mid;
  }
  return 0.5 * (lo + hi);
}

// The worst relative error seen, per precision, reported when the suite ends.
struct Worst {
  Long error = 0;
  std::string where;
  void add(Long value, Long reference, Long floor, const std::string& what) {
    const Long e = std::fabs(value - reference) / std::max(std::fabs(reference), floor);
    if (!(e <= error)) {
      error = e;
      where = what;
    }
  }
};

// The definitions evaluated on the reference solution of the rows x, y with
// combined weights w (each row once), compared with the library's figures.
// Quantities in y's units are taken relative to at least s, the residual
// statistics relative to at least 0.1 and Cook's distance to at least 0.001,
// so that a value near 0 is held to an absolute bound on the scale of the
// data's scatter.
template <class Real>
Worst compare_with_reference(const BasicPolynomialFit<Real>& fit, const std::vector<double>& x,
                             const std::vector<double>& y, const std::vector<double>& w,
                             double level) {
  const int degree = fit.degree_fitted;
  const Reference ref = long_double_fit(x, y, w, degree);
  const Long s = std::sqrt(ref.mse);
  const Long t = t_by_bisection(level, ref.df);
  const auto p = static_cast<std::size_t>(degree) + 1;
  Worst worst;

  const auto intervals = fit.confidence_intervals(static_cast<Real>(level));
  for (std::size_t j = 0; j < p; ++j) {
    for (std::size_t k = 0; k < p; ++k) {
      worst.add(fit.covariance[j * p + k], ref.covariance(j, k),
                std::sqrt(ref.covariance(j, j) * ref.covariance(k, k)), "covariance");
    }
    const Long half = t * std::sqrt(ref.covariance(j, j));
    worst.add(intervals[j].upper - intervals[j].lower, 2 * half, 0, "coefficient interval width");
  }

  std::vector<Real> at;
  const auto [lowest, highest] = std::minmax_element(x.begin(), x.end());
  for (int k = -2; k <= 12; ++k) at.push_back(static_cast<Real>(*lowest + (*highest - *lowest) * k / 10));
  const Real new_weight = 2;
  const auto predictions = fit.predict(at, static_cast<Real>(level), new_weight);
  for (const auto& pr : predictions) {
    const Long fitted = ref.fitted(pr.x);
    const Long se = s * std::sqrt(ref.variance_factor(pr.x));
    const Long confidence = t * se;
    const Long prediction = t * std::sqrt(ref.mse / new_weight + se * se);
    const Long floor = s;
    worst.add(pr.fitted, fitted, floor, "fitted");
    worst.add(pr.se_fit, se, 0, "se_fit");
    worst.add(pr.confidence_lower, fitted - confidence, floor, "confidence_lower");
    worst.add(pr.confidence_upper, fitted + confidence, floor, "confidence_upper");
    worst.add(pr.prediction_lower, fitted - prediction, floor, "prediction_lower");
    worst.add(pr.prediction_upper, fitted + prediction, floor, "prediction_upper");
  }

  for (const auto& c : fit.cases) {
    const auto i = static_cast<std::size_t>(c.row);
    const Long e = y[i] - ref.fitted(x[i]);
    const Long h = w[i] * ref.variance_factor(x[i]);
    const Long r = std::sqrt(static_cast<Long>(w[i])) * e / (s * std::sqrt(1 - h));
    const Long studentized = r * std::sqrt((ref.df - 1) / (ref.df - r * r));
    const Long cooks = r * r * h / (static_cast<Long>(p) * (1 - h));
    worst.add(c.fitted, ref.fitted(x[i]), s, "case fitted");
    worst.add(c.residual, e, s, "residual");
    worst.add(c.leverage, h, 0, "leverage");
    worst.add(c.standardized_residual, r, 0.1L, "standardized residual");
    worst.add(c.studentized_residual, studentized, 0.1L, "studentized residual");
    worst.add(c.cooks_distance, cooks, 1e-3L, "Cook's distance");
  }
  return worst;
}

// Random well-conditioned fits of degree 0 to 5 (x spread over a range at
// least as wide as its distance from 0, a scatter of 2 % of the curve's
// range), every other one weighted, at the three levels in turn.
TEST(FitUncertainty, DoubleAgreesWithTheDefinitionsOnALongDoubleSolution) {
  std::mt19937_64 random(23);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  const double levels[] = {0.5, 0.95, 0.999};
  Worst worst;
  for (int trial = 0; trial < 36; ++trial) {
    const int degree = trial % 6;
    const int n = 12 + static_cast<int>(random() % 60);
    const double half_width = std::pow(10.0, 2 * unit(random));
    const double centre = 0.5 * half_width * unit(random);
    std::vector<double> truth(static_cast<std::size_t>(degree) + 1), x, y, w;
    for (double& c : truth) c = unit(random) * std::pow(10.0, 2 * unit(random));
    for (int i = 0; i < n; ++i) {
      const double u = unit(random);
      double v = 0;
      for (std::size_t k = truth.size(); k-- > 0;) v = v * u + truth[k];
      x.push_back(centre + half_width * u);
      y.push_back(v);
      w.push_back(trial % 2 == 1 ? 1.5 + unit(random) : 1.0);
    }
    const auto [low, high] = std::minmax_element(y.begin(), y.end());
    const double scatter = 0.02 * std::max(*high - *low, std::fabs(*high));
    for (double& v : y) v += scatter * unit(random);
    DoubleFitOptions options;
    options.max_degree = degree;
    options.case_statistics = true;
    if (trial % 2 == 1) options.weights = w;
    const DoublePolynomialFit fit = fit_polynomial(x, y, options);
    ASSERT_EQ(fit.degree_fitted, degree);
    const Worst trial_worst = compare_with_reference(fit, x, y, w, levels[trial % 3]);
    EXPECT_LE(trial_worst.error, 1e-12L) << "trial " << trial << ": " << trial_worst.where;
    worst.add(trial_worst.error, 0, 1, trial_worst.where);
  }
  std::printf("[ worst ] double: relative error %.3g (%s)\n", static_cast<double>(worst.error),
              worst.where.c_str());
}

// The laboratory's kind of data: conductivity against depth, 30 readings,
// unweighted and weighted, degrees 1 to 3, in single precision.
TEST(FitUncertainty, FloatAgreesWithTheDefinitionsOnLaboratoryData) {
  const std::vector<float> x = {.52f, .54f, .54f, .55f, .59f, .64f, .66f, .72f, .73f, .74f,
                                .76f, .81f, .86f, .86f, .87f, .90f, .92f, .92f, .92f, .93f,
                                .93f, .94f, .95f, .96f, .97f, .97f, 1.01f, 1.04f, 1.08f, 1.09f};
  const std::vector<float> y = {
      .17448f, .19423f, .18342f, .20723f, .27883f, .33618f, .40984f, .54605f, .61439f, .62726f,
      .69882f, 1.0561f, 1.3084f, 1.3000f, 1.3529f, 1.7073f, 1.8898f, 1.7979f, 1.9236f, 1.9099f,
      1.7892f, 2.2050f, 2.2479f, 2.5466f, 2.4540f, 2.5717f, 2.9415f, 3.8831f, 4.7914f, 4.6481f};
  std::vector<float> w;
  for (std::size_t i = 0; i < x.size(); ++i) w.push_back(1.0f / (0.2f + y[i]));
  const std::vector<double> xd(x.begin(), x.end()), yd(y.begin(), y.end());
  Worst worst;
  for (const bool weighted : {false, true}) {
    for (int degree = 1; degree <= 3; ++degree) {
      FitOptions options;
      options.max_degree = degree;
      options.case_statistics = true;
      if (weighted) options.weights = w;
      const PolynomialFit fit = fit_polynomial(x, y, options);
      const std::vector<double> wd = weighted ? std::vector<double>(w.begin(), w.end())
                                              : std::vector<double>(x.size(), 1.0);
      const Worst fit_worst = compare_with_reference(fit, xd, yd, wd, 0.95);
      EXPECT_LE(fit_worst.error, 1e-4L) << "degree " << degree << (weighted ? " weighted: " : ": ")
                                        << fit_worst.where;
      worst.add(fit_worst.error, 0, 1, fit_worst.where);
    }
  }
  // The curve fit without options has the covariance too; its diagonal is
  // the coefficient table's squared standard errors.
  const PolynomialFit curve = fit_polynomial(x, y, 3);
  for (std::size_t k = 0; k < 4; ++k) {
    const float se = curve.standard_errors[k];
    EXPECT_NEAR(curve.covariance[k * 5], se * se, 1e-5f * se * se) << k;
  }
  std::printf("[ worst ] float: relative error %.3g (%s)\n", static_cast<double>(worst.error),
              worst.where.c_str());
}

// A row of frequency f is f copies of itself: the intervals, the covariance,
// and each copy's leverage and deleted residual come out the same when the
// copies are given one by one.
TEST(FitUncertainty, AFrequencyStandsForCopiesOfTheRow) {
  const std::vector<double> x = {0.1, 0.3, 0.35, 0.5, 0.62, 0.7, 0.9, 1.1};
  const std::vector<double> y = {1.2, 1.9, 2.3, 2.2, 3.1, 2.9, 4.4, 4.0};
  const std::vector<double> f = {1, 3, 1, 2, 1, 4, 1, 2};
  const std::vector<double> w = {1, 0.5, 2, 1, 1.5, 1, 0.8, 1};
  std::vector<double> xc, yc, wc;
  std::vector<std::size_t> source;
  for (std::size_t i = 0; i < x.size(); ++i) {
    for (int copy = 0; copy < f[i]; ++copy) {
      xc.push_back(x[i]);
      yc.push_back(y[i]);
      wc.push_back(w[i]);
      source.push_back(i);
    }
  }
  DoubleFitOptions grouped, copied;
  grouped.max_degree = copied.max_degree = 2;
  grouped.case_statistics = copied.case_statistics = true;
  grouped.weights = w;
  grouped.frequencies = f;
  copied.weights = wc;
  const DoublePolynomialFit a = fit_polynomial(x, y, grouped);
  const DoublePolynomialFit b = fit_polynomial(xc, yc, copied);
  const auto close = [](double u, double v) { return std::fabs(u - v) <= 1e-12 * std::fabs(v); };
  for (std::size_t k = 0; k < a.covariance.size(); ++k) {
    EXPECT_PRED2(close, a.covariance[k], b.covariance[k]) << k;
  }
  const std::vector<double> at = {0.0, 0.45, 1.3};
  const auto pa = a.predict(at, 0.9), pb = b.predict(at, 0.9);
  for (std::size_t k = 0; k < at.size(); ++k) {
    EXPECT_PRED2(close, pa[k].se_fit, pb[k].se_fit);
    EXPECT_PRED2(close, pa[k].confidence_upper, pb[k].confidence_upper);
    EXPECT_PRED2(close, pa[k].prediction_lower, pb[k].prediction_lower);
  }
  for (std::size_t c = 0; c < b.cases.size(); ++c) {
    const auto& one = a.cases[source[c]];
    EXPECT_PRED2(close, one.leverage, b.cases[c].leverage) << c;
    EXPECT_PRED2(close, one.studentized_residual, b.cases[c].studentized_residual) << c;
    EXPECT_PRED2(close, one.cooks_distance, b.cases[c].cooks_distance) << c;
  }
  // And the copies are what the long-double reference sees.
  const Worst worst = compare_with_reference(b, xc, yc, wc, 0.95);
  EXPECT_LE(worst.error, 1e-12L) << worst.where;
}

// t from the intervals at levels 50, 95 and 99.9 %, in both precisions,
// against bisection and against known values (t of 1 degree of freedom at
// 75 % is exactly 1).
TEST(FitUncertainty, IntervalsUseStudentsTAtTheLevel) {
  const std::vector<double> x = {1, 2, 3};
  const std::vector<double> y = {1, 3, 2};
  const DoublePolynomialFit fit = fit_polynomial(x, y, 1);  // nu = 1
  const auto t_of = [&](double level) {
    const auto ci = fit.confidence_intervals(level);
    return (ci[0].upper - fit.coefficients[0]) / fit.standard_errors[0];
  };
  EXPECT_NEAR(t_of(0.5), 1.0, 1e-13);
  EXPECT_NEAR(t_of(0.95), 12.706204736174705, 1e-11);
  EXPECT_NEAR(t_of(0.999), t_by_bisection(0.999, 1), 1e-9);

  const std::vector<float> xf = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  const std::vector<float> yf = {2, 3, 5, 4, 6, 8, 7, 9, 12, 11, 13, 12};
  const PolynomialFit single = fit_polynomial(xf, yf, 1);  // nu = 10
  for (const float level : {0.5f, 0.95f, 0.999f}) {
    const auto ci = single.confidence_intervals(level);
    const double t = (static_cast<double>(ci[1].upper) - single.coefficients[1]) /
                     single.standard_errors[1];
    EXPECT_NEAR(t, t_by_bisection(level, 10), 2e-6 * t) << level;
  }
  EXPECT_NEAR(t_by_bisection(0.95, 10), 2.2281388519862747, 1e-13);
}

TEST(FitUncertainty, ALevelOutsideZeroToOneOrAWeightNotAboveZeroIsRejected) {
  const std::vector<double> x = {1, 2, 3, 4}, y = {1, 3, 2, 5};
  const DoublePolynomialFit fit = fit_polynomial(x, y, 1);
  const std::vector<double> at = {2.5};
  for (const double level : {0.0, 1.0, -0.5, 95.0, std::nan("")}) {
    EXPECT_THROW(fit.confidence_intervals(level), std::invalid_argument) << level;
    EXPECT_THROW(fit.predict(at, level), std::invalid_argument) << level;
  }
  EXPECT_THROW(fit.predict(at, 0.95, 0.0), std::invalid_argument);
  EXPECT_THROW(fit.predict(at, 0.95, -1.0), std::invalid_argument);
}

// No error degrees of freedom: every interval and statistic NaN, no error;
// the fitted values and residuals stay.
TEST(FitUncertainty, WithoutErrorDegreesOfFreedomEveryFigureIsNaN) {
  const std::vector<float> x = {1, 2, 4}, y = {3, 1, 2};
  FitOptions options;
  options.max_degree = 2;
  options.case_statistics = true;
  const PolynomialFit fit = fit_polynomial(x, y, options);
  ASSERT_EQ(fit.anova.df_error, 0);
  for (const float c : fit.covariance) EXPECT_TRUE(std::isnan(c));
  for (const auto& ci : fit.confidence_intervals(0.95f)) {
    EXPECT_TRUE(std::isnan(ci.lower) && std::isnan(ci.upper));
  }
  const std::vector<float> at = {1.5f};
  const Prediction p = fit.predict(at, 0.95f)[0];
  EXPECT_NEAR(p.fitted, fit.evaluate(1.5f), 1e-5f);
  for (const float v : {p.se_fit, p.confidence_lower, p.confidence_upper, p.prediction_lower,
                        p.prediction_upper}) {
    EXPECT_TRUE(std::isnan(v));
  }
  for (const auto& c : fit.cases) {
    EXPECT_TRUE(c.used);
    EXPECT_NEAR(c.residual, 0, 1e-5f);
    for (const float v : {c.leverage, c.standardized_residual, c.studentized_residual,
                          c.cooks_distance}) {
      EXPECT_TRUE(std::isnan(v));
    }
    EXPECT_FALSE(c.outlier || c.influential);
  }
}

// A row of weight 0 or frequency 0 has its fitted value and residual only; a
// row with a missing value is not used and has no figures at all.
TEST(FitUncertainty, RowsOutsideTheFitHaveNoStatistics) {
  const float NaN = std::numeric_limits<float>::quiet_NaN();
  const std::vector<float> x = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f, NaN};
  const std::vector<float> y = {1.0f, 1.3f, 1.5f, 1.9f, 2.2f, 2.4f, 2.9f, 3.1f, 4.0f};
  const std::vector<float> w = {1, 1, 0, 1, 1, 1, 1, 1, 1};
  const std::vector<float> f = {1, 1, 1, 1, 1, 0, 1, 2, 1};
  FitOptions options;
  options.max_degree = 1;
  options.case_statistics = true;
  options.weights = w;
  options.frequencies = f;
  const PolynomialFit fit = fit_polynomial(x, y, options);
  ASSERT_EQ(fit.cases.size(), x.size());
  for (const std::size_t outside : {2u, 5u}) {
    const CaseStatistics& c = fit.cases[outside];
    EXPECT_TRUE(c.used);
    EXPECT_NEAR(c.fitted, fit.evaluate(x[outside]), 1e-6f);
    EXPECT_NEAR(c.residual, y[outside] - c.fitted, 1e-6f);
    EXPECT_TRUE(std::isnan(c.leverage) && std::isnan(c.studentized_residual) &&
                std::isnan(c.cooks_distance));
  }
  const CaseStatistics& missing = fit.cases[8];
  EXPECT_FALSE(missing.used);
  EXPECT_EQ(missing.row, 8);
  EXPECT_EQ(missing.y, 4.0f);
  EXPECT_TRUE(std::isnan(missing.fitted) && std::isnan(missing.residual));
  EXPECT_FALSE(std::isnan(fit.cases[7].leverage));
  EXPECT_EQ(fit.cases[7].frequency, 2.0f);
}

// A planted outlier is flagged as one; a lone reading far out in x pulls the
// curve and is flagged as influential (Cook's distance above 4 / n).
TEST(FitUncertainty, FlagsThePlantedOutlierAndTheInfluentialReading) {
  std::vector<double> x, y;
  std::mt19937_64 random(7);
  std::normal_distribution<double> noise(0, 0.05);
  for (int i = 0; i < 24; ++i) {
    x.push_back(0.5 + 0.025 * i);
    y.push_back(1 + 2 * x.back() + noise(random));
  }
  y[9] += 0.6;          // an outlier in y
  x.push_back(2.0);     // a reading far out in x, off the line
  y.push_back(4.4);
  DoubleFitOptions options;
  options.max_degree = 1;
  options.case_statistics = true;
  const DoublePolynomialFit fit = fit_polynomial(x, y, options);
  std::vector<int> outliers, influential;
  for (const auto& c : fit.cases) {
    if (c.outlier) outliers.push_back(c.row);
    if (c.influential) influential.push_back(c.row);
  }
  EXPECT_EQ(outliers, std::vector<int>{9});
  EXPECT_EQ(influential, (std::vector<int>{9, 24}));
  EXPECT_GT(fit.cases[24].leverage, 0.5);
}

}  // namespace
}  // namespace ksatfit
