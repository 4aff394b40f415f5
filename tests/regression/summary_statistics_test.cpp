#include "regression/summary_statistics.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "errors/error_layer.hpp"
#include "ksatfit/kernels.hpp"
#include "ksatfit/probability.hpp"
#include "ksatfit/regression.hpp"
#include "regression/power_basis.hpp"
#include "runtime/one_based.hpp"
#include "tests/support/transcript.hpp"

namespace ksatfit {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kUntouched = -7777.0f;

// Everything R2TAP writes, sized for degrees up to 3, with leading
// dimensions that exceed the rows used so that stray writes show.
struct SummaryOutputs {
  static constexpr int LD = 6;
  std::array<float, 15> AOV;
  std::array<float, LD * 4> SQSS;
  std::array<float, LD * 4> COEF;
  std::array<float, LD * 4> TLOF;
  std::array<float, 4 * 10> WK;
  SummaryOutputs() {
    AOV.fill(kUntouched);
    SQSS.fill(kUntouched);
    COEF.fill(kUntouched);
    TLOF.fill(kUntouched);
    WK.fill(kUntouched);
  }
  float sqss(int i, int j) const { return SQSS[(i - 1) + (j - 1) * LD]; }
  float coef(int i, int j) const { return COEF[(i - 1) + (j - 1) * LD]; }
  float tlof(int i, int j) const { return TLOF[(i - 1) + (j - 1) * LD]; }
  float aov(int i) const { return AOV[i - 1]; }
};

// The orthogonal fit of x = (1, 2, 3), y = (1, 0, 1) on z = 2x - 4.
struct Fit {
  int NDEG;
  std::vector<float> ALPHA, BETA;
  float XSCALE, XSHIFT;
  std::vector<float> OCOEF, D;
  float DFE, SSE;
};
Fit parabola_fit() {
  return {2, {0.0f, 0.0f}, {0.0f, 8.0f / 3.0f}, 2.0f, -4.0f, {2.0f / 3.0f, 0.0f, 0.25f},
          {3.0f, 8.0f, 32.0f / 3.0f}, 0.0f, 0.0f};
}

void summarise(const Fit& f, SummaryOutputs& out, int LOF = 0, float DFPE = 0.0f,
               float SSPE = 0.0f, int IPRINT = 0) {
  R2TAP(f.NDEG, f.ALPHA.data(), f.BETA.data(), f.XSCALE, f.XSHIFT, f.OCOEF.data(), f.D.data(),
        f.DFE, f.SSE, LOF, DFPE, SSPE, IPRINT, out.AOV.data(), out.SQSS.data(),
        SummaryOutputs::LD, out.COEF.data(), SummaryOutputs::LD, out.TLOF.data(),
        SummaryOutputs::LD, out.WK.data());
}

void expect_close(float actual, double expected, double relative = 1e-6) {
  EXPECT_NEAR(actual, expected, relative * std::max(1.0, std::fabs(expected)));
}

class SummaryStatisticsTest : public ::testing::Test {
 protected:
  void SetUp() override { reset_error_state_for_tests(); }
};

TEST_F(SummaryStatisticsTest, CoefficientConversionGoesThroughPowersOfZ) {
  const Fit f = parabola_fit();
  std::vector<float> C = f.OCOEF;
  std::array<float, 3 * 4> W{};
  R3TAP(f.NDEG, C.data(), C.data(), f.ALPHA.data(), f.BETA.data(), f.XSCALE, f.XSHIFT,
        W.data(), 3);
  // Column 4 keeps the polynomial in powers of z: z^2 / 4.
  EXPECT_EQ(W[9], 0.0f);
  EXPECT_EQ(W[10], 0.0f);
  EXPECT_EQ(W[11], 0.25f);
  // In powers of x it is (x - 2)^2.
  EXPECT_EQ(C, (std::vector<float>{4.0f, -4.0f, 1.0f}));
}

TEST_F(SummaryStatisticsTest, ExactFitWithoutErrorDegreesOfFreedom) {
  SummaryOutputs out;
  summarise(parabola_fit(), out);
  EXPECT_EQ(out.coef(1, 1), 4.0f);
  EXPECT_EQ(out.coef(2, 1), -4.0f);
  EXPECT_EQ(out.coef(3, 1), 1.0f);
  for (int i = 1; i <= 3; ++i) {
    for (int j = 2; j <= 4; ++j) EXPECT_TRUE(std::isnan(out.coef(i, j))) << i << "," << j;
  }
  EXPECT_EQ(out.sqss(1, 1), 1.0f);
  EXPECT_EQ(out.sqss(2, 1), 1.0f);
  EXPECT_EQ(out.sqss(1, 2), 0.0f);
  expect_close(out.sqss(2, 2), 2.0 / 3.0);
  for (int i = 1; i <= 2; ++i) {
    EXPECT_TRUE(std::isnan(out.sqss(i, 3)));
    EXPECT_TRUE(std::isnan(out.sqss(i, 4)));
  }
  EXPECT_EQ(out.aov(1), 2.0f);
  EXPECT_EQ(out.aov(2), 0.0f);
  expect_close(out.aov(4), 2.0 / 3.0);
  EXPECT_EQ(out.aov(5), 0.0f);
  EXPECT_FLOAT_EQ(out.aov(11), 100.0f);
  expect_close(out.aov(14), 2.0 / 3.0);
  EXPECT_EQ(out.tlof(1, 1), kUntouched);
}

TEST_F(SummaryStatisticsTest, StraightLineMatchesItsClosedForm) {
  const Fit f{1, {0.3f}, {0.0f}, 0.5f, -1.25f, {2.5f, -0.75f}, {10.0f, 6.4f}, 8.0f, 3.2f};
  SummaryOutputs out;
  summarise(f, out);
  const double mse = 3.2 / 8.0;
  const double var1 = mse / 10.0;
  const double var2 = mse / 6.4;
  expect_close(out.coef(1, 1), (2.5 - 0.3 * -0.75) + -1.25 * -0.75);
  expect_close(out.coef(2, 1), 0.5 * -0.75);
  expect_close(out.coef(1, 2), std::sqrt(var1 + var2 * (-1.25 - 0.3) * (-1.25 - 0.3)));
  expect_close(out.coef(2, 2), std::sqrt(0.5 * 0.5 * var2));
  for (int i = 1; i <= 2; ++i) {
    EXPECT_EQ(out.coef(i, 3), C1DIV(out.coef(i, 1), out.coef(i, 2)));
    EXPECT_FLOAT_EQ(out.coef(i, 4), 2.0f * (1.0f - TDF(std::fabs(out.coef(i, 3)), 8.0f)));
  }
  const float ss1 = -0.75f * -0.75f * 6.4f;
  EXPECT_EQ(out.sqss(1, 1), 1.0f);
  EXPECT_EQ(out.sqss(1, 2), ss1);
  EXPECT_FLOAT_EQ(out.sqss(1, 3), ss1 / 0.4f);
  EXPECT_FLOAT_EQ(out.sqss(1, 4), 1.0f - FDF(out.sqss(1, 3), 1.0f, 8.0f));
  EXPECT_EQ(out.aov(1), 1.0f);
  EXPECT_EQ(out.aov(4), ss1);
  EXPECT_EQ(out.aov(14), 2.5f);
}

TEST_F(SummaryStatisticsTest, ConstantOnlyFitLeavesTheDegreeTablesAlone) {
  const Fit f{0, {}, {}, 1.0f, 0.0f, {4.5f}, {12.0f}, 11.0f, 2.75f};
  SummaryOutputs out;
  summarise(f, out, 1, 3.0f, 1.0f);
  EXPECT_EQ(out.coef(1, 1), 4.5f);
  expect_close(out.coef(1, 2), std::sqrt(2.75 / 11.0 / 12.0));
  EXPECT_EQ(out.aov(1), 0.0f);
  EXPECT_EQ(out.aov(4), 0.0f);
  EXPECT_EQ(out.aov(5), 2.75f);
  for (float v : out.SQSS) EXPECT_EQ(v, kUntouched);
  for (float v : out.TLOF) EXPECT_EQ(v, kUntouched);
}

TEST_F(SummaryStatisticsTest, ZeroErrorWithDegreesOfFreedomGivesZeroStandardErrors) {
  // z = 2x, so z^2 / 4 is x^2: two coefficients are exactly 0.
  Fit f = parabola_fit();
  f.XSHIFT = 0.0f;
  f.DFE = 3.0f;
  SummaryOutputs out;
  summarise(f, out);
  EXPECT_EQ(out.coef(1, 1), 0.0f);
  EXPECT_EQ(out.coef(2, 1), 0.0f);
  EXPECT_EQ(out.coef(3, 1), 1.0f);
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(out.coef(i, 2), 0.0f);
  EXPECT_TRUE(std::isnan(out.coef(1, 3)));
  EXPECT_TRUE(std::isnan(out.coef(1, 4)));
  EXPECT_EQ(out.coef(3, 3), kInf);
  EXPECT_EQ(out.coef(3, 4), 0.0f);
  EXPECT_EQ(out.sqss(2, 3), kInf);
  EXPECT_EQ(out.sqss(2, 4), 0.0f);
}

TEST_F(SummaryStatisticsTest, LackOfFitRowsAddTheHigherPowersInOrder) {
  // SSE - SSPE = 1 and two sequential sums of squares near 3e-8: added one at
  // a time to 1 they vanish, added together first they would not.
  const float tiny = std::sqrt(3e-8f);
  const Fit f{3, {0.1f, -0.2f, 0.05f}, {0.0f, 2.5f, 1.75f}, 0.8f, -1.5f,
              {5.0f, 1.5f, tiny, tiny}, {20.0f, 9.0f, 1.0f, 1.0f}, 16.0f, 3.0f};
  SummaryOutputs out;
  summarise(f, out, 1, 12.0f, 2.0f);
  const float ss2 = out.sqss(2, 2);
  const float ss3 = out.sqss(3, 2);
  ASSERT_NE((1.0f + ss3) + ss2, 1.0f + (ss3 + ss2));
  EXPECT_EQ(out.tlof(3, 1), 4.0f);
  EXPECT_EQ(out.tlof(3, 2), 1.0f);
  EXPECT_EQ(out.tlof(2, 1), 5.0f);
  EXPECT_EQ(out.tlof(2, 2), 1.0f + ss3);
  EXPECT_EQ(out.tlof(1, 1), 6.0f);
  EXPECT_EQ(out.tlof(1, 2), (1.0f + ss3) + ss2);
  for (int i = 1; i <= 3; ++i) {
    const float F = C1DIV(C1DIV(out.tlof(i, 2), out.tlof(i, 1)), 2.0f / 12.0f);
    EXPECT_EQ(out.tlof(i, 3), F);
    EXPECT_FLOAT_EQ(out.tlof(i, 4), 1.0f - FDF(F, out.tlof(i, 1), 12.0f));
  }
}

struct ArgumentCase {
  const char* name;
  int NDEG;
  std::vector<float> D;
  float DFE, SSE;
  int LOF;
  float DFPE, SSPE;
  int IPRINT, LDSQSS, LDCOEF, LDTLOF;
  const char* transcript;
};

void PrintTo(const ArgumentCase& c, std::ostream* os) { *os << c.name; }

class SummaryArgumentChecks : public ::testing::TestWithParam<ArgumentCase> {};

TEST_P(SummaryArgumentChecks, EveryFailedCheckPrintsThenTheCallStops) {
  const ArgumentCase& c = GetParam();
  const test::ChildRun run = test::run_in_child([&] {
    reset_error_state_for_tests();
    std::array<float, 4> ALPHA{}, BETA{}, OCOEF{};
    std::array<float, 15> AOV{};
    std::array<float, 64> SQSS{}, COEF{}, TLOF{}, WK{};
    R2TAP(c.NDEG, ALPHA.data(), BETA.data(), 1.0f, 0.0f, OCOEF.data(),
          c.D.empty() ? nullptr : c.D.data(), c.DFE, c.SSE, c.LOF, c.DFPE, c.SSPE, c.IPRINT,
          AOV.data(), SQSS.data(), c.LDSQSS, COEF.data(), c.LDCOEF, TLOF.data(), c.LDTLOF,
          WK.data());
  });
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.out, std::string(c.transcript) + "Stop - Program terminated.\n");
}

INSTANTIATE_TEST_SUITE_P(
    Messages, SummaryArgumentChecks,
    ::testing::Values(
        ArgumentCase{
            "SeveralInOneCall", 2, {0.0f, 5.0f, -1.5f}, -1.0f, 2.0f, 2, 0.0f, 0.0f, 3, 1, 2, 0,
            "\n"
            " *** TERMINAL ERROR 2 from R2TAP.  D(1) = .000000E+00.  Each element of D,\n"
            " ***          the vector containing the diagonal elements of the sum of \n"
            " ***          squares and cross-products matrix, must be positive.\n"
            "\n"
            " *** TERMINAL ERROR 2 from R2TAP.  D(3) = -1.500000E+00.  Each element of D,\n"
            " ***          the vector containing the diagonal elements of the sum of \n"
            " ***          squares and cross-products matrix, must be positive.\n"
            "\n"
            " *** TERMINAL ERROR 3 from R2TAP.  DFE = -1.000000E+00.  The degrees of\n"
            " ***          freedom for error, DFE, must be greater than or equal to 0.\n"
            "\n"
            " *** TERMINAL ERROR 5 from R2TAP.  LOF = 2.  The lack of fit test option,\n"
            " ***          LOF, must be either 0 or 1.\n"
            "\n"
            " *** TERMINAL ERROR 8 from R2TAP.  IPRINT = 3.  The printing option, IPRINT,\n"
            " ***          must be equal to either 0 or 1.\n"
            "\n"
            " *** TERMINAL ERROR 9 from R2TAP.  NDEG = 2 and LDSQSS = 1.  The leading\n"
            " ***          dimension of SQSS, LDSQSS, must be greater than or equal to the \n"
            " ***          degree of the polynomial regression, NDEG.\n"
            "\n"
            " *** TERMINAL ERROR 10 from R2TAP.  NDEG = 2 and LDCOEF = 2.  The leading\n"
            " ***          dimension of COEF, LDCOEF, must be greater than or equal to 1 \n"
            " ***          plus the degree of the polynomial regression, NDEG.\n"},
        // NaN passes every check; the lack-of-fit dimension is checked before COEF's.
        ArgumentCase{
            "LackOfFitArguments", 3, {1.0f, 2.0f, 3.0f, kNaN}, kNaN, 1.0f, 1, -2.0f, -0.25f, 0,
            3, 3, 2,
            "\n"
            " *** TERMINAL ERROR 6 from R2TAP.  DFPE = -2.000000E+00.  The degrees of\n"
            " ***          freedom for pure error, DFPE, must be greater than or equal to \n"
            " ***          0.\n"
            "\n"
            " *** TERMINAL ERROR 7 from R2TAP.  SSPE = -2.500000E-01.  The sums of squares\n"
            " ***          for pure error, SSPE, must be greater than or equal to 0.\n"
            "\n"
            " *** TERMINAL ERROR 11 from R2TAP.  NDEG = 3 and LDTLOF = 2.  The leading\n"
            " ***          dimension of TLOF, LDTLOF, must be greater than or equal to the \n"
            " ***          degree of the polynomial regression, NDEG.\n"
            "\n"
            " *** TERMINAL ERROR 10 from R2TAP.  NDEG = 3 and LDCOEF = 3.  The leading\n"
            " ***          dimension of COEF, LDCOEF, must be greater than or equal to 1 \n"
            " ***          plus the degree of the polynomial regression, NDEG.\n"},
        // A negative degree skips every check that depends on it; D is not read.
        ArgumentCase{
            "NegativeDegree", -1, {}, 0.0f, -0.5f, 0, 0.0f, 0.0f, 0, 0, 0, 0,
            "\n"
            " *** TERMINAL ERROR 1 from R2TAP.  NDEG = -1.  The degree of the polynomial\n"
            " ***          regression, NDEG, must be greater than or equal to 0.\n"
            "\n"
            " *** TERMINAL ERROR 4 from R2TAP.  SSE = -5.000000E-01.  The sum of squares\n"
            " ***          for error, SSE, must be greater than or equal to 0.\n"}),
    [](const ::testing::TestParamInfo<ArgumentCase>& info) { return info.param.name; });

}  // namespace
}  // namespace ksatfit
