#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <string>

#include "runtime/edit_descriptors.hpp"

namespace ksatfit::rt {
namespace {

TEST(FieldText, TakesExactlyTheFieldsColumns) {
  EXPECT_EQ(field_text(" 1.5", 2, 8), "1.5     ");
  EXPECT_EQ(field_text(" 123456789012", 2, 8), "12345678");  // cut at the field's edge
  EXPECT_EQ(field_text("abc", 5, 3), "   ");                  // wholly beyond the line
  EXPECT_EQ(field_text("", 11, 12), std::string(12, ' '));
  EXPECT_EQ(field_text(" 1.5      -2.5E+01", 11, 12), "-2.5E+01    ");
}

struct Good {
  const char* field;
  int d;
  float expected;
};

const Good kGood[] = {
    {"1.5     ", 2, 1.5f},
    {"      15", 2, 0.15f},
    {"12345   ", 2, 123.45f},
    {"           1", 5, 0.00001f},
    {"", 5, 0.0f},
    {"            ", 5, 0.0f},
    {"-1.5", 2, -1.5f},
    {"+1.5", 2, 1.5f},
    {" - 1 2 . 5 ", 2, -12.5f},
    {"1 2 3", 0, 123.0f},
    {"5.", 2, 5.0f},
    {".5", 2, 0.5f},
    {"-.5", 2, -0.5f},
    {"1.5E3", 5, 1500.0f},
    {"1.5e+3", 5, 1500.0f},
    {"1.5D3", 5, 1500.0f},
    {"1.5d-3", 5, 0.0015f},
    {"1.5+3", 5, 1500.0f},
    {"1.5-3", 5, 0.0015f},
    {"15E1", 2, 1.5f},  // the implied point holds with an exponent too
    {"15-1", 2, 0.015f},
    {"-.12345E-03", 5, -0.00012345f},
    {"3.4028235E38", 5, FLT_MAX},
    {"1.E-45", 5, FLT_TRUE_MIN},
    {"1E-40", 5, FLT_TRUE_MIN},  // .00001E-40 after the implied point
    {"1E-50", 5, 0.0f},
    {"1E-99999999999999999999", 5, 0.0f},
    {"0E99999999999999999999", 5, 0.0f},
    {"0.1000000000000000055511151231257827", 5, 0.1f},
};

TEST(ReadReal, AcceptsTheNumberForms) {
  for (const Good& good : kGood) {
    float value = -7.0f;
    EXPECT_TRUE(read_real(good.field, good.d, value)) << good.field;
    EXPECT_EQ(value, good.expected) << good.field;
  }
}

TEST(ReadReal, RejectsEverythingElse) {
  const char* const kBad[] = {
      "1.5A", "ABC",  "1..5",   "1.5.",  "+",     "-",      ".",     "+.",
      "-E5",  "E5",   "1.5E",   "1.5E+", "1.5+",  "1.5E3.", "1.5EE3", "1.5E+-3",
      "1,5",  "1.5\t", "INF",   "NAN",   "0x1p3", "3.5E38", "-3.5E38", "1E99999999999999999999",
  };
  for (const char* field : kBad) {
    float value = -7.0f;
    EXPECT_FALSE(read_real(field, 2, value)) << field;
    EXPECT_EQ(value, -7.0f) << field;
  }
}

}  // namespace
}  // namespace ksatfit::rt
