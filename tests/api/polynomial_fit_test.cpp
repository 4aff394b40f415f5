// fit_polynomial against the library's own routines: the same numbers to the
// last bit, the same messages (recorded, never printed), fatal and terminal
// conditions thrown, and the error layer left exactly as the caller had it.
#include "ksatfit/fit.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "errors/error_layer.hpp"
#include "errors/error_state.hpp"
#include "ksatfit/errors.hpp"
#include "ksatfit/regression.hpp"
#include "tests/e2e/console_messages.hpp"
#include "tests/support/threads.hpp"

namespace ksatfit {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// The bundled laboratory sample (examples/temp3): 30 pairs, replicated x.
const std::vector<float> kLabX = {.52f, .54f, .54f, .55f, .59f, .64f, .66f, .72f, .73f, .74f,
                                  .76f, .81f, .86f, .86f, .87f, .90f, .92f, .92f, .92f, .93f,
                                  .93f, .94f, .95f, .96f, .97f, .97f, 1.01f, 1.04f, 1.08f, 1.09f};
const std::vector<float> kLabY = {
    .17448f, .19423f, .18342f, .20723f, .27883f, .33618f, .40984f, .54605f, .61439f, .62726f,
    .69882f, 1.0561f, 1.3084f, 1.3000f, 1.3529f, 1.7073f, 1.8898f, 1.7979f, 1.9236f, 1.9099f,
    1.7892f, 2.2050f, 2.2479f, 2.5466f, 2.4540f, 2.5717f, 2.9415f, 3.8831f, 4.7914f, 4.6481f};

std::uint32_t bits(float value) { return std::bit_cast<std::uint32_t>(value); }

void expect_same_bits(const std::vector<float>& actual, const float* expected, std::size_t n,
                      const std::string& what) {
  ASSERT_EQ(actual.size(), n) << what;
  for (std::size_t k = 0; k < n; ++k) {
    EXPECT_EQ(bits(actual[k]), bits(expected[k])) << what << "[" << k << "]";
  }
}

// What `body` wrote on standard output and standard error.
std::string console_of(const std::function<void()>& body) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  body();
  std::fflush(nullptr);
  const std::string out = testing::internal::GetCapturedStdout();
  return out + testing::internal::GetCapturedStderr();
}

std::string squeezed(const std::string& text) {
  std::istringstream words(text);
  std::string word;
  std::string result;
  while (words >> word) result += (result.empty() ? "" : " ") + word;
  return result;
}

// The messages of a console transcript as "TYPE code routine: text", with
// the wrapped text put back together and runs of blanks squeezed.
std::vector<std::string> printed_messages(const std::string& console) {
  std::vector<std::string> messages;
  std::istringstream lines(console);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.starts_with(" ***          ")) {
      messages.back() += " " + line.substr(14);
    } else if (line.starts_with(" *** ")) {
      std::istringstream heading(line.substr(5));
      std::string type, error, code, from, routine;
      heading >> type >> error >> code >> from >> routine;
      std::string text;
      std::getline(heading, text);
      messages.push_back(type + " " + code + " " + routine.substr(0, routine.size() - 1) + ":" +
                         text);
    }
  }
  for (std::string& m : messages) m = squeezed(m);
  return messages;
}

std::vector<std::string> described(const std::vector<FitMessage>& messages) {
  static const char* const kNames[] = {"",      "NOTE",     "ALERT",   "WARNING",
                                       "FATAL", "TERMINAL", "WARNING", "FATAL"};
  std::vector<std::string> result;
  for (const FitMessage& m : messages) {
    result.push_back(squeezed(std::string(kNames[m.type]) + " " + std::to_string(m.code) + " " +
                              m.routine + ": " + m.text));
  }
  return result;
}

class PolynomialFit_ : public testing::Test {
 protected:
  void SetUp() override { reset_error_state_for_tests(); }
  void TearDown() override { reset_error_state_for_tests(); }
};

struct CurveCase {
  const char* name;
  std::vector<float> x;
  std::vector<float> y;
  int degree;
};

std::vector<CurveCase> curve_cases() {
  std::vector<float> lab_x_with_nan = kLabX;
  lab_x_with_nan[7] = kNaN;
  return {{"lab sample, line", kLabX, kLabY, 1},
          {"lab sample, quadratic", kLabX, kLabY, 2},
          {"lab sample, cubic", kLabX, kLabY, 3},
          {"lab sample with a NaN x, cubic", lab_x_with_nan, kLabY, 3},
          {"parabola through three points", {1, 2, 3}, {1, 0, 1}, 2},
          {"straight line asked for a cubic", {1, 2, 3, 4}, {3, 5, 7, 9}, 3},
          {"three distinct x asked for a cubic", {1, 2, 2, 3}, {1, 0, 0.5f, 2}, 3},
          {"constant y", {1, 2, 3, 4}, {5, 5, 5, 5}, 2},
          {"degree 0", {1, 2, 3, 4}, {1, 2, 4, 8}, 0}};
}

TEST_F(PolynomialFit_, AgreesWithRCURVToTheLastBitAndRaisesItsMessages) {
  for (const CurveCase& c : curve_cases()) {
    SCOPED_TRACE(c.name);
    const auto terms = static_cast<std::size_t>(c.degree + 1);
    std::vector<float> B(terms), SSPOLY(terms), STAT(10);
    const std::string rcurv_console = console_of([&] {
      RCURV(static_cast<int>(c.x.size()), c.x.data(), c.y.data(), c.degree, B.data(),
            SSPOLY.data(), STAT.data());
    });
    reset_error_state_for_tests();
    PolynomialFit fit;
    EXPECT_EQ(console_of([&] { fit = fit_polynomial(c.x, c.y, c.degree); }), "");

    expect_same_bits(fit.coefficients, B.data(), terms, "B");
    expect_same_bits(fit.sequential_ss, SSPOLY.data(), terms, "SSPOLY");
    const std::vector<float> stat = {fit.mean_x,
                                     fit.mean_y,
                                     fit.variance_x,
                                     fit.variance_y,
                                     fit.r_squared,
                                     fit.anova.df_regression,
                                     fit.anova.ss_regression,
                                     fit.anova.df_error,
                                     fit.anova.ss_error,
                                     static_cast<float>(fit.n_missing)};
    expect_same_bits(stat, STAT.data(), 10, "STAT");
    EXPECT_EQ(fit.degree, c.degree);
    EXPECT_EQ(static_cast<float>(fit.degree_fitted), STAT[5]);
    EXPECT_EQ(fit.n_used + fit.n_missing, static_cast<int>(c.x.size()));
    EXPECT_EQ(described(fit.warnings), printed_messages(rcurv_console));
  }
}

TEST_F(PolynomialFit_, LowerDegreePerfectFitWarnsAsRCURVDoes) {
  const PolynomialFit fit = fit_polynomial(std::vector<float>{1, 2, 3, 4},
                                           std::vector<float>{3, 5, 7, 9}, 3);
  EXPECT_EQ(fit.degree_fitted, 1);
  ASSERT_EQ(fit.warnings.size(), 2u);
  EXPECT_EQ(fit.warnings[0].type, 6);
  EXPECT_EQ(fit.warnings[0].code, 11);
  EXPECT_EQ(fit.warnings[0].routine, "R3ORP");
  EXPECT_EQ(fit.warnings[0].text,
            "The degree 1 polynomial fit is a perfect fit within machine precision.");
  EXPECT_EQ(fit.warnings[1].type, 3);
  EXPECT_EQ(fit.warnings[1].code, 6);
  EXPECT_EQ(fit.warnings[1].routine, "RCURV");
  EXPECT_EQ(fit.warnings[1].text,
            "A perfect fit was obtained with a polynomial of lower degree (=1) than NDEG = 3 "
            "as requested.");
  // Only the fitted terms have a standard error.
  EXPECT_TRUE(std::isnan(fit.standard_errors[2]) && std::isnan(fit.p[3]));
  EXPECT_EQ(fit.coefficients[2], 0.0f);
}

TEST_F(PolynomialFit_, EvaluatesTheCurveOnItsOrthogonalBasis) {
  const PolynomialFit parabola =
      fit_polynomial(std::vector<float>{1, 2, 3}, std::vector<float>{1, 0, 1}, 2);
  EXPECT_FLOAT_EQ(parabola.evaluate(2.5f), 0.25f);
  EXPECT_FLOAT_EQ(parabola.evaluate(-1.0f), 9.0f);

  const PolynomialFit cubic = fit_polynomial(kLabX, kLabY, 3);
  for (const float x : kLabX) {
    const std::vector<float>& b = cubic.coefficients;
    const float horner = ((b[3] * x + b[2]) * x + b[1]) * x + b[0];
    EXPECT_NEAR(cubic.evaluate(x), horner, 1e-4f * std::abs(horner));
  }
  EXPECT_TRUE(std::isnan(cubic.evaluate(kNaN)));
}

// --- the options: R2ORP and R2TAP called directly on the same data -------

struct DirectFit {
  int NDEGF = 0;
  float XSCALE = 0, XSHIFT = 0, DFE = 0, SSE = 0, DFPE = 0, SSPE = 0;
  int NMISS = 0;
  std::vector<float> ALPHA, BETA, OCOEF, D, AOV, SQSS, COEF, TLOF;
  std::string console;
};

DirectFit direct_fit(const std::vector<float>& x, const std::vector<float>& y,
                     const FitOptions& o) {
  const int NOBS = static_cast<int>(x.size());
  std::vector<float> X = x;
  X.insert(X.end(), y.begin(), y.end());
  int NCOL = 2, IWT = 0, IFRQ = 0;
  if (!o.weights.empty()) {
    X.insert(X.end(), o.weights.begin(), o.weights.end());
    IWT = ++NCOL;
  }
  if (!o.frequencies.empty()) {
    X.insert(X.end(), o.frequencies.begin(), o.frequencies.end());
    IFRQ = ++NCOL;
  }
  const int MAXDEG = o.max_degree;
  const int LOF = o.lack_of_fit ? 1 : 0;
  DirectFit d;
  d.ALPHA.resize(MAXDEG);
  d.BETA.resize(MAXDEG);
  d.OCOEF.resize(MAXDEG + 1);
  d.D.resize(MAXDEG + 1);
  std::vector<float> WK(8 * NOBS);
  std::vector<int> IWK(NOBS);
  d.console = console_of([&] {
    R2ORP(NOBS, NCOL, X.data(), NOBS, 2, 1, IFRQ, IWT, MAXDEG, static_cast<int>(o.selection),
          o.crit, LOF, d.NDEGF, d.XSCALE, d.XSHIFT, d.ALPHA.data(), d.BETA.data(), d.OCOEF.data(),
          d.D.data(), d.DFE, d.SSE, d.DFPE, d.SSPE, d.NMISS, WK.data(), IWK.data());
    const int N = d.NDEGF;
    d.AOV.resize(15);
    d.SQSS.resize(4 * N);
    d.COEF.resize(4 * (N + 1));
    d.TLOF.resize(4 * N);
    std::vector<float> WK2((N + 1) * (N + 7));
    R2TAP(N, d.ALPHA.data(), d.BETA.data(), d.XSCALE, d.XSHIFT, d.OCOEF.data(), d.D.data(), d.DFE,
          d.SSE, LOF, d.DFPE, d.SSPE, 0, d.AOV.data(), d.SQSS.data(), N, d.COEF.data(), N + 1,
          d.TLOF.data(), N, WK2.data());
  });
  return d;
}

// One column of a list of F tests.
std::vector<float> column(const std::vector<BasicFTest<float>>& rows, float BasicFTest<float>::*f) {
  std::vector<float> values;
  for (const BasicFTest<float>& row : rows) values.push_back(row.*f);
  return values;
}

TEST_F(PolynomialFit_, OptionsAgreeWithTheOrthogonalFitAndItsStatisticsCalledDirectly) {
  std::vector<float> weights;
  std::vector<float> frequencies;
  for (std::size_t k = 0; k < kLabX.size(); ++k) {
    weights.push_back(0.5f + static_cast<float>(k % 7) * 0.25f);
    frequencies.push_back(static_cast<float>(k % 3));  // every third row has frequency 0
  }
  std::vector<float> weights_with_nan = weights;
  weights_with_nan[4] = kNaN;
  using S = DegreeSelection;
  const struct {
    const char* name;
    FitOptions options;
  } cases[] = {
      {"cubic with lack of fit", {{}, {}, 3, S::up_to_max_degree, 0.0f, true}},
      {"weights", {weights, {}, 3, S::up_to_max_degree, 0.0f, false}},
      {"frequencies with zeros", {{}, frequencies, 2, S::up_to_max_degree, 0.0f, true}},
      {"weights and frequencies", {weights, frequencies, 3, S::up_to_max_degree, 0.0f, true}},
      {"a NaN weight", {weights_with_nan, {}, 2, S::up_to_max_degree, 0.0f, false}},
      {"R-squared reaches 97%", {{}, {}, 6, S::r_squared, 97.0f, false}},
      {"lack of fit not significant at 5%", {{}, {}, 6, S::lack_of_fit, 5.0f, true}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const DirectFit d = direct_fit(kLabX, kLabY, c.options);
    reset_error_state_for_tests();
    PolynomialFit fit;
    EXPECT_EQ(console_of([&] { fit = fit_polynomial(kLabX, kLabY, c.options); }), "");

    const int N = d.NDEGF;
    const auto rows = static_cast<std::size_t>(N);
    ASSERT_EQ(fit.degree_fitted, N);
    EXPECT_EQ(fit.n_missing, d.NMISS);
    EXPECT_EQ(bits(fit.x_scale), bits(d.XSCALE));
    EXPECT_EQ(bits(fit.x_shift), bits(d.XSHIFT));
    expect_same_bits(fit.alpha, d.ALPHA.data(), rows, "ALPHA");
    expect_same_bits(fit.beta, d.BETA.data(), rows, "BETA");
    expect_same_bits(fit.orthogonal_coefficients, d.OCOEF.data(), rows + 1, "OCOEF");
    const BasicAnova<float>& a = fit.anova;
    expect_same_bits({a.df_regression, a.df_error, a.df_total, a.ss_regression, a.ss_error,
                      a.ss_total, a.ms_regression, a.ms_error, a.f, a.p, a.r_squared,
                      a.adjusted_r_squared, a.sd_error, a.mean_y, a.cv},
                     d.AOV.data(), 15, "AOV");
    const std::vector<float>* coef_columns[] = {&fit.coefficients, &fit.standard_errors, &fit.t,
                                                &fit.p};
    for (std::size_t j = 0; j < 4; ++j) {
      const std::vector<float> fitted(coef_columns[j]->begin(),
                                      coef_columns[j]->begin() + N + 1);
      expect_same_bits(fitted, d.COEF.data() + j * (rows + 1), rows + 1, "COEF column");
    }
    float BasicFTest<float>::*fields[] = {&BasicFTest<float>::df, &BasicFTest<float>::ss,
                                          &BasicFTest<float>::f, &BasicFTest<float>::p};
    for (std::size_t j = 0; j < 4; ++j) {
      expect_same_bits(column(fit.sequential, fields[j]), d.SQSS.data() + j * rows, rows, "SQSS");
      if (c.options.lack_of_fit) {
        expect_same_bits(column(fit.lack_of_fit, fields[j]), d.TLOF.data() + j * rows, rows,
                         "TLOF");
      }
    }
    EXPECT_EQ(fit.pure_error.has_value(), c.options.lack_of_fit);
    if (fit.pure_error) {
      EXPECT_EQ(bits(fit.pure_error->df), bits(d.DFPE));
      EXPECT_EQ(bits(fit.pure_error->ss), bits(d.SSPE));
    }
    EXPECT_EQ(described(fit.warnings), printed_messages(d.console));
  }
}

// --- failures, and the error layer as the caller left it -----------------

// A state that earlier calls have moved away from the state at load: a
// warning recorded at level 2 (what N1RTY(1) reads), other settings and
// another unit for the programs' tables.
class ErrorLayerAfterAFit : public testing::Test {
 protected:
  void SetUp() override {
    reset_error_state_for_tests();
    float B[4], SSPOLY[4], STAT[10];
    const float x[4] = {1, 2, 3, 4};
    const float y[4] = {3, 5, 7, 9};
    console_of([&] { RCURV(4, x, y, 3, B, SSPOLY, STAT); });
    ErrorSettings settings = current_error_settings();
    settings.prints[0] = 1;
    settings.traces[2] = 0;
    set_error_settings(settings);
    int unit = 9;
    UMACH(-2, unit);
    before_ = error_state();
  }
  void TearDown() override { reset_error_state_for_tests(); }

  void expect_untouched() const {
    EXPECT_TRUE(error_state() == before_);
    int unit = 0;
    UMACH(2, unit);
    EXPECT_EQ(unit, 9);
    UMACH(3, unit);
    EXPECT_EQ(unit, 6);
  }

  ErrorState before_;
};

TEST_F(ErrorLayerAfterAFit, FailuresThrowWithNothingPrintedAndLeaveNoTrace) {
  const std::vector<float> y3 = {1, 0, 1};
  const std::vector<float> negative_weight = {1, -1, 1};
  const struct {
    const char* name;
    std::function<PolynomialFit()> fit;
    int type;
    int code;
    const char* routine;
    const char* text;
  } cases[] = {
      {"constant x", [&] { return fit_polynomial(std::vector<float>{2, 2, 2}, y3, 2); }, 4, 7,
       "RCURV", "The x values are constant.  At least two distinct x values are needed."},
      {"every pair with NaN",
       [&] {
         return fit_polynomial(std::vector<float>{kNaN, 2, kNaN}, std::vector<float>{1, kNaN, 1},
                               1);
       }, 4, 3,
       "RCURV", "There are no valid data points.  Each (x,y) pair contains NaN (not a number)."},
      {"no pairs", [] { return fit_polynomial({}, {}, 2); }, 5, 1, "RCURV",
       "The number of observations must be at least 1 while NOBS = 0 is given."},
      {"negative degree", [&] { return fit_polynomial(std::vector<float>{1, 2, 3}, y3, -1); }, 5,
       2, "RCURV",
       "NDEG = -1.  The degree of the polynomial to be fit must be greater than or equal to 0."},
      {"one pair", [] { return fit_polynomial(std::vector<float>{1}, std::vector<float>{1}, 1); }, 5, 1, "R2ORP",
       "NOBS = 1.  The number of observations, NOBS, must be greater than 1."},
      {"lack-of-fit selection without the test",
       [&] {
         return fit_polynomial(std::vector<float>{1, 2, 3}, y3,
                               FitOptions{{}, {}, 2, DegreeSelection::lack_of_fit, 5.0f, false});
       },
       5, 7, "R2ORP",
       "ICRIT = 2 and LOF = 0.  When the criterion option, ICRIT, equals 2, the lack of fit "
       "option, LOF, must be equal to 1."},
      {"negative weight",
       [&] {
         return fit_polynomial(std::vector<float>{1, 2, 3}, y3,
                               FitOptions{negative_weight, {}, 2});
       },
       4, 1, "R2ORP", "The weight for row 2 of X was -1.000000E+00.  Weights must be nonnegative."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    bool thrown = false;
    const std::string console = console_of([&] {
      try {
        c.fit();
      } catch (const FitError& e) {
        thrown = true;
        EXPECT_EQ(e.type(), c.type);
        EXPECT_EQ(e.code(), c.code);
        EXPECT_EQ(e.routine(), c.routine);
        EXPECT_STREQ(e.what(), c.text);
      }
    });
    EXPECT_TRUE(thrown);
    EXPECT_EQ(console, "");
    expect_untouched();
  }
}

TEST_F(ErrorLayerAfterAFit, SuccessAndWarningsLeaveNoTraceEither) {
  fit_polynomial(kLabX, kLabY, 3);
  expect_untouched();
  fit_polynomial(std::vector<float>{1, 2, 3, 4}, std::vector<float>{5, 5, 5, 5}, 2);
  expect_untouched();
  fit_polynomial(kLabX, kLabY, FitOptions{{}, {}, 3, DegreeSelection::up_to_max_degree, 0, true});
  expect_untouched();
}

TEST_F(ErrorLayerAfterAFit, DifferentLengthsAreRejectedBeforeTheLibraryRuns) {
  const std::vector<float> three = {1, 2, 3};
  const std::vector<float> two = {1, 2};
  EXPECT_THROW(fit_polynomial(three, two, 1), std::invalid_argument);
  EXPECT_THROW(fit_polynomial(three, three, FitOptions{two, {}, 1}), std::invalid_argument);
  EXPECT_THROW(fit_polynomial(three, three, FitOptions{{}, two, 1}), std::invalid_argument);
  expect_untouched();
}

TEST(PolynomialFitAfterAFailure, NextCallsOfEitherInterfaceAreNormal) {
  reset_error_state_for_tests();
  EXPECT_THROW(fit_polynomial(std::vector<float>{2, 2, 2}, std::vector<float>{1, 0, 1}, 2),
               FitError);
  const PolynomialFit fit =
      fit_polynomial(std::vector<float>{1, 2, 3}, std::vector<float>{1, 0, 1}, 2);
  EXPECT_EQ(fit.degree_fitted, 2);
  EXPECT_EQ(fit.warnings.size(), 1u);
  const float x[3] = {1, 2, 3};
  const float y[3] = {1, 0, 1};
  float B[3], SSPOLY[3], STAT[10];
  EXPECT_EQ(console_of([&] { RCURV(3, x, y, 2, B, SSPOLY, STAT); }),
            test::perfect_fit_with_traceback(2));
  expect_same_bits(fit.coefficients, B, 3, "B");
  reset_error_state_for_tests();
}

TEST(PolynomialFitThreads, TwoThreadsAtOnceGetWhatEachWouldAlone) {
  if (!test::threads_available()) GTEST_SKIP() << "threads cannot run under this emulator";
  reset_error_state_for_tests();
  const std::vector<float> line_x = {1, 2, 3, 4};
  const std::vector<float> line_y = {3, 5, 7, 9};
  const std::vector<float> constant_x = {2, 2, 2, 2};
  const PolynomialFit lab = fit_polynomial(kLabX, kLabY, 3);
  const PolynomialFit line = fit_polynomial(line_x, line_y, 3);
  const ErrorState before = error_state();

  constexpr int kRounds = 200;
  int lab_mismatches = 0;
  int line_mismatches = 0;
  int errors_thrown = 0;
  std::thread first([&] {
    for (int round = 0; round < kRounds; ++round) {
      const PolynomialFit fit = fit_polynomial(kLabX, kLabY, 3);
      if (fit.coefficients != lab.coefficients || !fit.warnings.empty()) ++lab_mismatches;
    }
  });
  std::thread second([&] {
    for (int round = 0; round < kRounds; ++round) {
      const PolynomialFit fit = fit_polynomial(line_x, line_y, 3);
      if (fit.coefficients != line.coefficients ||
          described(fit.warnings) != described(line.warnings)) {
        ++line_mismatches;
      }
      try {
        fit_polynomial(constant_x, line_y, 1);
      } catch (const FitError& e) {
        if (e.code() == 7) ++errors_thrown;
      }
    }
  });
  first.join();
  second.join();
  EXPECT_EQ(lab_mismatches, 0);
  EXPECT_EQ(line_mismatches, 0);
  EXPECT_EQ(errors_thrown, kRounds);
  EXPECT_TRUE(error_state() == before);
  reset_error_state_for_tests();
}

}  // namespace
}  // namespace ksatfit
