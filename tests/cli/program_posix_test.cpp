// The ksatfit program run as a user runs it: its JSON and tables against the
// library's own numbers, degree selection, standard input, fits by group
// against fits of files holding each group's rows, and bad input with its
// exit status, its one-line message and no plot written.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
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

// A table of lots: a header, then rows "lot,depth,ksat,w,f" of the groups
// given, each row's group cell as written.
struct Lots {
  std::string header = "lot,depth,ksat,w,f\n";
  std::vector<std::pair<std::string, std::string>> rows;  // group cell, the rest of the line
  std::string csv() const {
    std::string text = header;
    for (const auto& [group, rest] : rows) text += group + "," + rest + "\n";
    return text;
  }
  // The file a user would cut for one group: the header and its rows only.
  std::string csv_of(const std::string& group) const {
    std::string text = header;
    for (const auto& [g, rest] : rows) {
      if (g == group) text += g + "," + rest + "\n";
    }
    return text;
  }
};

std::vector<nlohmann::json> json_lines(const std::string& text) {
  std::vector<nlohmann::json> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
  return lines;
}

// Four groups whose rows interleave, replicated depths, weights and
// frequencies that vary, a missing ksat, and rows without a group.
Lots mixed_lots() {
  Lots lots;
  const char* names[] = {"north", "7", "south-2", "x y"};
  unsigned state = 2024;
  for (int i = 0; i < 72; ++i) {
    state = state * 1103515245u + 12345u;
    const double depth = 0.4 + 0.07 * (i % 9);
    const double ksat = 7.7 - 24.4 * depth + 19.7 * depth * depth + (i % 4) * 0.3 +
                        static_cast<double>((state >> 16) % 1000) * 1e-4;
    char rest[96];
    std::snprintf(rest, sizeof rest, "%.2f,%.5g,%.1f,%d", depth, ksat, 0.5 + (i % 3) * 0.75,
                  1 + i % 2);
    lots.rows.emplace_back(names[(i * 7 + i / 5) % 4], rest);
  }
  lots.rows[10].second = "0.55,NA,1,1";
  lots.rows.emplace_back("", "0.5,1.5,1,1");
  lots.rows.emplace_back("NA", "0.6,1.5,1,1");
  return lots;
}

// Each group's JSON line is the JSON of a fit of a file holding only its
// rows, number for number (so bit for bit), in either precision and with
// every option passed on; the groups come in the order they first appear.
TEST(GroupFits, EachGroupIsTheFitOfAFileOfItsRows) {
  TempDir dir;
  const Lots lots = mixed_lots();
  test::write_file(dir.file("lots.csv"), lots.csv());
  const std::vector<std::string> order = {"north", "x y", "south-2", "7"};
  for (const auto& g : order) test::write_file(dir.file(g + ".csv"), lots.csv_of(g));
  for (const char* precision : {"--precision single", "--precision double"}) {
    for (const char* options : {"", "--weight w --frequency f", "--degree 3 --frequency f",
                                "--max-degree 4 --select r2 --crit 99.9 --weight w",
                                "--max-degree 3 --select lack-of-fit --level 90",
                                "--predict 0.5,0.7 --predict 0.9 --level 99 --weight w"}) {
      const std::string asked = std::string(precision) + " " + options + " --x depth --y ksat";
      SCOPED_TRACE(asked);
      const ProgramRun by = run(dir, "fit --json --by lot " + asked + " lots.csv");
      ASSERT_EQ(by.status, 0) << by.err;
      EXPECT_EQ(by.err, "ksatfit: lots.csv: 2 rows have no value in column \"lot\" and were left out\n");
      const auto lines = json_lines(by.out);
      ASSERT_EQ(lines.size(), order.size());
      for (std::size_t k = 0; k < order.size(); ++k) {
        const ProgramRun one = run(dir, "fit --json " + asked + " '" + order[k] + ".csv'");
        ASSERT_EQ(one.status, 0) << one.err;
        nlohmann::json group_line = lines[k], file_fit = nlohmann::json::parse(one.out);
        EXPECT_EQ(group_line["group"], order[k]);
        EXPECT_EQ(group_line["file"], "lots.csv");
        // Flagged readings are named by their lines in the whole file.
        std::vector<int> lines_in_file;
        for (std::size_t i = 0; i < lots.rows.size(); ++i) {
          if (lots.rows[i].first == order[k]) lines_in_file.push_back(static_cast<int>(i) + 2);
        }
        nlohmann::json flagged = nlohmann::json::array();
        for (const auto& line : file_fit["flagged"]) flagged.push_back(lines_in_file[line.get<int>() - 2]);
        file_fit["flagged"] = flagged;
        for (auto* j : {&group_line, &file_fit}) {
          j->erase("group");
          j->erase("file");
        }
        EXPECT_EQ(group_line, file_fit) << order[k];
      }
    }
  }
  // The summary table: a row per group, in the same order, rows used and
  // left out as the fits count them.
  const ProgramRun table = run(dir, "fit --by lot --x depth --y ksat lots.csv");
  ASSERT_EQ(table.status, 0) << table.err;
  const auto lines = json_lines(run(dir, "fit --json --by lot --x depth --y ksat lots.csv").out);
  std::size_t at = table.out.find("* * * Fits by Group * * *");
  ASSERT_NE(at, std::string::npos) << table.out;
  for (std::size_t k = 0; k < order.size(); ++k) {
    char row[64];
    std::snprintf(row, sizeof row, "\n%-7s  %6d  %6d       2", order[k].c_str(),
                  lines[k]["n_used"].get<int>(), lines[k]["n_missing"].get<int>());
    at = table.out.find(row, at);
    EXPECT_NE(at, std::string::npos) << row << "\n" << table.out;
  }
  // Predictions and row statistics: each group's tables under its name, in
  // order, after the summary.
  const ProgramRun extras =
      run(dir, "fit --by lot --x depth --y ksat --predict 0.5,0.8 --cases lots.csv");
  ASSERT_EQ(extras.status, 0) << extras.err;
  at = extras.out.find("* * * Fits by Group * * *");
  for (const auto& g : order) {
    for (const std::string& part : {"\n lot \"" + g + "\":\n", std::string("Predictions (95 %)"),
                                   std::string("Statistics of the Rows")}) {
      at = extras.out.find(part, at);
      ASSERT_NE(at, std::string::npos) << g << ": " << part << "\n" << extras.out;
    }
  }
}

// Groups whose fits fail (constant x, one row, no weight) get their error in
// their line and row; the others are written all the same, and the status
// is 1. Each error is the one a fit of the group's own file reports (where
// no row carries weight, that is an input error).
TEST(GroupFits, AFailingGroupLeavesTheOthersWritten) {
  TempDir dir;
  Lots lots;
  lots.header = "lot,depth,ksat,w\n";
  for (int i = 0; i < 6; ++i) {
    const std::string d = std::to_string(0.5 + 0.1 * i);
    const double wobble = i % 2 * 0.01;
    lots.rows.emplace_back("good", d + "," + std::to_string(2 - i * 0.3 + i * i * 0.05 + wobble) + ",1");
    lots.rows.emplace_back("flat", "0.7," + std::to_string(1 + i * 0.1) + ",1");
    lots.rows.emplace_back("unweighted", d + "," + std::to_string(1 + i * 0.2) + ",0");
    lots.rows.emplace_back("also good", d + "," + std::to_string(3 - i * 0.2 + i * i * 0.07 - wobble) + ",2");
  }
  lots.rows.emplace_back("alone", "0.5,1,1");
  test::write_file(dir.file("lots.csv"), lots.csv());
  const std::vector<std::string> order = {"good", "flat", "unweighted", "also good", "alone"};
  const ProgramRun by = run(dir, "fit --json --by lot --x depth --y ksat --weight w lots.csv");
  EXPECT_EQ(by.status, 1);
  const auto lines = json_lines(by.out);
  ASSERT_EQ(lines.size(), order.size()) << by.out;
  std::string errors;
  for (std::size_t k = 0; k < order.size(); ++k) {
    SCOPED_TRACE(order[k]);
    EXPECT_EQ(lines[k]["group"], order[k]);
    test::write_file(dir.file("one.csv"), lots.csv_of(order[k]));
    const ProgramRun one = run(dir, "fit --json --x depth --y ksat --weight w one.csv");
    if (one.status == 0) {
      EXPECT_FALSE(lines[k].contains("error"));
      EXPECT_EQ(lines[k]["coefficients"], nlohmann::json::parse(one.out)["coefficients"]);
      continue;
    }
    ASSERT_TRUE(lines[k].contains("error")) << lines[k];
    const auto& e = lines[k]["error"];
    const std::string text = e["text"].get<std::string>();
    EXPECT_GE(e["type"].get<int>(), 4);
    EXPECT_FALSE(lines[k].contains("coefficients"));
    if (e["routine"].is_null()) {
      // The tool's own check: an input error for a whole file.
      EXPECT_EQ(one.status, 2);
      EXPECT_EQ(one.err, "ksatfit: one.csv: " + text + "\n");
      errors += "ksatfit: lots.csv, group \"" + order[k] + "\": the fit failed: " + text + "\n";
      continue;
    }
    EXPECT_EQ(one.status, 1);
    EXPECT_EQ(one.err, "ksatfit: one.csv: the fit failed: " + text + " (" +
                           e["routine"].get<std::string>() + ", code " +
                           std::to_string(e["code"].get<int>()) + ")\n");
    errors += "ksatfit: lots.csv, group \"" + order[k] + "\"" + one.err.substr(16);
  }
  EXPECT_EQ(by.err, errors);

  const ProgramRun table = run(dir, "fit --by lot --x depth --y ksat --weight w lots.csv");
  EXPECT_EQ(table.status, 1);
  EXPECT_EQ(table.err, errors);
  EXPECT_NE(table.out.find("groups: 5   failed: 3"), std::string::npos) << table.out;
  // The note of a failed group: the start of its message.
  const std::size_t flat = table.out.rfind("\nflat ");
  ASSERT_NE(flat, std::string::npos) << table.out;
  EXPECT_EQ(table.out.substr(flat, table.out.find('\n', flat + 1) - flat),
            "\nflat        failed: Each value of the independent...")
      << table.out;
}

// Usage and input errors of a fit by group: exit status 2, one line, nothing
// written; and the line about rows that belong to no group.
TEST(GroupFits, BadRequestsStopBeforeAnythingIsWritten) {
  TempDir dir;
  const auto groups_of = [](int n) {
    std::string text = "x,y,lot\n";
    for (int g = 0; g < n; ++g) {
      for (int i = 0; i < 3; ++i) {
        char row[48];
        std::snprintf(row, sizeof row, "%d,%d,L%d\n", i, i * i + g, g);
        text += row;
      }
    }
    return text;
  };
  test::write_file(dir.file("101.csv"), groups_of(101));
  test::write_file(dir.file("none.csv"), "x,y,lot\n1,2,\n2,3,NA\n");
  const struct {
    std::string arguments;
    std::string message;
  } cases[] = {
      {"fit --by lot --plot plot.svg 101.csv",
       "ksatfit: --plot draws at most 100 groups, and column \"lot\" of 101.csv has 101\n"},
      {"fit --by lot --json --plot plot.svg 101.csv",
       "ksatfit: --plot draws at most 100 groups, and column \"lot\" of 101.csv has 101\n"},
      {"fit --by batch 101.csv",
       "ksatfit: 101.csv: there is no column \"batch\" (the columns are \"x\", \"y\", \"lot\")\n"},
      {"fit --by 4 101.csv", "ksatfit: 101.csv: there is no column 4 (the file has 3)\n"},
      {"fit --by lot none.csv", "ksatfit: none.csv: no row has a value in column \"lot\"\n"},
      {"fit --by lot --scratch 101.csv", ""},
      {"fit --by 101.csv", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    const ProgramRun r = run(dir, c.arguments);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(std::filesystem::exists(dir.file("plot.svg")));
    if (!c.message.empty()) {
      EXPECT_EQ(r.err, c.message);
    } else {
      EXPECT_EQ(r.err.rfind("ksatfit: ", 0), 0u) << r.err;
      EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    }
  }
  test::write_file(dir.file("100.csv"), groups_of(100) + "1,1,NA\n");
  const ProgramRun hundred = run(dir, "fit --by 3 --degree 1 --plot plot.svg 100.csv");
  EXPECT_EQ(hundred.status, 0);
  EXPECT_EQ(hundred.err, "ksatfit: 100.csv: 1 row has no value in column \"lot\" and was left out\n");
  EXPECT_TRUE(std::filesystem::exists(dir.file("plot.svg")));
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
