#include "regression/curve_fit.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "errors/error_layer.hpp"
#include "ksatfit/regression.hpp"
#include "tests/e2e/console_messages.hpp"
#include "tests/regression/allocation_cap.hpp"
#include "tests/support/transcript.hpp"

namespace ksatfit {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kUntouched = -7777.0f;
constexpr int kMaxTerms = 6;
const std::string kStop = "Stop - Program terminated.\n";

// RCURV's outputs, in memory shared with the child process that makes the
// call, so that they can be read even after the child has stopped.
struct CurveFitOutputs {
  float B[kMaxTerms];
  float SSPOLY[kMaxTerms];
  float STAT[10];
};

struct CurveFitRun {
  test::ChildRun console;
  CurveFitOutputs out;
  float B(int i) const { return out.B[i - 1]; }
  float SSPOLY(int i) const { return out.SSPOLY[i - 1]; }
  float STAT(int i) const { return out.STAT[i - 1]; }
};

CurveFitRun run_rcurv(const std::vector<float>& x, const std::vector<float>& y, int NDEG,
                      int NOBS) {
  const test::SharedMemory memory(sizeof(CurveFitOutputs));
  auto* shared = static_cast<CurveFitOutputs*>(memory.data());
  std::fill(std::begin(shared->B), std::end(shared->B), kUntouched);
  std::fill(std::begin(shared->SSPOLY), std::end(shared->SSPOLY), kUntouched);
  std::fill(std::begin(shared->STAT), std::end(shared->STAT), kUntouched);
  CurveFitRun run;
  run.console = test::run_in_child([&] {
    reset_error_state_for_tests();
    RCURV(NOBS, x.data(), y.data(), NDEG, shared->B, shared->SSPOLY, shared->STAT);
  });
  run.out = *shared;
  return run;
}

CurveFitRun run_rcurv(const std::vector<float>& x, const std::vector<float>& y, int NDEG) {
  return run_rcurv(x, y, NDEG, static_cast<int>(x.size()));
}

void expect_untouched(const CurveFitRun& run) {
  for (float v : run.out.B) EXPECT_EQ(v, kUntouched);
  for (float v : run.out.SSPOLY) EXPECT_EQ(v, kUntouched);
  for (float v : run.out.STAT) EXPECT_EQ(v, kUntouched);
}

// Equal up to the rounding of a few single-precision operations.
void expect_close(float actual, double expected) {
  EXPECT_NEAR(actual, expected, 2e-6 * std::max(1.0, std::fabs(expected)));
}

using test::perfect_fit_with_traceback;

TEST(CurveFit, ParabolaThroughThreePoints) {
  const CurveFitRun run = run_rcurv({1.0f, 2.0f, 3.0f}, {1.0f, 0.0f, 1.0f}, 2);
  EXPECT_EQ(run.console.exit_status, 0);
  EXPECT_EQ(run.console.out, perfect_fit_with_traceback(2));
  const double B[] = {4, -4, 1};
  const double SSPOLY[] = {4.0 / 3, 0, 2.0 / 3};
  const double STAT[] = {2, 2.0 / 3, 1, 1.0 / 3, 100, 2, 2.0 / 3, 0, 0, 0};
  for (int i = 1; i <= 3; ++i) expect_close(run.B(i), B[i - 1]);
  for (int i = 1; i <= 3; ++i) expect_close(run.SSPOLY(i), SSPOLY[i - 1]);
  for (int i = 1; i <= 10; ++i) expect_close(run.STAT(i), STAT[i - 1]);
}

TEST(CurveFit, StraightLineAskedForACubic) {
  const CurveFitRun run = run_rcurv({4, 1, 3, 2}, {9, 3, 7, 5}, 3);
  EXPECT_EQ(run.console.exit_status, 0);
  EXPECT_EQ(run.console.out,
            perfect_fit_with_traceback(1) +
                "\n"
                " *** WARNING  ERROR 6 from RCURV.  A perfect fit was obtained with a\n"
                " ***          polynomial of lower degree (=1) than NDEG = 3 as requested.\n");
  expect_close(run.B(1), 1);
  expect_close(run.B(2), 2);
  EXPECT_EQ(run.B(3), 0.0f);
  EXPECT_EQ(run.B(4), 0.0f);
  EXPECT_EQ(run.SSPOLY(3), 0.0f);
  EXPECT_EQ(run.SSPOLY(4), 0.0f);
  EXPECT_EQ(run.STAT(6), 1.0f);
  EXPECT_EQ(run.STAT(8), 2.0f);
}

TEST(CurveFit, ConstantResponse) {
  const CurveFitRun run = run_rcurv({1, 2, 3, 4, 5}, {7, 7, 7, 7, 7}, 2);
  EXPECT_EQ(run.console.exit_status, 0);
  EXPECT_EQ(run.console.out,
            perfect_fit_with_traceback(0) +
                "\n"
                " *** WARNING  ERROR 4 from RCURV.  The y values are constant.  A zero order\n"
                " ***          polynomial is fit.  High order coefficients are set to zero.\n");
  EXPECT_EQ(run.B(1), 7.0f);
  EXPECT_EQ(run.B(2), 0.0f);
  EXPECT_EQ(run.B(3), 0.0f);
  EXPECT_TRUE(std::isnan(run.STAT(1)));
  EXPECT_TRUE(std::isnan(run.STAT(3)));
  EXPECT_EQ(run.STAT(4), 0.0f);
  EXPECT_TRUE(std::isnan(run.STAT(5)));
  EXPECT_EQ(run.STAT(6), 0.0f);
  EXPECT_EQ(run.STAT(7), 0.0f);
  EXPECT_EQ(run.STAT(8), 4.0f);
  EXPECT_EQ(run.STAT(9), 0.0f);
}

TEST(CurveFit, ThreeDistinctAbscissasAskedForACubic) {
  const CurveFitRun run = run_rcurv({3, 1, 2}, {2, 1, 4}, 3);
  EXPECT_EQ(run.console.exit_status, 0);
  EXPECT_EQ(run.console.out,
            perfect_fit_with_traceback(2) +
                "\n"
                " *** WARNING  ERROR 5 from RCURV.  A degree 2 polynomial is fitted.  There\n"
                " ***          are only 3 distinct abscissas, so a higher degree polynomial \n"
                " ***          fit cannot be computed.\n");
  // y = -2.5x^2 + 10.5x - 7 through the three points.
  EXPECT_NEAR(run.B(1), -7.0, 2e-5);
  EXPECT_NEAR(run.B(2), 10.5, 2e-5);
  EXPECT_NEAR(run.B(3), -2.5, 1e-5);
  EXPECT_EQ(run.B(4), 0.0f);
  EXPECT_EQ(run.STAT(6), 2.0f);
  EXPECT_EQ(run.STAT(8), 0.0f);
  EXPECT_EQ(run.STAT(9), 0.0f);
  EXPECT_FLOAT_EQ(run.STAT(5), 100.0f);
}

TEST(CurveFit, ConstantOnly) {
  const std::vector<float> y = {2, 3, 7, 4, 9};
  const CurveFitRun run = run_rcurv({1, 2, 3, 4, 5}, y, 0);
  EXPECT_EQ(run.console.exit_status, 0);
  EXPECT_EQ(run.console.out, "");
  expect_close(run.B(1), 5.0);
  expect_close(run.SSPOLY(1), 5 * 5.0 * 5.0);
  expect_close(run.STAT(2), 5.0);
  EXPECT_TRUE(std::isnan(run.STAT(1)));
  EXPECT_TRUE(std::isnan(run.STAT(3)));
  expect_close(run.STAT(4), (9 + 4 + 4 + 1 + 16) / 4.0);
  EXPECT_EQ(run.STAT(6), 0.0f);
  EXPECT_EQ(run.STAT(7), 0.0f);
  EXPECT_EQ(run.STAT(8), 4.0f);
  EXPECT_EQ(run.B(2), kUntouched);
}

// A pair with NaN is left out of everything: the fit equals that of the other
// nine pairs, except for the count of such pairs.
class CurveFitMissingPair : public ::testing::TestWithParam<bool> {};

TEST_P(CurveFitMissingPair, IsLeftOutOfEverySum) {
  const bool nan_in_x = GetParam();
  std::vector<float> x = {3.5f, 1.0f, 7.25f, 2.0f, 9.0f, 4.5f, 6.0f, 10.5f, 8.0f, 5.0f};
  std::vector<float> y = {12.1f, 3.9f, 40.2f, 6.8f, 71.0f, 20.3f, 33.3f, 95.4f, 55.9f, 24.8f};
  (nan_in_x ? x : y)[3] = kNaN;
  std::vector<float> x9 = x;
  std::vector<float> y9 = y;
  x9.erase(x9.begin() + 3);
  y9.erase(y9.begin() + 3);
  const CurveFitRun ten = run_rcurv(x, y, 3);
  const CurveFitRun nine = run_rcurv(x9, y9, 3);
  EXPECT_EQ(ten.console.out, "");
  EXPECT_EQ(nine.console.out, "");
  for (int i = 1; i <= 4; ++i) {
    EXPECT_EQ(ten.B(i), nine.B(i)) << i;
    EXPECT_EQ(ten.SSPOLY(i), nine.SSPOLY(i)) << i;
  }
  for (int i = 1; i <= 9; ++i) EXPECT_EQ(ten.STAT(i), nine.STAT(i)) << i;
  EXPECT_EQ(ten.STAT(10), 1.0f);
  EXPECT_EQ(nine.STAT(10), 0.0f);
  EXPECT_EQ(ten.STAT(8), 8.0f - ten.STAT(6));
}

INSTANTIATE_TEST_SUITE_P(NaNIn, CurveFitMissingPair, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "X" : "Y";
                         });

struct StopCase {
  const char* name;
  std::vector<float> x, y;
  int NOBS, NDEG;
  std::string message;
};

void PrintTo(const StopCase& c, std::ostream* os) { *os << c.name; }

class CurveFitStops : public ::testing::TestWithParam<StopCase> {};

TEST_P(CurveFitStops, PrintsLeavesTheOutputsAndStops) {
  const StopCase& c = GetParam();
  const CurveFitRun run = run_rcurv(c.x, c.y, c.NDEG, c.NOBS);
  EXPECT_EQ(run.console.exit_status, 1);
  EXPECT_EQ(run.console.out, std::string(c.message) + kStop);
  expect_untouched(run);
}

INSTANTIATE_TEST_SUITE_P(
    Conditions, CurveFitStops,
    ::testing::Values(
        StopCase{"EveryPairHasNaN", {1, kNaN, 3}, {kNaN, 2, kNaN}, 3, 2,
                 "\n"
                 " *** FATAL    ERROR 3 from RCURV.  There are no valid data points.  Each\n"
                 " ***          (x,y) pair contains NaN (not a number).\n"},
        StopCase{"ConstantAbscissa", {2, 2, kNaN, 2}, {1, 5, 3, 4}, 4, 1,
                 test::kConstantX},
        StopCase{"NoObservations", {}, {}, 0, 2,
                 test::kNoObservations},
        StopCase{"NegativeDegree", {1, 2, 3}, {1, 2, 3}, 3, -1,
                 "\n"
                 " *** TERMINAL ERROR 2 from RCURV.  NDEG = -1.  The degree of the polynomial\n"
                 " ***          to be fit must be greater than or equal to 0.\n"},
        // One pair passes the curve fit's checks; the regression rejects it.
        StopCase{"OnePair", {1}, {1}, 1, 1,
                 test::kOnePairWithTraceback}),
    [](const ::testing::TestParamInfo<StopCase>& info) { return info.param.name; });

TEST(CurveFitWorkspace, SizeOfTheRealWorkspace) {
  EXPECT_EQ(rcurv_real_workspace_size(39, 3), 491);
  EXPECT_EQ(rcurv_real_workspace_size(1, 0), 3 + 11 + 5);
  // Far beyond 32 bits, yet exact.
  EXPECT_EQ(rcurv_real_workspace_size(INT_MAX, 3), INT64_C(23622320179));
  EXPECT_EQ(rcurv_real_workspace_size(INT_MAX, INT_MAX), INT64_C(4611686069966995439));
}

struct StorageCase {
  const char* name;
  int NOBS, NDEG;
  const char* message;
};

void PrintTo(const StorageCase& c, std::ostream* os) { *os << c.name; }

class CurveFitStorage : public ::testing::TestWithParam<StorageCase> {};

// Only two pairs are passed whatever NOBS says: the call must end before it
// reads them.
TEST_P(CurveFitStorage, RefusedWorkspaceIsATerminalError) {
  const StorageCase& c = GetParam();
  const test::ChildRun run = test::run_with_allocation_cap([&] {
    reset_error_state_for_tests();
    const float x[2] = {1, 2};
    float B[4], SSPOLY[4], STAT[10];
    RCURV(c.NOBS, x, x, c.NDEG, B, SSPOLY, STAT);
  });
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.out, std::string(c.message) + kStop);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, CurveFitStorage,
    ::testing::Values(
        // About 94 GB of reals and 8 GB of integers: the allocator says no.
        StorageCase{"PairsNearTheIntegerLimit", INT_MAX, 3,
                    "\n"
                    " *** TERMINAL ERROR 3 from RCURV.  The required storage cannot be allocated\n"
                    " ***          based on NOBS = 2147483647 and NDEG = 3.\n"},
        // More bytes than the address space has: refused before any request.
        StorageCase{"DegreeNearTheIntegerLimit", 1, INT_MAX,
                    "\n"
                    " *** TERMINAL ERROR 3 from RCURV.  The required storage cannot be allocated\n"
                    " ***          based on NOBS = 1 and NDEG = 2147483647.\n"}),
    [](const ::testing::TestParamInfo<StorageCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------
// Agreement with an independent least-squares fit in extended precision.

using Real = long double;
using Matrix = std::vector<std::vector<Real>>;  // rows

// Least squares by Householder QR: coefficients, residual sum of squares, and
// the inverse of R, so that (A'A)^-1 = R^-1 R^-T.
struct LeastSquares {
  std::vector<Real> coef;
  Real sse = 0;
  Matrix rinv;
};

LeastSquares least_squares(Matrix A, std::vector<Real> y) {
  const std::size_t n = A.size();
  const std::size_t p = A[0].size();
  for (std::size_t k = 0; k < p; ++k) {
    Real norm = 0;
    for (std::size_t i = k; i < n; ++i) norm += A[i][k] * A[i][k];
    norm = std::sqrt(norm);
    const Real alpha = A[k][k] > 0 ? -norm : norm;
    std::vector<Real> v(n, 0);
    v[k] = A[k][k] - alpha;
    for (std::size_t i = k + 1; i < n; ++i) v[i] = A[i][k];
    Real vv = 0;
    for (std::size_t i = k; i < n; ++i) vv += v[i] * v[i];
    auto reflect = [&](auto&& element) {
      Real s = 0;
      for (std::size_t i = k; i < n; ++i) s += v[i] * element(i);
      for (std::size_t i = k; i < n; ++i) element(i) -= 2 * s / vv * v[i];
    };
    for (std::size_t j = k; j < p; ++j) reflect([&](std::size_t i) -> Real& { return A[i][j]; });
    reflect([&](std::size_t i) -> Real& { return y[i]; });
  }
  LeastSquares fit;
  fit.coef.assign(p, 0);
  for (std::size_t k = p; k-- > 0;) {
    Real s = y[k];
    for (std::size_t j = k + 1; j < p; ++j) s -= A[k][j] * fit.coef[j];
    fit.coef[k] = s / A[k][k];
  }
  for (std::size_t i = p; i < n; ++i) fit.sse += y[i] * y[i];
  fit.rinv.assign(p, std::vector<Real>(p, 0));
  for (std::size_t j = 0; j < p; ++j) {
    fit.rinv[j][j] = 1 / A[j][j];
    for (std::size_t k = j; k-- > 0;) {
      Real s = 0;
      for (std::size_t m = k + 1; m <= j; ++m) s += A[k][m] * fit.rinv[m][j];
      fit.rinv[k][j] = -s / A[k][k];
    }
  }
  return fit;
}

Matrix powers(const std::vector<Real>& t, int degree) {
  Matrix A(t.size(), std::vector<Real>(degree + 1));
  for (std::size_t i = 0; i < t.size(); ++i) {
    Real power = 1;
    for (int j = 0; j <= degree; ++j, power *= t[i]) A[i][j] = power;
  }
  return A;
}

// (A'A)^-1 from R^-1.
Matrix normal_inverse(const Matrix& rinv) {
  const std::size_t p = rinv.size();
  Matrix c(p, std::vector<Real>(p, 0));
  for (std::size_t i = 0; i < p; ++i) {
    for (std::size_t j = 0; j < p; ++j) {
      for (std::size_t k = 0; k < p; ++k) c[i][j] += rinv[i][k] * rinv[j][k];
    }
  }
  return c;
}

struct DataSet {
  std::vector<float> x, y;
  int degree;
};

// Laboratory-like data: abscissas somewhere in 0.1 to 500, a smooth trend
// with an offset, and noise large enough that no fit is exact.
DataSet random_data_set(std::mt19937& rng) {
  auto uniform = [&](double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng); };
  DataSet d;
  const int n = std::uniform_int_distribution<int>(5, 40)(rng);
  d.degree = std::uniform_int_distribution<int>(0, 3)(rng);
  const double lo = 0.1 * std::pow(10.0, uniform(0.0, 3.5));
  const double hi = lo + (500.0 - lo) * uniform(0.05, 1.0);
  double c[4];
  for (double& ci : c) ci = uniform(-50.0, 50.0);
  const double offset = uniform(-200.0, 200.0);
  const double noise = uniform(0.01, 0.3) * (std::fabs(c[1]) + std::fabs(c[2]) + std::fabs(c[3]) + 1);
  std::normal_distribution<double> error(0.0, noise);
  while (static_cast<int>(d.x.size()) < n) {
    const float x = static_cast<float>(uniform(lo, hi));
    if (std::find(d.x.begin(), d.x.end(), x) != d.x.end()) continue;
    const double t = (x - lo) / (hi - lo);
    d.x.push_back(x);
    d.y.push_back(static_cast<float>(offset + ((c[3] * t + c[2]) * t + c[1]) * t + error(rng)));
  }
  return d;
}

// Single precision has unit roundoff u = 2^-24. The library fits on the
// abscissas mapped to z in [-2, 2], where the basis is well conditioned, so
// its coefficients in powers of z are good to a small multiple of u times
// the size of the data; the map to powers of x, coefficient I = sum over J of
// M(I, J) * (coefficient J in z), magnifies those errors by at most the sum
// of |M(I, J)|. The residual sum of squares is the total sum of squares of y
// less the fitted part, so it is good to a small multiple of u * sum(y^2),
// and so is the R-squared relative to the corrected total. The standard
// errors rest on that residual and on the same change of basis applied to the
// covariance of the z coefficients. The multiple allowed, 64, covers the few
// roundings per step and the sums over at most 40 rows; over many thousands of
// such data sets the largest multiple seen stays below 30.
constexpr Real kRoundoff = 0x1p-24L;
constexpr Real kSafety = 64;

TEST(CurveFitAccuracy, AgreesWithAnExtendedPrecisionFit) {
  std::mt19937 rng(20261208);
  reset_error_state_for_tests();
  for (int trial = 0; trial < 400; ++trial) {
    const DataSet d = random_data_set(rng);
    const int n = static_cast<int>(d.x.size());
    const int p = d.degree + 1;
    SCOPED_TRACE("trial " + std::to_string(trial) + ", n " + std::to_string(n) + ", degree " +
                 std::to_string(d.degree));

    // The workspace of the stated size, followed by guard cells.
    constexpr int kGuard = 16;
    std::vector<float> WK(rcurv_real_workspace_size(n, d.degree) + kGuard, kUntouched);
    std::vector<int> IWK(n + kGuard, -1);
    float B[4], SSPOLY[4], STAT[10];
    R2URV(n, d.x.data(), d.y.data(), d.degree, B, SSPOLY, STAT, WK.data(), IWK.data());
    for (int g = 1; g <= kGuard; ++g) {
      ASSERT_EQ(WK[WK.size() - g], kUntouched);
      ASSERT_EQ(IWK[IWK.size() - g], -1);
    }
    const CurveFitSlices slices = curve_fit_slices(n, d.degree);
    const float* COEF = WK.data() + slices.coef;

    std::vector<Real> x(d.x.begin(), d.x.end());
    std::vector<Real> y(d.y.begin(), d.y.end());
    const LeastSquares fit = least_squares(powers(x, d.degree), y);
    Real mean = 0;
    Real sum_y2 = 0;
    for (Real v : y) {
      mean += v / n;
      sum_y2 += v * v;
    }
    Real sst = 0;
    for (Real v : y) sst += (v - mean) * (v - mean);
    const Real mse = fit.sse / (n - p);

    // The same data on z, and the substitution matrix from z to x.
    const Real xmin = *std::min_element(x.begin(), x.end());
    const Real xmax = *std::max_element(x.begin(), x.end());
    const Real scale = 4 / (xmax - xmin);
    const Real shift = -scale * (xmax + xmin) / 2;
    std::vector<Real> z;
    for (Real v : x) z.push_back(scale * v + shift);
    const LeastSquares zfit = least_squares(powers(z, d.degree), y);
    const Matrix zcov = normal_inverse(zfit.rinv);
    Matrix M(p, std::vector<Real>(p, 0));
    for (int i = 0; i < p; ++i) {
      for (int j = i; j < p; ++j) {
        Real binom = 1;
        for (int k = 0; k < i; ++k) binom = binom * (j - k) / (k + 1);
        M[i][j] = std::pow(scale, i) * binom * std::pow(shift, j - i);
      }
    }
    Real ymax = 0, zsize = 0;
    for (Real v : y) ymax = std::max(ymax, std::fabs(v));
    for (Real a : zfit.coef) zsize += std::fabs(a);

    const Real sse_tol = kSafety * kRoundoff * sum_y2;
    EXPECT_NEAR(STAT[8], fit.sse, sse_tol);
    EXPECT_NEAR(STAT[4], 100 * (1 - fit.sse / sst), 100 * sse_tol / sst);
    EXPECT_EQ(STAT[5], d.degree);
    EXPECT_EQ(STAT[7], n - p);
    const Matrix xcov = normal_inverse(fit.rinv);
    for (int i = 0; i < p; ++i) {
      Real magnification = 0, variance_magnification = 0;
      for (int j = 0; j < p; ++j) {
        magnification += std::fabs(M[i][j]);
        for (int k = 0; k < p; ++k) {
          variance_magnification += std::fabs(M[i][j] * zcov[j][k] * M[i][k]);
        }
      }
      EXPECT_NEAR(B[i], fit.coef[i], kSafety * kRoundoff * (ymax + zsize) * magnification)
          << "B(" << i + 1 << ")";
      const Real variance = mse * xcov[i][i];
      const Real se = COEF[i + p];
      const Real variance_tol = variance * sse_tol / fit.sse +
                                kSafety * kRoundoff * mse * variance_magnification;
      EXPECT_NEAR(se * se, variance, variance_tol) << "standard error of B(" << i + 1 << ")";
    }
  }
}

}  // namespace
}  // namespace ksatfit
