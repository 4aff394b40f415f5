// Argument checks of the orthogonal polynomial fit, the column-index check
// and the frequency and weight screening of one row.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "errors/error_layer.hpp"
#include "ksatfit/errors.hpp"
#include "ksatfit/regression.hpp"
#include "regression/orthogonal_fit.hpp"
#include "tests/regression/orthogonal_fit_harness.hpp"
#include "tests/support/transcript.hpp"

namespace ksatfit::test {
namespace {

class OrthogonalFitArguments : public testing::Test {
 protected:
  void SetUp() override { reset_error_state_for_tests(); }
};

// The arguments of one R2ORP call; the defaults are valid.
struct Args {
  int NOBS = 5, NCOL = 2, LDX = 5, IRSP = 1, IND = 2, IFRQ = 0, IWT = 0;
  int MAXDEG = 2, ICRIT = 0;
  float CRIT = 0.0f;
  int LOF = 0;
};

void call_r2orp(const Args& a) {
  std::vector<float> X(64, 1.0f);
  for (int i = 0; i < 5; ++i) X[5 + i] = static_cast<float>(i);  // column 2: distinct x
  int NDEG = 0, NMISS = 0;
  float XSCALE = 0, XSHIFT = 0, DFE = 0, SSE = 0, DFPE = 0, SSPE = 0;
  std::vector<float> ALPHA(8), BETA(8), OCOEF(8), D(8), WK(64);
  std::vector<int> IWK(8);
  R2ORP(a.NOBS, a.NCOL, X.data(), a.LDX, a.IRSP, a.IND, a.IFRQ, a.IWT, a.MAXDEG, a.ICRIT,
        a.CRIT, a.LOF, NDEG, XSCALE, XSHIFT, ALPHA.data(), BETA.data(), OCOEF.data(),
        D.data(), DFE, SSE, DFPE, SSPE, NMISS, WK.data(), IWK.data());
}

struct ArgCase {
  const char* name;
  std::function<void(Args&)> change;
  std::vector<std::pair<int, std::string>> messages;  // code, text
};

const std::vector<ArgCase>& arg_cases() {
  static const std::vector<ArgCase> cases = {
      {"NobsOne", [](Args& a) { a.NOBS = 1; },
       {{1, "NOBS = 1. The number of observations, NOBS, must be greater than 1."}}},
      {"LdxBelowNobs", [](Args& a) { a.LDX = 4; },
       {{3, "NOBS = 5 and LDX = 4. The leading dimension of X, LDX, must be greater than "
            "or equal to the number of observations, NOBS."}}},
      {"NcolZero", [](Args& a) { a.NCOL = 0; },
       {{2, "NCOL = 0. The number of columns in X, NCOL, must be greater than or equal "
            "to 1."}}},
      {"IrspZero", [](Args& a) { a.IRSP = 0; },
       {{4, "IRSP = 0. IRSP must be greater than or equal to 1."}}},
      {"IrspAboveNcol", [](Args& a) { a.IRSP = 3; },
       {{5, "IRSP = 3 and NCOL = 2. IRSP must be less than or equal to NCOL."}}},
      {"IndNegative", [](Args& a) { a.IND = -1; },
       {{6, "IND = -1. IND must be greater than or equal to 1."}}},
      {"IndZeroNamesNoColumn", [](Args& a) { a.IND = 0; },
       {{6, "IND = 0. IND must be greater than or equal to 1."}}},
      {"IndAboveNcol", [](Args& a) { a.IND = 3; },
       {{7, "IND = 3 and NCOL = 2. IND must be less than or equal to NCOL."}}},
      {"IfrqNegative", [](Args& a) { a.IFRQ = -1; },
       {{8, "IFRQ = -1. IFRQ must be greater than or equal to 0."}}},
      {"IfrqAboveNcol", [](Args& a) { a.IFRQ = 3; },
       {{9, "IFRQ = 3 and NCOL = 2. IFRQ must be less than or equal to NCOL."}}},
      {"IwtNegative", [](Args& a) { a.IWT = -2; },
       {{10, "IWT = -2. IWT must be greater than or equal to 0."}}},
      {"IwtAboveNcol", [](Args& a) { a.IWT = 5; },
       {{11, "IWT = 5 and NCOL = 2. IWT must be less than or equal to NCOL."}}},
      {"MaxdegNegative", [](Args& a) { a.MAXDEG = -1; },
       {{4, "MAXDEG = -1. The maximum degree of the polynomial to be fit, MAXDEG, must "
            "be greater than or equal to 0."}}},
      {"IcritOutOfRange", [](Args& a) { a.ICRIT = 3; },
       {{5, "ICRIT = 3. The criterion option, ICRIT, must be either 0, 1, or 2."}}},
      {"LofOutOfRange", [](Args& a) { a.LOF = 2; },
       {{6, "LOF = 2. The lack of fit option, LOF, must be either 0 or 1."}}},
      {"Icrit2WithoutLof", [](Args& a) { a.ICRIT = 2; a.CRIT = 5.0f; },
       {{7, "ICRIT = 2 and LOF = 0. When the criterion option, ICRIT, equals 2, the lack "
            "of fit option, LOF, must be equal to 1."}}},
      {"Icrit2CritNegative", [](Args& a) { a.ICRIT = 2; a.LOF = 1; a.CRIT = -1.0f; },
       {{8, "CRIT = -1.000000E+00 when ICRIT = 2. The significance level for the lack of "
            "fit test, CRIT, must be greater than or equal to 0 and less than or equal to "
            "100 when the criterion option, ICRIT, is equal to 2."}}},
      {"Icrit1CritNotPositive", [](Args& a) { a.ICRIT = 1; a.CRIT = -5.0f; },
       {{9, "CRIT = -5.000000E+00 when ICRIT = 1. The R-squared that the fitted "
            "polynomial must achieve, CRIT, must be greater than 0 and less than or equal "
            "to 100 when the criterion option, ICRIT, is equal to 1."}}},
      {"Icrit1CritAbove100", [](Args& a) { a.ICRIT = 1; a.CRIT = 101.0f; },
       {{9, "CRIT = 1.010000E+02 when ICRIT = 1. The R-squared that the fitted "
            "polynomial must achieve, CRIT, must be greater than 0 and less than or equal "
            "to 100 when the criterion option, ICRIT, is equal to 1."}}},
      // Every check runs: one message per bad argument, in the order checked.
      {"SeveralAtOnce",
       [](Args& a) { a.NOBS = 1; a.NCOL = 0; a.IRSP = 0; a.MAXDEG = -1; a.ICRIT = 2; },
       {{1, "NOBS = 1. The number of observations, NOBS, must be greater than 1."},
        {2, "NCOL = 0. The number of columns in X, NCOL, must be greater than or equal "
            "to 1."},
        {4, "IRSP = 0. IRSP must be greater than or equal to 1."},
        {4, "MAXDEG = -1. The maximum degree of the polynomial to be fit, MAXDEG, must "
            "be greater than or equal to 0."},
        {7, "ICRIT = 2 and LOF = 0. When the criterion option, ICRIT, equals 2, the lack "
            "of fit option, LOF, must be equal to 1."}}},
  };
  return cases;
}

void PrintTo(const ArgCase& c, std::ostream* os) { *os << c.name; }

class R2orpArgumentCheck : public testing::TestWithParam<ArgCase> {};

TEST_P(R2orpArgumentCheck, PrintsEachTerminalMessageAndStops) {
  const ArgCase& c = GetParam();
  const ChildRun run = run_in_child([&] {
    reset_error_state_for_tests();
    Args a;
    c.change(a);
    call_r2orp(a);
  });
  EXPECT_EQ(run.exit_status, 1);
  const auto printed = printed_messages(run.out);
  ASSERT_EQ(printed.size(), c.messages.size()) << run.out;
  for (size_t k = 0; k < printed.size(); ++k) {
    EXPECT_EQ(printed[k].type, "TERMINAL");
    EXPECT_EQ(printed[k].routine, "R2ORP");
    EXPECT_EQ(printed[k].code, std::to_string(c.messages[k].first));
    EXPECT_EQ(printed[k].text, c.messages[k].second);
  }
  EXPECT_TRUE(run.out.ends_with("\nStop - Program terminated.\n")) << run.out;
}

INSTANTIATE_TEST_SUITE_P(EveryCode, R2orpArgumentCheck, testing::ValuesIn(arg_cases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(R2orpArgumentCheckTranscript, CritMessageKeepsItsLayoutAndDoubleBlank) {
  const ChildRun run = run_in_child([] {
    reset_error_state_for_tests();
    Args a;
    a.ICRIT = 2;
    a.LOF = 1;
    a.CRIT = 150.0f;
    call_r2orp(a);
  });
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.out,
            "\n"
            " *** TERMINAL ERROR 8 from R2ORP.  CRIT = 1.500000E+02 when ICRIT = 2.  The\n"
            " ***          significance level for the lack of fit test, CRIT, must be \n"
            " ***          greater than or equal to 0 and less than or equal to 100 when \n"
            " ***          the criterion option, ICRIT, is equal  to 2.\n"
            "Stop - Program terminated.\n");
}

TEST_F(OrthogonalFitArguments, NanCritPassesTheRangeChecks) {
  for (int icrit : {1, 2}) {
    reset_error_state_for_tests();
    FitInput in{{1, 2, 2, 3, 4}, {1, 3, 2, 5, 4}, {}, {}, 2, icrit, kNaN, 1};
    const FitOutput out = run_fit(in);
    EXPECT_NE(out.type, 5) << out.console;
    EXPECT_GE(out.NDEG, 1);
  }
}

TEST_F(OrthogonalFitArguments, ColumnIndexCheckAdvancesTheCounterByTwo) {
  struct Case {
    int imin, ival, ncol;
    std::vector<std::string> codes;  // codes of the messages printed
  };
  const std::vector<Case> cases = {
      {1, 1, 3, {}}, {1, 0, 3, {"20"}}, {0, 0, 3, {}}, {0, 4, 3, {"21"}},
      {1, 9, 0, {}},  // NCOL < 1: no upper check, the counter still moves on
      {1, -3, 0, {"20"}},
  };
  for (const Case& c : cases) {
    reset_error_state_for_tests();
    int IER = 20;
    testing::internal::CaptureStdout();
    C1IND(c.imin, c.ival, "IVAL", c.ncol, "NCOL", IER);
    const auto printed = printed_messages(testing::internal::GetCapturedStdout());
    EXPECT_EQ(IER, 22);
    ASSERT_EQ(printed.size(), c.codes.size()) << c.ival;
    for (size_t k = 0; k < printed.size(); ++k) EXPECT_EQ(printed[k].code, c.codes[k]);
  }
}

// A row of frequency and weight as C1WFR reads it.
struct WfrResult {
  float FRQ = -99, WT = -99;
  int IRET = -1, NMISS = 10;
};

WfrResult screen_row(float frq, float wt, int ifrq, int iwt, int isign, float wt_before = -99) {
  const float X[3] = {0.0f, frq, wt};  // one row: x, frequency, weight
  WfrResult r;
  r.WT = wt_before;
  C1WFR(0, 1, X, 1, 1, isign, ifrq, iwt, kNaN, r.NMISS, r.FRQ, r.WT, r.IRET);
  return r;
}

TEST_F(OrthogonalFitArguments, RowScreeningReadsFrequencyAndWeight) {
  WfrResult r = screen_row(2.5f, 0.5f, 2, 3, 1);
  EXPECT_EQ(r.IRET, 0);
  EXPECT_EQ(r.FRQ, 2.5f);
  EXPECT_EQ(r.WT, 0.5f);
  EXPECT_EQ(r.NMISS, 10);

  r = screen_row(2.5f, 0.5f, 0, 0, 1);  // no columns: both are 1
  EXPECT_EQ(r.IRET, 0);
  EXPECT_EQ(r.FRQ, 1.0f);
  EXPECT_EQ(r.WT, 1.0f);

  r = screen_row(2.5f, 0.5f, 2, 3, -1);  // a removal: the frequency comes back negated
  EXPECT_EQ(r.FRQ, -2.5f);

  r = screen_row(kNaN, 0.5f, 2, 3, 1);
  EXPECT_EQ(r.IRET, 2);
  EXPECT_EQ(r.NMISS, 11);
  r = screen_row(1.0f, kNaN, 2, 3, -1);
  EXPECT_EQ(r.IRET, 2);
  EXPECT_EQ(r.NMISS, 9);
  r = screen_row(kNaN, kNaN, 2, 3, 1);  // one missing row, counted once
  EXPECT_EQ(r.NMISS, 11);
}

TEST_F(OrthogonalFitArguments, ZeroFrequencyLeavesTheWeightUnreadAndNeutral) {
  // The weight column holds a negative value that is never looked at, and
  // the caller's WT a NaN left over from an earlier row: the row must still
  // come back with frequency 0 and a weight that keeps their product at 0.
  const WfrResult r = screen_row(0.0f, -3.0f, 2, 3, 1, kNaN);
  EXPECT_EQ(r.IRET, 1);
  EXPECT_EQ(r.FRQ, 0.0f);
  EXPECT_EQ(r.WT, 1.0f);
  EXPECT_EQ(r.NMISS, 10);
  EXPECT_EQ(N1RTY(0), 0);
}

struct NegativeCase {
  const char* name;
  float frq, wt;
  int invoke;
  std::string code, text;
};

void PrintTo(const NegativeCase& c, std::ostream* os) { *os << c.name; }

class NegativeRowValue : public testing::TestWithParam<NegativeCase> {};

// C1WFR raises the fatal error at the level of its caller; a caller called by
// the user prints it when it returns and the program stops.
TEST_P(NegativeRowValue, RaisesTheFatalErrorInBothForms) {
  const NegativeCase& c = GetParam();
  const ChildRun run = run_in_child([&] {
    reset_error_state_for_tests();
    RoutineScope guard("CALLER");
    const float X[6] = {0.0f, 0.0f, 0.0f, c.frq, 0.0f, c.wt};  // 2 rows; row 2 is read
    int nmiss = 0, iret = -1;
    float frq = 0, wt = 0;
    C1WFR(c.invoke, 7, X, 2, 2, 1, 2, 3, kNaN, nmiss, frq, wt, iret);
    std::fprintf(stderr, "IRET=%d", iret);
  });
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.err, "IRET=3");
  const auto printed = printed_messages(run.out);
  ASSERT_EQ(printed.size(), 1u) << run.out;
  EXPECT_EQ(printed[0].type, "FATAL");
  EXPECT_EQ(printed[0].routine, "CALLER");
  EXPECT_EQ(printed[0].code, c.code);
  EXPECT_EQ(printed[0].text, c.text);
}

INSTANTIATE_TEST_SUITE_P(
    FrequencyAndWeight, NegativeRowValue,
    testing::Values(
        NegativeCase{"Frequency", -2.5f, 1.0f, 0, "2",
                     "The frequency for row 2 of X is -2.500000E+00. Frequencies must be "
                     "nonnegative."},
        NegativeCase{"FrequencyOnInvocation", -2.5f, 1.0f, 1, "2",
                     "The frequency for row 2 of X on invocation number 7 of this routine "
                     "is -2.500000E+00. Frequencies must be nonnegative."},
        NegativeCase{"Weight", 1.0f, -0.5f, 0, "1",
                     "The weight for row 2 of X was -5.000000E-01. Weights must be "
                     "nonnegative."},
        NegativeCase{"WeightOnInvocation", 1.0f, -0.5f, 3, "1",
                     "The weight for row 2 of X on invocation number 7 of this routine was "
                     "-5.000000E-01. Weights must be nonnegative."}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ksatfit::test
