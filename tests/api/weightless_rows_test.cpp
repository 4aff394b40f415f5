// Rows of weight 0 (a frequency of 0, or a weight of 0) hold no observation:
// the fit must come out as from the weighted rows alone. The issue's data
// sets against figures worked out independently, in both precisions, also
// through the Fortran entry; and a property over generated data sets: adding
// rows of frequency 0 at abscissas of their own changes no figure of the fit
// beyond the last bits that the changed scaling of x moves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "errors/error_layer.hpp"
#include "ksatfit/fit.hpp"
#include "ksatfit_fortran.h"
#include "tests/support/weightless_rows.hpp"

namespace ksatfit {
namespace {

using test::WeightlessRowsCase;

// `got` agrees with `expected` to `rel` relative to the larger of the two and
// `scale` (the size a figure is small against: the total sum of squares for
// sums of squares, a coefficient's standard error for it, ...).
bool agrees(double got, double expected, double rel, double scale) {
  if (got == expected || (std::isnan(got) && std::isnan(expected))) return true;
  if (std::isnan(scale)) scale = 0;
  return std::abs(got - expected) <=
         rel * std::max({std::abs(got), std::abs(expected), std::abs(scale)});
}

struct Figure {
  const char* name;
  double got, expected, scale;
};

void expect_agreement(const std::vector<Figure>& figures, double rel) {
  for (const Figure& f : figures) {
    EXPECT_TRUE(agrees(f.got, f.expected, rel, f.scale))
        << f.name << ": " << f.got << " against " << f.expected;
  }
}

// The probabilities are held to 1e-2 * rel: those of float are 1 minus a
// distribution function.
template <class Real>
void expect_issue_figures(const WeightlessRowsCase& c, double rel) {
  const std::vector<Real> x(c.x.begin(), c.x.end()), y(c.y.begin(), c.y.end()),
      column(c.c.begin(), c.c.end());
  BasicFitOptions<Real> options;
  (std::string(c.column) == "frequency" ? options.frequencies : options.weights) = column;
  options.max_degree = c.degree;
  options.lack_of_fit = true;
  const BasicPolynomialFit<Real> fit =
      fit_polynomial(std::span<const Real>(x), std::span<const Real>(y), options);

  ASSERT_EQ(fit.degree_fitted, c.degree_fitted);
  EXPECT_EQ(fit.n_used, static_cast<int>(x.size()));  // rows of weight 0 are used rows
  const BasicAnova<Real>& a = fit.anova;
  EXPECT_EQ(a.df_error, c.df_error);
  ASSERT_TRUE(fit.pure_error.has_value());
  EXPECT_EQ(fit.pure_error->df, c.pure_error_df);
  const BasicFTest<Real>& lof = fit.lack_of_fit.back();
  EXPECT_EQ(lof.df, c.lack_of_fit_df);
  const double sst = c.ss_regression + c.ss_error;
  std::vector<Figure> figures = {
      {"ss_regression", a.ss_regression, c.ss_regression, sst},
      {"ss_error", a.ss_error, c.ss_error, sst},
      {"r_squared", a.r_squared, 100 * c.ss_regression / sst, 0},
      {"f", a.f, c.f, 0},
      {"p", a.p, c.p, 1e-2},
      {"pure error", fit.pure_error->ss, c.pure_error_ss, sst},
      {"lack of fit", lof.ss, c.lack_of_fit_ss, sst},
  };
  if (c.lack_of_fit_df > 0) {
    figures.push_back({"lack-of-fit f", lof.f, c.lack_of_fit_f, 0});
    figures.push_back({"lack-of-fit p", lof.p, c.lack_of_fit_p, 1e-2});
  }
  for (std::size_t k = 0; k < c.coefficients.size(); ++k) {
    figures.push_back({"coefficient", fit.coefficients[k], c.coefficients[k], 0});
  }
  expect_agreement(figures, rel);

  ASSERT_EQ(fit.warnings.size(), c.NDIST == 0 ? 0u : 1u);
  if (c.NDIST != 0) {
    EXPECT_EQ(fit.warnings[0].type, 3);
    EXPECT_EQ(fit.warnings[0].code, 5);
    EXPECT_EQ(fit.warnings[0].text,
              "A degree " + std::to_string(c.degree_fitted) + " polynomial is fitted.  There are "
              "only " + std::to_string(c.NDIST) + " distinct abscissas, so a higher degree "
              "polynomial fit cannot be computed.");
  }
}

TEST(WeightlessRows, FitAsTheWeightedRowsAlone) {
  for (const WeightlessRowsCase& c : test::weightless_rows_cases()) {
    SCOPED_TRACE(c.name);
    {
      SCOPED_TRACE("double");
      expect_issue_figures<double>(c, 1e-9);
    }
    {
      SCOPED_TRACE("float");
      expect_issue_figures<float>(c, 1e-4);
    }
  }
}

// The Fortran entry is the library's R2ORP: the same distinct abscissas.
TEST(WeightlessRows, FortranEntryCountsTheWeightedAbscissas) {
  const WeightlessRowsCase& c = test::weightless_rows_cases().front();
  std::vector<float> X;
  for (const auto* column : {&c.x, &c.y, &c.c}) X.insert(X.end(), column->begin(), column->end());
  const int nobs = static_cast<int>(c.x.size()), ncol = 3, irsp = 2, ind = 1, ifrq = 3, iwt = 0,
            maxdeg = c.degree, icrit = 0, lof = 1;
  const float crit = 0;
  int ndeg = -1, nmiss = -1;
  float xscale, xshift, dfe, sse, dfpe, sspe;
  std::vector<float> alpha(maxdeg + 1), beta(maxdeg + 1), ocoef(maxdeg + 1), d(maxdeg + 1);
  std::vector<float> wk(8 * nobs);
  std::vector<int> iwk(nobs);
  testing::internal::CaptureStdout();
  r2orp_(&nobs, &ncol, X.data(), &nobs, &irsp, &ind, &ifrq, &iwt, &maxdeg, &icrit, &crit, &lof,
         &ndeg, &xscale, &xshift, alpha.data(), beta.data(), ocoef.data(), d.data(), &dfe, &sse,
         &dfpe, &sspe, &nmiss, wk.data(), iwk.data());
  const std::string console = testing::internal::GetCapturedStdout();
  reset_error_state_for_tests();
  EXPECT_EQ(ndeg, c.degree_fitted);
  EXPECT_EQ(dfe, c.df_error);
  EXPECT_EQ(dfpe, c.pure_error_df);
  EXPECT_NE(console.find("WARNING  ERROR 5 from R2ORP."), std::string::npos) << console;
}

// --- the property -----------------------------------------------------------

struct DataSet {
  std::vector<double> x, y, f, w;  // w empty: no weight column
  DoubleFitOptions options;

  DoublePolynomialFit fit() const {
    DoubleFitOptions o = options;
    o.frequencies = f;
    o.weights = w;
    return fit_polynomial(std::span<const double>(x), std::span<const double>(y), o);
  }
};

struct Generator {
  std::mt19937 rng{20261209};
  double uniform(double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng); }
  int integer(int a, int b) { return std::uniform_int_distribution<int>(a, b)(rng); }
  bool chance(double p) { return uniform(0, 1) < p; }

  // 2 to 8 levels of x with two decimals, 1 to 3 rows each and at least one
  // replicate (so no degree interpolates the data: the perfect-fit test is
  // never on a knife's edge), a noisy cubic of any scale in y, frequencies 1
  // to 3, weights half the time, and any of the three degree selections.
  DataSet base() {
    DataSet d;
    const double lo = std::vector<double>{0, 1, 10, 100}[integer(0, 3)];
    const double span = std::vector<double>{1, 5, 20}[integer(0, 2)];
    const double scale = std::vector<double>{1e-3, 1, 1e4}[integer(0, 2)];
    double c[4];
    for (double& ci : c) ci = uniform(-2, 2);
    const int levels = integer(2, 8);
    const bool weighted = chance(0.5);
    std::vector<double> used;
    for (int l = 0; l < levels; ++l) {
      double v;
      do {
        v = std::round((lo + uniform(0, span)) * 100) / 100;
      } while (std::find(used.begin(), used.end(), v) != used.end());
      used.push_back(v);
      const int rows = l == 0 ? 2 : integer(1, 3);
      for (int r = 0; r < rows; ++r) {
        const double t = (v - lo) / span;
        d.x.push_back(v);
        d.y.push_back(scale * (c[0] + t * (c[1] + t * (c[2] + t * c[3])) + uniform(-0.2, 0.2)));
        d.f.push_back(integer(1, 3));
        if (weighted) d.w.push_back(uniform(0.5, 2));
      }
    }
    d.options.max_degree = integer(0, 5);
    d.options.selection = static_cast<DegreeSelection>(integer(0, 2));
    d.options.crit = d.options.selection == DegreeSelection::r_squared ? uniform(80, 99.9) : 5;
    d.options.lack_of_fit = d.options.selection == DegreeSelection::lack_of_fit || chance(0.5);
    return d;
  }

  // One to five rows of frequency 0 (of weight 0, or any weight, when there
  // is a weight column) at abscissas of their own, a few sharing one, within
  // the range of x or up to half of it beyond, with any y, anywhere among the
  // rows. Returns how many lie beyond the range.
  int add_weightless_rows(DataSet& d) {
    const auto [lo, hi] = std::minmax_element(d.x.begin(), d.x.end());
    const double xmin = *lo, xmax = *hi, range = xmax - xmin;
    const int count = integer(1, 5);
    int beyond = 0;
    double x = 0;
    for (int k = 0; k < count; ++k) {
      if (k == 0 || chance(0.7)) {
        do {
          x = chance(0.5) ? uniform(xmin, xmax) : uniform(xmin - range / 2, xmax + range / 2);
        } while (std::find(d.x.begin(), d.x.end(), x) != d.x.end());
      }
      if (x < xmin || x > xmax) ++beyond;
      const auto at = static_cast<std::ptrdiff_t>(integer(0, static_cast<int>(d.x.size())));
      d.x.insert(d.x.begin() + at, x);
      d.y.insert(d.y.begin() + at, uniform(-1e6, 1e6));
      d.f.insert(d.f.begin() + at, 0);
      if (!d.w.empty()) d.w.insert(d.w.begin() + at, chance(0.5) ? 0 : uniform(0, 10));
    }
    return beyond;
  }
};

void expect_same_fit(const DoublePolynomialFit& got, const DoublePolynomialFit& base) {
  // Exactly: the degree, every degrees of freedom and the messages.
  ASSERT_EQ(got.degree_fitted, base.degree_fitted);
  const BasicAnova<double>&a = got.anova, &b = base.anova;
  EXPECT_EQ(a.df_regression, b.df_regression);
  EXPECT_EQ(a.df_error, b.df_error);
  EXPECT_EQ(a.df_total, b.df_total);
  ASSERT_EQ(got.sequential.size(), base.sequential.size());
  ASSERT_EQ(got.lack_of_fit.size(), base.lack_of_fit.size());
  ASSERT_EQ(got.pure_error.has_value(), base.pure_error.has_value());
  ASSERT_EQ(got.warnings.size(), base.warnings.size());
  for (std::size_t k = 0; k < got.warnings.size(); ++k) {
    EXPECT_EQ(got.warnings[k].type, base.warnings[k].type);
    EXPECT_EQ(got.warnings[k].code, base.warnings[k].code);
    EXPECT_EQ(got.warnings[k].routine, base.warnings[k].routine);
    EXPECT_EQ(got.warnings[k].text, base.warnings[k].text);
  }
  // The figures, to the last bits that the scaling moves.
  const double sst = b.ss_total;
  std::vector<Figure> figures = {
      {"ss_regression", a.ss_regression, b.ss_regression, sst},
      {"ss_error", a.ss_error, b.ss_error, sst},
      {"ss_total", a.ss_total, b.ss_total, sst},
      {"ms_regression", a.ms_regression, b.ms_regression, sst},
      {"ms_error", a.ms_error, b.ms_error, sst},
      {"f", a.f, b.f, 1},
      {"p", a.p, b.p, 1e-3},
      {"r_squared", a.r_squared, b.r_squared, 1},
      {"adjusted_r_squared", a.adjusted_r_squared, b.adjusted_r_squared, 1},
      {"sd_error", a.sd_error, b.sd_error, std::sqrt(sst)},
      {"mean_y", a.mean_y, b.mean_y, 0},
      {"cv", a.cv, b.cv, 1},
  };
  for (std::size_t k = 0; k <= static_cast<std::size_t>(got.degree_fitted); ++k) {
    const double se = base.standard_errors[k];
    figures.push_back({"coefficient", got.coefficients[k], base.coefficients[k], se});
    figures.push_back({"standard error", got.standard_errors[k], se, 0});
    figures.push_back({"t", got.t[k], base.t[k], 1});
    figures.push_back({"p of t", got.p[k], base.p[k], 1e-3});
  }
  const auto tests = [&](const char* name, const auto& got_rows, const auto& base_rows) {
    for (std::size_t k = 0; k < got_rows.size(); ++k) {
      EXPECT_EQ(got_rows[k].df, base_rows[k].df) << name << " " << k;
      figures.push_back({name, got_rows[k].ss, base_rows[k].ss, sst});
      // Without degrees of freedom F is rounding over 0 and not a figure.
      if (base_rows[k].df == 0) continue;
      figures.push_back({name, got_rows[k].f, base_rows[k].f, 1});
      figures.push_back({name, got_rows[k].p, base_rows[k].p, 1e-3});
    }
  };
  tests("sequential", got.sequential, base.sequential);
  tests("lack of fit", got.lack_of_fit, base.lack_of_fit);
  if (base.pure_error) {
    EXPECT_EQ(got.pure_error->df, base.pure_error->df);
    figures.push_back({"pure error", got.pure_error->ss, base.pure_error->ss, sst});
  }
  expect_agreement(figures, 1e-9);
}

TEST(WeightlessRows, AddingRowsOfFrequencyZeroChangesNoFigure) {
  Generator g;
  const int wanted = 400;
  int sets = 0, added = 0, beyond = 0, by_weight = 0, too_few_abscissas = 0, lack_of_fit = 0;
  for (int s = 0; s < wanted && !HasFailure(); ++s, ++sets) {
    const DataSet base = g.base();
    DataSet more = base;
    const std::size_t rows = base.x.size();
    beyond += g.add_weightless_rows(more);
    added += static_cast<int>(more.x.size() - rows);
    const DoublePolynomialFit expected = base.fit();
    const DoublePolynomialFit got = more.fit();
    SCOPED_TRACE("data set " + std::to_string(s));
    expect_same_fit(got, expected);
    EXPECT_EQ(got.n_used, expected.n_used + static_cast<int>(more.x.size() - rows));
    by_weight += base.w.empty() ? 0 : 1;
    for (const FitMessage& m : expected.warnings) too_few_abscissas += m.code == 5 ? 1 : 0;
    lack_of_fit += expected.lack_of_fit.empty() ? 0 : 1;
  }
  std::printf("%d data sets, %d rows of frequency 0 added (%d beyond the range of x); "
              "%d with weights, %d stopped by the distinct abscissas, %d with lack-of-fit "
              "tests\n",
              sets, added, beyond, by_weight, too_few_abscissas, lack_of_fit);
  // The generated sets reach every case that the count of distinct
  // abscissas decides.
  EXPECT_GT(beyond, sets / 4);
  EXPECT_GT(too_few_abscissas, sets / 10);
  EXPECT_GT(lack_of_fit, sets / 4);
}

}  // namespace
}  // namespace ksatfit
