// ksatfit/fit.hpp: the C++ interface for applications.
//
// fit_polynomial fits a least-squares polynomial through the library's
// orthogonal-polynomial regression and returns every figure of the fit in one
// struct. Unlike the library's routines it never prints and never ends the
// process: the messages that the fit raises come back in the result
// (`warnings`, types 1 to 3 and 6) or as a thrown FitError (a fatal or
// terminal condition, types 4, 5 and 7), each with the type, code, routine
// name and text the library would have printed. Whatever the outcome, the
// library's error state (routine-name stack, recorded types and codes,
// per-type print and stop settings, output units, pending message) is left
// as it was, so a later call, of fit_polynomial or of any routine of
// ksatfit.hpp, behaves as if this one had never happened.
//
// Threads: the library's routines keep intermediate values and the error
// state in static storage and are not reentrant. fit_polynomial serialises
// its callers (one fit at a time in the process), so any number of threads
// may call it at once; the routines of ksatfit.hpp must not be called while
// another thread is inside them or inside fit_polynomial.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace ksatfit {

// A message of the library's error layer. Types: 1 note, 2 alert, 3 warning,
// 4 fatal, 5 terminal, 6 warning, 7 fatal. `routine` is the routine named in
// the printed heading ("RCURV", "R3ORP", ...); `text` has its values filled in.
struct FitMessage {
  int type = 0;
  int code = 0;
  std::string routine;
  std::string text;
};

// A fatal or terminal condition of the fit; what() is the message text.
class FitError : public std::runtime_error {
 public:
  explicit FitError(const FitMessage& message);
  int type() const noexcept { return type_; }
  int code() const noexcept { return code_; }
  const std::string& routine() const noexcept { return *routine_; }

 private:
  int type_;
  int code_;
  std::shared_ptr<const std::string> routine_;  // shared: copying must not throw
};

// How the orthogonal fit chooses the degree (its option ICRIT).
enum class DegreeSelection {
  up_to_max_degree = 0,  // max_degree, unless a perfect fit or the distinct x stop it
  r_squared = 1,         // the lowest degree whose R-squared (%) reaches crit
  lack_of_fit = 2,       // the lowest degree whose lack-of-fit test is not significant
                         // at crit percent (needs lack_of_fit = true)
};

template <class Real>
struct BasicFitOptions {
  std::span<const Real> weights;      // one per pair, or empty: every weight 1
  std::span<const Real> frequencies;  // one per pair, or empty: every frequency 1
  int max_degree = 2;
  DegreeSelection selection = DegreeSelection::up_to_max_degree;
  Real crit = 0;             // the criterion of the selection (CRIT), in percent
  bool lack_of_fit = false;  // pure error from replicated x and the lack-of-fit tests (LOF)
  bool case_statistics = false;  // fill BasicPolynomialFit::cases
};

// The analysis of variance (the 15 elements of AOV).
template <class Real>
struct BasicAnova {
  Real df_regression, df_error, df_total;
  Real ss_regression, ss_error, ss_total;
  Real ms_regression, ms_error;
  Real f, p;                         // F statistic of the regression, probability of a larger F
  Real r_squared;                    // percent
  Real adjusted_r_squared;           // percent
  Real sd_error;                     // estimated standard deviation of the model error
  Real mean_y;
  Real cv;                           // coefficient of variation, percent
};

// One row of an F test: degrees of freedom, sum of squares, F statistic and
// the probability of a larger F.
template <class Real>
struct BasicFTest {
  Real df, ss, f, p;
};

template <class Real>
struct BasicPureError {
  Real df, ss;
};

// A confidence interval of a coefficient.
template <class Real>
struct BasicInterval {
  Real lower, upper;
};

// The fitted curve at one abscissa: the fitted mean, its standard error, the
// confidence interval of the mean and the prediction interval of one new
// reading.
template <class Real>
struct BasicPrediction {
  Real x, fitted, se_fit, confidence_lower, confidence_upper, prediction_lower, prediction_upper;
};

// What one input row does in the fit (the definitions of ordinary weighted
// least squares, a row of frequency f standing for f copies of itself; the
// figures are those of one copy). weight and frequency are the row's own (1
// when the fit has none). leverage h = w * sum_k P_k(z)^2 / D(k);
// standardized residual r = sqrt(w) e / (s sqrt(1 - h)); studentized
// (deleted) residual r sqrt((nu - 1) / (nu - r^2)); Cook's distance
// r^2 h / (p (1 - h)). A row of weight or frequency 0, or of leverage 1, has
// its fitted value and residual and NaN for the rest; so has every row when
// the fit has no error degrees of freedom or no error estimate. A row left
// out for a missing value (used = false) has NaN figures but its x, y,
// weight and frequency as given. Flags: outlier when |studentized| > 3,
// influential when Cook's distance > 4 / n, n the observations (the sum of
// the frequencies of the rows used with a weight above 0).
template <class Real>
struct BasicCaseStatistics {
  int row;    // 0-based index of the input row
  bool used;  // false: left out for a missing value
  Real x, y, weight, frequency, fitted, residual, leverage, standardized_residual,
      studentized_residual, cooks_distance;
  bool outlier, influential;
};

// Statistics that cannot be formed (0/0, zero degrees of freedom) are NaN.
template <class Real>
struct BasicPolynomialFit {
  int degree = 0;         // the degree asked for (FitOptions: max_degree)
  int degree_fitted = 0;  // lower after a perfect fit or for lack of distinct x
  // Power form, intercept first, degree + 1 values (RCURV's B): 0 above the
  // fitted degree. standard_errors, t and p (the columns of the coefficient
  // table) have degree + 1 values too, NaN above the fitted degree.
  std::vector<Real> coefficients;
  std::vector<Real> standard_errors;
  std::vector<Real> t;
  std::vector<Real> p;
  Real r_squared = 0;  // percent
  int n_used = 0;      // pairs in the fit
  int n_missing = 0;   // pairs left out: NaN in x or y (or in a weight or frequency)
  BasicAnova<Real> anova{};
  // Sequential sums of squares, degree + 1 values (RCURV's SSPOLY): the
  // intercept's (uncorrected), then each power's given all lower powers, 0
  // above the fitted degree.
  std::vector<Real> sequential_ss;
  // The sequential F tests, one row for each power 1..degree_fitted.
  std::vector<BasicFTest<Real>> sequential;
  // With FitOptions::lack_of_fit: the pure error, and one test for each
  // degree 1..degree_fitted of that degree's lack of fit against it.
  std::optional<BasicPureError<Real>> pure_error;
  std::vector<BasicFTest<Real>> lack_of_fit;
  // Means and sample variances over the pairs used (RCURV's STAT(1) to
  // STAT(4)); those of x are NaN at degree 0. NaN from the FitOptions overload.
  Real mean_x = 0, mean_y = 0, variance_x = 0, variance_y = 0;
  // The fit on its orthogonal basis: z = x_scale * x + x_shift, P_0 = 1,
  // P_1 = z - alpha[0], P_k = (z - alpha[k-1]) P_(k-1) - beta[k-1] P_(k-2);
  // the curve is the sum of orthogonal_coefficients[k] * P_k(z).
  Real x_scale = 0, x_shift = 0;
  std::vector<Real> alpha, beta, orthogonal_coefficients;
  // D(k), the sum over the rows of w f P_k(z)^2, k = 0..degree_fitted: the
  // variance of orthogonal_coefficients[k] is s^2 / D(k), s^2 =
  // anova.ms_error with nu = anova.df_error degrees of freedom.
  std::vector<Real> basis_sums_of_squares;
  // Cov(b) of the power-form coefficients, row-major, p x p with p =
  // degree_fitted + 1; its diagonal is standard_errors^2 of the fitted
  // powers. NaN without error degrees of freedom.
  std::vector<Real> covariance;
  // With FitOptions::case_statistics: one entry per input row, in input order.
  std::vector<BasicCaseStatistics<Real>> cases;
  std::vector<FitMessage> warnings;

  // The fitted polynomial at x, formed on the orthogonal basis.
  Real evaluate(Real x) const;

  // The intervals below use t, the upper (1 - level) / 2 quantile of
  // Student's t with nu degrees of freedom. level is a fraction in (0, 1),
  // else std::invalid_argument. Without error degrees of freedom (or an
  // error estimate) every limit is NaN.

  // b_j -/+ t SE(b_j) for the p fitted powers.
  std::vector<BasicInterval<Real>> confidence_intervals(Real level) const;
  // For each x0: fit(x0), se_fit = s sqrt(sum_k P_k(z0)^2 / D(k)), the
  // confidence interval fit -/+ t se_fit and the prediction interval of one
  // new reading of the given weight, fit -/+ t sqrt(s^2 / weight + se_fit^2).
  // A weight not above 0 throws std::invalid_argument.
  std::vector<BasicPrediction<Real>> predict(std::span<const Real> x, Real level,
                                             Real weight = 1) const;
};

using FitOptions = BasicFitOptions<float>;
using PolynomialFit = BasicPolynomialFit<float>;
using DoubleFitOptions = BasicFitOptions<double>;
using DoublePolynomialFit = BasicPolynomialFit<double>;
using Interval = BasicInterval<float>;
using DoubleInterval = BasicInterval<double>;
using Prediction = BasicPrediction<float>;
using DoublePrediction = BasicPrediction<double>;
using CaseStatistics = BasicCaseStatistics<float>;
using DoubleCaseStatistics = BasicCaseStatistics<double>;

template <>
float BasicPolynomialFit<float>::evaluate(float x) const;
template <>
double BasicPolynomialFit<double>::evaluate(double x) const;

// The fit of RCURV: the same coefficients, sums of squares and statistics to
// the last bit, and the same messages. x and y of different lengths throw
// std::invalid_argument.
PolynomialFit fit_polynomial(std::span<const float> x, std::span<const float> y, int degree);

// The orthogonal fit R2ORP and its summary statistics R2TAP with the options
// given. Weights or frequencies of another length than x throw
// std::invalid_argument.
PolynomialFit fit_polynomial(std::span<const float> x, std::span<const float> y,
                             const FitOptions& options);

// The same fits in double precision: the same method, formulas and messages,
// with the machine constants of double, the F and t probabilities of a
// double-precision special-function library, every running sum carried in
// extended precision and the error sum of squares summed from the residuals.
// A real value in a message shows 17 significant digits. (Templates only so
// that a call with empty braces, fit_polynomial({}, {}, 2), keeps choosing
// the float overloads.)
template <class = void>
DoublePolynomialFit fit_polynomial(std::span<const double> x, std::span<const double> y,
                                   int degree);
template <class = void>
DoublePolynomialFit fit_polynomial(std::span<const double> x, std::span<const double> y,
                                   const DoubleFitOptions& options);

}  // namespace ksatfit
