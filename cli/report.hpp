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
  float crit = 0;
};

// "y = 1.5 + 0.25 x - 3e-05 x^2" with the coefficients in the shortest form
// that reads back as the same float.
std::string equation_text(const PolynomialFit& fit, const std::string& y_name);

// A float as text, shortest form that reads back as the same float.
std::string shortest(float value);

// The heading, then the tables of the fit through the table writers (on the
// unit of UMACH entry 2).
void print_tables(const RunDescription& run, const PolynomialFit& fit, std::FILE* out);

// The fit as one JSON object; NaN and infinities are null.
nlohmann::ordered_json fit_json(const RunDescription& run, const PolynomialFit& fit);

}  // namespace ksatfit::cli
