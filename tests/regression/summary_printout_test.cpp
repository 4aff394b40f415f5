// The printed summary tables of R2TAP: every number read back agrees with the
// array element it shows, within its printed digits; printing changes no
// result and no error state.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "errors/error_layer.hpp"
#include "errors/error_state.hpp"
#include "ksatfit/errors.hpp"
#include "ksatfit/regression.hpp"
#include "ksatfit/tables.hpp"
#include "tables/print_options.hpp"
#include "tests/regression/orthogonal_fit_harness.hpp"

namespace ksatfit {
namespace {

using test::FitInput;
using test::FitOutput;

constexpr int LD = 5;  // leading dimension of SQSS, COEF and TLOF (degree up to 3)

// x = (1, 2, 3), y = (1, 0, 1): a parabola through three points, no error left.
FitInput worked_example() { return {{1, 2, 3}, {1, 0, 1}, {}, {}, 2, 0, 0.0f, 0}; }

// Hydraulic conductivity against void ratio, with replicated ratios: a cubic
// with the tests of lack of fit.
FitInput laboratory_cubic() {
  return {{.52f, .54f, .54f, .55f, .59f, .64f, .66f, .72f, .73f, .74f, .76f, .81f, .86f, .86f, .87f,
           .90f, .92f, .92f, .92f, .93f, .93f, .94f, .95f, .96f, .97f, .97f, 1.01f, 1.04f, 1.08f,
           1.09f},
          {.17448f, .19423f, .18342f, .20723f, .27883f, .33618f, .40984f, .54605f, .61439f,
           .62726f, .69882f, 1.0561f, 1.3084f, 1.3f, 1.3529f, 1.7073f, 1.8898f, 1.7979f, 1.9236f,
           1.9099f, 1.7892f, 2.205f, 2.2479f, 2.5466f, 2.454f, 2.5717f, 2.9415f, 3.8831f, 4.7914f,
           4.6481f},
          {}, {}, 3, 0, 0.0f, 1};
}

// What R2TAP leaves: its arrays (sentinel-filled beforehand), what it printed
// and the error layer's state.
struct Summary {
  std::vector<float> AOV = std::vector<float>(15, test::kSentinel);
  std::vector<float> SQSS = std::vector<float>(LD * 4, test::kSentinel);
  std::vector<float> COEF = std::vector<float>(LD * 4, test::kSentinel);
  std::vector<float> TLOF = std::vector<float>(LD * 4, test::kSentinel);
  std::vector<float> WK = std::vector<float>(LD * 10, test::kSentinel);
  std::string printed;
  std::vector<int> errors;

  float at(const std::vector<float>& m, int i, int j) const { return m[(i - 1) + (j - 1) * LD]; }
};

// Everything of the error state that a later call or query could see.
std::vector<int> error_snapshot() {
  const ErrorState& s = error_state();
  std::vector<int> v = {s.LEVEL, s.MAXLEV, s.MSGLEN, s.PLEN, s.PEND6, s.PEND7,
                        N1RTY(0), N1RTY(1), N1RCD(0), N1RCD(1)};
  for (int level = 1; level <= kLevelSlots; ++level) {
    v.push_back(s.ERTYPE(level));
    v.push_back(s.ERCODE(level));
  }
  return v;
}

Summary summarise(const FitInput& in, int IPRINT) {
  reset_error_state_for_tests();
  const FitOutput f = test::run_fit(in);
  Summary s;
  testing::internal::CaptureStdout();
  R2TAP(f.NDEG, f.ALPHA.data(), f.BETA.data(), f.XSCALE, f.XSHIFT, f.OCOEF.data(), f.D.data(),
        f.DFE, f.SSE, in.LOF, f.DFPE, f.SSPE, IPRINT, s.AOV.data(), s.SQSS.data(), LD,
        s.COEF.data(), LD, s.TLOF.data(), LD, s.WK.data());
  s.printed = testing::internal::GetCapturedStdout();
  s.errors = error_snapshot();
  return s;
}

// A printed number agrees with `value` when they differ by at most half a
// unit of its last printed digit; the markers stand for NaN and infinities.
testing::AssertionResult agrees(const std::string& token, float value) {
  bool ok = false;
  if (token == "NaN") {
    ok = IFNAN(value);
  } else if (token == "Inf" || token == "-Inf") {
    ok = std::isinf(value) && (token[0] == '-') == (value < 0.0f);
  } else {
    const std::size_t mark = token.find('E');
    const std::string mantissa = token.substr(0, mark);
    const int exponent = mark == std::string::npos ? 0 : std::stoi(token.substr(mark + 1));
    const std::size_t point = mantissa.find('.');
    const int decimals =
        point == std::string::npos ? 0 : static_cast<int>(mantissa.size() - point - 1);
    const double half_unit = 0.5 * std::pow(10.0, exponent - decimals);
    ok = std::fabs(std::stod(token) - value) <= half_unit * (1.0 + 1e-9);
  }
  if (ok) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "printed " << token << " for " << value;
}

std::vector<std::string> words_after(const std::string& line, std::size_t start) {
  std::vector<std::string> words;
  std::istringstream in(line.substr(start));
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

// Reads the printout table by table and checks each number against the
// element it shows; returns how many numbers were checked.
int check_printout(const Summary& s, int NDEG, int LOF) {
  struct Labelled {
    const char* label;
    std::vector<int> elements;
  };
  const std::vector<Labelled> aov_lines = {
      {"Regression", {1, 4, 7, 9, 10}}, {"Residual", {2, 5, 8}}, {"Corrected Total", {3, 6}},
      {"R-squared (%)", {11}}, {"Adjusted R-squared (%)", {12}},
      {"Std. dev. of model error", {13}}, {"Mean of response", {14}},
      {"Coefficient of variation (%)", {15}}};
  const std::vector<std::pair<std::string, const std::vector<float>*>> matrices = {
      {"Inference on Coefficients", &s.COEF}, {"Sequential Statistics", &s.SQSS},
      {"Tests of Lack of Fit", &s.TLOF}};
  const std::vector<float>* matrix = nullptr;
  std::vector<int> rows(3, 0);
  int checked = 0;
  std::istringstream in(s.printed);
  for (std::string line; std::getline(in, line);) {
    for (std::size_t t = 0; t < matrices.size(); ++t) {
      if (line.find(matrices[t].first) != std::string::npos) matrix = matrices[t].second;
    }
    if (matrix == nullptr) {
      for (const Labelled& l : aov_lines) {
        if (line.rfind(l.label, 0) != 0) continue;
        const std::vector<std::string> words = words_after(line, std::string(l.label).size());
        EXPECT_EQ(words.size(), l.elements.size()) << line;
        for (std::size_t k = 0; k < words.size() && k < l.elements.size(); ++k, ++checked) {
          EXPECT_TRUE(agrees(words[k], s.AOV[l.elements[k] - 1])) << line;
        }
      }
      continue;
    }
    const std::vector<std::string> words = words_after(line, 0);
    if (words.empty() || words[0].find_first_not_of("0123456789") != std::string::npos) continue;
    const int row = std::stoi(words[0]);
    ++rows[static_cast<std::size_t>(matrix == &s.COEF ? 0 : matrix == &s.SQSS ? 1 : 2)];
    EXPECT_EQ(words.size(), 5u) << line;
    for (int j = 1; j <= 4 && j < static_cast<int>(words.size()); ++j, ++checked) {
      EXPECT_TRUE(agrees(words[static_cast<std::size_t>(j)], s.at(*matrix, row, j))) << line;
    }
  }
  EXPECT_EQ(rows[0], NDEG + 1);
  EXPECT_EQ(rows[1], NDEG);
  EXPECT_EQ(rows[2], LOF == 1 ? NDEG : 0);
  return checked;
}

class SummaryPrintout : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_error_state_for_tests();
    reset_print_options_for_tests();
  }
  void TearDown() override { reset_print_options_for_tests(); }
};

TEST_F(SummaryPrintout, WorkedExample) {
  const Summary s = summarise(worked_example(), 1);
  EXPECT_EQ(s.printed,
            "                 Degrees of      Sum of        Mean               Prob. of\n"
            "Source              Freedom     Squares      Square  F-statistic  Larger F\n"
            "Regression                2      0.6667      0.3333          NaN       NaN\n"
            "Residual                  0       0.000         NaN\n"
            "Corrected Total           2      0.6667\n"
            "\n"
            "R-squared (%)                      100.0\n"
            "Adjusted R-squared (%)               NaN\n"
            "Std. dev. of model error             NaN\n"
            "Mean of response                  0.6667\n"
            "Coefficient of variation (%)         NaN\n"
            "\n"
            "        * * * Inference on Coefficients * * *\n"
            "                     Standard                 Prob. of\n"
            "Coef.    Estimate       Error  t-statistic  Larger |t|\n"
            "    1       4.000         NaN          NaN         NaN\n"
            "    2      -4.000         NaN          NaN         NaN\n"
            "    3       1.000         NaN          NaN         NaN\n"
            "\n"
            "            * * * Sequential Statistics * * *\n"
            " Degree of  Degrees of      Sum of               Prob. of\n"
            "Polynomial     Freedom     Squares  F-statistic  Larger F\n"
            "         1       1.000       0.000          NaN       NaN\n"
            "         2       1.000      0.6667          NaN       NaN\n");
  EXPECT_EQ(check_printout(s, 2, 0), 10 + 5 + 12 + 8);
}

// Every number is read back from the page of 78 columns; narrower pages split
// the tables into blocks, and no line is ever longer than the page.
TEST_F(SummaryPrintout, LaboratoryCubicWithLackOfFit) {
  EXPECT_EQ(check_printout(summarise(laboratory_cubic(), 1), 3, 1), 10 + 5 + 16 + 12 + 12);
  for (int width : {40, 48, 60, 78}) {
    TABSET(kPageWidthOption, width);
    std::istringstream in(summarise(laboratory_cubic(), 1).printed);
    int lines = 0;
    for (std::string line; std::getline(in, line); ++lines) {
      EXPECT_LE(static_cast<int>(line.size()), width) << line;
    }
    EXPECT_GE(lines, 33) << width;
  }
}

TEST_F(SummaryPrintout, PrintingChangesNoResultAndNoErrorState) {
  for (const FitInput& in : {worked_example(), laboratory_cubic()}) {
    const Summary quiet = summarise(in, 0);
    const Summary printed = summarise(in, 1);
    EXPECT_EQ(quiet.printed, "");
    EXPECT_NE(printed.printed, "");
    // Compared as bytes, so that NaN results compare too.
    for (auto member : {&Summary::AOV, &Summary::SQSS, &Summary::COEF, &Summary::TLOF,
                        &Summary::WK}) {
      const std::vector<float>& a = quiet.*member;
      const std::vector<float>& b = printed.*member;
      EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(float)), 0);
    }
    EXPECT_EQ(quiet.errors, printed.errors);
  }
}

}  // namespace
}  // namespace ksatfit
