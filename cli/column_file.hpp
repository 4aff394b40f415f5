// Reading the data of a fit: column files (comma, semicolon, tab or blank
// separated, detected per file) and the programs' scratch files of pair
// records. Bad input is reported as an InputError that names the line and,
// where there is one, the column; nothing is read partially.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace ksatfit::cli {

class InputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The columns a fit asks for: 1-based numbers ("2") or header names ("y");
// an empty text means "not used". The group column is read as text.
struct ColumnRequest {
  std::string x, y, weight, frequency;
  std::string group = {};  // defaulted: a request of the four others is whole
};

// The columns read, one value per data row, each decimal number correctly
// rounded to Real (float or double); missing cells are NaN.
template <class Real>
struct BasicFitData {
  std::string x_name, y_name;
  std::vector<Real> x, y, weights, frequencies;  // weights, frequencies empty when unused
  std::vector<int> lines;                       // each row's 1-based line number in the text
  std::string group_name;
  std::vector<std::string> groups;  // the group column's cells as written; empty when unused
  char separator = ' ';                         // ',', ';', '\t' or ' ' (blanks)
  bool has_header = false;
};
using FitData = BasicFitData<float>;

// Parses a column file's text. `skip` lines are passed over first; then
// lines whose first non-blank character is '#' and blank lines are ignored.
template <class Real = float>
BasicFitData<Real> read_columns(std::string_view text, const ColumnRequest& columns, int skip);

// Parses a scratch file's pair records: x in columns 2 to 9 (F8.2), y in
// columns 11 to 22 (E12.5), after `skip` lines. Empty lines are ignored.
template <class Real = float>
BasicFitData<Real> read_scratch(std::string_view text, int skip);

}  // namespace ksatfit::cli
