// The series lengths and limits that the special functions fix on their
// first call, for IEEE single precision.
#include <cmath>

#include "ksatfit/probability.hpp"
#include "probability/saved_values.hpp"
#include "tests/probability/probability_test_support.hpp"

namespace ksatfit::test {
namespace {

using FirstCallValues = ProbabilityTest;

TEST_F(FirstCallValues, SeriesAreTruncatedToTheTermsThatSinglePrecisionNeeds) {
  GAMMA(1.5f);
  R9LGMC(12.0f);
  ALNREL(0.1f);
  ERFC(0.5f);
  EXPECT_EQ(detail::saved<detail::GammaSaved>().terms, 12);
  EXPECT_EQ(detail::saved<detail::LogGammaCorrectionSaved>().terms, 2);
  EXPECT_EQ(detail::saved<detail::RelativeLogSaved>().terms, 11);
  EXPECT_EQ(detail::saved<detail::ErfcSaved>().terms_erf, 7);
  EXPECT_EQ(detail::saved<detail::ErfcSaved>().terms_erc2, 10);
  EXPECT_EQ(detail::saved<detail::ErfcSaved>().terms_erfc, 9);
}

TEST_F(FirstCallValues, LimitsComeFromTheMachineConstants) {
  GAMMA(1.5f);
  R9LGMC(12.0f);
  ALNGAM(12.0f);
  ALNREL(0.1f);
  ERFC(0.5f);
  BETAI(0.5f, 1.0f, 1.0f);
  const auto& gamma = detail::saved<detail::GammaSaved>();
  EXPECT_NEAR(gamma.XMIN, -33.96f, 0.005f);
  EXPECT_NEAR(gamma.XMAX, 35.03f, 0.005f);
  EXPECT_FLOAT_EQ(gamma.dxrel, std::sqrt(AMACH(4)));
  EXPECT_NEAR(gamma.xsml, 1.1873e-38f, 0.0001e-38f);
  EXPECT_EQ(detail::saved<detail::LogGammaCorrectionSaved>().xbig, 4096.0f);
  EXPECT_NEAR(detail::saved<detail::LogGammaCorrectionSaved>().xmax, 7.089e36f, 0.001e36f);
  EXPECT_NEAR(detail::saved<detail::LogGammaSaved>().xmax, 3.835e36f, 0.001e36f);
  EXPECT_NEAR(detail::saved<detail::RelativeLogSaved>().xmin, -0.99965f, 0.00001f);
  const auto& erfc = detail::saved<detail::ErfcSaved>();
  EXPECT_NEAR(erfc.xsml, -4.008f, 0.0005f);
  EXPECT_NEAR(erfc.xmax, 9.185f, 0.0005f);
  EXPECT_NEAR(erfc.sqeps, 3.4527e-4f, 0.0001e-4f);
  const auto& betai = detail::saved<detail::IncompleteBetaSaved>();
  EXPECT_EQ(betai.eps, AMACH(3));
  EXPECT_EQ(betai.tiny, 100.0f * AMACH(1));
  EXPECT_EQ(betai.alntiny, std::log(100.0f * AMACH(1)));
}

TEST_F(FirstCallValues, R9GAMLFindsTheSameLimitsAsGammaKeeps) {
  float xmin = 0.0f;
  float xmax = 0.0f;
  R9GAML(xmin, xmax);
  GAMMA(1.5f);
  EXPECT_EQ(xmin, detail::saved<detail::GammaSaved>().XMIN);
  EXPECT_EQ(xmax, detail::saved<detail::GammaSaved>().XMAX);
  // XMIN is the larger of the underflow point and 1 - XMAX.
  EXPECT_GE(xmin, 1.0f - xmax);
}

}  // namespace
}  // namespace ksatfit::test
