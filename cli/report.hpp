// What the tool writes about a fit: the heading and the library's tables on
// standard output, or one JSON object; and the text of the fitted equation,
// shared with the plot's caption.
#pragma once

#include <cstdio>
#include <string>

#include <nlohmann/json.hpp>

#include "ksatfit/fit.hpp"

namespace ksatfit::cli {

// What the run was asked and read, for the heading and the JSON.
struct RunDescription {
  std::string file;
  std::string x_name, y_name, weight_name, frequency_name;  // empty: not used
  std::string selection;                                    // "", "r2" or "lack-of-fit"
  double crit = 0;
  std::string by;     // the group column of a fit by group, else empty
  std::string group;  // the group fitted, in a fit by group
};

// "y = 1.5 + 0.25 x - 3e-05 x^2" with the coefficients in the shortest form
// that reads back as the same float (double, for a fit in double).
template <class Real>
std::string equation_text(const BasicPolynomialFit<Real>& fit, const std::string& y_name);

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
// through the table writers (on the unit of UMACH entry 2). The tables show
// four or five digits, which a float holds: a double fit's figures are
// rounded to float for them.
template <class Real>
void print_tables(const RunDescription& run, const BasicPolynomialFit<Real>& fit, std::FILE* out);

// The fit as one JSON object, with its "precision" ("single" or "double");
// NaN and infinities are null. A number reads back as the same float (or
// double). In a fit by group, "group" follows "file".
template <class Real>
nlohmann::ordered_json fit_json(const RunDescription& run, const BasicPolynomialFit<Real>& fit);

// What a fit that failed has to show in JSON: the run's description as in
// fit_json, then "error" with the condition's type, code, routine and text.
template <class Real>
nlohmann::ordered_json failure_json(const RunDescription& run, const FitMessage& error);

}  // namespace ksatfit::cli
