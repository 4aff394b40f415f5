// What the tool writes about a fit: the heading and the library's tables on
// standard output, or one JSON object; and the text of the fitted equation,
// shared with the plot's caption.
#pragma once

#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "ksatfit/fit.hpp"
#include "tables/table_layout.hpp"

namespace ksatfit::cli {

// What the run was asked and read, for the heading and the JSON.
struct RunDescription {
  std::string file;
  std::string x_name, y_name, weight_name, frequency_name;  // empty: not used
  std::string selection;                                    // "", "r2" or "lack-of-fit"
  double crit = 0;
  double level = 95;  // percent, in (0, 100): the level of every interval
  std::string by;     // the group column of a fit by group, else empty
  std::string group;  // the group fitted, in a fit by group
};

// What a report shows beyond the fit itself.
template <class Real>
struct BasicReportExtras {
  // The predictions to show (fit.predict at run.level / 100): the table
  // "Predictions (95 %)" and the JSON "predictions", both only when not empty.
  std::vector<BasicPrediction<Real>> predictions;
  // Show every row's statistics (the table and the JSON "cases"); without it
  // one line names the flagged readings, if any. Both read fit.cases, which
  // FitOptions::case_statistics fills (left empty, no row is shown or flagged).
  bool cases = false;
  // The line number of each input row in its file, indexed by
  // fit.cases[i].row; empty: the rows are numbered 1, 2, ...
  std::vector<int> lines;
};
using ReportExtras = BasicReportExtras<float>;
using DoubleReportExtras = BasicReportExtras<double>;

// "y = 1.5 + 0.25 x - 3e-05 x^2" with the coefficients in the shortest form
// that reads back as the same float (double, for a fit in double), or with
// `significant` significant digits when that is above 0.
template <class Real>
std::string equation_text(const BasicPolynomialFit<Real>& fit, const std::string& y_name,
                          int significant = 0);

// The rows that fit.cases flags as outliers or influential, in input order.
template <class Real>
std::vector<BasicCaseStatistics<Real>> flagged_cases(const BasicPolynomialFit<Real>& fit);

// The input line number of a row: lines[row], or row + 1 without lines.
int line_of(std::span<const int> lines, int row);

// "2 readings flagged: line 14 (studentized residual 3.4), line 27 (Cook's
// distance 0.61); --cases lists every row", or empty when none is flagged.
template <class Real>
std::string flagged_summary(const BasicPolynomialFit<Real>& fit, const std::vector<int>& lines);

// The lack-of-fit tests mean something only with replicated x: pure error
// with degrees of freedom.
template <class Real>
bool lack_of_fit_testable(const BasicPolynomialFit<Real>& fit);

// A float (double) as text, shortest form that reads back as the same value.
std::string shortest(float value);
std::string shortest(double value);

// The first lines of the heading: the file, the precision of Real, and the
// columns used.
template <class Real>
void print_heading(const RunDescription& run, std::FILE* out);

// "asked for 2", or "at most 4, lowest with R-squared >= 99 %".
std::string degree_request(const RunDescription& run, int degree);

// The heading, with the precision of the fit, then the tables of the fit
// through the table writers (on the unit of UMACH entry 2): the analysis of
// variance, the coefficients and their confidence intervals at run.level,
// the sequential statistics, the tests of lack of fit, the predictions and
// the rows' statistics asked for in `extras`, or the line naming the flagged
// readings. The tables show four or five digits, which a float holds: a
// double fit's figures are rounded to float for them. A t or F value too wide
// for its fixed-point column turns that column to significant-digit form.
template <class Real>
void print_tables(const RunDescription& run, const BasicPolynomialFit<Real>& fit, std::FILE* out,
                  const BasicReportExtras<Real>& extras = {});

// The end of print_tables alone: the predictions of `extras` (if any), then
// every row's statistics (if asked) or the line naming the flagged readings.
template <class Real>
void print_extras(const RunDescription& run, const BasicPolynomialFit<Real>& fit,
                  const BasicReportExtras<Real>& extras, std::FILE* out);

// Writes a table through the table writer on a page 132 columns wide (the
// line printer's), for the tool's tables that are wider than a screen; the
// page width is put back after.
void print_wide(const TextTable& t);

// The fit as one JSON object, with its "precision" ("single" or "double"),
// its "level" (percent), each coefficient's interval, the covariance, the
// "predictions" and "cases" of `extras` when asked and the "flagged" line
// numbers; NaN and infinities are null. A number reads back as the same
// float (or double). In a fit by group, "group" follows "file".
template <class Real>
nlohmann::ordered_json fit_json(const RunDescription& run, const BasicPolynomialFit<Real>& fit,
                                const BasicReportExtras<Real>& extras = {});

// What a fit that failed has to show in JSON: the run's description as in
// fit_json, then "error" with the condition's type, code, routine and text.
template <class Real>
nlohmann::ordered_json failure_json(const RunDescription& run, const FitMessage& error);

}  // namespace ksatfit::cli
