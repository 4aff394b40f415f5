// Edge cases of the F and t distribution functions.
#include <cmath>

#include "ksatfit/probability.hpp"
#include "tests/probability/probability_test_support.hpp"

namespace ksatfit::test {
namespace {

using Distributions = ProbabilityTest;

TEST_F(Distributions, TAtZeroIsOneHalfAndTheTailsAreSymmetric) {
  for (float df : {1.0f, 2.0f, 7.0f, 7.5f, 19.0f, 20.0f, 250.0f}) {
    EXPECT_EQ(TDF(0.0f, df), 0.5f) << df;
    for (float t : {0.3f, 1.5f, 2.5f, 4.0f, 12.0f}) {
      EXPECT_NEAR(TDF(-t, df), 1.0f - TDF(t, df), 1.2e-7f) << t << " " << df;
    }
  }
}

TEST_F(Distributions, TWithOneDegreeOfFreedomIsCauchy) {
  // Below T*T = 1 the cosine series with A = 0; from there the incomplete beta.
  for (float t : {0.25f, 0.9f, 1.0f, 3.0f, -2.0f}) {
    EXPECT_NEAR(TDF(t, 1.0f), 0.5f + std::atan(t) / 3.14159265f, 2.4e-7f) << t;
  }
}

TEST_F(Distributions, TEachSeriesAgainstClosedForms) {
  // Two degrees of freedom: 1/2 + t / (2 sqrt(2 + t^2)), both series.
  for (float t : {0.5f, 1.9f}) {
    EXPECT_NEAR(TDF(t, 2.0f), 0.5f + t / (2.0f * std::sqrt(2.0f + t * t)), 2.4e-7f) << t;
  }
  // Tail series (4 <= T*T < DF, DF whole below 20): t = 3 with 3 degrees.
  EXPECT_NEAR(TDF(2.5f, 3.0f), 0.956146, 1e-6);
  EXPECT_NEAR(TDF(3.0f, 12.0f), 0.994467, 1e-6);
  // DF = 7.5 is not whole: the normalizing transformation, good to ~1e-3.
  EXPECT_NEAR(TDF(1.0f, 7.5f), 0.825762, 1.5e-3);
}

TEST_F(Distributions, FarTailsAreExact) {
  // W of 18.8125 or more: Q = 0 without ERFC.
  EXPECT_EQ(TDF(25.0f, 900.0f), 1.0f);
  EXPECT_EQ(TDF(-25.0f, 900.0f), 0.0f);
  // A p-value 2 (1 - TDF) or 1 - FDF is exactly 0 when the function is 1.
  EXPECT_EQ(2.0f * (1.0f - TDF(50.0f, 30.0f)), 0.0f);
  EXPECT_EQ(1.0f - FDF(1e6f, 3.0f, 30.0f), 0.0f);
}

TEST_F(Distributions, ANaNPointHasNoProbability) {
  // Whole DF below 20 with T*T >= 4 would otherwise never end its series.
  EXPECT_TRUE(IFNAN(TDF(AMACH(6), 5.0f)));
  EXPECT_TRUE(IFNAN(TDF(AMACH(6), 30.0f)));
}

TEST_F(Distributions, FAgainstClosedForms) {
  // F(2, 2): f / (1 + f).
  for (float f : {0.25f, 1.0f, 9.0f}) EXPECT_NEAR(FDF(f, 2.0f, 2.0f), f / (1.0f + f), 2.4e-7f) << f;
  // F(1, DFD) is t squared: FDF(t^2, 1, n) = 2 TDF(t, n) - 1.
  EXPECT_NEAR(FDF(4.0f, 1.0f, 10.0f), 2.0f * TDF(2.0f, 10.0f) - 1.0f, 5e-7f);
}

TEST_F(Distributions, FAtOrBelowZeroLeavesANote) {
  for (float f : {0.0f, -1.0f}) {
    float value = -1.0f;
    const Left left = left_by([&] { value = FDF(f, 3.0f, 10.0f); });
    EXPECT_EQ(value, 0.0f);
    EXPECT_EQ(left.type, 1);
    EXPECT_EQ(left.code, 3);
  }
  // A note is not printed.
  const ChildRun run = user_call([] { return FDF(0.0f, 3.0f, 10.0f); });
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.out, "");
}

TEST_F(Distributions, BadDegreesOfFreedomStopAtTheFirstFailingCheck) {
  const ChildRun dfn = user_call([] { return FDF(-1.0f, -3.0f, 0.0f); });
  EXPECT_EQ(dfn.exit_status, 1);
  EXPECT_EQ(dfn.out, std::string("\n"
                                 " *** TERMINAL ERROR 1 from FDF.  DFN = -3.000000E+00 must be greater than 0.0.\n") +
                         kStop);

  const ChildRun dfd = user_call([] { return FDF(1.0f, 1.0f, -2.0f); });
  EXPECT_EQ(dfd.exit_status, 1);
  EXPECT_EQ(dfd.out, std::string("\n"
                                 " *** TERMINAL ERROR 2 from FDF.  DFD = -2.000000E+00 must be greater than 0.0.\n") +
                         kStop);

  const ChildRun df = user_call([] { return TDF(1.0f, 0.5f); });
  EXPECT_EQ(df.exit_status, 1);
  EXPECT_EQ(df.out, std::string("\n"
                                " *** TERMINAL ERROR 1 from TDF.  The input number of degrees of freedom, DF =\n"
                                " ***          5.000000E-01, must be at least 1.\n") +
                        kStop);
}

}  // namespace
}  // namespace ksatfit::test
