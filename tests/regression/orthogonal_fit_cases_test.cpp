// The orthogonal polynomial fit on small data sets whose results are known
// by hand: the worked three-point example, perfect fits, constant data, too
// few distinct abscissas, missing values, frequencies and weights, pure error
// and the three stopping criteria.
#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "errors/error_layer.hpp"
#include "ksatfit/regression.hpp"
#include "tests/regression/orthogonal_fit_harness.hpp"
#include "tests/support/transcript.hpp"

namespace ksatfit::test {
namespace {

class OrthogonalFitCases : public testing::Test {
 protected:
  void SetUp() override { reset_error_state_for_tests(); }
};

const char* const kPerfectFitMessage =
    "The degree 2 polynomial fit is a perfect fit within machine precision.";

TEST_F(OrthogonalFitCases, ThreePointExampleGivesEveryOutput) {
  const FitOutput f = run_fit({{1, 2, 3}, {1, 0, 1}, {}, {}, 2, 0, 0.0f, 0});
  EXPECT_EQ(f.NDEG, 2);
  EXPECT_FLOAT_EQ(f.XSCALE, 2.0f);
  EXPECT_FLOAT_EQ(f.XSHIFT, -4.0f);
  EXPECT_EQ(f.z, (std::vector<float>{-2.0f, 0.0f, 2.0f}));
  EXPECT_FLOAT_EQ(f.D[0], 3.0f);
  EXPECT_FLOAT_EQ(f.D[1], 8.0f);
  EXPECT_FLOAT_EQ(f.D[2], 32.0f / 3.0f);
  EXPECT_FLOAT_EQ(f.OCOEF[0], 2.0f / 3.0f);
  EXPECT_EQ(f.OCOEF[1], 0.0f);
  EXPECT_FLOAT_EQ(f.OCOEF[2], 0.25f);
  EXPECT_EQ(f.ALPHA[0], 0.0f);
  EXPECT_EQ(f.ALPHA[1], 0.0f);
  EXPECT_EQ(f.BETA[0], 0.0f);
  EXPECT_FLOAT_EQ(f.BETA[1], 8.0f / 3.0f);
  EXPECT_EQ(f.DFE, 0.0f);
  EXPECT_EQ(f.SSE, 0.0f);
  EXPECT_EQ(f.NMISS, 0);
  EXPECT_EQ(f.DFPE, kSentinel);  // pure error only with LOF = 1
  EXPECT_EQ(f.SSPE, kSentinel);
  // MAXDEG = NDEG: the perfect-fit warning is what is reported.
  EXPECT_EQ(f.type, 6);
  EXPECT_EQ(f.code, 11);
}

struct TranscriptCase {
  const char* name;
  bool pushed_caller;
  std::string expected;
};

const std::string kMessageHead =
    "\n"
    " *** WARNING  ERROR 11 from R3ORP.  The degree 2 polynomial fit is a perfect\n"
    " ***          fit within machine precision.\n"
    "     Here is a traceback of subprogram calls in reverse order:\n"
    "     Routine name                    Error type  Error code\n"
    "     ------------                    ----------  ----------\n"
    "     R3ORP                                6          11    (Called internally)\n"
    "     R4ORP                                0           0    (Called internally)\n";

void PrintTo(const TranscriptCase& c, std::ostream* os) { *os << c.name; }

class ThreePointTranscript : public testing::TestWithParam<TranscriptCase> {};

// The warning prints the moment it is raised, three or more levels down,
// with the traceback; nothing more is printed as the levels return, and the
// run goes on.
TEST_P(ThreePointTranscript, PrintsThePerfectFitWarningWithItsTraceback) {
  const TranscriptCase& c = GetParam();
  const ChildRun run = run_in_child([&] {
    reset_error_state_for_tests();
    const auto fit = [] {
      const float X[6] = {1, 0, 1, 1, 2, 3};
      int NDEG = 0, NMISS = 0;
      float XSCALE = 0, XSHIFT = 0, DFE = 0, SSE = 0, DFPE = 0, SSPE = 0;
      float ALPHA[2], BETA[2], OCOEF[3], D[3], WK[24];
      int IWK[3];
      R2ORP(3, 2, X, 3, 1, 2, 0, 0, 2, 0, 0.0f, 0, NDEG, XSCALE, XSHIFT, ALPHA, BETA,
            OCOEF, D, DFE, SSE, DFPE, SSPE, NMISS, WK, IWK);
    };
    if (c.pushed_caller) {
      RoutineScope guard("CALLER");
      fit();
    } else {
      fit();
    }
    std::printf("after the call\n");
  });
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.out, c.expected + "after the call\n");
}

INSTANTIATE_TEST_SUITE_P(
    CalledFromUserOrFromALibraryLevel, ThreePointTranscript,
    testing::Values(
        TranscriptCase{"ByTheUser", false,
                       kMessageHead +
                           "     R2ORP                                0           0\n"
                           "     USER                                 0           0\n"},
        TranscriptCase{"ByAPushedCaller", true,
                       kMessageHead +
                           "     R2ORP                                0           0    "
                           "(Called internally)\n"
                           "     CALLER                               0           0\n"
                           "     USER                                 0           0\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OrthogonalFitCases, ExactQuadraticStopsEarlyAtAPerfectFit) {
  const FitOutput f = run_fit({{1, 2, 3, 4, 5}, {1, 4, 9, 16, 25}, {}, {}, 3, 0, 0.0f, 0});
  EXPECT_EQ(f.NDEG, 2);
  EXPECT_EQ(f.OCOEF[3], 0.0f);
  EXPECT_LE(f.SSE, 1e-5f * 374.0f);  // within rounding of 0 (the total is 374)
  EXPECT_EQ(f.ALPHA[2], kSentinel);  // nothing above NDEG is written
  EXPECT_EQ(f.BETA[2], kSentinel);
  EXPECT_EQ(f.D[3], kSentinel);
  EXPECT_EQ(f.type, 3);
  EXPECT_EQ(f.code, 6);
  const auto printed = printed_messages(f.console);
  ASSERT_EQ(printed.size(), 2u) << f.console;
  EXPECT_EQ(printed[0].routine, "R3ORP");
  EXPECT_EQ(printed[0].code, "11");
  EXPECT_EQ(printed[0].text, kPerfectFitMessage);
  EXPECT_EQ(printed[1].type, "WARNING");
  EXPECT_EQ(printed[1].routine, "R2ORP");
  EXPECT_EQ(printed[1].code, "6");
  EXPECT_EQ(printed[1].text,
            "Although a degree 3 fit was requested, a degree 2 polynomial is fitted "
            "because the degree 2 polynomial fit is a perfect fit within machine "
            "precision.");
}

TEST_F(OrthogonalFitCases, ThreeDistinctAbscissasCapTheDegreeAtTwo) {
  const FitOutput f =
      run_fit({{1, 3, 1, 2, 3}, {1.0f, 2.5f, 1.5f, 4.0f, 3.0f}, {}, {}, 5, 0, 0.0f, 0});
  EXPECT_EQ(f.NDEG, 2);
  EXPECT_EQ(f.DFE, 2.0f);
  EXPECT_GT(f.SSE, 0.0f);
  EXPECT_EQ(f.OCOEF[3], 0.0f);
  EXPECT_EQ(f.OCOEF[5], 0.0f);
  EXPECT_EQ(f.type, 3);
  EXPECT_EQ(f.code, 5);
  const auto printed = printed_messages(f.console);
  ASSERT_EQ(printed.size(), 1u) << f.console;
  EXPECT_EQ(printed[0].text,
            "A degree 2 polynomial is fitted. There are only 3 distinct abscissas, so a "
            "higher degree polynomial fit cannot be computed.");
}

TEST_F(OrthogonalFitCases, ConstantResponseFitsDegreeZero) {
  // Replicated abscissas with pure error requested: that too must come back 0.
  const FitOutput f =
      run_fit({{1, 2, 2, 3, 5}, {7.5f, 7.5f, 7.5f, 7.5f, 7.5f}, {}, {}, 3, 0, 0.0f, 1});
  EXPECT_EQ(f.NDEG, 0);
  EXPECT_EQ(f.OCOEF[0], 7.5f);
  EXPECT_EQ(f.OCOEF[1], 0.0f);
  EXPECT_EQ(f.SSE, 0.0f);
  EXPECT_EQ(f.SSPE, 0.0f);
  EXPECT_EQ(f.DFPE, 1.0f);
  EXPECT_EQ(f.DFE, 4.0f);
  EXPECT_EQ(f.type, 3);
  EXPECT_EQ(f.code, 4);
  // The perfect-fit warning was printed when raised, then replaced.
  const auto printed = printed_messages(f.console);
  ASSERT_EQ(printed.size(), 2u) << f.console;
  EXPECT_EQ(printed[0].routine, "R3ORP");
  EXPECT_EQ(printed[0].text,
            "The degree 0 polynomial fit is a perfect fit within machine precision.");
  EXPECT_EQ(printed[1].routine, "R2ORP");
  EXPECT_EQ(printed[1].code, "4");
  EXPECT_EQ(printed[1].text,
            "The response variable, X(*,IRSP), is constant. A zero degree polynomial is "
            "fit.");
}

TEST_F(OrthogonalFitCases, TwoRowsGiveTheLineThroughBoth) {
  const FitOutput f = run_fit({{3, 1}, {5, 2}, {}, {}, 3, 0, 0.0f, 0});
  EXPECT_EQ(f.NDEG, 1);
  EXPECT_EQ(f.DFE, 0.0f);
  EXPECT_EQ(f.SSE, 0.0f);
  EXPECT_NEAR(static_cast<double>(orthogonal_value(f, -2.0L)), 2.0, 1e-6);
  EXPECT_NEAR(static_cast<double>(orthogonal_value(f, 2.0L)), 5.0, 1e-6);
  EXPECT_EQ(f.type, 3);
  EXPECT_EQ(f.code, 5);
}

TEST_F(OrthogonalFitCases, DegreeZeroIsTheWeightedMean) {
  const FitOutput f = run_fit({{1, 2, 3, 4}, {1, 2, 4, 9}, {}, {1, 1, 2, 0}, 0, 0, 0.0f, 0});
  EXPECT_EQ(f.NDEG, 0);
  EXPECT_FLOAT_EQ(f.OCOEF[0], 2.75f);  // (1 + 2 + 8) / 4
  EXPECT_FLOAT_EQ(f.SSE, 3.0625f + 0.5625f + 2.0f * 1.5625f);
  EXPECT_EQ(f.type, 0);
  EXPECT_EQ(f.console, "");
}

TEST_F(OrthogonalFitCases, RowsWithMissingValuesAreLeftOutAndCounted) {
  const FitInput full{{2, 4, 1, 5, 3, 6}, {1.0f, 3.0f, 0.5f, 2.0f, 2.5f, 4.0f}, {}, {},
                      2, 0, 0.0f, 0};
  FitInput holes = full;
  holes.x.insert(holes.x.begin() + 2, kNaN);
  holes.y.insert(holes.y.begin() + 2, 9.0f);
  holes.x.push_back(7.0f);
  holes.y.push_back(kNaN);
  const FitOutput a = run_fit(full);
  const FitOutput b = run_fit(holes);
  EXPECT_EQ(a.NMISS, 0);
  EXPECT_EQ(b.NMISS, 2);
  EXPECT_EQ(b.NDEG, a.NDEG);
  EXPECT_EQ(b.XSCALE, a.XSCALE);
  EXPECT_EQ(b.XSHIFT, a.XSHIFT);
  EXPECT_EQ(b.OCOEF, a.OCOEF);
  EXPECT_EQ(b.D, a.D);
  EXPECT_EQ(b.SSE, a.SSE);
  EXPECT_EQ(b.DFE, a.DFE);
}

TEST_F(OrthogonalFitCases, NanFrequencyOrWeightMarksTheRowMissing) {
  const FitOutput f = run_fit({{1, 2, 3, 4, 5},
                               {1, 2, 2, 5, 4},
                               {1, kNaN, 1, 1, 1},
                               {1, 1, 1, kNaN, 1},
                               1, 0, 0.0f, 0});
  EXPECT_EQ(f.NMISS, 2);
  EXPECT_EQ(f.DFE, 1.0f);
}

// A zero-frequency row enters with weight 0: it moves no sum, even when its
// weight column is negative or the row before it had a NaN weight.
TEST_F(OrthogonalFitCases, ZeroFrequencyRowsCarryNoWeight) {
  const FitOutput plain =
      run_fit({{1, 2, 3, 4, 5}, {1, 3, 2, 5, 4}, {}, {}, 2, 0, 0.0f, 0});
  const FitOutput zero = run_fit({{1, 2, 3, 3, 2, 4, 5},
                                  {1, 3, 2, 99, -50, 5, 4},
                                  {1, 1, 1, 1, 0, 1, 1},
                                  {1, 1, 1, kNaN, -8, 1, 1},
                                  2, 0, 0.0f, 0});
  EXPECT_EQ(zero.NMISS, 1);
  EXPECT_EQ(zero.type, 0) << zero.console;
  EXPECT_EQ(zero.NDEG, plain.NDEG);
  EXPECT_EQ(zero.DFE, plain.DFE);
  for (int k = 0; k <= plain.NDEG; ++k) {
    EXPECT_FLOAT_EQ(zero.OCOEF[k], plain.OCOEF[k]) << k;
    EXPECT_FLOAT_EQ(zero.D[k], plain.D[k]) << k;
  }
  EXPECT_FLOAT_EQ(zero.SSE, plain.SSE);
}

struct PureErrorCase {
  const char* name;
  bool as_frequency;  // the same numbers as frequencies or as weights
  float DFPE;
};

void PrintTo(const PureErrorCase& c, std::ostream* os) { *os << c.name; }

class PureError : public testing::TestWithParam<PureErrorCase> {};

TEST_P(PureError, IsTheWithinGroupWeightedSumOfSquares) {
  reset_error_state_for_tests();
  // Groups at x = 1, 2, 3, 4 with weights (1, 3), (1), (1, 1, 2), (1):
  // weighted means 2.5 and 6.75, sums of squares 3 and 20.75.
  FitInput in{{3, 1, 2, 3, 1, 3, 4}, {5, 1, 2, 4, 3, 9, 7}, {}, {}, 1, 0, 0.0f, 1};
  in.frq = {1, 1, 1, 1, 3, 2, 1};
  in.wt = {1, 1, 1, 1, 1, 1, 1};
  if (!GetParam().as_frequency) std::swap(in.frq, in.wt);
  const FitOutput f = run_fit(in);
  EXPECT_FLOAT_EQ(f.SSPE, 23.75f);
  EXPECT_EQ(f.DFPE, GetParam().DFPE);  // sum of frequencies - 4 distinct abscissas
  EXPECT_EQ(f.DFE, GetParam().DFPE + 2.0f);
}

INSTANTIATE_TEST_SUITE_P(Groups, PureError,
                         testing::Values(PureErrorCase{"Frequencies", true, 6.0f},
                                         PureErrorCase{"Weights", false, 3.0f}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(OrthogonalFitCases, GroupOfOnlyZeroFrequencyRowsAddsNoPureError) {
  const FitOutput f = run_fit({{1, 1, 2, 3, 3, 4},
                               {1, 2, 5, 4, 6, 3},
                               {1, 1, 0, 1, 1, 1},
                               {},
                               1, 0, 0.0f, 1});
  EXPECT_FLOAT_EQ(f.SSPE, 0.5f + 2.0f);
  EXPECT_EQ(f.DFPE, 2.0f);  // 5 - the 3 groups that carry weight
}

// y = x^2 + small wiggle on symmetric abscissas: the line explains nothing,
// the parabola nearly everything.
const FitInput kParabola{{-3, -2, -1, 0, 1, 2, 3},
                         {9.1f, 3.9f, 1.05f, 0.0f, 0.95f, 4.1f, 8.9f},
                         {},
                         {},
                         4,
                         1,
                         90.0f,
                         0};

TEST_F(OrthogonalFitCases, RSquaredCriterionPicksTheLowestDegreeReachingIt) {
  const FitOutput f = run_fit(kParabola);
  EXPECT_EQ(f.NDEG, 2);
  EXPECT_GE(f.r_squared(), 0.9);
  EXPECT_EQ(f.type, 0);

  FitInput all = kParabola;
  all.CRIT = 100.0f;  // only a perfect fit or the cap stops it
  EXPECT_EQ(run_fit(all).NDEG, 4);

  FitInput least = kParabola;
  least.CRIT = 1e-4f;  // reached by any line: still degree 1, never 0
  EXPECT_EQ(run_fit(least).NDEG, 1);
}

TEST_F(OrthogonalFitCases, LackOfFitCriterionWithoutReplicatesFallsBackOnRSquared) {
  FitInput lof = kParabola;
  lof.ICRIT = 2;
  lof.LOF = 1;
  const FitOutput f = run_fit(lof);
  EXPECT_EQ(f.DFPE, 0.0f);
  EXPECT_EQ(f.SSPE, 0.0f);
  EXPECT_EQ(f.NDEG, 2);
}

TEST_F(OrthogonalFitCases, LackOfFitCriterionStopsWhereTheTestIsNotSignificant) {
  // Three rows per abscissa scattered symmetrically about a parabola: the
  // group means lie on it, so the line shows gross lack of fit and the
  // parabola none.
  FitInput in{{}, {}, {}, {}, 4, 2, 5.0f, 1};
  for (int x = 1; x <= 6; ++x) {
    const float q = 0.5f * static_cast<float>(x * x) - 3.0f * static_cast<float>(x);
    for (float e : {-0.25f, 0.0f, 0.25f}) {
      in.x.push_back(static_cast<float>(x));
      in.y.push_back(q + e);
    }
  }
  const FitOutput f = run_fit(in);
  EXPECT_EQ(f.NDEG, 2);
  EXPECT_EQ(f.DFPE, 12.0f);
  EXPECT_FLOAT_EQ(f.SSPE, 6.0f * 0.125f);
  EXPECT_EQ(f.type, 0) << f.console;
}

TEST_F(OrthogonalFitCases, ScaledAbscissasSpanMinusTwoToTwo) {
  const FitOutput f =
      run_fit({{1003.5f, 1001.25f, 1002.0f, 1001.25f, 1004.0f}, {1, 2, 3, 2, 1}, {}, {},
               2, 0, 0.0f, 0});
  EXPECT_NEAR(f.XSCALE * 1001.25f + f.XSHIFT, -2.0f, 4e-3f);
  EXPECT_NEAR(f.XSCALE * 1004.0f + f.XSHIFT, 2.0f, 4e-3f);
  EXPECT_FLOAT_EQ(f.z.front(), -2.0f);
  EXPECT_FLOAT_EQ(f.z.back(), 2.0f);
  EXPECT_EQ(f.z[0], f.z[1]);  // the tied abscissas stay together
}

struct FatalCase {
  const char* name;
  FitInput in;
  std::string code, text;
};

void PrintTo(const FatalCase& c, std::ostream* os) { *os << c.name; }

class FatalDataCondition : public testing::TestWithParam<FatalCase> {};

TEST_P(FatalDataCondition, IsReportedFromR2orpAndStops) {
  const FatalCase& c = GetParam();
  const ChildRun run = run_in_child([&] {
    reset_error_state_for_tests();
    run_fit(c.in, false);
  });
  EXPECT_EQ(run.exit_status, 1);
  const auto printed = printed_messages(run.out);
  ASSERT_EQ(printed.size(), 1u) << run.out;
  EXPECT_EQ(printed[0].type, "FATAL");
  EXPECT_EQ(printed[0].routine, "R2ORP");
  EXPECT_EQ(printed[0].code, c.code);
  EXPECT_EQ(printed[0].text, c.text);
  EXPECT_TRUE(run.out.ends_with("\nStop - Program terminated.\n")) << run.out;
}

INSTANTIATE_TEST_SUITE_P(
    Data, FatalDataCondition,
    testing::Values(
        FatalCase{"EveryRowMissing",
                  {{kNaN, 1, kNaN}, {1, kNaN, 2}, {}, {}, 1, 0, 0.0f, 0},
                  "3",
                  "Each row of X contains a missing value in either the IRSP, IFRQ, IND, "
                  "or IWT column."},
        FatalCase{"ConstantAbscissa",
                  {{2, 2, 2}, {1, 2, 3}, {}, {}, 1, 0, 0.0f, 0},
                  "7",
                  "Each value of the independent variable is the same. The independent "
                  "variable, X(*,IND), cannot be constant."},
        FatalCase{"OneUsableRow",
                  {{2, kNaN, 3}, {1, 2, kNaN}, {}, {}, 1, 0, 0.0f, 0},
                  "7",
                  "Each value of the independent variable is the same. The independent "
                  "variable, X(*,IND), cannot be constant."},
        FatalCase{"NegativeWeight",
                  {{1, 2, 3}, {1, 2, 3}, {}, {1, 1, -2}, 1, 0, 0.0f, 0},
                  "1",
                  "The weight for row 3 of X was -2.000000E+00. Weights must be "
                  "nonnegative."},
        FatalCase{"NegativeFrequency",
                  {{1, 2, 3}, {1, 2, 3}, {1, -1, 1}, {}, 1, 0, 0.0f, 0},
                  "2",
                  "The frequency for row 2 of X is -1.000000E+00. Frequencies must be "
                  "nonnegative."}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ksatfit::test
