// The bundled sample (30 laboratory-like pairs with scatter): the report's
// numbers agree with a least-squares cubic computed here in double precision,
// as closely as a single-precision fit printed to 5 decimals can.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/program_run.hpp"

namespace ksatfit::test {
namespace {

struct Pairs {
  std::vector<double> x, y;
};

Pairs parse_pairs(const std::string& text) {
  Pairs pairs;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    pairs.x.push_back(std::stod(line.substr(1, 8)));
    pairs.y.push_back(std::stod(line.substr(10, 12)));
  }
  return pairs;
}

// Least squares by Householder QR of the Vandermonde matrix in x - mean(x);
// the coefficients are then moved back to powers of x.
struct Fit {
  std::vector<double> b;          // b[k] multiplies x^k
  std::vector<double> term_size;  // sum of the magnitudes of the terms that make up b[k]
  double r_squared_percent;
};

Fit least_squares(const Pairs& p, int degree) {
  const int n = static_cast<int>(p.x.size());
  const int m = degree + 1;
  double mean = 0;
  for (double x : p.x) mean += x / n;
  std::vector<std::vector<double>> a(m, std::vector<double>(n));
  for (int i = 0; i < n; ++i) {
    for (int k = 0; k < m; ++k) a[k][i] = std::pow(p.x[i] - mean, k);
  }
  std::vector<double> y = p.y;
  for (int k = 0; k < m; ++k) {
    double norm = 0;
    for (int i = k; i < n; ++i) norm += a[k][i] * a[k][i];
    norm = std::copysign(std::sqrt(norm), a[k][k]);
    std::vector<double> v(n, 0.0);
    for (int i = k; i < n; ++i) v[i] = a[k][i];
    v[k] += norm;
    double vv = 0;
    for (int i = k; i < n; ++i) vv += v[i] * v[i];
    auto reflect = [&](std::vector<double>& col) {
      double dot = 0;
      for (int i = k; i < n; ++i) dot += v[i] * col[i];
      for (int i = k; i < n; ++i) col[i] -= 2 * dot / vv * v[i];
    };
    for (int j = k; j < m; ++j) reflect(a[j]);
    reflect(y);
  }
  std::vector<double> c(m);
  for (int k = m - 1; k >= 0; --k) {
    double s = y[k];
    for (int j = k + 1; j < m; ++j) s -= a[j][k] * c[j];
    c[k] = s / a[k][k];
  }
  double sse = 0;
  for (int i = m; i < n; ++i) sse += y[i] * y[i];
  double ymean = 0;
  for (double v : p.y) ymean += v / n;
  double sst = 0;
  for (double v : p.y) sst += (v - ymean) * (v - ymean);
  // Expand sum c_k (x - mean)^k into powers of x.
  std::vector<double> b(m, 0.0);
  std::vector<double> term_size(m, 0.0);
  for (int k = 0; k < m; ++k) {
    double binomial = 1;
    for (int j = 0; j <= k; ++j) {
      const double term = c[k] * binomial * std::pow(-mean, k - j);
      b[j] += term;
      term_size[j] += std::fabs(term);
      binomial = binomial * (k - j) / (j + 1);
    }
  }
  return {b, term_size, 100 * (1 - sse / sst)};
}

std::vector<std::string> split_crlf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  for (std::size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
    lines.push_back(text.substr(at, end - at));
  }
  return lines;
}

TEST(WholeRun, SampleReportAgreesWithADoublePrecisionCubic) {
  const std::string sample = read_file(build_tree_path(KSATFIT_EXAMPLES_DIR) + "/temp3");
  const Pairs pairs = parse_pairs(sample);
  ASSERT_EQ(pairs.x.size(), 30u);
  const Fit fit = least_squares(pairs, 3);

  const ProgramRun run = run_on(kKsatCubic, sample);
  EXPECT_EQ(run.console.exit_status, 0);
  EXPECT_EQ(run.console.out, "");
  const std::vector<std::string> lines = split_crlf(run.file);
  ASSERT_EQ(lines.size(), 11u + 30u);
  EXPECT_EQ(lines[7], "        30   No. of Observations");
  EXPECT_EQ(lines[8], "   3.00000 Degrees of Freedom ");

  // R-squared: single precision carries it to about 1e-4 percentage points.
  EXPECT_NEAR(std::stod(lines[2].substr(0, 10)), fit.r_squared_percent, 0.005 + 1e-3);
  // Coefficients: half a unit in the fifth decimal for the printing, plus a
  // few float epsilons of the terms that the change to powers of x adds up
  // (they cancel to the much smaller coefficient).
  for (int k = 0; k <= 3; ++k) {
    SCOPED_TRACE("coefficient of x^" + std::to_string(k));
    const double tolerance = 0.5e-5 + 16 * FLT_EPSILON * fit.term_size[k];
    EXPECT_NEAR(std::stod(lines[3 + k].substr(0, 10)), fit.b[k], tolerance);
  }
}

}  // namespace
}  // namespace ksatfit::test
