#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "errors/error_layer.hpp"
#include "ksatfit/errors.hpp"
#include "ksatfit/kernels.hpp"
#include "ksatfit/probability.hpp"

namespace ksatfit {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

class GuardedDivision : public testing::Test {
 protected:
  void SetUp() override { reset_error_state_for_tests(); }
};

// Compares bit-for-bit where it matters: NaN with NaN, signed zeros apart.
void expect_same(float actual, float expected, const char* what) {
  if (std::isnan(expected)) {
    EXPECT_TRUE(std::isnan(actual)) << what << " gave " << actual;
  } else {
    EXPECT_EQ(actual, expected) << what;
    EXPECT_EQ(std::signbit(actual), std::signbit(expected)) << what;
  }
}

TEST_F(GuardedDivision, EveryBranch) {
  const float huge = std::numeric_limits<float>::max();
  struct Case {
    const char* what;
    float num, den, quotient;
  };
  const Case cases[] = {
      {"NaN numerator", kNaN, 2.0f, kNaN},
      {"NaN denominator", 0.0f, kNaN, kNaN},
      {"large denominator, plain quotient", 6.0f, -3.0f, -2.0f},
      {"large denominator, underflow", 1.0e-30f, 1.0e10f, 0.0f},
      {"negative underflow gives plain zero", -1.0e-30f, 1.0e10f, 0.0f},
      {"small denominator, plain quotient", 1.0f, 0.5f, 2.0f},
      {"one over zero", 1.0f, 0.0f, kInf},
      {"minus one over zero", -1.0f, 0.0f, -kInf},
      {"negative zero counts as positive", 1.0f, -0.0f, kInf},
      {"negative over negative zero", -1.0f, -0.0f, -kInf},
      {"zero over zero", 0.0f, 0.0f, kNaN},
      {"overflow, same signs", 1.0e38f, 0.1f, kInf},
      {"overflow, signs differ", 1.0e38f, -0.1f, -kInf},
      {"quotient exactly the largest real counts as overflow", huge / 2.0f, 0.5f, kInf},
      {"just below the overflow bound", std::nextafter(huge / 2.0f, 0.0f), 0.5f,
       std::nextafter(huge, 0.0f)},
  };
  for (const Case& c : cases) expect_same(C1DIV(c.num, c.den), c.quotient, c.what);
}

TEST_F(GuardedDivision, FRatioAndItsUpperTailProbability) {
  float F = 0.0f;
  float PVAL = 0.0f;
  C1F(4.0f, 2.0f, 1.0f, 10.0f, F, PVAL);
  EXPECT_EQ(F, 2.0f);
  EXPECT_EQ(PVAL, 1.0f - FDF(2.0f, 1.0f, 10.0f));

  C1F(3.0f, 1.0f, 2.0f, 0.0f, F, PVAL);  // no denominator degrees of freedom
  EXPECT_EQ(F, 3.0f);
  EXPECT_TRUE(std::isnan(PVAL));

  C1F(3.0f, 1.0f, -1.0f, 5.0f, F, PVAL);
  EXPECT_TRUE(std::isnan(PVAL));

  C1F(0.0f, 0.0f, 2.0f, 5.0f, F, PVAL);
  EXPECT_TRUE(std::isnan(F));
  EXPECT_TRUE(std::isnan(PVAL));

  C1F(1.0f, 0.0f, 2.0f, 5.0f, F, PVAL);  // infinite F: probability exactly 0
  EXPECT_EQ(F, kInf);
  EXPECT_EQ(PVAL, 0.0f);
  EXPECT_EQ(N1RTY(1), 0);
}

}  // namespace
}  // namespace ksatfit
