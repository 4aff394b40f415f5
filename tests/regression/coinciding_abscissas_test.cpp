// Abscissas that are distinct as read but coincide once scaled to -2 .. 2,
// because single precision cannot tell them apart over their range (found by
// fuzzing the curve fit). The fit ends at the degree that the distinct
// scaled values support and reports too few distinct abscissas; it never
// hands on a basis polynomial that vanishes on the data (D = 0), which the
// summary statistics reject with a terminal error.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "errors/error_layer.hpp"
#include "ksatfit/regression.hpp"
#include "tests/regression/orthogonal_fit_harness.hpp"
#include "tests/support/transcript.hpp"

namespace ksatfit::test {
namespace {

struct Coinciding {
  const char* name;
  std::vector<float> x;
  std::vector<float> y;
  int MAXDEG;
  int NDEG;   // the degree the scaled abscissas support
  int NDIST;  // distinct scaled abscissas, as the warning quotes them
};

void PrintTo(const Coinciding& c, std::ostream* os) { *os << c.name; }

class CoincidingAbscissas : public testing::TestWithParam<Coinciding> {
 protected:
  void SetUp() override { reset_error_state_for_tests(); }
};

TEST_P(CoincidingAbscissas, FitStopsAtTheDegreeTheySupport) {
  const Coinciding& c = GetParam();
  const FitOutput f = run_fit({c.x, c.y, {}, {}, c.MAXDEG, 0, 0.0f, 0});
  EXPECT_EQ(f.NDEG, c.NDEG);
  for (int k = 1; k <= f.NDEG + 1; ++k) {
    EXPECT_GT(f.D[k - 1], 0.0f) << "D(" << k << ")";
    EXPECT_TRUE(std::isfinite(f.OCOEF[k - 1])) << "OCOEF(" << k << ")";
  }
  EXPECT_EQ(f.type, 3);
  EXPECT_EQ(f.code, 5);
  EXPECT_EQ(f.DFE, static_cast<float>(static_cast<int>(c.x.size()) - 1 - c.NDEG));
}

// The curve fit returns, with the fitted degree in STAT(6), instead of
// stopping the program.
TEST_P(CoincidingAbscissas, CurveFitWarnsAndGoesOn) {
  const Coinciding& c = GetParam();
  const ChildRun run = run_in_child([&] {
    reset_error_state_for_tests();
    float B[6];
    float SSPOLY[6];
    float STAT[10];
    RCURV(static_cast<int>(c.x.size()), c.x.data(), c.y.data(), c.MAXDEG, B, SSPOLY, STAT);
    std::fprintf(stderr, "%g", STAT[5]);
  });
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.err, std::to_string(c.NDEG));
  // The one message, with its continuation lines joined.
  const std::string continuation = "\n ***          ";
  std::string joined;
  std::size_t from = 0;
  for (std::size_t at; (at = run.out.find(continuation, from)) != std::string::npos;
       from = at + continuation.size()) {
    joined.append(run.out, from, at - from).append(" ");
  }
  joined.append(run.out, from);
  EXPECT_EQ(collapse_blanks(joined),
            "\n *** WARNING ERROR 5 from RCURV. A degree " + std::to_string(c.NDEG) +
                " polynomial is fitted. There are only " + std::to_string(c.NDIST) +
                " distinct abscissas, so a higher degree polynomial fit cannot be computed.\n");
}

const Coinciding kCoinciding[] = {
    // An outlier far out: .00, .01 and .02 all scale to -2.
    {"HundredthsAgainstTenMillion", {0.0f, 0.01f, 0.02f, 9999999.0f}, {1, 2, 3, 5}, 3, 1, 2},
    // Two small abscissas against a huge one: 1 and 2 both scale to -2.
    {"TwoSmallAgainstAHugeOne", {1.0f, 2.0f, 1.24736819e33f}, {1.0f, 4.0f, 3.85098028f}, 3, 1,
     2},
    // A range beyond the largest float: the scale factor is 0, every
    // abscissa scales to 0.
    {"RangeBeyondTheLargestFloat", {-3e38f, 0.0f, 1e38f, 3e38f}, {3e38f, -3e38f, 1.0f, 2.0f}, 2,
     0, 1},
};

INSTANTIATE_TEST_SUITE_P(OrthogonalFit, CoincidingAbscissas, testing::ValuesIn(kCoinciding),
                         [](const testing::TestParamInfo<Coinciding>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace ksatfit::test
