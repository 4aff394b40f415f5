// Runs that end normally: the scratch file is rewritten with the report, the
// saved lines and (stressquad) the pair echo, and the console shows exactly
// the library's warnings.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "tests/e2e/console_messages.hpp"
#include "tests/e2e/program_run.hpp"

namespace ksatfit::test {
namespace {

const std::string kKsatTitle = "          Polynomial Regression Output for ksat";
const std::string kStressTitle = "      Quadratic Regression Output for Effective Stress";

using Lines = std::vector<std::string>;

void expect_rewritten(const ProgramRun& run, const Lines& expected, const std::string& out = "") {
  EXPECT_EQ(run.console.exit_status, 0);
  EXPECT_EQ(run.console.out, out);
  EXPECT_EQ(run.console.err, "");
  EXPECT_EQ(run.file, joined(expected));
}

// y = p(x) + bumps, in units of 1e-5, at x = t / 10 for t = -20 .. 19. Each
// bump is c times a pattern that no polynomial of the fitted degree can
// follow (the fourth or third differences), so the least-squares polynomial
// is p itself and only R-squared depends on the bumps.
template <std::size_t N>
Lines tenth_step_pairs(long long (*p)(long long t), const std::array<int, N>& pattern,
                       const std::array<long long, 4>& c, const std::array<int, 4>& start) {
  std::array<long long, 40> bump{};
  for (std::size_t w = 0; w < 4; ++w) {
    for (std::size_t k = 0; k < N; ++k) bump[start[w] + k] = c[w] * pattern[k];
  }
  Lines lines;
  for (int i = 0; i < 40; ++i) {
    const long long t = i - 20;
    lines.push_back(pair_line(fixed(10 * t, 2, 8), fixed(p(t) + bump[i], 5, 12)));
  }
  return lines;
}

constexpr std::array<int, 5> kFourthDifference{1, -4, 6, -4, 1};
constexpr std::array<int, 4> kThirdDifference{1, -3, 3, -1};

// 1.5 - 0.75 x + 0.5 x^2 + 0.25 x^3, and the same without the cubic term.
long long cubic_units(long long t) { return 150000 - 7500 * t + 500 * t * t + 25 * t * t * t; }
long long quadratic_units(long long t) { return 150000 - 7500 * t + 500 * t * t; }

Lines forty_cubic_pairs() {
  return tenth_step_pairs(cubic_units, kFourthDifference, {1000, 2000, -1000, 3000},
                          {0, 10, 20, 30});
}

const Lines kFortyCubicReport{"",
                              kKsatTitle,
                              "     99.42 R^2  (in percent)       ",
                              "   1.50000 Intercept          ",
                              "   -.75000 Coefficient of first term",
                              "    .50000 Coefficient of second term",
                              "    .25000 Coefficient of third term",
                              "        40   No. of Observations",
                              "   3.00000 Degrees of Freedom ",
                              "",
                              ""};

TEST(WholeRun, FileOfExactlyFortyLinesIsFittedAndCopiedWhole) {
  const Lines input = forty_cubic_pairs();
  const ProgramRun run = run_on(kKsatCubic, joined(input));
  expect_rewritten(run, concat(kFortyCubicReport, copied(input)));
}

TEST(WholeRun, LinesAfterTheFortiethAreNeitherReadNorKept) {
  // Line endings of either kind are read alike; the rewrite always uses CR LF.
  Lines input = forty_cubic_pairs();
  for (int i = 41; i <= 45; ++i)
    input.push_back("line " + std::to_string(i) + " is never read: 1.2.3");
  const ProgramRun run = run_on(kKsatCubic, joined(input, "\n"));
  expect_rewritten(run, concat(kFortyCubicReport, copied(input)));
}

TEST(WholeRun, QuadraticProgramReadsAtMostTheHeaderAndFortyPairs) {
  const Lines pairs = tenth_step_pairs(quadratic_units, kThirdDifference, {1000, -2000, 1000, 3000},
                                       {2, 12, 22, 32});
  Lines input = concat(header_lines(12), pairs);
  for (int i = 53; i <= 60; ++i) input.push_back("line " + std::to_string(i) + " is never read: x");
  const ProgramRun run = run_on(kKsatQuad, joined(input));
  const Lines report{"",
                     kKsatTitle,
                     "     99.94 R^2  (in percent)       ",
                     "   1.50000 Intercept          ",
                     "   -.75000 Coefficient of first term",
                     "    .50000 Coefficient of second term",
                     "        40   No. of Observations",
                     "   2.00000 Degrees of Freedom ",
                     "",
                     ""};
  // 12 header lines and the first 28 pairs are copied back; all 40 pairs are fitted.
  expect_rewritten(run, concat(report, copied(input)));
}

TEST(WholeRun, StressProgramWritesReportSavedLinesAndPairEcho) {
  // x = i / 2, y = 2 - 0.5 x + 0.25 x^2 plus three third-difference bumps.
  std::array<long long, 20> bump{};
  const std::array<long long, 3> c{6250, -12500, 6250};
  for (std::size_t w = 0; w < 3; ++w) {
    for (std::size_t k = 0; k < 4; ++k) bump[8 * w + k] = c[w] * kThirdDifference[k];
  }
  Lines pairs;
  for (long long i = 1; i <= 20; ++i) {
    pairs.push_back(pair_line(fixed(50 * i, 2, 8),
                              fixed(200000 - 25000 * i + 6250 * i * i + bump[i - 1], 5, 12)));
  }
  const Lines input = concat(header_lines(12), pairs);
  const Lines report{"",
                     kStressTitle,
                     "     99.94 R^2  (in percent)       ",
                     "   2.00000 Intercept          ",
                     "   -.50000 Coefficient of first term",
                     "    .25000 Coefficient of second term",
                     "        20   No. of Observations",
                     "   2.00000 Degrees of Freedom ",
                     "",
                     ""};
  const Lines echo{" X=     .50  Y=  .18750E+01    ", " X=    1.00  Y=  .15625E+01    ",
                   " X=    1.50  Y=  .20000E+01    ", " X=    2.00  Y=  .19375E+01    ",
                   " X=    2.50  Y=  .23125E+01    ", " X=    3.00  Y=  .27500E+01    ",
                   " X=    3.50  Y=  .33125E+01    ", " X=    4.00  Y=  .40000E+01    ",
                   " X=    4.50  Y=  .46875E+01    ", " X=    5.00  Y=  .61250E+01    ",
                   " X=    5.50  Y=  .64375E+01    ", " X=    6.00  Y=  .81250E+01    ",
                   " X=    6.50  Y=  .93125E+01    ", " X=    7.00  Y=  .10750E+02    ",
                   " X=    7.50  Y=  .12313E+02    ", " X=    8.00  Y=  .14000E+02    ",
                   " X=    8.50  Y=  .15875E+02    ", " X=    9.00  Y=  .17563E+02    ",
                   " X=    9.50  Y=  .20000E+02    ", " X=   10.00  Y=  .21938E+02    "};
  const ProgramRun run = run_on(kStressQuad, joined(input));
  const Lines expected = concat(concat(report, copied(input)), echo);
  EXPECT_EQ(expected.size(), 10u + 32u + 20u);
  expect_rewritten(run, expected);
}

TEST(WholeRun, ThreeDistinctAbscissasGiveALowerDegreeAndBothWarnings) {
  const Lines input{pair_line("1.00", "1.00000"), pair_line("2.00", "0.00000"),
                    pair_line("3.00", "1.00000")};
  const ProgramRun run = run_on(kKsatCubic, joined(input));
  const Lines report{"",
                     kKsatTitle,
                     "    100.00 R^2  (in percent)       ",
                     "   4.00000 Intercept          ",
                     "  -4.00000 Coefficient of first term",
                     "   1.00000 Coefficient of second term",
                     "    .00000 Coefficient of third term",
                     "         3   No. of Observations",
                     "   2.00000 Degrees of Freedom ",
                     "",
                     ""};
  expect_rewritten(run, concat(report, copied(input)),
                   perfect_fit_with_traceback(2) + kTooFewAbscissas);
}

TEST(WholeRun, SymmetricReplicatesKeepTheWarningWordsDespiteAZeroLinearTerm) {
  // The linear term's sum of squares is exactly 0, so its F test leaves a
  // note behind the pending warning; the warning must print with its own text.
  const Lines input{pair_line("1.00", "4.00000"), pair_line("1.00", "6.00000"),
                    pair_line("2.00", "1.00000"), pair_line("2.00", "3.00000"),
                    pair_line("3.00", "4.00000"), pair_line("3.00", "6.00000")};
  const ProgramRun run = run_on(kKsatCubic, joined(input));
  const Lines report{"",
                     kKsatTitle,
                     "     66.67 R^2  (in percent)       ",
                     "  14.00000 Intercept          ",
                     " -12.00000 Coefficient of first term",
                     "   3.00000 Coefficient of second term",
                     "    .00000 Coefficient of third term",
                     "         6   No. of Observations",
                     "   2.00000 Degrees of Freedom ",
                     "",
                     ""};
  expect_rewritten(run, concat(report, copied(input)), kTooFewAbscissas);
}

TEST(WholeRun, EqualOrdinatesPrintTheNotANumberFormForRSquared) {
  Lines input;
  for (const char* x : {"1.00", "2.00", "3.00", "4.00", "5.00"})
    input.push_back(pair_line(x, "2.50000"));
  const ProgramRun run = run_on(kKsatCubic, joined(input));
  const Lines report{"",
                     kKsatTitle,
                     "1#QNAN.... R^2  (in percent)       ",
                     "   2.50000 Intercept          ",
                     "    .00000 Coefficient of first term",
                     "    .00000 Coefficient of second term",
                     "    .00000 Coefficient of third term",
                     "         5   No. of Observations",
                     "    .00000 Degrees of Freedom ",
                     "",
                     ""};
  expect_rewritten(run, concat(report, copied(input)), perfect_fit_with_traceback(0) + kConstantY);
}

TEST(WholeRun, BlankLineAmongThePairsIsThePairZeroZero) {
  // y = 0.5 x - 0.25 x^2 + x^3 (zero at x = 0) plus one fourth-difference bump.
  const Lines input{
      pair_line("-1.00", "-1.75000"), pair_line("-.50", "-.43750"),  "",
      pair_line(".50", ".31250"),     pair_line("1.00", "1.25000"),  pair_line("1.50", "3.68750"),
      pair_line("2.00", "7.50000"),   pair_line("2.50", "16.06250"), pair_line("3.00", "25.75000"),
      pair_line("3.50", "41.68750")};
  const ProgramRun run = run_on(kKsatCubic, joined(input));
  const Lines report{"",
                     kKsatTitle,
                     "     99.94 R^2  (in percent)       ",
                     "    .00000 Intercept          ",
                     "    .50000 Coefficient of first term",
                     "   -.25000 Coefficient of second term",
                     "   1.00000 Coefficient of third term",
                     "        10   No. of Observations",
                     "   3.00000 Degrees of Freedom ",
                     "",
                     ""};
  expect_rewritten(run, concat(report, copied(input)));
  EXPECT_NE(run.file.find("\r\n" + std::string(80, ' ') + "\r\n"), std::string::npos);
}

TEST(WholeRun, LongLinesAreReadAsPairsTo22ColumnsAndSavedTo80) {
  // y = 2 + 0.5 x - 0.25 x^2 + 0.125 x^3 plus one fourth-difference bump.
  const std::string hundred =
      pair_line("0.00", "1.87500") + " ring 3: " + std::string(60, '=') + "|col 92 and after";
  ASSERT_GT(hundred.size(), 100u);
  const Lines input{pair_line("-2.00", "-1.00000", "9.999 (col 23 on is a remark)"),
                    pair_line("-1.00", "1.15625", "x"),
                    hundred,
                    pair_line("1.00", "2.56250") + "\rafter a lone carriage return",
                    pair_line("2.00", "2.87500"),
                    pair_line("3.00", "4.65625", std::string(70, '#'))};
  const ProgramRun run = run_on(kKsatCubic, joined(input));
  const Lines report{"",
                     kKsatTitle,
                     "     99.62 R^2  (in percent)       ",
                     "   2.00000 Intercept          ",
                     "    .50000 Coefficient of first term",
                     "   -.25000 Coefficient of second term",
                     "    .12500 Coefficient of third term",
                     "         6   No. of Observations",
                     "   3.00000 Degrees of Freedom ",
                     "",
                     ""};
  const Lines saved{"    -2.00     -1.000009.999 (col 23 on is a remark)" + std::string(29, ' '),
                    "    -1.00      1.15625x" + std::string(57, ' '),
                    "     0.00      1.87500 ring 3: " + std::string(49, '='),
                    "     1.00      2.56250" + std::string(58, ' '),
                    "     2.00      2.87500" + std::string(58, ' '),
                    "     3.00      4.65625" + std::string(58, '#')};
  expect_rewritten(run, concat(report, saved));
}

TEST(WholeRun, FieldsWithoutAPointHaveItImplied) {
  // Implied points, blanks inside a field, D and bare signed exponents, for
  // y = 1 + 0.5 x + 0.25 x^2 - 0.25 x^3 plus one fourth-difference bump.
  // Whole fields are given, so nothing is justified.
  const Lines input{pair_line("    -250", "      525000"), pair_line("-1.5    ", "  .153125E1 "),
                    pair_line(" - 5 0  ", "  1.03125D0 "), pair_line("    0.5 ", "  115625    "),
                    pair_line("    1.50", " .15+1      "), pair_line("     250", "       -9375")};
  const ProgramRun run = run_on(kKsatCubic, joined(input));
  const Lines report{"",
                     kKsatTitle,
                     "     99.59 R^2  (in percent)       ",
                     "   1.00000 Intercept          ",
                     "    .50000 Coefficient of first term",
                     "    .25000 Coefficient of second term",
                     "   -.25000 Coefficient of third term",
                     "         6   No. of Observations",
                     "   3.00000 Degrees of Freedom ",
                     "",
                     ""};
  expect_rewritten(run, concat(report, copied(input)));
}

TEST(WholeRun, EmptyLineThirteenIsTheFirstPairOfTheQuadraticProgram) {
  const Lines pairs{"",
                    pair_line(".50", ".25000"),
                    pair_line("1.00", ".25000"),
                    pair_line("1.50", ".00000"),
                    pair_line("2.00", "-.37500"),
                    pair_line("2.50", "-1.62500"),
                    pair_line("3.00", "-1.87500"),
                    pair_line("3.50", "-3.62500")};
  const Lines input = concat(header_lines(12), pairs);
  const ProgramRun run = run_on(kKsatQuad, joined(input));
  const Lines report{"",
                     kKsatTitle,
                     "     97.67 R^2  (in percent)       ",
                     "    .00000 Intercept          ",
                     "    .75000 Coefficient of first term",
                     "   -.50000 Coefficient of second term",
                     "         8   No. of Observations",
                     "   2.00000 Degrees of Freedom ",
                     "",
                     ""};
  expect_rewritten(run, concat(report, copied(input)));
}

TEST(WholeRun, CoefficientOfTenThousandOrMoreFillsTheFieldWithAsterisks) {
  // y = 12345.5 + 2.5 x - 0.0025 x^2 plus two third-difference bumps.
  const Lines pairs{pair_line("0.00", "12349.50000"),   pair_line("100.00", "12558.50000"),
                    pair_line("200.00", "12757.50000"), pair_line("300.00", "12866.50000"),
                    pair_line("400.00", "12941.50000"), pair_line("500.00", "12982.50000"),
                    pair_line("600.00", "12933.50000"), pair_line("700.00", "12874.50000")};
  const Lines input = concat(header_lines(12), pairs);
  const ProgramRun run = run_on(kKsatQuad, joined(input));
  const Lines report{"",
                     kKsatTitle,
                     "     99.81 R^2  (in percent)       ",
                     "********** Intercept          ",
                     "   2.50000 Coefficient of first term",
                     "   -.00250 Coefficient of second term",
                     "         8   No. of Observations",
                     "   2.00000 Degrees of Freedom ",
                     "",
                     ""};
  expect_rewritten(run, concat(report, copied(input)));
}

}  // namespace
}  // namespace ksatfit::test
