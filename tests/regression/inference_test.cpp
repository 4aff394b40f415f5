#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <limits>
#include <vector>

#include "errors/error_layer.hpp"
#include "ksatfit/errors.hpp"
#include "ksatfit/probability.hpp"
#include "ksatfit/regression.hpp"
#include "regression/inference.hpp"
#include "runtime/one_based.hpp"
#include "tests/support/transcript.hpp"

namespace ksatfit {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kUntouched = -777.0f;

class Inference : public testing::Test {
 protected:
  void SetUp() override { reset_error_state_for_tests(); }
};

void expect_same(float actual, float expected, const char* what) {
  if (std::isnan(expected)) {
    EXPECT_TRUE(std::isnan(actual)) << what << " gave " << actual;
  } else {
    EXPECT_EQ(actual, expected) << what;
  }
}

TEST_F(Inference, TStatisticAndTwoSidedProbability) {
  struct Case {
    const char* what;
    float B, SE, DFE, T, PVAL;
  };
  const float p2 = 2.0f * (1.0f - TDF(2.0f, 10.0f));
  const Case cases[] = {
      {"ordinary", 3.0f, 1.5f, 10.0f, 2.0f, p2},
      {"negative estimate, same p-value", -3.0f, 1.5f, 10.0f, -2.0f, p2},
      {"zero standard error", 2.0f, 0.0f, 10.0f, kInf, 0.0f},
      {"zero standard error, negative estimate", -2.0f, 0.0f, 10.0f, -kInf, 0.0f},
      {"zero over zero", 0.0f, 0.0f, 10.0f, kNaN, kNaN},
      {"NaN standard error", 1.0f, kNaN, 10.0f, kNaN, kNaN},
      {"no error degrees of freedom", 3.0f, 1.5f, 0.0f, 2.0f, kNaN},
      {"NaN error degrees of freedom", 3.0f, 1.5f, kNaN, 2.0f, kNaN},
      {"t so large that the distribution function is 1", 1.0e30f, 1.0f, 5.0f, 1.0e30f, 0.0f},
  };
  for (const Case& c : cases) {
    float T = 0.0f;
    float PVAL = 0.0f;
    C1T(c.B, c.SE, c.DFE, T, PVAL);
    expect_same(T, c.T, c.what);
    expect_same(PVAL, c.PVAL, c.what);
  }
}

TEST_F(Inference, CoefficientTableFromColumnsOfItself) {
  constexpr int LDCOEF = 5;
  constexpr int NCOEF = 4;
  std::vector<float> storage(LDCOEF * 4, kUntouched);
  const Mat1<float> COEF(storage.data(), LDCOEF);
  const float B[NCOEF] = {3.0f, 2.0f, 0.0f, 1.0f};
  const float STDB[NCOEF] = {1.5f, 0.0f, 0.0f, kNaN};
  for (int I = 1; I <= NCOEF; ++I) {
    COEF(I, 1) = B[I - 1];
    COEF(I, 2) = STDB[I - 1];
  }
  RCOEF(NCOEF, COEF.ptr(1, 1), COEF.ptr(1, 2), 10.0f, COEF.ptr(1, 1), LDCOEF);
  EXPECT_EQ(N1RTY(1), 0);  // a NaN standard error is no error
  const float expected[NCOEF][4] = {
      {3.0f, 1.5f, 2.0f, 2.0f * (1.0f - TDF(2.0f, 10.0f))},
      {2.0f, 0.0f, kInf, 0.0f},
      {0.0f, 0.0f, kNaN, kNaN},
      {1.0f, kNaN, kNaN, kNaN},
  };
  for (int I = 1; I <= NCOEF; ++I) {
    for (int J = 1; J <= 4; ++J) expect_same(COEF(I, J), expected[I - 1][J - 1], "COEF");
  }
  for (int J = 1; J <= 4; ++J) EXPECT_EQ(COEF(LDCOEF, J), kUntouched);
}

TEST_F(Inference, CoefficientTableWithoutErrorDegreesOfFreedom) {
  const float B[2] = {4.0f, -1.0f};
  const float STDB[2] = {2.0f, 0.5f};
  float COEF[8];
  RCOEF(2, B, STDB, 0.0f, COEF, 2);
  EXPECT_EQ(COEF[4], 2.0f);
  EXPECT_EQ(COEF[5], -2.0f);
  EXPECT_TRUE(std::isnan(COEF[6]));
  EXPECT_TRUE(std::isnan(COEF[7]));
}

// Several checks fire in one call, each printed as it is raised; the code of
// a check does not depend on which others fired.
TEST_F(Inference, CoefficientTableArgumentErrorsAtTheUsersLevel) {
  const test::ChildRun run = test::run_in_child([] {
    reset_error_state_for_tests();
    float COEF[4] = {};
    RCOEF(0, COEF, COEF, -1.0f, COEF, 0);
  });
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.out,
            "\n"
            " *** TERMINAL ERROR 1 from RCOEF.  NCOEF = 0.  NCOEF must be greater than or\n"
            " ***          equal to 1.\n"
            "\n"
            " *** TERMINAL ERROR 2 from RCOEF.  LDCOEF = 0.  LDCOEF must be greater than\n"
            " ***          or equal to 1.\n"
            "\n"
            " *** TERMINAL ERROR 4 from RCOEF.  DFE = -1.000000E+00.  It must be\n"
            " ***          nonnegative.\n"
            "Stop - Program terminated.\n");
}

TEST_F(Inference, CoefficientTableArgumentErrorsCalledInternally) {
  const test::ChildRun run = test::run_in_child([] {
    reset_error_state_for_tests();
    RoutineScope outer("TEST");
    const float B[5] = {1.0f, 1.0f, 1.0f, 1.0f, 1.0f};
    const float STDB[5] = {1.0f, -2.0f, 3.0f, -0.5f, 1.0f};
    float COEF[16] = {};
    RCOEF(5, B, STDB, 2.0f, COEF, 4);
  });
  const auto traceback = [](int code) {
    return "     Here is a traceback of subprogram calls in reverse order:\n"
           "     Routine name                    Error type  Error code\n"
           "     ------------                    ----------  ----------\n"
           "     RCOEF                                5           " +
           std::to_string(code) +
           "    (Called internally)\n"
           "     TEST                                 0           0\n"
           "     USER                                 0           0\n";
  };
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.out,
            "\n"
            " *** TERMINAL ERROR 3 from RCOEF.  NCOEF = 5 and LDCOEF = 4.  NCOEF must be\n"
            " ***          less than or equal to LDCOEF.\n" +
                traceback(3) +
                "\n"
                " *** TERMINAL ERROR 5 from RCOEF.  STDB(2) = -2.000000E+00.  It must be\n"
                " ***          nonnegative.\n" +
                traceback(5) +
                "\n"
                " *** TERMINAL ERROR 5 from RCOEF.  STDB(4) = -5.000000E-01.  It must be\n"
                " ***          nonnegative.\n" +
                traceback(5) + "Stop - Program terminated.\n");
}

TEST_F(Inference, ErrorDegreesOfFreedomBelowOneStopInTheTDistribution) {
  const test::ChildRun run = test::run_in_child([] {
    reset_error_state_for_tests();
    const float B[1] = {1.0f};
    const float STDB[1] = {2.0f};
    float COEF[4];
    RCOEF(1, B, STDB, 0.5f, COEF, 1);
  });
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.out,
            "\n"
            " *** TERMINAL ERROR 1 from TDF.  The input number of degrees of freedom, DF =\n"
            " ***          5.000000E-01, must be at least 1.\n"
            "     Here is a traceback of subprogram calls in reverse order:\n"
            "     Routine name                    Error type  Error code\n"
            "     ------------                    ----------  ----------\n"
            "     TDF                                  5           1    (Called internally)\n"
            "     C1T                                  0           0    (Called internally)\n"
            "     RCOEF                                0           0\n"
            "     USER                                 0           0\n"
            "Stop - Program terminated.\n");
}

struct AovCase {
  const char* what;
  float DFR, SSR, DFE, SSE, YMEAN;
  float AOV[15];
};

TEST_F(Inference, AnalysisOfVariance) {
  const float p_f8 = 1.0f - FDF(8.0f, 2.0f, 4.0f);
  const AovCase cases[] = {
      {"ordinary", 2.0f, 80.0f, 4.0f, 20.0f, 10.0f,
       {2.0f, 4.0f, 6.0f, 80.0f, 20.0f, 100.0f, 40.0f, 5.0f, 8.0f, p_f8, 80.0f,
        70.0f, 2.236068f, 10.0f, 22.36068f}},
      {"no variation at all", 2.0f, 0.0f, 4.0f, 0.0f, 3.0f,
       {2.0f, 4.0f, 6.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, kNaN, kNaN, kNaN, kNaN, 0.0f, 3.0f,
        0.0f}},
      {"error mean square above the total: adjusted R-squared 0", 3.0f, 1.0f, 1.0f, 10.0f,
       2.0f,
       {3.0f, 1.0f, 4.0f, 1.0f, 10.0f, 11.0f, 1.0f / 3.0f, 10.0f, 1.0f / 30.0f,
        1.0f - FDF(1.0f / 30.0f, 3.0f, 1.0f), 9.090909f, 0.0f, 3.1622777f, 2.0f, 158.11389f}},
      {"zero mean", 2.0f, 80.0f, 4.0f, 20.0f, 0.0f,
       {2.0f, 4.0f, 6.0f, 80.0f, 20.0f, 100.0f, 40.0f, 5.0f, 8.0f, p_f8, 80.0f,
        70.0f, 2.236068f, 0.0f, kInf}},
      {"perfect fit, zero mean", 1.0f, 5.0f, 3.0f, 0.0f, 0.0f,
       {1.0f, 3.0f, 4.0f, 5.0f, 0.0f, 5.0f, 5.0f, 0.0f, kInf, 0.0f, 100.0f, 100.0f, 0.0f,
        0.0f, kNaN}},
      {"no error degrees of freedom", 2.0f, 8.0f, 0.0f, 2.0f, 1.0f,
       {2.0f, 0.0f, 2.0f, 8.0f, 2.0f, 10.0f, 4.0f, kInf, 0.0f, kNaN, 80.0f, 0.0f, kInf, 1.0f,
        kInf}},
      {"no error degrees of freedom nor error", 2.0f, 8.0f, 0.0f, 0.0f, 1.0f,
       {2.0f, 0.0f, 2.0f, 8.0f, 0.0f, 8.0f, 4.0f, kNaN, kNaN, kNaN, 100.0f, kNaN, kNaN, 1.0f,
        kNaN}},
      {"F so large that its distribution function is 1", 1.0f, 1.0e20f, 4.0f, 4.0e-10f,
       1.0f,
       {1.0f, 4.0f, 5.0f, 1.0e20f, 4.0e-10f, 1.0e20f, 1.0e20f, 1.0e-10f, 1.0e30f, 0.0f,
        100.0f, 100.0f, 1.0e-5f, 1.0f, 1.0e-3f}},
  };
  for (const AovCase& c : cases) {
    float AOV[16];
    std::fill(std::begin(AOV), std::end(AOV), kUntouched);
    G1AOV(c.DFR, c.SSR, c.DFE, c.SSE, c.YMEAN, AOV);
    for (int i = 0; i < 15; ++i) {
      SCOPED_TRACE(testing::Message() << c.what << ", AOV(" << i + 1 << ")");
      if (std::isnan(c.AOV[i]) || std::isinf(c.AOV[i]) || c.AOV[i] == 0.0f) {
        expect_same(AOV[i], c.AOV[i], c.what);
      } else {
        EXPECT_FLOAT_EQ(AOV[i], c.AOV[i]);
      }
    }
    EXPECT_EQ(AOV[15], kUntouched) << c.what;
  }
}

TEST_F(Inference, FirstTenEntriesWithoutChecks) {
  float AOV[15];
  std::fill(std::begin(AOV), std::end(AOV), kUntouched);
  G3AOV(-1.0f, 4.0f, 2.0f, 2.0f, AOV);
  EXPECT_EQ(AOV[6], -4.0f);
  EXPECT_EQ(AOV[8], -4.0f);
  EXPECT_TRUE(std::isnan(AOV[9]));  // negative degrees of freedom
  for (int i = 10; i < 15; ++i) EXPECT_EQ(AOV[i], kUntouched);
}

TEST_F(Inference, AnalysisOfVarianceArgumentErrors) {
  const test::ChildRun run = test::run_in_child([] {
    reset_error_state_for_tests();
    float AOV[15];
    G1AOV(-1.0f, -2.5f, -3.0f, -0.25f, 1.0f, AOV);
  });
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.out,
            "\n"
            " *** TERMINAL ERROR 1 from G1AOV.  DFR = -1.000000E+00.  DFR must be greater\n"
            " ***          than or equal to zero.\n"
            "\n"
            " *** TERMINAL ERROR 2 from G1AOV.  SSR = -2.500000E+00.  SSR must be greater\n"
            " ***          than or equal to zero.\n"
            "\n"
            " *** TERMINAL ERROR 3 from G1AOV.  DFE = -3.000000E+00.  DFE must be greater\n"
            " ***          than or equal to zero.\n"
            "\n"
            " *** TERMINAL ERROR 4 from G1AOV.  SSE = -2.500000E-01.  SSE must be greater\n"
            " ***          than or equal to zero.\n"
            "Stop - Program terminated.\n");
}

}  // namespace
}  // namespace ksatfit
