// fit_polynomial (ksatfit/fit.hpp): the curve fit and the orthogonal fit with
// options, run through the library's own routines (in float, or the same
// routines made for double) inside a captured call, and their arrays turned
// into one struct with named members.
#include <algorithm>
#include <climits>
#include <cstddef>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "api/captured_call.hpp"
#include "api/fit_uncertainty.hpp"
#include "kernels/real_traits.hpp"
#include "ksatfit/fit.hpp"
#include "ksatfit/regression.hpp"
#include "regression/curve_fit.hpp"
#include "regression/fitted_curve.hpp"
#include "regression/orthogonal_fit.hpp"
#include "regression/summary_statistics.hpp"
#include "runtime/one_based.hpp"

namespace ksatfit {
namespace {

std::size_t count(int n) { return static_cast<std::size_t>(std::max(n, 0)); }

// The number of pairs as the library's integer, checked before any library
// routine runs.
template <class Real>
int pair_count(std::span<const Real> x, std::span<const Real> y,
               const BasicFitOptions<Real>* options) {
  const auto same_length = [&](std::span<const Real> values, const char* name) {
    if (values.size() != x.size()) {
      throw std::invalid_argument(std::string("fit_polynomial: x has ") +
                                  std::to_string(x.size()) + " values and " + name + " " +
                                  std::to_string(values.size()));
    }
  };
  same_length(y, "y");
  if (options != nullptr) {
    if (!options->weights.empty()) same_length(options->weights, "the weights");
    if (!options->frequencies.empty()) same_length(options->frequencies, "the frequencies");
  }
  if (x.size() > static_cast<std::size_t>(INT_MAX)) {
    throw std::invalid_argument("fit_polynomial: more pairs than the library can count");
  }
  return static_cast<int>(x.size());
}

template <class Real>
std::vector<BasicFTest<Real>> f_tests(const std::vector<Real>& table, int rows) {
  const Mat1<const Real> m(table.data(), rows);
  std::vector<BasicFTest<Real>> tests;
  for (int I = 1; I <= rows; ++I) tests.push_back({m(I, 1), m(I, 2), m(I, 3), m(I, 4)});
  return tests;
}

template <class Real>
BasicAnova<Real> anova(const std::array<Real, 15>& AOV) {
  const auto& a = AOV;
  return {a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7],
          a[8], a[9], a[10], a[11], a[12], a[13], a[14]};
}

// The result shared by both overloads: NDEG is the degree asked for, B and
// SSPOLY have NDEG+1 values.
template <class Real>
BasicPolynomialFit<Real> describe(int NDEG, int NOBS, const CurveFitDetails<Real>& d,
                                  std::vector<Real> B, std::vector<Real> SSPOLY) {
  const Real NaN = RealTraits<Real>::missing();
  const int N = d.NDEGF + 1;
  const Mat1<const Real> coef(d.COEF.data(), N);
  BasicPolynomialFit<Real> fit;
  fit.degree = NDEG;
  fit.degree_fitted = d.NDEGF;
  fit.coefficients = std::move(B);
  for (std::vector<Real>* column : {&fit.standard_errors, &fit.t, &fit.p}) {
    column->assign(count(NDEG) + 1, NaN);
  }
  for (int I = 1; I <= N; ++I) {
    const auto k = static_cast<std::size_t>(I - 1);
    fit.standard_errors[k] = coef(I, 2);
    fit.t[k] = coef(I, 3);
    fit.p[k] = coef(I, 4);
  }
  fit.r_squared = d.AOV[10];
  fit.n_used = NOBS - d.NMISS;
  fit.n_missing = d.NMISS;
  fit.anova = anova(d.AOV);
  fit.sequential_ss = std::move(SSPOLY);
  fit.sequential = f_tests(d.SQSS, d.NDEGF);
  fit.x_scale = d.XSCALE;
  fit.x_shift = d.XSHIFT;
  fit.alpha = d.ALPHA;
  fit.beta = d.BETA;
  fit.orthogonal_coefficients = d.OCOEF;
  fit.basis_sums_of_squares = d.D;
  fit.covariance = coefficient_covariance(fit);
  return fit;
}

// The data matrix of R2ORP: x, y, then the weights and the frequencies when
// given, each a column of NOBS rows.
template <class Real>
struct DataMatrix {
  std::vector<Real> X;
  int NCOL = 2;
  int IWT = 0;
  int IFRQ = 0;
};

template <class Real>
DataMatrix<Real> data_matrix(std::span<const Real> x, std::span<const Real> y,
                             const BasicFitOptions<Real>& options) {
  DataMatrix<Real> m;
  m.X.assign(x.begin(), x.end());
  m.X.insert(m.X.end(), y.begin(), y.end());
  if (!options.weights.empty()) {
    m.X.insert(m.X.end(), options.weights.begin(), options.weights.end());
    m.IWT = ++m.NCOL;
  }
  if (!options.frequencies.empty()) {
    m.X.insert(m.X.end(), options.frequencies.begin(), options.frequencies.end());
    m.IFRQ = ++m.NCOL;
  }
  return m;
}

template <class Real>
BasicPolynomialFit<Real> curve_fit_of(std::span<const Real> x, std::span<const Real> y,
                                      int degree) {
  const int NOBS = pair_count<Real>(x, y, nullptr);
  const std::size_t terms = count(degree) + 1;
  std::vector<Real> B(terms);
  std::vector<Real> SSPOLY(terms);
  std::vector<Real> STAT(10);
  CurveFitDetails<Real> details;

  CapturedCall call;
  curve_fit(NOBS, x.data(), y.data(), degree, B.data(), SSPOLY.data(), STAT.data(), &details);
  call.throw_if_failed();
  BasicPolynomialFit<Real> fit = describe(degree, NOBS, details, std::move(B), std::move(SSPOLY));
  fit.mean_x = STAT[0];
  fit.mean_y = STAT[1];
  fit.variance_x = STAT[2];
  fit.variance_y = STAT[3];
  fit.warnings = call.warnings();
  return fit;
}

template <class Real>
BasicPolynomialFit<Real> orthogonal_fit_of(std::span<const Real> x, std::span<const Real> y,
                                           const BasicFitOptions<Real>& options) {
  const int NOBS = pair_count(x, y, &options);
  const int MAXDEG = options.max_degree;
  const int LOF = options.lack_of_fit ? 1 : 0;
  DataMatrix<Real> data = data_matrix(x, y, options);
  // Carried as the fit carries them; rounded to Real where handed out.
  std::vector<Carried<Real>> ALPHA(count(MAXDEG) + 1);
  std::vector<Carried<Real>> BETA(count(MAXDEG) + 1);
  std::vector<Carried<Real>> OCOEF(count(MAXDEG) + 1);
  std::vector<Carried<Real>> D(count(MAXDEG) + 1);
  std::vector<Real> WK(8 * count(NOBS));
  std::vector<int> IWK(count(NOBS));
  CurveFitDetails<Real> d;
  Real DFE = 0;
  Real SSE = 0;
  Real DFPE = 0;
  Real SSPE = 0;

  CapturedCall call;
  R2ORP(NOBS, data.NCOL, data.X.data(), NOBS, 2, 1, data.IFRQ, data.IWT, MAXDEG,
        static_cast<int>(options.selection), options.crit, LOF, d.NDEGF, d.XSCALE, d.XSHIFT,
        ALPHA.data(), BETA.data(), OCOEF.data(), D.data(), DFE, SSE, DFPE, SSPE, d.NMISS,
        WK.data(), IWK.data());
  call.throw_if_failed();

  const int NDEGF = d.NDEGF;
  const std::size_t rows = count(NDEGF);
  std::vector<Real> SQSS(4 * std::max<std::size_t>(rows, 1));
  std::vector<Real> COEF(4 * (rows + 1));
  std::vector<Real> TLOF(4 * std::max<std::size_t>(rows, 1));
  std::vector<Real> WK2((rows + 1) * (rows + 7));
  R2TAP(NDEGF, ALPHA.data(), BETA.data(), d.XSCALE, d.XSHIFT, OCOEF.data(), D.data(), DFE, SSE,
        LOF, DFPE, SSPE, 0, d.AOV.data(), SQSS.data(), NDEGF, COEF.data(), NDEGF + 1,
        TLOF.data(), NDEGF, WK2.data());
  call.throw_if_failed();

  std::vector<Real> B(count(MAXDEG) + 1);
  std::vector<Real> SSPOLY(count(MAXDEG) + 1);
  power_form_outputs(MAXDEG, NDEGF, OCOEF.data(), static_cast<Real>(D[0]), SQSS.data(), NDEGF,
                     COEF.data(), B.data(), SSPOLY.data());
  d.ALPHA.assign(ALPHA.begin(), ALPHA.begin() + NDEGF);
  d.BETA.assign(BETA.begin(), BETA.begin() + NDEGF);
  d.OCOEF.assign(OCOEF.begin(), OCOEF.begin() + NDEGF + 1);
  d.D.assign(D.begin(), D.begin() + NDEGF + 1);
  d.SQSS.assign(SQSS.begin(), SQSS.begin() + 4 * NDEGF);
  d.COEF = std::move(COEF);
  BasicPolynomialFit<Real> fit = describe(MAXDEG, NOBS, d, std::move(B), std::move(SSPOLY));
  if (LOF == 1) {
    fit.pure_error = BasicPureError<Real>{DFPE, SSPE};
    TLOF.resize(4 * rows);
    fit.lack_of_fit = f_tests(TLOF, NDEGF);
  }
  const Real NaN = RealTraits<Real>::missing();
  fit.mean_x = fit.mean_y = fit.variance_x = fit.variance_y = NaN;
  fit.warnings = call.warnings();
  if (options.case_statistics) fit.cases = case_statistics(fit, x, y, options);
  return fit;
}

}  // namespace

template <>
float BasicPolynomialFit<float>::evaluate(float x) const {
  return fitted_value(degree_fitted, alpha.data(), beta.data(), x_scale, x_shift,
                      orthogonal_coefficients.data(), x);
}

template <>
double BasicPolynomialFit<double>::evaluate(double x) const {
  return fitted_value(degree_fitted, alpha.data(), beta.data(), x_scale, x_shift,
                      orthogonal_coefficients.data(), x);
}

PolynomialFit fit_polynomial(std::span<const float> x, std::span<const float> y, int degree) {
  return curve_fit_of(x, y, degree);
}

PolynomialFit fit_polynomial(std::span<const float> x, std::span<const float> y,
                             const FitOptions& options) {
  return orthogonal_fit_of(x, y, options);
}

template <class>
DoublePolynomialFit fit_polynomial(std::span<const double> x, std::span<const double> y,
                                   int degree) {
  return curve_fit_of(x, y, degree);
}

template <class>
DoublePolynomialFit fit_polynomial(std::span<const double> x, std::span<const double> y,
                                   const DoubleFitOptions& options) {
  return orthogonal_fit_of(x, y, options);
}

template DoublePolynomialFit fit_polynomial<void>(std::span<const double>,
                                                  std::span<const double>, int);
template DoublePolynomialFit fit_polynomial<void>(std::span<const double>,
                                                  std::span<const double>,
                                                  const DoubleFitOptions&);

}  // namespace ksatfit
