#include "tables/edit_list.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "errors/error_layer.hpp"
#include "ksatfit/tables.hpp"
#include "tables/print_options.hpp"

namespace ksatfit {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

struct EditCase {
  const char* descriptor;
  float value;
  int leading_zero;
  const char* text;
};

void PrintTo(const EditCase& c, std::ostream* os) {
  *os << c.descriptor << " of " << c.value << " (zero " << c.leading_zero << ")";
}

class EditOneValue : public ::testing::TestWithParam<EditCase> {
 protected:
  void SetUp() override {
    reset_error_state_for_tests();
    reset_print_options_for_tests();
  }
  void TearDown() override { reset_print_options_for_tests(); }
};

TEST_P(EditOneValue, GivesItsFieldExactly) {
  const EditCase& c = GetParam();
  TABSET(kLeadingZeroOption, c.leading_zero);
  std::vector<FieldEdit> list;
  ASSERT_TRUE(T1LIST(std::string("(") + c.descriptor + ")", list));
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(T1EDIT(c.value, list[0]), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EditOneValue,
    ::testing::Values(
        // W: the fixed form while the rounded value has at most d digits before
        // the point and the form fits the width, the exponent form beyond.
        EditCase{"W10.4", 123.4f, 1, "     123.4"}, EditCase{"W10.4", 123400.0f, 1, " 1.234E+05"},
        EditCase{"W10.4", 9999.4f, 1, "     9999."}, EditCase{"W10.4", 9999.5f, 1, " 1.000E+04"},
        EditCase{"W10.4", -12345.0f, 1, "-1.235E+04"}, EditCase{"W10.4", 0.99996f, 1, "     1.000"},
        EditCase{"W10.4", 0.099996f, 1, "    0.1000"}, EditCase{"W10.4", 0.001234f, 1, "  0.001234"},
        EditCase{"W10.4", 1.234e-5f, 1, "0.00001234"}, EditCase{"W10.4", -1.234e-5f, 1, "-1.234E-05"},
        EditCase{"W10.4", -1.234e-5f, 0, "-.00001234"}, EditCase{"W10.4", 1.234e-6f, 1, " 1.234E-06"},
        EditCase{"W10.4", 0.0f, 1, "     0.000"}, EditCase{"W10.4", -0.0f, 0, "      .000"},
        EditCase{"W10.4", 3.4028235e38f, 1, " 3.403E+38"}, EditCase{"W10.4", 1.4e-45f, 1, " 1.401E-45"},
        EditCase{"W12.7", 2.0f / 3.0f, 1, "   0.6666667"}, EditCase{"W5.4", 0.5f, 1, "*****"},
        // F and E: a zero before the point only where the field has room.
        EditCase{"F7.4", 0.5f, 1, " 0.5000"}, EditCase{"F7.4", -0.5f, 1, "-0.5000"},
        EditCase{"F7.4", 0.5f, 0, "  .5000"}, EditCase{"F6.4", -0.5f, 1, "-.5000"},
        EditCase{"F7.4", 0.0f, 1, " 0.0000"}, EditCase{"F9.3", 123456.0f, 1, "*********"},
        EditCase{"E11.4", 123456.0f, 1, " 0.1235E+06"}, EditCase{"E10.4", -123456.0f, 1, "-.1235E+06"},
        // I: the nearest whole number.
        EditCase{"I6", 2.0f, 1, "     2"}, EditCase{"I6", -2.5f, 1, "    -3"},
        EditCase{"I6", -0.3f, 1, "     0"}, EditCase{"I3", 1234.0f, 1, "***"},
        // Missing and infinite values keep their field's width.
        EditCase{"W10.4", kNaN, 1, "       NaN"}, EditCase{"F7.4", kInf, 1, "    Inf"},
        EditCase{"I6", -kInf, 1, "  -Inf"}, EditCase{"F2.0", kNaN, 1, "**"}));

TEST(EditList, ReadsRepeatsBlanksAndLowerCase) {
  std::vector<FieldEdit> list;
  ASSERT_TRUE(T1LIST(" ( 2w10.4 , F9.3,F7.4, I5 ) ", list));
  ASSERT_EQ(list.size(), 5u);
  const char kinds[] = {'W', 'W', 'F', 'F', 'I'};
  const int widths[] = {10, 10, 9, 7, 5};
  const int digits[] = {4, 4, 3, 4, 0};
  for (std::size_t k = 0; k < list.size(); ++k) {
    EXPECT_EQ(list[k].kind, kinds[k]);
    EXPECT_EQ(list[k].w, widths[k]);
    EXPECT_EQ(list[k].d, digits[k]);
  }
}

TEST(EditList, RefusesWhatIsNotAList) {
  for (const char* bad : {"", "()", "W10.4", "(W10.4", "(W10.4,)", "(,W10.4)", "(W10)",
                          "(F7)", "(I5.2)", "(X10.4)", "(0W10.4)", "(W31.4)", "(W10.0)",
                          "(W12.10)", "(F7.7)", "(E8.0)", "(W0.1)", "(2 2W10.4)x"}) {
    std::vector<FieldEdit> list;
    EXPECT_FALSE(T1LIST(bad, list)) << bad;
  }
}

}  // namespace
}  // namespace ksatfit
