// Accuracy of the orthogonal polynomial fit in single precision: agreement
// with an independent long-double least-squares fit, independence of the
// units and the origin of the response, and two realistic data sets whose
// responses are tiny against 1 or large against their own spread.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <vector>

#include "errors/error_layer.hpp"
#include "tests/regression/orthogonal_fit_harness.hpp"

namespace ksatfit::test {
namespace {

class OrthogonalFitAccuracy : public testing::Test {
 protected:
  void SetUp() override { reset_error_state_for_tests(); }
};

struct Generator {
  std::mt19937 rng;
  double uniform(double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(rng);
  }
  int integer(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
  double normal() { return std::normal_distribution<double>(0.0, 1.0)(rng); }
};

// A random polynomial of degree `deg` in t in [0, 1] plus noise of 5 to 30
// per cent of its spread, so that no fit of any degree is a perfect one.
std::vector<float> noisy_polynomial(Generator& g, const std::vector<float>& x, int deg,
                                    double scale, double offset) {
  const auto [lo, hi] = std::minmax_element(x.begin(), x.end());
  std::vector<double> coef(deg + 1);
  for (double& c : coef) c = g.normal();
  std::vector<double> clean;
  for (float xi : x) {
    const double t = (xi - *lo) / (static_cast<double>(*hi) - *lo);
    double v = 0;
    for (int j = deg; j >= 0; --j) v = v * t + coef[j];
    clean.push_back(v);
  }
  const auto [cmin, cmax] = std::minmax_element(clean.begin(), clean.end());
  const double spread = std::max(*cmax - *cmin, 1.0);
  const double noise = g.uniform(0.05, 0.3) * spread;
  std::vector<float> y;
  for (double v : clean) y.push_back(static_cast<float>(offset + scale * (v + noise * g.normal())));
  return y;
}

// Weighted sum of squares about the weighted mean, in long double.
long double total_sum_of_squares(const std::vector<float>& y, const std::vector<float>& w) {
  long double sw = 0, swy = 0, s = 0;
  for (size_t i = 0; i < y.size(); ++i) {
    sw += w[i];
    swy += static_cast<long double>(w[i]) * y[i];
  }
  const long double mean = swy / sw;
  for (size_t i = 0; i < y.size(); ++i) s += w[i] * (y[i] - mean) * (y[i] - mean);
  return s;
}

std::vector<float> combined_weights(const FitInput& in) {
  std::vector<float> w(in.x.size(), 1.0f);
  for (size_t i = 0; i < w.size(); ++i) {
    if (!in.frq.empty()) w[i] *= in.frq[i];
    if (!in.wt.empty()) w[i] *= in.wt[i];
  }
  return w;
}

// ---------------------------------------------------------------------------
// Agreement with an independent least-squares fit.
//
// Error budget of a fitted value: the coefficient of P_K is a quotient of
// single-precision sums over n rows whose terms are bounded (Cauchy-Schwarz)
// by sqrt(SST * D(K+1)), so each coefficient times sqrt(D(K+1)) carries an
// error of at most about n * eps * sqrt(SST); with |P_K(z_i)| <= sqrt(D(K+1)/w_i)
// the NDEG+1 terms of a fitted value add at most (NDEG+1) n eps sqrt(SST/w_i).
// The constant term carries a rounding of eps |mean|, and the scaled
// abscissas one of a few eps, which moves a fitted value by at most a few
// eps times the range of the fitted values per unit of degree.
TEST_F(OrthogonalFitAccuracy, FittedValuesAgreeWithALongDoubleLeastSquaresFit) {
  Generator g{std::mt19937(20260512)};
  double worst_ratio = 0.0;
  for (int trial = 0; trial < 240; ++trial) {
    reset_error_state_for_tests();
    FitInput in;
    const int n = trial < 40 ? g.integer(4, 12) : g.integer(4, 500);
    in.MAXDEG = g.integer(0, 5);
    const double width = std::pow(10.0, g.uniform(-2.0, 3.0));
    const double x0 = width * g.uniform(-5.0, 5.0);
    const bool replicated = trial % 3 == 0;
    const int grid = std::max(2, n / 3);
    for (int i = 0; i < n; ++i) {
      double u = g.uniform(0.0, 1.0);
      if (replicated) u = std::floor(u * grid) / grid;
      in.x.push_back(static_cast<float>(x0 + width * u));
    }
    if (*std::min_element(in.x.begin(), in.x.end()) ==
        *std::max_element(in.x.begin(), in.x.end())) {
      in.x[0] = static_cast<float>(x0 - width);
    }
    const double scale = std::pow(10.0, g.uniform(-9.0, 4.0));
    const double offset = trial % 4 == 1 ? scale * g.uniform(-1e3, 1e3) : 0.0;
    in.y = noisy_polynomial(g, in.x, g.integer(0, 5), scale, offset);
    if (trial % 2 == 1) {
      for (int i = 0; i < n; ++i) in.wt.push_back(static_cast<float>(g.uniform(0.25, 4.0)));
    }
    if (trial % 5 == 2) {
      for (int i = 0; i < n; ++i) in.frq.push_back(static_cast<float>(g.integer(1, 3)));
    }
    const FitOutput f = run_fit(in);

    // The rows in abscissa order, as R2ORP leaves their scaled abscissas.
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return in.x[a] < in.x[b]; });
    const std::vector<float> w = combined_weights(in);
    std::vector<float> xs, ys, ws;
    int ndist = 0;
    for (int k = 0; k < n; ++k) {
      if (k == 0 || in.x[order[k]] != in.x[order[k - 1]]) ++ndist;
      xs.push_back(in.x[order[k]]);
      ys.push_back(in.y[order[k]]);
      ws.push_back(w[order[k]]);
    }
    ASSERT_EQ(f.NDEG, std::min(in.MAXDEG, ndist - 1)) << "trial " << trial;
    ASSERT_EQ(f.z.size(), static_cast<size_t>(n));

    const ReferenceFit ref = reference_fit(xs, ys, ws, f.NDEG);
    const long double mean = std::inner_product(ys.begin(), ys.end(), ws.begin(), 0.0L) /
                             std::accumulate(ws.begin(), ws.end(), 0.0L);
    const auto [fmin, fmax] = std::minmax_element(ref.fitted.begin(), ref.fitted.end());
    for (int k = 0; k < n; ++k) {
      const long double got = orthogonal_value(f, f.z[k]);
      const long double bound =
          kEps * ((f.NDEG + 1) * n * std::sqrt(ref.sst / ws[k]) + 4 * std::fabs(mean) +
                  4 * (f.NDEG + 1) * (f.NDEG + 1) * (*fmax - *fmin));
      const long double err = std::fabs(got - ref.fitted[k]);
      worst_ratio = std::max(worst_ratio, static_cast<double>(err / bound));
      ASSERT_LE(err, bound) << "trial " << trial << " row " << k << " n " << n << " degree "
                            << f.NDEG;
    }
    const float sumf = std::accumulate(in.frq.begin(), in.frq.end(), 0.0f);
    EXPECT_EQ(f.DFE, (in.frq.empty() ? static_cast<float>(n) : sumf) - f.NDEG - 1.0f);
    if (f.DFE > 0) {
      EXPECT_NEAR(static_cast<double>(f.SSE), static_cast<double>(ref.sse),
                  static_cast<double>(4 * n * kEps * ref.sst))
          << "trial " << trial;
    }
  }
  RecordProperty("worst_error_to_bound_ratio", std::to_string(worst_ratio));
}

// ---------------------------------------------------------------------------
// Units and origin of y.

struct Pair {
  FitOutput base, moved;
};

// Same degree and conditions; R-squared within single-precision noise: a few
// eps, plus the rounding of the weighted mean (eps |mean| per row), whose
// square against the total is what a float mean far from 0 costs.
void expect_same_fit(const FitOutput& a, const FitOutput& b, long double sst, long double sw,
                     long double mean, const char* what) {
  SCOPED_TRACE(what);
  EXPECT_EQ(b.NDEG, a.NDEG);
  EXPECT_EQ(b.type, a.type);
  EXPECT_EQ(b.code, a.code);
  // The basis depends on the abscissas and weights alone.
  EXPECT_EQ(b.XSCALE, a.XSCALE);
  EXPECT_EQ(b.XSHIFT, a.XSHIFT);
  for (int k = 0; k <= a.NDEG; ++k) EXPECT_EQ(b.D[k], a.D[k]);
  for (int k = 0; k < a.NDEG; ++k) {
    EXPECT_EQ(b.ALPHA[k], a.ALPHA[k]);
    EXPECT_EQ(b.BETA[k], a.BETA[k]);
  }
  const long double mean_error = 2 * kEps * std::fabs(mean);
  const long double r2_tol = 64 * kEps + 4 * sw * mean_error * mean_error / sst;
  EXPECT_NEAR(a.r_squared(), b.r_squared(), static_cast<double>(r2_tol));
}

struct InvarianceSet {
  std::vector<float> x, y;
  int MAXDEG;
};

std::vector<InvarianceSet> invariance_sets() {
  std::vector<InvarianceSet> sets;
  Generator g{std::mt19937(77)};
  for (int seed = 0; seed < 4; ++seed) {
    for (int deg = 1; deg <= 3; ++deg) {
      InvarianceSet s;
      const int n = g.integer(deg + 6, 40);
      for (int i = 0; i < n; ++i) s.x.push_back(static_cast<float>(g.uniform(0.0, 10.0)));
      s.y = noisy_polynomial(g, s.x, deg, 1.0, 0.0);
      s.MAXDEG = deg;
      sets.push_back(s);
    }
  }
  return sets;
}

const std::vector<float> kExactQuadraticX{1, 2, 3, 4, 5, 6, 7, 8};
std::vector<float> exact_quadratic_y() {
  std::vector<float> y;
  for (float x : kExactQuadraticX) y.push_back(3.0f * x * x - 20.0f * x + 7.0f);
  return y;
}

double spread(const std::vector<float>& y) {
  const auto [lo, hi] = std::minmax_element(y.begin(), y.end());
  return static_cast<double>(*hi) - *lo;
}

FitOutput fit_xy(const std::vector<float>& x, const std::vector<float>& y, int maxdeg) {
  reset_error_state_for_tests();
  return run_fit({x, y, {}, {}, maxdeg, 0, 0.0f, 0});
}

void check_scaling(const std::vector<float>& x, const std::vector<float>& y, int maxdeg) {
  const FitOutput base = fit_xy(x, y, maxdeg);
  const std::vector<float> ones(y.size(), 1.0f);
  const long double sst = total_sum_of_squares(y, ones);
  for (double c : {1e-8, 1e-3, 1e3}) {
    std::vector<float> yc;
    for (float v : y) yc.push_back(static_cast<float>(c * v));
    const FitOutput scaled = fit_xy(x, yc, maxdeg);
    const long double mean = std::accumulate(y.begin(), y.end(), 0.0L) / y.size();
    expect_same_fit(base, scaled, sst, y.size(), mean, "scaled");
    for (int k = 0; k <= base.NDEG; ++k) {
      // Coefficient errors measured on the scale a coefficient of P_K can take.
      const long double unit = std::sqrt(sst / base.D[k]);
      EXPECT_NEAR(scaled.OCOEF[k] / c, base.OCOEF[k],
                  static_cast<double>(8 * y.size() * kEps * unit + 4 * kEps * std::fabs(mean)))
          << "c " << c << " K " << k;
    }
  }
}

// y moved by a: the moved values are rounded once, and the base is those
// values moved back (exactly, as they are close to a), so both fits see the
// same points.
void check_shift(const std::vector<float>& x, const std::vector<float>& y, int maxdeg,
                 double a_in_spreads) {
  const double a = a_in_spreads * spread(y);
  std::vector<float> moved, back;
  for (float v : y) {
    moved.push_back(static_cast<float>(a + v));
    back.push_back(static_cast<float>(moved.back() - a));
  }
  const FitOutput base = fit_xy(x, back, maxdeg);
  const FitOutput shifted = fit_xy(x, moved, maxdeg);
  const std::vector<float> ones(y.size(), 1.0f);
  const long double sst = total_sum_of_squares(back, ones);
  expect_same_fit(base, shifted, sst, y.size(),
                  std::accumulate(moved.begin(), moved.end(), 0.0L) / y.size(), "shifted");
  EXPECT_NEAR(shifted.OCOEF[0] - a, base.OCOEF[0], 4 * kEps * a);
  for (int k = 1; k <= base.NDEG; ++k) {
    const long double unit = std::sqrt(sst / base.D[k]);
    EXPECT_NEAR(shifted.OCOEF[k], base.OCOEF[k],
                static_cast<double>(8 * y.size() * kEps * unit))
        << "a " << a << " K " << k;
  }
}

TEST_F(OrthogonalFitAccuracy, ScalingTheResponseScalesTheCoefficients) {
  for (const InvarianceSet& s : invariance_sets()) check_scaling(s.x, s.y, s.MAXDEG);
  // An exact quadratic stays a perfect fit at degree 2 in any units.
  check_scaling(kExactQuadraticX, exact_quadratic_y(), 3);
  EXPECT_EQ(fit_xy(kExactQuadraticX, exact_quadratic_y(), 3).code, 6);
}

TEST_F(OrthogonalFitAccuracy, MovingTheOriginOfTheResponseChangesOnlyTheConstant) {
  for (const InvarianceSet& s : invariance_sets()) {
    check_shift(s.x, s.y, s.MAXDEG, 100.0);
    check_shift(s.x, s.y, s.MAXDEG, 1e4);
  }
  // Not at 1e4 spreads: there the float mean alone is off by eps * a, whose
  // square against the total (about 4e-6) is beyond the perfect-fit margin of
  // 10 eps, so an exact fit is no longer exact after the move.
  check_shift(kExactQuadraticX, exact_quadratic_y(), 3, 100.0);
}

// ---------------------------------------------------------------------------
// Two realistic data sets.

double reference_r_squared(const std::vector<float>& x, const std::vector<float>& y, int deg) {
  const std::vector<float> ones(x.size(), 1.0f);
  const ReferenceFit ref = reference_fit(x, y, ones, deg);
  return static_cast<double>(1 - ref.sse / ref.sst);
}

// Saturated hydraulic conductivity (cm/s) against void ratio, 30 pairs, cubic:
// responses of 1e-8 to 1e-6, far below the size of the basis values.
const std::vector<float> kVoidRatio{
    0.504752338f, 0.53023231f,  0.556330323f, 0.575372875f, 0.604171991f, 0.625999928f,
    0.640830517f, 0.666312099f, 0.689072728f, 0.716376483f, 0.741006196f, 0.760605931f,
    0.78014642f,  0.806993783f, 0.836599529f, 0.858615518f, 0.877843022f, 0.903551698f,
    0.929445505f, 0.950955093f, 0.972264051f, 0.994629204f, 1.01621008f,  1.03792691f,
    1.06050122f,  1.09056175f,  1.11130524f,  1.13385808f,  1.16106677f,  1.18130648f};
const std::vector<float> kConductivity{
    1.00916422e-08f, 1.29787328e-08f, 1.45198911e-08f, 1.70607084e-08f, 2.10660005e-08f,
    2.17399521e-08f, 2.52997214e-08f, 3.45409674e-08f, 3.66858863e-08f, 4.05703666e-08f,
    5.01630275e-08f, 5.31052287e-08f, 6.65715518e-08f, 7.24333447e-08f, 7.85604968e-08f,
    9.29843367e-08f, 1.21817123e-07f, 1.73575685e-07f, 1.58092959e-07f, 1.76187541e-07f,
    2.25279777e-07f, 2.87417322e-07f, 2.56271221e-07f, 3.79420101e-07f, 3.94612243e-07f,
    4.85296766e-07f, 5.663141e-07f,   6.73814839e-07f, 7.56052202e-07f, 9.25219524e-07f};

TEST_F(OrthogonalFitAccuracy, TinyConductivitiesGetTheirTrueCubic) {
  const FitOutput f = run_fit({kVoidRatio, kConductivity, {}, {}, 3, 0, 0.0f, 0});
  const double reference = reference_r_squared(kVoidRatio, kConductivity, 3);
  EXPECT_NEAR(100.0 * reference, 99.338, 1e-3);
  EXPECT_EQ(f.NDEG, 3);
  EXPECT_EQ(f.type, 0) << f.console;  // no perfect fit at a lower degree
  EXPECT_NEAR(100.0 * f.r_squared(), 100.0 * reference, 1e-3);
}

// 20 pairs near 10000 that vary by about 10, quadratic.
const std::vector<float> kAbscissa{
    1.02841949f, 1.46443713f, 1.98599839f, 2.4006381f,  2.98943686f,
    3.32974148f, 3.74920559f, 4.29738951f, 4.75298071f, 5.07577944f,
    5.71356821f, 5.99659491f, 6.52188826f, 6.94444466f, 7.52142286f,
    7.97203827f, 8.29096413f, 8.8327961f,  9.12124825f, 9.71602058f};
const std::vector<float> kLargeResponse{
    10000.1963f, 10000.3994f, 10000.1953f, 10000.502f,  10000.5244f,
    10000.5186f, 10000.0752f, 9999.99316f, 9999.85742f, 9999.61328f,
    9999.01953f, 9998.98535f, 9998.25488f, 9997.7168f,  9997.39355f,
    9996.57227f, 9995.87012f, 9995.43359f, 9994.7334f,  9993.54492f};

TEST_F(OrthogonalFitAccuracy, LargeResponsesWithSmallSpreadAreNotTakenForConstant) {
  // The data are such that the shortcut total SWYY - SWY^2/SW, with its sums
  // rounded to single precision, comes out as nothing.
  double swyy = 0, swy = 0;
  for (float v : kLargeResponse) {
    swyy += static_cast<double>(v) * v;
    swy += v;
  }
  const float swy_f = static_cast<float>(swy);
  EXPECT_LE(static_cast<float>(swyy) - swy_f * swy_f / 20.0f, 0.0f);

  const FitOutput f = run_fit({kAbscissa, kLargeResponse, {}, {}, 2, 0, 0.0f, 0});
  const double reference = reference_r_squared(kAbscissa, kLargeResponse, 2);
  EXPECT_NEAR(100.0 * reference, 99.621, 1e-3);
  EXPECT_EQ(f.NDEG, 2);
  EXPECT_EQ(f.type, 0) << f.console;
  EXPECT_NEAR(100.0 * f.r_squared(), 100.0 * reference, 1e-3);
}

}  // namespace
}  // namespace ksatfit::test
