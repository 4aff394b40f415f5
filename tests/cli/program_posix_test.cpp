// The ksatfit program run as a user runs it: its JSON and tables against the
// library's own numbers, degree selection, standard input, and bad input
// with its exit status, its one-line message and no plot written.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "ksatfit/fit.hpp"
#include "ksatfit/regression.hpp"
#include "tests/support/temp_dir.hpp"
#include "tests/support/weightless_rows.hpp"

namespace ksatfit {
namespace {

using test::TempDir;

struct ProgramRun {
  int status;
  std::string out, err;
};

ProgramRun run(const TempDir& dir, const std::string& arguments) {
  const std::string command = "cd '" + dir.path() + "' && '" KSATFIT_PROGRAM "' " + arguments +
                              " >out.txt 2>err.txt";
  const int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, test::read_file(dir.file("out.txt")),
          test::read_file(dir.file("err.txt"))};
}

// examples/temp3 as a CSV file: 30 pairs, replicated x.
std::vector<float> lab_x, lab_y;
std::vector<double> lab_x_double, lab_y_double;
std::string lab_csv() {
  std::istringstream sample(test::read_file(KSATFIT_SOURCE_DIR "/examples/temp3"));
  std::string text = "depth,ksat\n", xs, ys;
  lab_x.clear();
  lab_y.clear();
  lab_x_double.clear();
  lab_y_double.clear();
  while (sample >> xs >> ys) {
    lab_x.push_back(std::stof(xs));
    lab_y.push_back(std::stof(ys));
    lab_x_double.push_back(std::stod(xs));
    lab_y_double.push_back(std::stod(ys));
    text += xs + "," + ys + "\n";
  }
  return text;
}

float as_float(const nlohmann::json& value) { return static_cast<float>(value.get<double>()); }

std::string shortest_text(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.17g", value);
  return buffer;
}

TEST(Program, JsonHoldsTheLibraryNumbersToTheLastBit) {
  TempDir dir;
  test::write_file(dir.file("lab.csv"), lab_csv());
  for (int degree : {1, 2, 3}) {
    SCOPED_TRACE(degree);
    const ProgramRun r =
        run(dir, "fit --precision single --json --degree " + std::to_string(degree) + " lab.csv");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    // The coefficients are RCURV's.
    std::vector<float> b(degree + 1), sspoly(degree + 1), stat(10);
    RCURV(static_cast<int>(lab_x.size()), lab_x.data(), lab_y.data(), degree, b.data(),
          sspoly.data(), stat.data());
    for (int k = 0; k <= degree; ++k) {
      EXPECT_EQ(as_float(j["coefficients"][k]["estimate"]), b[k]) << k;
    }
    // Everything else is fit_polynomial's with the options the tool passes.
    FitOptions options;
    options.max_degree = degree;
    options.lack_of_fit = true;
    const PolynomialFit fit = fit_polynomial(lab_x, lab_y, options);
    for (int k = 0; k <= degree; ++k) {
      EXPECT_EQ(as_float(j["coefficients"][k]["standard_error"]), fit.standard_errors[k]);
      EXPECT_EQ(as_float(j["coefficients"][k]["t"]), fit.t[k]);
      EXPECT_EQ(as_float(j["coefficients"][k]["p"]), fit.p[k]);
    }
    EXPECT_EQ(as_float(j["anova"]["ss_error"]), fit.anova.ss_error);
    EXPECT_EQ(as_float(j["anova"]["f"]), fit.anova.f);
    EXPECT_EQ(as_float(j["anova"]["adjusted_r_squared"]), fit.anova.adjusted_r_squared);
    EXPECT_EQ(as_float(j["anova"]["cv"]), fit.anova.cv);
    ASSERT_EQ(j["sequential"].size(), fit.sequential.size());
    EXPECT_EQ(as_float(j["sequential"][degree - 1]["ss"]), fit.sequential[degree - 1].ss);
    ASSERT_EQ(j["lack_of_fit"]["tests"].size(), fit.lack_of_fit.size());
    EXPECT_EQ(as_float(j["lack_of_fit"]["tests"][0]["f"]), fit.lack_of_fit[0].f);
    EXPECT_EQ(as_float(j["lack_of_fit"]["pure_error"]["ss"]), fit.pure_error->ss);
    EXPECT_EQ(j["n_used"], 30);
    EXPECT_EQ(j["warnings"].size(), 0u);
    EXPECT_EQ(r.err, "");
  }
}

// Double precision unless --precision single: the JSON's numbers read back as
// fit_polynomial's doubles (or floats) exactly, and the JSON and the heading
// of the tables name the precision.
TEST(Program, PrecisionIsDoubleUnlessSingleIsAsked) {
  TempDir dir;
  test::write_file(dir.file("lab.csv"), lab_csv());
  std::vector<double> x, y;
  std::istringstream sample(test::read_file(KSATFIT_SOURCE_DIR "/examples/temp3"));
  for (std::string xs, ys; sample >> xs >> ys;) {
    x.push_back(std::stod(xs));
    y.push_back(std::stod(ys));
  }
  const auto fit_options = [](auto& options) {
    options.max_degree = 3;
    options.lack_of_fit = true;
    return options;
  };
  DoubleFitOptions double_options;
  FitOptions single_options;
  const DoublePolynomialFit in_double = fit_polynomial(x, y, fit_options(double_options));
  const PolynomialFit in_single = fit_polynomial(lab_x, lab_y, fit_options(single_options));
  const struct {
    std::string option, name;
    std::vector<double> coefficients, standard_errors;
    double ss_error, p;
  } cases[] = {
      {"", "double", in_double.coefficients, in_double.standard_errors, in_double.anova.ss_error,
       in_double.anova.p},
      {"--precision double", "double", in_double.coefficients, in_double.standard_errors,
       in_double.anova.ss_error, in_double.anova.p},
      {"--precision single", "single",
       std::vector<double>(in_single.coefficients.begin(), in_single.coefficients.end()),
       std::vector<double>(in_single.standard_errors.begin(), in_single.standard_errors.end()),
       in_single.anova.ss_error, in_single.anova.p},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.option);
    const ProgramRun r = run(dir, "fit --json --degree 3 " + c.option + " lab.csv");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["precision"], c.name);
    const auto read = [&](const nlohmann::json& value) {
      return c.name == "single" ? double{as_float(value)} : value.get<double>();
    };
    for (std::size_t k = 0; k < c.coefficients.size(); ++k) {
      EXPECT_EQ(read(j["coefficients"][k]["estimate"]), c.coefficients[k]) << k;
      EXPECT_EQ(read(j["coefficients"][k]["standard_error"]), c.standard_errors[k]) << k;
    }
    EXPECT_EQ(read(j["anova"]["ss_error"]), c.ss_error);
    EXPECT_EQ(read(j["anova"]["p"]), c.p);

    const ProgramRun tables = run(dir, "fit --degree 3 " + c.option + " lab.csv");
    ASSERT_EQ(tables.status, 0) << tables.err;
    EXPECT_EQ(tables.out.rfind("\n ksatfit: lab.csv   (" + c.name + " precision)\n", 0), 0u)
        << tables.out;
  }
  EXPECT_NE(in_double.coefficients[3], double{in_single.coefficients[3]});
}

TEST(Program, TablesAreTheLibrarysPrintedTables) {
  TempDir dir;
  test::write_file(dir.file("lab.csv"), lab_csv());
  const ProgramRun r = run(dir, "fit --precision single lab.csv");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("   x: \"depth\"   y: \"ksat\"\n   rows used: 30   left out (missing values): 0\n"
                       "   degree fitted: 2 (asked for 2)\n"
                       "   ksat = 7.7121167 - 24.372402 x + 19.709227 x^2\n"),
            std::string::npos)
      << r.out;
  for (const char* line : {"Regression                2       46.53       23.26        824.2    0.0000",
                           "R-squared (%)                      98.39",
                           "    3       19.71       1.196       16.476      0.0000",
                           "         2       1.000       7.662      271.455    0.0000",
                           "         2       21.00      0.7393        9.278    0.0054"}) {
    EXPECT_NE(r.out.find(line), std::string::npos) << line;
  }
}

TEST(Program, MissingValuesAreCountedAndSelectionFollowsBothRules) {
  TempDir dir;
  std::string csv = lab_csv();
  csv += "NA,1\n0.7,\n";
  test::write_file(dir.file("lab.csv"), csv);
  const struct {
    std::string arguments;
    DegreeSelection rule;
    float crit;
  } cases[] = {
      {"--max-degree 4 --select r2 --crit 98", DegreeSelection::r_squared, 98},
      {"--max-degree 4 --select r2", DegreeSelection::r_squared, 99},
      {"--max-degree 4 --select lack-of-fit --crit 1", DegreeSelection::lack_of_fit, 1},
      {"--max-degree 4 --select lack-of-fit", DegreeSelection::lack_of_fit, 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    const ProgramRun r = run(dir, "fit --json " + c.arguments + " lab.csv");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    FitOptions options;
    options.max_degree = 4;
    options.selection = c.rule;
    options.crit = c.crit;
    options.lack_of_fit = true;
    const PolynomialFit fit = fit_polynomial(lab_x, lab_y, options);
    EXPECT_EQ(j["degree_fitted"], fit.degree_fitted);
    EXPECT_EQ(as_float(j["selection"]["crit"]), c.crit);
    EXPECT_EQ(j["n_used"], 30);
    EXPECT_EQ(j["n_missing"], 2);
  }
}

TEST(Program, ReadsStandardInputAndScratchFiles) {
  TempDir dir;
  test::write_file(dir.file("lab.csv"), lab_csv());
  const ProgramRun piped = run(dir, "fit --json - < lab.csv");
  ASSERT_EQ(piped.status, 0) << piped.err;
  const ProgramRun scratch = run(dir, "fit --json --scratch '" KSATFIT_SOURCE_DIR "/examples/temp3'");
  ASSERT_EQ(scratch.status, 0) << scratch.err;
  EXPECT_EQ(nlohmann::json::parse(piped.out)["coefficients"],
            nlohmann::json::parse(scratch.out)["coefficients"]);
}

TEST(Program, LibraryWarningsGoToStandardErrorAndTheJson) {
  TempDir dir;
  test::write_file(dir.file("line.csv"), "x,y\n1,2\n2,4\n1,2\n2,4\n");
  const ProgramRun r = run(dir, "fit --json --degree 2 line.csv");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto j = nlohmann::json::parse(r.out);
  // A perfect fit, and too few distinct x for degree 2: one line each.
  ASSERT_EQ(j["warnings"].size(), 2u);
  EXPECT_EQ(j["degree_fitted"], 1);
  std::string expected;
  for (const auto& w : j["warnings"]) {
    expected += "ksatfit: warning from " + w["routine"].get<std::string>() + " (type " +
                std::to_string(w["type"].get<int>()) + ", code " +
                std::to_string(w["code"].get<int>()) + "): " + w["text"].get<std::string>() + "\n";
  }
  EXPECT_EQ(r.err, expected);
}

// Readings on a line with one planted outlier (row 9), after a comment, a
// header and, before row 12, a blank line: row i is on line i + 3, or i + 4
// from row 12 on.
std::vector<double> line_x, line_y;
std::string outlier_csv() {
  std::string text = "# run 7\nx,y\n";
  line_x.clear();
  line_y.clear();
  for (int i = 0; i < 24; ++i) {
    if (i == 12) text += "\n";
    line_x.push_back(0.5 + 0.025 * i);
    line_y.push_back(1 + 2 * line_x.back() + 0.03 * std::sin(1.7 * i) + (i == 9 ? 0.5 : 0));
    text += shortest_text(line_x.back()) + "," + shortest_text(line_y.back()) + "\n";
  }
  return text;
}

// --level, --predict and --cases: the JSON holds the library's own figures,
// the rows under their file's line numbers.
TEST(Program, IntervalsPredictionsAndCasesAreTheLibrarys) {
  TempDir dir;
  test::write_file(dir.file("lab.csv"), lab_csv());
  const ProgramRun r = run(dir, "fit --json --degree 3 --level 90 --predict 0.6,0.9 --predict "
                                "1.05 --cases lab.csv");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto j = nlohmann::json::parse(r.out);
  DoubleFitOptions options;
  options.max_degree = 3;
  options.lack_of_fit = true;
  options.case_statistics = true;
  const DoublePolynomialFit fit = fit_polynomial(lab_x_double, lab_y_double, options);
  EXPECT_EQ(j["level"], 90.0);
  const auto intervals = fit.confidence_intervals(0.9);
  for (std::size_t k = 0; k < 4; ++k) {
    EXPECT_EQ(j["coefficients"][k]["ci_lower"], intervals[k].lower);
    EXPECT_EQ(j["coefficients"][k]["ci_upper"], intervals[k].upper);
    for (std::size_t m = 0; m < 4; ++m) EXPECT_EQ(j["covariance"][k][m], fit.covariance[4 * k + m]);
  }
  const std::vector<double> at = {0.6, 0.9, 1.05};
  const auto predictions = fit.predict(at, 0.9);
  ASSERT_EQ(j["predictions"].size(), 3u);
  for (std::size_t k = 0; k < 3; ++k) {
    const auto& p = j["predictions"][k];
    EXPECT_EQ(p["x"], at[k]);
    EXPECT_EQ(p["fitted"], predictions[k].fitted);
    EXPECT_EQ(p["se_fit"], predictions[k].se_fit);
    EXPECT_EQ(p["confidence_lower"], predictions[k].confidence_lower);
    EXPECT_EQ(p["prediction_upper"], predictions[k].prediction_upper);
  }
  ASSERT_EQ(j["cases"].size(), 30u);
  std::vector<int> flagged;
  for (std::size_t i = 0; i < 30; ++i) {
    const auto& c = j["cases"][i];
    EXPECT_EQ(c["line"], i + 2);
    EXPECT_EQ(c["row"], i);
    EXPECT_EQ(c["leverage"], fit.cases[i].leverage);
    EXPECT_EQ(c["studentized_residual"], fit.cases[i].studentized_residual);
    EXPECT_EQ(c["cooks_distance"], fit.cases[i].cooks_distance);
    EXPECT_EQ(c["influential"], fit.cases[i].influential);
    if (fit.cases[i].outlier || fit.cases[i].influential) flagged.push_back(static_cast<int>(i) + 2);
  }
  EXPECT_FALSE(flagged.empty());
  EXPECT_EQ(j["flagged"], flagged);
  // Without the options: no predictions or cases, the flagged lines still.
  const auto plain = nlohmann::json::parse(run(dir, "fit --json --degree 3 lab.csv").out);
  EXPECT_FALSE(plain.contains("predictions") || plain.contains("cases"));
  EXPECT_EQ(plain["flagged"], flagged);
  EXPECT_EQ(plain["level"], 95.0);
}

TEST(Program, TablesNameTheLevelAndTheFlaggedReadings) {
  TempDir dir;
  test::write_file(dir.file("line.csv"), outlier_csv());
  const ProgramRun r = run(dir, "fit --degree 1 --level 99.9 --predict 0.7 line.csv");
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* text : {"* * * Confidence intervals (99.9 %) * * *",
                           "* * * Predictions (99.9 %) * * *",
                           "\n 1 reading flagged: line 12 (studentized residual 22, Cook's "
                           "distance 0.52); --cases lists every row\n"}) {
    EXPECT_NE(r.out.find(text), std::string::npos) << text << "\n" << r.out;
  }
  const ProgramRun cases = run(dir, "fit --degree 1 --cases line.csv");
  EXPECT_EQ(cases.out.find("flagged"), std::string::npos);
  EXPECT_NE(cases.out.find("* * * Statistics of the Rows * * *"), std::string::npos);
  // Row 12 comes after the blank line, on line 16.
  EXPECT_NE(cases.out.find("\n  16      0.8000"), std::string::npos) << cases.out;
  EXPECT_NE(cases.out.find("  outlier, influential\n"), std::string::npos) << cases.out;
}

// A nearly perfect line: t and F far beyond the F9.3 field are shown in
// significant-digit form, never as asterisks.
TEST(Program, HugeStatisticsNeverPrintAsAsterisks) {
  TempDir dir;
  test::write_file(dir.file("exact.csv"), "x,y\n1,3\n2,5.0000001\n3,7\n4,8.9999999\n5,11\n6,13\n");
  const ProgramRun r = run(dir, "fit --degree 1 --cases exact.csv");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.find("**"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("E+0"), std::string::npos) << r.out;
}

TEST(Program, BadInputExitsWithOneLineAndWritesNothing) {
  TempDir dir;
  test::write_file(dir.file("lab.csv"), lab_csv());
  test::write_file(dir.file("text.csv"), "x,y\n1,2\n1.2.3,4\n");
  test::write_file(dir.file("short.csv"), "x,y\n1,2\n3\n");
  test::write_file(dir.file("empty.csv"), "");
  test::write_file(dir.file("negative.csv"), "x,y,w\n1,2,-1\n2,3,1\n3,5,1\n");
  test::write_file(dir.file("zero.csv"), "x,y,f\n1,2,0\n2,3,0\n3,5,0\n");
  test::write_file(dir.file("weightless.csv"), "x,y,f,w\n1,2,0,1\n2,3,1,0\n3,5,0,2\n4,1,2,0\n");
  const struct {
    std::string arguments;
    int status;
    std::string message;
  } cases[] = {
      {"fit nothere.csv", 2, "ksatfit: nothere.csv: cannot open the file (No such file or directory)\n"},
      {"fit --x depth --y z lab.csv", 2,
       "ksatfit: lab.csv: there is no column \"z\" (the columns are \"depth\", \"ksat\")\n"},
      {"fit text.csv", 2, "ksatfit: text.csv: line 3, column \"x\": \"1.2.3\" is not a number\n"},
      {"fit short.csv", 2, "ksatfit: short.csv: line 3: 1 value where the file has 2 columns\n"},
      {"fit empty.csv", 2,
       "ksatfit: empty.csv: no data (the file is empty or holds only comments)\n"},
      {"fit --degree lab.csv", 2, ""},
      {"fit --degree two lab.csv", 2,
       "ksatfit: --degree: \"two\" is not a whole number (ksatfit fit --help shows the "
       "options)\n"},
      {"fit --bogus lab.csv", 2, ""},
      {"fit --select r2 lab.csv", 2, ""},
      {"lab.csv", 2, ""},
      {"fit --weight w --precision single negative.csv", 1,
       "ksatfit: negative.csv: the fit failed: The weight for row 1 of X was -1.000000E+00.  "
       "Weights must be nonnegative. (R2ORP, code 1)\n"},
      // A double in a message shows the 17 digits that identify it.
      {"fit --weight w negative.csv", 1,
       "ksatfit: negative.csv: the fit failed: The weight for row 1 of X was "
       "-1.0000000000000000E+00.  Weights must be nonnegative. (R2ORP, code 1)\n"},
      {"fit --precision quadruple lab.csv", 2, ""},
      {"fit --frequency f zero.csv", 2,
       "ksatfit: zero.csv: no row carries weight (every weight or frequency is 0)\n"},
      {"fit --frequency f --weight w --precision single weightless.csv", 2,
       "ksatfit: weightless.csv: no row carries weight (every weight or frequency is 0)\n"},
      {"fit --level 0 lab.csv", 2,
       "ksatfit: --level: 0 is not above 0 and below 100 (percent) (ksatfit fit --help shows "
       "the options)\n"},
      {"fit --level 100 lab.csv", 2,
       "ksatfit: --level: 100 is not above 0 and below 100 (percent) (ksatfit fit --help shows "
       "the options)\n"},
      {"fit --predict abc lab.csv", 2,
       "ksatfit: --predict: \"abc\" is not a number (ksatfit fit --help shows the options)\n"},
      {"fit --predict 0.5,,1 lab.csv", 2,
       "ksatfit: --predict: \"\" is not a number (ksatfit fit --help shows the options)\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    const ProgramRun r = run(dir, c.arguments + " --plot plot.svg");
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(std::filesystem::exists(dir.file("plot.svg")));
    if (!c.message.empty()) {
      EXPECT_EQ(r.err, c.message);
    } else {
      EXPECT_EQ(r.err.rfind("ksatfit: ", 0), 0u) << r.err;
      EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    }
  }
}

// Rows of frequency or weight 0 at abscissas of their own: the fit is the one
// of the weighted rows alone, in both precisions.
TEST(Program, RowsWithoutWeightFitAsTheWeightedRowsAlone) {
  TempDir dir;
  for (const test::WeightlessRowsCase& c : test::weightless_rows_cases()) {
    test::write_file(dir.file("z.csv"), c.csv());
    for (const std::string precision : {"single", "double"}) {
      SCOPED_TRACE(std::string(c.name) + ", " + precision);
      const ProgramRun r = run(dir, "fit --json --precision " + precision + " --" + c.column +
                                        " " + c.column[0] + " --degree " +
                                        std::to_string(c.degree) + " z.csv");
      ASSERT_EQ(r.status, 0) << r.err;
      const auto j = nlohmann::json::parse(r.out);
      const double rel = precision == "single" ? 1e-4 : 1e-9;
      const auto expect_near = [&](const nlohmann::json& got, double expected) {
        EXPECT_NEAR(got.get<double>(), expected, rel * std::abs(expected)) << got;
      };
      EXPECT_EQ(j["degree_fitted"], c.degree_fitted);
      EXPECT_EQ(j["n_used"], c.x.size());
      ASSERT_EQ(j["coefficients"].size(), c.degree_fitted + 1u);
      for (std::size_t k = 0; k < j["coefficients"].size(); ++k) {
        expect_near(j["coefficients"][k]["estimate"], c.coefficients[k]);
      }
      EXPECT_EQ(j["anova"]["df_error"], c.df_error);
      expect_near(j["anova"]["ss_error"], c.ss_error);
      expect_near(j["anova"]["f"], c.f);
      EXPECT_EQ(j["lack_of_fit"]["pure_error"]["df"], c.pure_error_df);
      expect_near(j["lack_of_fit"]["pure_error"]["ss"], c.pure_error_ss);
      const auto& lof = j["lack_of_fit"]["tests"].back();
      EXPECT_EQ(lof["df"], c.lack_of_fit_df);
      if (!std::isnan(c.lack_of_fit_f)) expect_near(lof["f"], c.lack_of_fit_f);
      EXPECT_EQ(j["warnings"].size(), c.NDIST == 0 ? 0u : 1u);
    }
  }
}

}  // namespace
}  // namespace ksatfit
