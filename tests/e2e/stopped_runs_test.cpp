// Runs that end early: a stop of the error layer (exit status 1) or a failure
// of the scratch file (exit status 2). Either way the scratch file is left
// exactly as it was, and a missing one is not created.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/e2e/console_messages.hpp"
#include "tests/e2e/program_run.hpp"

namespace ksatfit::test {
namespace {

struct EarlyEnd {
  const char* name;
  const Program* program;
  std::string input;
  int status;
  std::string out;
  std::string err;
};

void PrintTo(const EarlyEnd& c, std::ostream* os) { *os << c.name; }

class EarlyEndTest : public testing::TestWithParam<EarlyEnd> {};

TEST_P(EarlyEndTest, ConsoleIsExactAndFileUntouched) {
  const EarlyEnd& c = GetParam();
  const ProgramRun run = run_on(*c.program, c.input);
  EXPECT_EQ(run.console.exit_status, c.status);
  EXPECT_EQ(run.console.out, c.out);
  EXPECT_EQ(run.console.err, c.err);
  EXPECT_TRUE(run.file_exists);
  EXPECT_EQ(run.file, c.input);
}

const EarlyEnd kEarlyEnds[] = {
    {"EmptyFileHasNoObservations", &kKsatCubic, "", 1, kNoObservations + kStop, ""},
    {"HeaderWithoutPairsHasNoObservations", &kStressQuad, joined(header_lines(12)), 1,
     kNoObservations + kStop, ""},
    {"OnePairIsTooFew", &kKsatCubic, joined({pair_line("1.00", "2.00000")}), 1,
     kOnePairWithTraceback + kStop, ""},
    {"ConstantAbscissaIsFatal", &kKsatCubic,
     joined({pair_line("2.00", "1.00000"), pair_line("2.00", "2.00000"),
             pair_line("2.00", "3.00000"), pair_line("2.00", "4.00000"),
             pair_line("2.00", "5.00000")}),
     1, kConstantX + kStop, ""},
    {"MalformedAbscissa", &kKsatCubic,
     joined({pair_line("1.00", "1.00000"), pair_line("2.00", "2.00000"),
             pair_line("1.2.3", "3.00000"), pair_line("4.00", "4.00000")}),
     2, "",
     "ksatcubic: temp3: line 3: the X field (columns 2-9) holds \"   1.2.3\", which is not a "
     "number\n"},
    {"LettersInTheOrdinateAfterTheHeader", &kStressQuad,
     joined(concat(header_lines(12), {pair_line("1.00", "1.00000"), pair_line("2.00", "2.5E+0x")})),
     2, "",
     "stressquad: temp2: line 14: the Y field (columns 11-22) holds \"     2.5E+0x\", which is "
     "not a number\n"},
    {"ElevenLinesEndWithinTheHeader", &kKsatQuad, joined(header_lines(11)), 2, "",
     "ksatquad: temp3: line 12: end of file within the 12-line header\n"},
};

INSTANTIATE_TEST_SUITE_P(WholeRun, EarlyEndTest, testing::ValuesIn(kEarlyEnds),
                         [](const testing::TestParamInfo<EarlyEnd>& info) {
                           return std::string(info.param.name);
                         });

TEST(WholeRun, MissingScratchFileIsReportedAndNotCreated) {
  const ProgramRun run = run_on(kKsatCubic, nullptr);
  EXPECT_EQ(run.console.exit_status, 2);
  EXPECT_EQ(run.console.out, "");
  EXPECT_EQ(run.console.err,
            "ksatcubic: temp3: cannot open the scratch file: No such file or directory\n");
  EXPECT_FALSE(run.file_exists);
}

}  // namespace
}  // namespace ksatfit::test
