// ksatfit: fits a polynomial to two columns of a data file and prints the
// library's tables, or writes them as JSON, and optionally plots the fit. The
// fit is computed in double precision, or with --precision single in the
// programs' own single-precision arithmetic. Every fit reports the
// coefficients' confidence intervals and names the readings that stand out;
// --predict and --cases add the predictions and every row's statistics.
// Exit status: 0 done, 1 the fit failed (a fatal condition of the library),
// 2 a usage or input error (nothing written then).
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/column_file.hpp"
#include "cli/report.hpp"
#include "cli/svg_plot.hpp"
#include "ksatfit/fit.hpp"

namespace {

using namespace ksatfit;
using namespace ksatfit::cli;

struct Arguments {
  std::string file;
  int degree = 2;
  int max_degree = -1;
  std::string select;
  double crit = -1;
  ColumnRequest columns;
  bool scratch = false;
  int skip = 0;
  std::string plot;
  bool json = false;
  std::string precision = "double";
  double level = 95;
  std::vector<std::string> predict;  // as given: lists of numbers separated by commas
  bool cases = false;
};

// Usage and input errors: one line on standard error, exit status 2.
[[noreturn]] void fail(const std::string& message) {
  std::fprintf(stderr, "ksatfit: %s\n", message.c_str());
  std::exit(2);
}

// The whole file (or standard input) in one string, read in large blocks.
std::string read_all(const std::string& file) {
  std::FILE* in = file == "-" ? stdin : std::fopen(file.c_str(), "rb");
  if (in == nullptr) fail(file + ": cannot open the file (" + std::strerror(errno) + ")");
  std::string text;
  std::vector<char> block(1 << 20);
  std::size_t got;
  while ((got = std::fread(block.data(), 1, block.size(), in)) > 0) text.append(block.data(), got);
  const bool failed = std::ferror(in) != 0;
  if (in != stdin) std::fclose(in);
  if (failed) fail(file + ": cannot read the file");
  return text;
}

// The criterion of --select in percent, as given or its default.
double requested_crit(const Arguments& a) {
  if (a.crit >= 0) return a.crit;
  return a.select == "r2" ? 99 : 5;
}

template <class Real>
BasicFitOptions<Real> options_for(const Arguments& a, const BasicFitData<Real>& data) {
  BasicFitOptions<Real> options;
  options.weights = data.weights;
  options.frequencies = data.frequencies;
  options.max_degree = a.max_degree >= 0 ? a.max_degree : a.degree;
  if (a.select == "r2") {
    options.selection = DegreeSelection::r_squared;
    options.crit = static_cast<Real>(requested_crit(a));
  } else if (a.select == "lack-of-fit") {
    options.selection = DegreeSelection::lack_of_fit;
    options.crit = static_cast<Real>(requested_crit(a));
  }
  options.lack_of_fit = true;
  options.case_statistics = true;
  return options;
}

// Whether the fit would keep rows but give none of them weight: every row
// without a missing value has frequency 0 or weight 0 (a row's weight is its
// frequency times its weight, and a frequency of 0 leaves the weight unread).
// Such a data set determines no curve. A negative frequency or weight is left
// for the fit to report, and a file whose every row has a missing value too.
template <class Real>
bool no_row_carries_weight(const BasicFitData<Real>& data) {
  bool kept = false;
  for (std::size_t i = 0; i < data.x.size(); ++i) {
    if (std::isnan(data.x[i]) || std::isnan(data.y[i])) continue;
    const Real f = data.frequencies.empty() ? Real{1} : data.frequencies[i];
    const Real w = data.weights.empty() ? Real{1} : data.weights[i];
    if (f != 0) {
      if (f < 0 || w < 0) return false;
      if (std::isnan(f) || std::isnan(w)) continue;
      if (f * w > 0) return false;
    }
    kept = true;
  }
  return kept;
}

// The numbers of one --predict list "X[,X...]" appended to `values`; the
// first item that is not a finite number, if any.
std::optional<std::string> read_number_list(const std::string& list, std::vector<double>& values) {
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = list.find(',', start);
    const std::string item = list.substr(start, end - start);
    double value = 0;
    if (!CLI::detail::lexical_cast(item, value) || !std::isfinite(value)) {
      return item;
    }
    values.push_back(value);
    if (end == std::string::npos) return std::nullopt;
    start = end + 1;
  }
}

// The abscissas of --predict (checked when the options were read): every
// value of every list, in order.
template <class Real>
std::vector<Real> abscissas_to_predict(const std::vector<std::string>& lists) {
  std::vector<double> values;
  for (const std::string& list : lists) read_number_list(list, values);
  return std::vector<Real>(values.begin(), values.end());
}

template <class Real>
int run_fit(const Arguments& a, const std::string& text) {
  const std::string shown = a.file == "-" ? "(standard input)" : a.file;
  BasicFitData<Real> data;
  try {
    data = a.scratch ? read_scratch<Real>(text, a.skip)
                     : read_columns<Real>(text, a.columns, a.skip);
  } catch (const InputError& e) {
    fail(shown + ": " + e.what());
  }
  if (no_row_carries_weight(data)) {
    fail(shown + ": no row carries weight (every weight or frequency is 0)");
  }
  const std::vector<Real> to_predict = abscissas_to_predict<Real>(a.predict);
  const BasicFitOptions<Real> options = options_for(a, data);
  BasicPolynomialFit<Real> fit;
  try {
    fit = fit_polynomial(data.x, data.y, options);
  } catch (const FitError& e) {
    std::fprintf(stderr, "ksatfit: %s: the fit failed: %s (%s, code %d)\n", shown.c_str(), e.what(),
                 e.routine().c_str(), e.code());
    return 1;
  }
  for (const auto& w : fit.warnings) {
    std::fprintf(stderr, "ksatfit: warning from %s (type %d, code %d): %s\n", w.routine.c_str(),
                 w.type, w.code, w.text.c_str());
  }

  RunDescription run{shown, data.x_name, data.y_name, "", "", a.select,
                     a.select.empty() ? 0.0 : requested_crit(a), a.level};
  BasicReportExtras<Real> extras;
  extras.predictions = fit.predict(to_predict, static_cast<Real>(a.level / 100));
  extras.cases = a.cases;
  extras.lines = data.lines;
  if (!a.columns.weight.empty()) run.weight_name = a.columns.weight;
  if (!a.columns.frequency.empty()) run.frequency_name = a.columns.frequency;

  if (!a.plot.empty()) {
    const std::string source =
        a.file == "-" ? shown : std::filesystem::path(a.file).filename().string();
    const PlotText labels{data.y_name + " against " + data.x_name + " (" + source + ")",
                          data.x_name, data.y_name, equation_text(fit, data.y_name, 6)};
    try {
      write_file_safely(a.plot, svg_plot<Real>(data.x, data.y, fit, labels, a.level, data.lines));
    } catch (const std::exception& e) {
      fail(e.what());
    }
  }
  if (a.json) {
    std::cout << fit_json(run, fit, extras).dump(2) << '\n';
  } else {
    print_tables(run, fit, stdout, extras);
  }
  std::cout.flush();
  return 0;
}

// Checks that an option's value is a T before its range is checked, so that
// "--degree two" is reported as what it is.
template <typename T>
CLI::Validator a_number(const char* what) {
  return CLI::Validator(
      [what](std::string& text) {
        T value{};
        return CLI::detail::lexical_cast(text, value)
                   ? std::string()
                   : "\"" + text + "\" is not " + what;
      },
      "");
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Fits a least-squares polynomial to two columns of a data file and prints the\n"
               "analysis of variance, the inference on coefficients, the sequential\n"
               "statistics and the tests of lack of fit.",
               "ksatfit"};
  app.set_version_flag("--version", "ksatfit " KSATFIT_VERSION);
  app.require_subcommand(1);
  // Options are spelled the same everywhere: on Windows a path such as
  // /data/lot3.csv must stay a file name, not become an option.
  app.allow_windows_style_options(false);
  Arguments a;
  CLI::App* fit = app.add_subcommand("fit", "fit a polynomial to a column file");
  fit->add_option("FILE", a.file, "the data file; - reads standard input")->required();
  auto* degree = fit->add_option("--degree", a.degree, "fit this degree (default 2)")
                     ->check(a_number<int>("a whole number"))
                     ->check(CLI::Range(0, 100));
  auto* max_degree =
      fit->add_option("--max-degree", a.max_degree, "the highest degree to consider")
          ->check(a_number<int>("a whole number"))
          ->check(CLI::Range(0, 100))
          ->excludes(degree);
  fit->add_option("--select", a.select,
                  "choose the degree: r2 (the lowest whose R-squared reaches CRIT %, default 99)\n"
                  "or lack-of-fit (the lowest without significant lack of fit at CRIT %, default 5)")
      ->check(CLI::IsMember({"r2", "lack-of-fit"}))
      ->needs(max_degree);
  fit->add_option("--crit", a.crit, "the criterion of --select, in percent")
      ->check(a_number<double>("a number"))
      ->check(CLI::Range(0.0, 100.0));
  fit->add_option("--x", a.columns.x, "the x column: 1-based number or header name (default 1)");
  fit->add_option("--y", a.columns.y, "the y column (default 2)");
  fit->add_option("--weight", a.columns.weight, "a column of weights");
  fit->add_option("--frequency", a.columns.frequency, "a column of frequencies");
  auto* scratch = fit->add_flag("--scratch", a.scratch,
                                "read FILE as a scratch file's pair records (x in columns 2-9,\n"
                                "y in columns 11-22)");
  for (const char* column : {"--x", "--y", "--weight", "--frequency"}) {
    fit->get_option(column)->excludes(scratch);
  }
  fit->add_option("--skip", a.skip, "pass over N lines first")
      ->check(a_number<int>("a whole number"))
      ->check(CLI::Range(0, std::numeric_limits<int>::max()));
  fit->add_option("--plot", a.plot, "write a plot of the fit to this SVG file");
  fit->add_flag("--json", a.json, "write the results as one JSON object instead of the tables");
  fit->add_option("--precision", a.precision,
                  "double (default): fit in double precision;\n"
                  "single: the programs' single-precision arithmetic, to the last bit")
      ->check(CLI::IsMember({"single", "double"}));
  fit->add_option("--level", a.level,
                  "the level of every confidence and prediction interval, in percent\n"
                  "(above 0 and below 100; default 95)")
      ->check(a_number<double>("a number"))
      ->check(CLI::Validator(
          [](std::string& text) {
            double value = 0;
            CLI::detail::lexical_cast(text, value);
            return value > 0 && value < 100 ? std::string()
                                            : text + " is not above 0 and below 100 (percent)";
          },
          ""));
  fit->add_option("--predict", a.predict,
                  "X[,X...]: the fitted value at each X with its confidence and prediction\n"
                  "intervals (may be given more than once)")
      ->allow_extra_args(false)
      ->check(CLI::Validator(
          [](std::string& text) {
            std::vector<double> ignored;
            const auto bad = read_number_list(text, ignored);
            return bad ? "\"" + *bad + "\" is not a number" : std::string();
          },
          ""));
  fit->add_flag("--cases", a.cases,
                "list every row's fitted value, residual, leverage, studentized residual,\n"
                "Cook's distance and flags");
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    fail(std::string(e.what()) + " (ksatfit fit --help shows the options)");
  }
  const std::string text = read_all(a.file);
  return a.precision == "single" ? run_fit<float>(a, text) : run_fit<double>(a, text);
}
