// Edge cases of the Chebyshev series, the gamma family, ALNREL and ERFC.
#include <cmath>
#include <vector>

#include "ksatfit/probability.hpp"
#include "tests/probability/probability_test_support.hpp"

namespace ksatfit::test {
namespace {

using SpecialFunctions = ProbabilityTest;

const float kSeries[3] = {2.0f, 0.5f, 0.25f};
const float kFirstTermOnly[3] = {1.0f, 1e-9f, 1e-9f};

struct TerminalCase {
  const char* what;
  std::function<float()> call;
  std::string transcript;
};

// Each call raises a terminal error: printed at once, then the stop when the
// routine returns.
TEST_F(SpecialFunctions, TerminalErrorsPrintTheirMessageAndStop) {
  const std::vector<TerminalCase> cases = {
      {"CSEVL N = 0", [] { return CSEVL(0.5f, kSeries, 0); },
       "\n"
       " *** TERMINAL ERROR 5 from CSEVL.  The number of terms in the series is not\n"
       " ***          positive. N = 0.\n"},
      {"CSEVL N = 1001", [] { return CSEVL(0.5f, kSeries, 1001); },
       "\n"
       " *** TERMINAL ERROR 6 from CSEVL.  The number of terms in the series is\n"
       " ***          greater than 1000. N = 1001.\n"},
      {"INITS NOS = 0", [] { return static_cast<float>(INITS(kSeries, 0, 0.1f)); },
       "\n"
       " *** TERMINAL ERROR 5 from INITS.  The number of coefficients is less than 1.\n"
       " ***          NOS = 0.\n"},
      {"INITS last term above ETA", [] { return static_cast<float>(INITS(kSeries, 3, 0.1f)); },
       "\n"
       " *** TERMINAL ERROR 6 from INITS.  Too much accuracy may be requested. ETA\n"
       " ***          should be increased.\n"},
      {"R9LGMC below 10", [] { return R9LGMC(9.9f); },
       "\n"
       " *** TERMINAL ERROR 5 from R9LGMC.  The argument X = 9.900000E+00 must be\n"
       " ***          greater than or equal to 10.0.\n"},
      {"GAMMA(0)", [] { return GAMMA(0.0f); },
       "\n"
       " *** TERMINAL ERROR 5 from GAMMA.  The argument for the function can not be\n"
       " ***          zero.\n"},
      {"GAMMA(-3)", [] { return GAMMA(-3.0f); },
       "\n"
       " *** TERMINAL ERROR 6 from GAMMA.  The argument for the function can not be a\n"
       " ***          negative integer. Argument X = -3.000000E+00.\n"},
      // The precision warning is replaced by the terminal error before it prints.
      {"GAMMA(-12)", [] { return GAMMA(-12.0f); },
       "\n"
       " *** TERMINAL ERROR 7 from GAMMA.  The argument for the function can not be a\n"
       " ***          negative integer. Argument X = -1.200000E+01.\n"},
      {"GAMMA(36)", [] { return GAMMA(36.0f); },
       "\n"
       " *** TERMINAL ERROR 4 from GAMMA.  The function overflows because X =\n"
       " ***          3.600000E+01 is greater than 3.503078E+01.\n"},
      {"GAMMA(1e-39)", [] { return GAMMA(1e-39f); },
       "\n"
       " *** TERMINAL ERROR 4 from GAMMA.  The function overflows because X =\n"
       " ***          1.000000E-39 is too close to zero.\n"},
      {"ALNGAM(-20)", [] { return ALNGAM(-20.0f); },
       "\n"
       " *** TERMINAL ERROR 5 from ALNGAM.  The argument for the function can not be\n"
       " ***          a negative integer. Argument X = -2.000000E+01.\n"},
      {"ALNGAM(4e36)", [] { return ALNGAM(4e36f); },
       "\n"
       " *** TERMINAL ERROR 4 from ALNGAM.  The function overflows because\n"
       " ***          ABS(4.000000E+36) is greater than 3.835341E+36.\n"},
      {"ALNREL(-1)", [] { return ALNREL(-1.0f); },
       "\n"
       " *** TERMINAL ERROR 5 from ALNREL.  The argument X = -1.000000E+00 must be\n"
       " ***          greater than -1.0.\n"},
  };
  for (const TerminalCase& c : cases) {
    const ChildRun run = user_call(c.call);
    EXPECT_EQ(run.exit_status, 1) << c.what;
    EXPECT_EQ(run.out, c.transcript + kStop) << c.what;
  }
}

TEST_F(SpecialFunctions, ANaNIsNoArgumentForALNREL) {
  const ChildRun run = user_call([] { return ALNREL(AMACH(6)); });
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_NE(run.out.find("TERMINAL ERROR 5 from ALNREL.  The argument X ="), std::string::npos);
}

struct WarningCase {
  const char* what;
  std::function<float()> call;
  float expected;
  std::string transcript;
};

// A warning prints when the routine returns to the user; the value is still
// computed.
TEST_F(SpecialFunctions, WarningsPrintAndTheValueIsStillComputed) {
  const std::vector<WarningCase> cases = {
      {"CSEVL outside [-1.1, 1.1]", [] { return CSEVL(1.2f, kSeries, 3); },
       // 1 + 0.5 * 1.2 + 0.25 * (2 * 1.2^2 - 1)
       1.0f + 0.6f + 0.25f * (2.0f * 1.2f * 1.2f - 1.0f),
       "\n"
       " *** WARNING  ERROR 7 from CSEVL.  The argument X = 1.200000E+00 is outside\n"
       " ***          the interval (-1.1,+1.1).\n"},
      {"GAMMA near -3", [] { return GAMMA(-2.9999f); }, -1668.6f,
       "\n"
       " *** WARNING  ERROR 2 from GAMMA.  The result is accurate to less than one\n"
       " ***          half precision because X = -2.999900E+00 is too close to a \n"
       " ***          negative integer.\n"},
      {"ALNGAM near -10", [] { return ALNGAM(-10.0001f); }, -5.9004f,
       "\n"
       " *** WARNING  ERROR 2 from ALNGAM.  The result is accurate to less than one\n"
       " ***          half precision because X = -1.000010E+01 is too close to a \n"
       " ***          negative integer.\n"},
      {"ALNREL near -1", [] { return ALNREL(-0.9999f); }, std::log(1.0e-4f),
       "\n"
       " *** WARNING  ERROR 2 from ALNREL.  The result is accurate to less than one\n"
       " ***          half precision because X = -9.999000E-01 is too close to -1.0. \n"
       " ***          X must be greater than -9.996547E-01.\n"},
  };
  for (const WarningCase& c : cases) {
    const ChildRun run = user_call(c.call);
    EXPECT_EQ(run.exit_status, 0) << c.what;
    EXPECT_EQ(run.out, c.transcript) << c.what;
    EXPECT_NEAR(value_of(run), c.expected, std::fabs(c.expected) * 2e-3f) << c.what;
  }
}

// Underflows are alerts: nothing prints, the result is 0 and the caller can
// see type 2, code 1.
TEST_F(SpecialFunctions, UnderflowsReturnZeroWithAnAlert) {
  const std::vector<std::function<float()>> calls = {
      [] { return R9LGMC(1e37f); }, [] { return GAMMA(-40.0f); }, [] { return ERFC(10.0f); }};
  for (const auto& call : calls) {
    float value = -1.0f;
    const Left left = left_by([&] { value = call(); });
    EXPECT_EQ(value, 0.0f);
    EXPECT_EQ(left.type, 2);
    EXPECT_EQ(left.code, 1);
  }
}

TEST_F(SpecialFunctions, ChebyshevSeriesAndTruncation) {
  // One term is half the first coefficient, wherever X lies.
  EXPECT_EQ(CSEVL(0.7f, kSeries, 1), 1.0f);
  EXPECT_EQ(CSEVL(-1.05f, kSeries, 1), 1.0f);
  // T0/2 * 2 + 0.5 T1 + 0.25 T2 at X = 0.5: 1 + 0.25 - 0.125.
  EXPECT_FLOAT_EQ(CSEVL(0.5f, kSeries, 3), 1.125f);
  // The tail's magnitudes never exceed ETA: one term is enough.
  EXPECT_EQ(INITS(kFirstTermOnly, 3, 0.5f), 1);
  // 1e-9 + 1e-9 exceeds 1.5e-9 at the second coefficient.
  EXPECT_EQ(INITS(kFirstTermOnly, 3, 1.5e-9f), 2);
}

TEST_F(SpecialFunctions, GammaAtKnownPoints) {
  EXPECT_NEAR(GAMMA(1.0f), 1.0f, 2e-7f);
  EXPECT_NEAR(GAMMA(2.0f), 1.0f, 2e-7f);
  EXPECT_FLOAT_EQ(GAMMA(5.0f), 24.0f);
  EXPECT_FLOAT_EQ(GAMMA(0.5f), 1.77245385f);
  EXPECT_FLOAT_EQ(GAMMA(-0.5f), -3.5449077f);
  // Near 0 the recurrence divides Gamma(1 + X) by X itself, not by a
  // rounded (X + 1) - 1.
  EXPECT_FLOAT_EQ(GAMMA(1e-6f), 999999.423f);
  EXPECT_FLOAT_EQ(GAMMA(1e-8f), 1e8f);
}

TEST_F(SpecialFunctions, LogGammaAndItsCorrection) {
  EXPECT_NEAR(ALNGAM(1.0f), 0.0f, 2e-7f);
  EXPECT_NEAR(ALNGAM(2.0f), 0.0f, 2e-7f);
  EXPECT_FLOAT_EQ(ALNGAM(100.0f), 359.134205f);  // Stirling's form with the correction
  EXPECT_FLOAT_EQ(R9LGMC(10.0f), 0.00833056343f);
  EXPECT_EQ(R9LGMC(5000.0f), 1.0f / (12.0f * 5000.0f));  // beyond xbig: the leading term
}

TEST_F(SpecialFunctions, RelativeLogarithmOnBothSidesOfTheSeriesRange) {
  EXPECT_EQ(ALNREL(0.0f), 0.0f);
  EXPECT_FLOAT_EQ(ALNREL(1e-7f), 9.9999995e-8f);  // accurate where log(1 + X) is not
  EXPECT_FLOAT_EQ(ALNREL(0.375f), 0.318453731f);
  EXPECT_FLOAT_EQ(ALNREL(0.3751f), std::log(1.3751f));
  EXPECT_FLOAT_EQ(ALNREL(-0.5f), -0.693147181f);
}

TEST_F(SpecialFunctions, ComplementaryErrorFunction) {
  EXPECT_EQ(ERFC(0.0f), 1.0f);
  EXPECT_EQ(ERFC(-5.0f), 2.0f);  // below xsml
  EXPECT_EQ(ERFC(1e-5f), 1.0f + (1e-5f / 1.77245390f) * -2.0f);
  for (float x : {1.5f, 2.5f, 4.0f}) EXPECT_EQ(ERFC(-x), 2.0f - ERFC(x)) << x;
}

}  // namespace
}  // namespace ksatfit::test
