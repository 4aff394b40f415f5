#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "errors/error_layer.hpp"
#include "ksatfit/errors.hpp"
#include "ksatfit/tables.hpp"
#include "tables/print_options.hpp"
#include "tests/support/transcript.hpp"

namespace ksatfit {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> words_of(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

class TableWriters : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_error_state_for_tests();
    reset_print_options_for_tests();
  }
  void TearDown() override {
    reset_error_state_for_tests();
    reset_print_options_for_tests();
  }
};

TEST_F(TableWriters, LabelledMatrixLayout) {
  const float A[] = {1.5f, -0.25f, 2.0f, kNaN, 1234.5f, 0.001f};
  const std::string_view rows[] = {"Sand", "Silty clay"};
  const std::string_view headings[] = {"%/Mass", "Dry unit%/weight", "Ratio"};
  testing::internal::CaptureStdout();
  TABMAT("Soil samples%/(first series)", 2, 3, A, 2, "(W10.4,2F8.3)", "%/Sample", rows,
         headings);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "               Soil samples\n"
            "              (first series)\n"
            "                        Dry unit\n"
            "Sample            Mass    weight     Ratio\n"
            "Sand             1.500     2.000  1234.500\n"
            "Silty clay     -0.2500       NaN     0.001\n");
}

// Rows numbered, columns headed by their numbers: a matrix of 12 columns
// continues in blocks of whole columns, each with the row labels, and no line
// is longer than the page. Each cell is its row and column number, I.J.
TEST_F(TableWriters, WideMatrixContinuesInBlocksOfWholeColumns) {
  constexpr int kRows = 3, kCols = 12;
  std::array<float, kRows * kCols> A;
  for (int j = 1; j <= kCols; ++j) {
    for (int i = 1; i <= kRows; ++i) A[(i - 1) + (j - 1) * kRows] = i + j / 100.0f;
  }
  for (int width : {40, 55, 78, 120, 255}) {
    SCOPED_TRACE(width);
    TABSET(kPageWidthOption, width);
    testing::internal::CaptureStdout();
    TABMAT("%/A title that is longer than the narrowest page allows, so that it wraps", kRows,
           kCols, A.data(), kRows, "(W10.4)", "Row", nullptr, nullptr);
    const std::vector<std::string> lines = lines_of(testing::internal::GetCapturedStdout());
    std::vector<int> seen(kCols + 1, 0);
    std::vector<int> block_columns;  // the column numbers of the current block
    int blocks = 0;
    for (const std::string& line : lines) {
      EXPECT_LE(static_cast<int>(line.size()), width) << line;
      const std::vector<std::string> words = words_of(line);
      if (words.empty() || (words[0] != "Row" && !std::isdigit(words[0][0]))) continue;
      if (words[0] == "Row") {
        ++blocks;
        block_columns.clear();
        for (std::size_t k = 1; k < words.size(); ++k) {
          block_columns.push_back(std::stoi(words[k]));
          ++seen[static_cast<std::size_t>(block_columns.back())];
        }
        continue;
      }
      const int row = std::stoi(words[0]);
      ASSERT_EQ(words.size(), block_columns.size() + 1) << line;
      for (std::size_t k = 0; k < block_columns.size(); ++k) {
        EXPECT_NEAR(std::stof(words[k + 1]), row + block_columns[k] / 100.0f, 0.0005f) << line;
      }
    }
    for (int j = 1; j <= kCols; ++j) EXPECT_EQ(seen[static_cast<std::size_t>(j)], 1) << j;
    // "Row" and as many columns of 2 + 10 as fit beside it.
    const int per_block = (width - 3) / 12;
    EXPECT_EQ(blocks, (kCols + per_block - 1) / per_block);
  }
}

// With a page length every page holds at most that many lines, starts with a
// form feed and repeats the column headings before its rows.
TEST_F(TableWriters, PagesRepeatTheHeadings) {
  std::array<float, 30> A;
  for (int i = 0; i < 30; ++i) A[static_cast<std::size_t>(i)] = static_cast<float>(i + 1);
  const std::string_view heading[] = {"Value%/(kPa)"};
  TABSET(kPageLengthOption, 12);
  testing::internal::CaptureStdout();
  TABMAT("%/Readings", 30, 1, A.data(), 30, "(F8.1)", "%/Row", nullptr, heading);
  TABMAT("%/Again", 2, 1, A.data(), 30, "(F8.1)", "%/Row", nullptr, heading);
  const std::vector<std::string> lines = lines_of(testing::internal::GetCapturedStdout());
  std::vector<std::vector<std::string>> pages(1);
  for (const std::string& line : lines) {
    if (line == "\f") pages.emplace_back();
    pages.back().push_back(line);
  }
  ASSERT_EQ(pages.size(), 5u);
  int rows = 0;
  for (std::size_t p = 0; p < pages.size(); ++p) {
    EXPECT_LE(pages[p].size(), 12u) << p;
    if (p > 0) {
      EXPECT_EQ(pages[p][1], "        Value");
      EXPECT_EQ(pages[p][2], "Row     (kPa)");
    }
    for (const std::string& line : pages[p]) rows += line.find(".0") != std::string::npos;
  }
  EXPECT_EQ(rows, 32);
  // The second table's title, headings and first row share the fourth page.
  const std::vector<std::string> again = {"    Again", "        Value", "Row     (kPa)",
                                          "  1       1.0"};
  EXPECT_EQ(std::vector<std::string>(pages[3].end() - 4, pages[3].end()), again);
}

TEST_F(TableWriters, AnalysisOfVarianceWithFractionalDegreesOfFreedom) {
  // Frequencies of 1.5 make the degrees of freedom fractional.
  const float AOV[15] = {2.0f, 4.5f, 6.5f, 8.0f, 1.125f, 9.125f, 4.0f, 0.25f, 16.0f, 0.00415f,
                         87.67f, 83.88f, 0.5f, 12.5f, 4.0f};
  const std::string_view rows[] = {"Model", "Error", "Total"};
  int unit = 0;  // standard error
  UMACH(-2, unit);
  testing::internal::CaptureStderr();
  testing::internal::CaptureStdout();
  TABAOV("Analysis of Variance", rows, AOV);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "                      Analysis of Variance\n"
            "        Degrees of      Sum of        Mean               Prob. of\n"
            "Source     Freedom     Squares      Square  F-statistic  Larger F\n"
            "Model        2.000       8.000       4.000        16.00    0.0041\n"
            "Error        4.500       1.125      0.2500\n"
            "Total        6.500       9.125\n"
            "\n"
            "R-squared (%)                      87.67\n"
            "Adjusted R-squared (%)             83.88\n"
            "Std. dev. of model error          0.5000\n"
            "Mean of response                   12.50\n"
            "Coefficient of variation (%)       4.000\n");
}

TEST_F(TableWriters, OptionsAreKeptUntilChanged) {
  const int initial[] = {78, 0, 1};
  const int changed[] = {40, 10, 0};
  for (int k = 1; k <= 3; ++k) {
    int value = -1;
    TABGET(k, value);
    EXPECT_EQ(value, initial[k - 1]);
    TABSET(k, changed[k - 1]);
    TABGET(k, value);
    EXPECT_EQ(value, changed[k - 1]);
  }
  EXPECT_EQ(N1RTY(1), 0);
}

struct BadCall {
  const char* name;
  void (*call)();
  const char* transcript;
};

void PrintTo(const BadCall& c, std::ostream* os) { *os << c.name; }

class TableArgumentChecks : public ::testing::TestWithParam<BadCall> {};

TEST_P(TableArgumentChecks, PrintThenStop) {
  const test::ChildRun run = test::run_in_child([&] {
    reset_error_state_for_tests();
    GetParam().call();
  });
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.out, std::string(GetParam().transcript) + "Stop - Program terminated.\n");
}

const float kCell[1] = {1.0f};

INSTANTIATE_TEST_SUITE_P(
    Messages, TableArgumentChecks,
    ::testing::Values(
        BadCall{"OptionNumber", [] { TABSET(4, 1); },
                "\n"
                " *** TERMINAL ERROR 1 from TABSET.  IOPT = 4.  The print option number, IOPT,\n"
                " ***          must be greater than or equal to 1 and less than or equal to 3.\n"},
        BadCall{"QueriedOptionNumber",
                [] {
                  int value = 0;
                  TABGET(0, value);
                },
                "\n"
                " *** TERMINAL ERROR 1 from TABGET.  IOPT = 0.  The print option number, IOPT,\n"
                " ***          must be greater than or equal to 1 and less than or equal to 3.\n"},
        BadCall{"PageWidth", [] { TABSET(1, 39); },
                "\n"
                " *** TERMINAL ERROR 2 from TABSET.  IOPT = 1 and IVAL = 39.  The page width,\n"
                " ***          IVAL, must be greater than or equal to 40 and less than or \n"
                " ***          equal to 255.\n"},
        BadCall{"PageLength", [] { TABSET(2, 9); },
                "\n"
                " *** TERMINAL ERROR 2 from TABSET.  IOPT = 2 and IVAL = 9.  The page length,\n"
                " ***          IVAL, must be 0 (no page breaks) or greater than or equal to 10.\n"},
        BadCall{"LeadingZero", [] { TABSET(3, 2); },
                "\n"
                " *** TERMINAL ERROR 2 from TABSET.  IOPT = 3 and IVAL = 2.  The leading zero\n"
                " ***          option, IVAL, must be either 0 (no zero before the decimal \n"
                " ***          point) or 1 (a zero before it).\n"},
        BadCall{"MatrixArguments",
                [] { TABMAT("", -1, -2, kCell, 0, "(W10.4", "", nullptr, nullptr); },
                "\n"
                " *** TERMINAL ERROR 1 from TABMAT.  NRA = -1.  The number of rows of A, NRA,\n"
                " ***          must be greater than or equal to 0.\n"
                "\n"
                " *** TERMINAL ERROR 2 from TABMAT.  NCA = -2.  The number of columns of A,\n"
                " ***          NCA, must be greater than or equal to 0.\n"
                "\n"
                " *** TERMINAL ERROR 4 from TABMAT.  FMT = (W10.4.  The format, FMT, must be a\n"
                " ***          list of edit descriptors Iw, Fw.d, Ew.d or Ww.d in parentheses, \n"
                " ***          each with an optional repeat count, such as (2W10.4,F9.3,F7.4), \n"
                " ***          with widths from 1 to 30.\n"},
        BadCall{"LeadingDimension",
                [] { TABMAT("", 2, 1, kCell, 1, "(W10.4)", "", nullptr, nullptr); },
                "\n"
                " *** TERMINAL ERROR 3 from TABMAT.  NRA = 2 and LDA = 1.  The leading\n"
                " ***          dimension of A, LDA, must be greater than or equal to the \n"
                " ***          number of rows, NRA.\n"}));

}  // namespace
}  // namespace ksatfit
