#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "runtime/edit_descriptors.hpp"

namespace ksatfit::rt {
namespace {

// One value in the descriptors that reports and messages use.
struct Row {
  float value;
  const char* f10_5;
  const char* f10_2;
  const char* e12_5;
  const char* e14_6;
  const char* pe14_6;
};

const Row kRows[] = {
    {0.5f, "    .50000", "       .50", "  .50000E+00", "   .500000E+00", "  5.000000E-01"},
    {-0.5f, "   -.50000", "      -.50", " -.50000E+00", "  -.500000E+00", " -5.000000E-01"},
    {0.004f, "    .00400", "       .00", "  .40000E-02", "   .400000E-02", "  4.000000E-03"},
    {0.125f, "    .12500", "       .13", "  .12500E+00", "   .125000E+00", "  1.250000E-01"},
    {-0.125f, "   -.12500", "      -.13", " -.12500E+00", "  -.125000E+00", " -1.250000E-01"},
    {0.012345f, "    .01235", "       .01", "  .12345E-01", "   .123450E-01", "  1.234500E-02"},
    {12.345f, "  12.34500", "     12.35", "  .12345E+02", "   .123450E+02", "  1.234500E+01"},
    {-0.00012345f, "   -.00012", "       .00", " -.12345E-03", "  -.123450E-03", " -1.234500E-04"},
    {-0.000001f, "    .00000", "       .00", " -.10000E-05", "  -.100000E-05", " -1.000000E-06"},
    {0.0f, "    .00000", "       .00", "  .00000E+00", "   .000000E+00", "  0.000000E+00"},
    {-0.0f, "    .00000", "       .00", "  .00000E+00", "   .000000E+00", "  0.000000E+00"},
    {12.3125f, "  12.31250", "     12.31", "  .12313E+02", "   .123125E+02", "  1.231250E+01"},
    {-12.3125f, " -12.31250", "    -12.31", " -.12313E+02", "  -.123125E+02", " -1.231250E+01"},
    {9.999995f, "  10.00000", "     10.00", "  .10000E+02", "   .100000E+02", "  9.999995E+00"},
    {0.99999995f, "   1.00000", "      1.00", "  .10000E+01", "   .100000E+01", "  9.999999E-01"},
    {9999.999f, "9999.99902", "  10000.00", "  .10000E+05", "   .100000E+05", "  9.999999E+03"},
    {10000.0f, "**********", "  10000.00", "  .10000E+05", "   .100000E+05", "  1.000000E+04"},
    {-999.999f, "-999.99902", "  -1000.00", " -.10000E+04", "  -.999999E+03", " -9.999990E+02"},
    {-1000.0f, "**********", "  -1000.00", " -.10000E+04", "  -.100000E+04", " -1.000000E+03"},
    {9999999.0f, "**********", "9999999.00", "  .10000E+08", "   .100000E+08", "  9.999999E+06"},
    {10000000.0f, "**********", "**********", "  .10000E+08", "   .100000E+08", "  1.000000E+07"},
    {-999999.0f, "**********", "-999999.00", " -.10000E+07", "  -.999999E+06", " -9.999990E+05"},
    {-1000000.0f, "**********", "**********", " -.10000E+07", "  -.100000E+07", " -1.000000E+06"},
    {FLT_MAX, "**********", "**********", "  .34028E+39", "   .340282E+39", "  3.402823E+38"},
    {-FLT_MAX, "**********", "**********", " -.34028E+39", "  -.340282E+39", " -3.402823E+38"},
    {FLT_MIN, "    .00000", "       .00", "  .11755E-37", "   .117549E-37", "  1.175494E-38"},
    {FLT_MIN - FLT_TRUE_MIN, "    .00000", "       .00", "  .11755E-37", "   .117549E-37",
     "  1.175494E-38"},
    {0x1.8p-140f, "    .00000", "       .00", "  .10762E-41", "   .107620E-41", "  1.076197E-42"},
    {-FLT_TRUE_MIN, "    .00000", "       .00", " -.14013E-44", "  -.140130E-44", " -1.401298E-45"},
    {NAN, "1#QNAN....", "1#QNAN....", "1#QNAN......", "1#QNAN........", "1#QNAN........"},
    {-NAN, "1#QNAN....", "1#QNAN....", "1#QNAN......", "1#QNAN........", "1#QNAN........"},
    {INFINITY, "1#INF.....", "1#INF.....", "1#INF.......", "1#INF.........", "1#INF........."},
    {-INFINITY, "1#INF.....", "1#INF.....", "1#INF.......", "1#INF.........", "1#INF........."},
};

TEST(OutputEditing, StandardDescriptors) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(testing::Message() << "value " << row.value);
    EXPECT_EQ(edit_F(row.value, 10, 5), row.f10_5);
    EXPECT_EQ(edit_F(row.value, 10, 2), row.f10_2);
    EXPECT_EQ(edit_E(row.value, 12, 5), row.e12_5);
    EXPECT_EQ(edit_E(row.value, 14, 6), row.e14_6);
    EXPECT_EQ(edit_1PE(row.value, 14, 6), row.pe14_6);
  }
}

TEST(OutputEditing, OtherWidths) {
  EXPECT_EQ(edit_F(0.4f, 4, 0), "  0.");  // the lone zero when no digit would appear
  EXPECT_EQ(edit_F(-0.4f, 4, 0), "  0.");
  EXPECT_EQ(edit_F(0.5f, 4, 0), "  1.");
  EXPECT_EQ(edit_F(-2.5f, 4, 0), " -3.");
  EXPECT_EQ(edit_F(99.996f, 5, 2), "*****");  // overflows only once rounded
  EXPECT_EQ(edit_F(99.99f, 5, 2), "99.99");
  EXPECT_EQ(edit_1PE(0.99999995f, 12, 5), " 1.00000E+00");
  EXPECT_EQ(edit_E(1.5f, 5, 5), "*****");
  EXPECT_EQ(edit_F(NAN, 6, 2), "1#QNAN");
  EXPECT_EQ(edit_F(NAN, 5, 2), "*****");
  EXPECT_EQ(edit_E(-INFINITY, 5, 1), "1#INF");
  EXPECT_EQ(edit_1PE(INFINITY, 4, 1), "****");
}

// Every digit of the exact binary value, however many there are.
TEST(OutputEditing, ExactDigitsOfExtremeFloats) {
  const std::string true_min =
      "140129846432481707092372958328991613128026194187651577175706828388979108268586060148663818"
      "836212158203125";
  EXPECT_EQ(edit_F(FLT_TRUE_MIN, 150, 149), "." + std::string(44, '0') + true_min);
  EXPECT_EQ(edit_E(FLT_TRUE_MIN, 112, 107), "." + true_min + "00E-44");
  // The float with the longest expansion: 112 significant digits.
  EXPECT_EQ(edit_E(0x1.fffffep-126f, 117, 112),
            ".2350988561514728583455765982071533026645717985517980855365926236850006129930346077"
            "117064851336181163787841796875E-37");
  EXPECT_EQ(edit_F(FLT_MAX, 42, 1), " 340282346638528859811704183484516925440.0");
  EXPECT_EQ(edit_F(-FLT_MAX, 42, 1), "-340282346638528859811704183484516925440.0");
}

TEST(OutputEditing, Integers) {
  EXPECT_EQ(edit_I(40, 10), "        40");
  EXPECT_EQ(edit_I(0, 10), "         0");
  EXPECT_EQ(edit_I(-5, 10), "        -5");
  EXPECT_EQ(edit_I(INT_MAX, 10), "2147483647");
  EXPECT_EQ(edit_I(-999999999, 10), "-999999999");
  EXPECT_EQ(edit_I(-1000000000, 10), "**********");
  EXPECT_EQ(edit_I(INT_MIN, 10), "**********");
  EXPECT_EQ(edit_I(1000, 3), "***");
  EXPECT_EQ(edit_I(-12, 6), "   -12");
}

// Random finite floats of every magnitude: E12.5 keeps five correctly rounded
// significant digits, and reading the text back gives the float nearest the
// printed decimal.
TEST(OutputEditing, E12_5RoundTripsThroughInput) {
  std::mt19937 bits(20261208);
  for (int n = 0; n < 200000; ++n) {
    const std::uint32_t pattern = bits();
    float value;
    std::memcpy(&value, &pattern, sizeof value);
    if (!std::isfinite(value)) continue;
    const std::string text = edit_E(value, 12, 5);
    ASSERT_EQ(text.size(), 12u);
    float read = 0.0f;
    ASSERT_TRUE(read_real(text, 5, read)) << text;
    ASSERT_EQ(read, std::strtof(text.c_str(), nullptr)) << text;
    if (value == 0.0f) continue;
    ASSERT_NE(text[text.find('.') + 1], '0') << text;
    const long double exact = value;
    const long double half_unit =
        0.5L * std::pow(10.0L, std::atoi(text.c_str() + text.size() - 3) - 5);
    ASSERT_LE(std::fabs(std::strtold(text.c_str(), nullptr) - exact), half_unit * (1 + 1e-12L))
        << text << " for " << value;
  }
}

}  // namespace
}  // namespace ksatfit::rt
