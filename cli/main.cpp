// ksatfit: fits a polynomial to two columns of a data file and prints the
// library's tables, or writes them as JSON, and optionally plots the fit;
// with --by, one fit per group of rows. The fit is computed in double
// precision, or with --precision single in the programs' own single-precision
// arithmetic. Every fit reports the coefficients' confidence intervals and
// names the readings that stand out; --predict and --cases add the
// predictions and every row's statistics.
// Exit status: 0 done, 1 the fit (or a group's fit) failed (a fatal condition
// of the library), 2 a usage or input error (nothing written then).
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
#include "cli/group_fits.hpp"
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

// The file's name in messages and headings.
std::string shown_name(const Arguments& a) { return a.file == "-" ? "(standard input)" : a.file; }

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

// The one fit behind both a whole file's and each group's: the data's rows
// with the options asked for, and what its report is to show.
// What the report shows beyond the fit: the predictions asked for, every
// row's statistics if asked, and the rows' line numbers in the file.
template <class Real>
BasicReportExtras<Real> extras_for(const Arguments& a, const BasicFitData<Real>& data,
                                   const BasicPolynomialFit<Real>& fit) {
  BasicReportExtras<Real> extras;
  extras.predictions =
      fit.predict(abscissas_to_predict<Real>(a.predict), static_cast<Real>(a.level / 100));
  extras.cases = a.cases;
  extras.lines = data.lines;
  return extras;
}

constexpr const char* kNoWeight = "no row carries weight (every weight or frequency is 0)";

template <class Real>
FitOutcome<Real> fit_data(const Arguments& a, const BasicFitData<Real>& data, std::string group) {
  FitOutcome<Real> outcome{std::move(group), std::nullopt, {}, std::nullopt};
  if (no_row_carries_weight(data)) {
    // The tool's own condition, not the library's: no routine, no code.
    outcome.error = FitMessage{4, 0, "", kNoWeight};
    return outcome;
  }
  try {
    outcome.fit = fit_polynomial(data.x, data.y, options_for(a, data));
  } catch (const FitError& e) {
    outcome.error = FitMessage{e.type(), e.code(), e.routine(), e.what()};
    return outcome;
  }
  outcome.extras = extras_for(a, data, *outcome.fit);
  return outcome;
}

// The library's messages of a fit on standard error: the condition that
// stopped it, naming `where` it happened, or its warnings after `prefix`.
template <class Real>
void report_messages(const FitOutcome<Real>& outcome, const std::string& where,
                     const std::string& prefix) {
  if (outcome.error) {
    const FitMessage& e = *outcome.error;
    const std::string source =
        e.routine.empty() ? "" : " (" + e.routine + ", code " + std::to_string(e.code) + ")";
    std::fprintf(stderr, "ksatfit: %s: the fit failed: %s%s\n", where.c_str(), e.text.c_str(),
                 source.c_str());
    return;
  }
  for (const auto& w : outcome.fit->warnings) {
    std::fprintf(stderr, "ksatfit: %swarning from %s (type %d, code %d): %s\n", prefix.c_str(),
                 w.routine.c_str(), w.type, w.code, w.text.c_str());
  }
}

template <class Real>
RunDescription describe(const Arguments& a, const BasicFitData<Real>& data) {
  RunDescription run;
  run.file = shown_name(a);
  run.x_name = data.x_name;
  run.y_name = data.y_name;
  run.weight_name = a.columns.weight;
  run.frequency_name = a.columns.frequency;
  run.selection = a.select;
  run.crit = a.select.empty() ? 0.0 : requested_crit(a);
  run.level = a.level;
  run.by = data.group_name;
  return run;
}

// "ksat against depth (lot3.csv)", with " by lot" in a fit by group.
template <class Real>
std::string plot_title(const Arguments& a, const BasicFitData<Real>& data) {
  const std::string source =
      a.file == "-" ? shown_name(a) : std::filesystem::path(a.file).filename().string();
  const std::string by = data.group_name.empty() ? "" : " by " + data.group_name;
  return data.y_name + " against " + data.x_name + by + " (" + source + ")";
}

void write_plot(const std::string& path, const std::string& svg) {
  try {
    write_file_safely(path, svg);
  } catch (const std::exception& e) {
    fail(e.what());
  }
}

template <class Real>
int run_fit(const Arguments& a, const BasicFitData<Real>& data) {
  const FitOutcome<Real> outcome = fit_data(a, data, {});
  report_messages(outcome, shown_name(a), "");
  if (outcome.error) return 1;
  const BasicPolynomialFit<Real>& fit = *outcome.fit;
  const RunDescription run = describe(a, data);
  const BasicReportExtras<Real>& extras = outcome.extras;
  if (!a.plot.empty()) {
    const PlotText labels{plot_title(a, data), data.x_name, data.y_name,
                          equation_text(fit, data.y_name, 6)};
    write_plot(a.plot, svg_plot<Real>(data.x, data.y, fit, labels, a.level, data.lines));
  }
  if (a.json) {
    std::cout << fit_json(run, fit, extras).dump(2) << '\n';
  } else {
    print_tables(run, fit, stdout, extras);
  }
  std::cout.flush();
  return 0;
}

// More panels than this make a page nobody reads.
constexpr std::size_t kMostPanels = 100;

// Each group's rows fitted as a file of their own; every group is written,
// and the status is 1 when any group's fit failed.
template <class Real>
int run_group_fits(const Arguments& a, const BasicFitData<Real>& data) {
  const std::string shown = shown_name(a);
  const Groups groups = group_rows(data.groups);
  const std::string column = "column \"" + data.group_name + "\"";
  if (groups.names.empty()) fail(shown + ": no row has a value in " + column);
  if (!a.plot.empty() && groups.names.size() > kMostPanels) {
    fail("--plot draws at most " + std::to_string(kMostPanels) + " groups, and " + column +
         " of " + shown + " has " + std::to_string(groups.names.size()));
  }
  if (groups.without_group > 0) {
    const bool one = groups.without_group == 1;
    std::fprintf(stderr, "ksatfit: %s: %s %s no value in %s and %s left out\n", shown.c_str(),
                 std::to_string(groups.without_group).c_str(), one ? "row has" : "rows have",
                 column.c_str(), one ? "was" : "were");
  }

  std::vector<BasicFitData<Real>> parts;
  std::vector<FitOutcome<Real>> fits;
  fits.reserve(groups.names.size());
  bool failed = false;
  for (std::size_t g = 0; g < groups.names.size(); ++g) {
    BasicFitData<Real> part = rows_of(data, groups.rows[g]);
    fits.push_back(fit_data(a, part, groups.names[g]));
    const std::string group = "group \"" + groups.names[g] + "\"";
    report_messages(fits.back(), shown + ", " + group, group + ": ");
    failed = failed || fits.back().error.has_value();
    if (!a.plot.empty()) parts.push_back(std::move(part));
  }

  if (!a.plot.empty()) {
    std::vector<PlotPanel<Real>> panels;
    for (std::size_t g = 0; g < fits.size(); ++g) {
      panels.push_back({fits[g].group, parts[g].x, parts[g].y,
                        fits[g].fit ? &*fits[g].fit : nullptr, parts[g].lines});
    }
    const PlotText labels{plot_title(a, data), data.x_name, data.y_name, ""};
    write_plot(a.plot, svg_small_multiples<Real>(panels, labels, a.level));
  }
  RunDescription run = describe(a, data);
  if (a.json) {
    std::string lines;
    for (const auto& f : fits) {
      run.group = f.group;
      lines += (f.fit ? fit_json(run, *f.fit, f.extras) : failure_json<Real>(run, *f.error)).dump();
      lines += '\n';
    }
    std::cout << lines;
  } else {
    print_group_table(run, fits, stdout);
  }
  std::cout.flush();
  return failed ? 1 : 0;
}

template <class Real>
int run(const Arguments& a, const std::string& text) {
  BasicFitData<Real> data;
  try {
    data = a.scratch ? read_scratch<Real>(text, a.skip)
                     : read_columns<Real>(text, a.columns, a.skip);
  } catch (const InputError& e) {
    fail(shown_name(a) + ": " + e.what());
  }
  if (!a.columns.group.empty()) return run_group_fits(a, data);
  if (no_row_carries_weight(data)) fail(shown_name(a) + ": " + kNoWeight);
  return run_fit(a, data);
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
  fit->add_option("--by", a.columns.group,
                  "fit each group of rows apart: the groups are the distinct values of this\n"
                  "column; one summary table (or a JSON line per group), and with --plot\n"
                  "a panel per group (at most 100)");
  auto* scratch = fit->add_flag("--scratch", a.scratch,
                                "read FILE as a scratch file's pair records (x in columns 2-9,\n"
                                "y in columns 11-22)");
  for (const char* column : {"--x", "--y", "--weight", "--frequency", "--by"}) {
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
  return a.precision == "single" ? run<float>(a, text) : run<double>(a, text);
}
