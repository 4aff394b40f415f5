// Edge cases of the incomplete beta function and the log beta function.
#include <cmath>

#include "ksatfit/probability.hpp"
#include "tests/probability/probability_test_support.hpp"

namespace ksatfit::test {
namespace {

using IncompleteBeta = ProbabilityTest;

TEST_F(IncompleteBeta, EndPointsTakeTheShortPath) {
  for (float p : {0.5f, 2.0f, 500.0f}) {
    for (float q : {0.5f, 3.0f, 250.0f}) {
      EXPECT_EQ(BETAI(0.0f, p, q), 0.0f) << p << " " << q;
      EXPECT_EQ(BETAI(1.0f, p, q), 1.0f) << p << " " << q;
    }
  }
}

TEST_F(IncompleteBeta, UniformAndSymmetricCases) {
  for (float x : {0.1f, 0.25f, 0.5f, 0.75f, 0.95f}) EXPECT_FLOAT_EQ(BETAI(x, 1.0f, 1.0f), x);
  for (float a : {0.5f, 1.0f, 3.5f, 20.0f}) EXPECT_NEAR(BETAI(0.5f, a, a), 0.5f, 4e-7f) << a;
  // Shapes in the hundreds lose a few parts in 1e6 in the log of the first term.
  EXPECT_NEAR(BETAI(0.5f, 100.0f, 100.0f), 0.5f, 1e-5f);
}

TEST_F(IncompleteBeta, IntegerSecondShapeAndTheOtherTail) {
  // q = 3 is whole: the infinite sum is its first term, x^p / (p B(p, 3)) =
  // 3 x^2 here, and the finite sum adds the rest of I_x(2, 3).
  const double x = 0.3f;
  EXPECT_FLOAT_EQ(BETAI(0.3f, 2.0f, 3.0f),
                  static_cast<float>(6 * x * x - 8 * x * x * x + 3 * x * x * x * x));
  // X = 0.9 with p < q is computed as 1 - I_0.1(5, 2).
  const double y = 1.0 - 0.9f;
  EXPECT_FLOAT_EQ(BETAI(0.9f, 2.0f, 5.0f), static_cast<float>(1.0 - (6 * std::pow(y, 5) -
                                                                        5 * std::pow(y, 6))));
}

TEST_F(IncompleteBeta, LargeShapesScaleTheFiniteSumWithoutLosingIt) {
  // The first term of the finite sum is e^-147.5, far below tiny; carried
  // scaled, the later terms make up the whole value, 1 - 1e-60 (without the
  // scaling the result would be the infinite sum alone, below 1e-3).
  EXPECT_NEAR(BETAI(0.15f, 5.0f, 1000.0f), 1.0f, 1e-4f);
  EXPECT_NEAR(BETAI(0.6f, 500.0f, 400.0f), 0.996571122f, 3e-5f);
  EXPECT_NEAR(BETAI(0.55f, 500.0f, 400.0f), 0.367857890f, 3e-5f);
}

TEST_F(IncompleteBeta, BadArgumentsPrintEachMessageAndStop) {
  const ChildRun x_only = user_call([] { return BETAI(1.5f, 2.0f, 3.0f); });
  const std::string x_message =
      "\n"
      " *** TERMINAL ERROR 5 from BETAI.  X = 1.500000E+00 is not in the range\n"
      " ***          (0.0,1.0).\n";
  const std::string shape_message =
      "\n"
      " *** TERMINAL ERROR 6 from BETAI.  Both PIN = -1.000000E+00 and QIN =\n"
      " ***          3.000000E+00 must be greater than 0.0.\n";
  EXPECT_EQ(x_only.exit_status, 1);
  EXPECT_EQ(x_only.out, x_message + kStop);

  const ChildRun shape_only = user_call([] { return BETAI(0.5f, -1.0f, 3.0f); });
  EXPECT_EQ(shape_only.exit_status, 1);
  EXPECT_EQ(shape_only.out, shape_message + kStop);

  // Both checks are made before the routine gives up.
  const ChildRun both = user_call([] { return BETAI(1.5f, -1.0f, 3.0f); });
  EXPECT_EQ(both.exit_status, 1);
  EXPECT_EQ(both.out, x_message + shape_message + kStop);
}

using LogBeta = ProbabilityTest;

TEST_F(LogBeta, SmallAndLargeArgumentForms) {
  EXPECT_NEAR(ALBETA(1.0f, 1.0f), 0.0f, 2e-7f);
  EXPECT_FLOAT_EQ(ALBETA(2.0f, 3.0f), std::log(1.0f / 12.0f));
  for (auto [a, b] : {std::pair{0.5f, 3.5f}, {2.5f, 15.0f}, {12.0f, 250.0f}}) {
    EXPECT_EQ(ALBETA(a, b), ALBETA(b, a)) << a << " " << b;
  }
  EXPECT_NEAR(ALBETA(2.5f, 15.0f), -6.60521084f, 2e-6f);   // one argument of 10 or more
  EXPECT_NEAR(ALBETA(12.0f, 250.0f), -49.0152656f, 1e-5f);  // both
}

TEST_F(LogBeta, UnderflowOfTheLastCorrectionIsCleared) {
  // Both large: R9LGMC(p), the last call, underflows.
  Left left = left_by([] { ALBETA(1e37f, 2e37f); });
  EXPECT_EQ(left.type, 0);
  // p small, q large: R9LGMC(p + q), the last call, underflows.
  left = left_by([] { ALBETA(1.0f, 1e37f); });
  EXPECT_EQ(left.type, 0);
  // R9LGMC(p) is fine: the alerts of the earlier calls stay.
  left = left_by([] { ALBETA(10.0f, 1e37f); });
  EXPECT_EQ(left.type, 2);
  EXPECT_EQ(left.code, 1);
}

TEST_F(LogBeta, NonPositiveArgumentStops) {
  const ChildRun run = user_call([] { return ALBETA(0.0f, 1.0f); });
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.out,
            std::string("\n"
                        " *** TERMINAL ERROR 5 from ALBETA.  Both arguments for the function must be\n"
                        " ***          greater than zero.\n") +
                kStop);
}

}  // namespace
}  // namespace ksatfit::test
