// Fits by group (ksatfit fit --by COL): the rows of each distinct value of the
// group column, each group's rows as a data set of their own, and the summary
// table with one row per group.
#pragma once

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/column_file.hpp"
#include "cli/report.hpp"
#include "ksatfit/fit.hpp"

namespace ksatfit::cli {

// The groups of a group column: each distinct text, in the order of its first
// appearance, with the 0-based indices of its rows in file order. A cell that
// is empty or NA belongs to no group; such rows are only counted.
struct Groups {
  std::vector<std::string> names;
  std::vector<std::vector<std::size_t>> rows;  // one list per name
  std::size_t without_group = 0;
};
Groups group_rows(const std::vector<std::string>& cells);

// The data of the rows given, in their order, as if read from a file that
// held only those rows.
template <class Real>
BasicFitData<Real> rows_of(const BasicFitData<Real>& data, const std::vector<std::size_t>& rows);

// A fit (of a whole file, or of a group's rows), or the fatal condition that
// stopped it.
template <class Real>
struct FitOutcome {
  std::string group;  // empty for a whole file
  std::optional<BasicPolynomialFit<Real>> fit;
  BasicReportExtras<Real> extras;  // what the fit's report shows besides
  std::optional<FitMessage> error;
};

// The summary table, one row per group: rows used and left out, the degree
// fitted, the coefficients, R-squared, the SD of the model error, the
// lack-of-fit probability where x is replicated, the number of readings
// flagged as outliers or influential, and a short note of the
// group's error or first warning. Written through the table writer like the
// tool's other tables, on a wide page, after a heading that names file, columns (run.by the
// group column) and precision. Then each group's predictions and row
// statistics where asked, or a line counting the flagged readings.
template <class Real>
void print_group_table(const RunDescription& run, const std::vector<FitOutcome<Real>>& fits,
                       std::FILE* out);

// The first words of a message, cut at a blank to at most `limit` characters
// with "..." after them.
std::string brief(const std::string& text, std::size_t limit);

}  // namespace ksatfit::cli
