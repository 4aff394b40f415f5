// The constant tables, the NaN test and the unit table.
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>

#include "errors/error_layer.hpp"
#include "ksatfit/errors.hpp"

namespace ksatfit {
namespace {

TEST(MachineConstants, RealTableDescribesIEEESinglePrecision) {
  EXPECT_EQ(AMACH(1), FLT_MIN);
  EXPECT_EQ(AMACH(2), FLT_MAX);
  EXPECT_EQ(AMACH(3), FLT_EPSILON / 2);
  EXPECT_EQ(AMACH(4), FLT_EPSILON);
  EXPECT_EQ(AMACH(5), static_cast<float>(std::log10(2.0)));
  EXPECT_EQ(std::bit_cast<std::uint32_t>(AMACH(6)), 0x7FFFFFFFu);
  EXPECT_EQ(AMACH(7), std::numeric_limits<float>::infinity());
  EXPECT_EQ(AMACH(8), -std::numeric_limits<float>::infinity());
}

TEST(MachineConstants, IntegerTableDescribesThePlatform) {
  EXPECT_EQ(IMACH(1), 32);
  EXPECT_EQ(IMACH(2), 4);
  EXPECT_EQ(IMACH(3), 2);
  EXPECT_EQ(IMACH(4), std::numeric_limits<int>::digits);
  EXPECT_EQ(IMACH(5), INT_MAX);
  EXPECT_EQ(IMACH(6), FLT_RADIX);
  EXPECT_EQ(IMACH(7), FLT_MANT_DIG);
  EXPECT_EQ(IMACH(8), FLT_MIN_EXP);
  EXPECT_EQ(IMACH(9), FLT_MAX_EXP);
  EXPECT_EQ(IMACH(10), DBL_MANT_DIG);
  EXPECT_EQ(IMACH(11), DBL_MIN_EXP);
  EXPECT_EQ(IMACH(12), DBL_MAX_EXP);
}

TEST(MachineConstants, NaNTestLooksAtTheBits) {
  EXPECT_TRUE(IFNAN(AMACH(6)));
  EXPECT_TRUE(IFNAN(std::bit_cast<float>(0xFF800001u)));  // negative, smallest fraction
  EXPECT_FALSE(IFNAN(AMACH(7)));
  EXPECT_FALSE(IFNAN(AMACH(8)));
  EXPECT_FALSE(IFNAN(0.0f));
  EXPECT_FALSE(IFNAN(AMACH(2)));
  EXPECT_FALSE(IFNAN(std::bit_cast<float>(0x00000001u)));  // smallest subnormal
}

TEST(MachineConstants, UnitTableReadsAndSets) {
  reset_error_state_for_tests();
  int unit = 0;
  const int initial[] = {5, 6, 6};
  for (int N = 1; N <= 3; ++N) {
    UMACH(N, unit);
    EXPECT_EQ(unit, initial[N - 1]) << "N = " << N;
  }
  unit = 7;
  UMACH(-3, unit);
  unit = 0;
  UMACH(3, unit);
  EXPECT_EQ(unit, 7);
  UMACH(2, unit);
  EXPECT_EQ(unit, 6);
  reset_error_state_for_tests();
}

}  // namespace
}  // namespace ksatfit
