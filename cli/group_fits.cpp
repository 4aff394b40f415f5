#include "cli/group_fits.hpp"

#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "tables/edit_list.hpp"
#include "tables/table_layout.hpp"

namespace ksatfit::cli {
namespace {

bool has_no_group(std::string_view cell) { return cell.empty() || cell == "NA"; }

template <class Real>
void take(const std::vector<Real>& from, const std::vector<std::size_t>& rows,
          std::vector<Real>& to) {
  if (from.empty()) return;
  to.reserve(rows.size());
  for (std::size_t i : rows) to.push_back(from[i]);
}

// The formats of the summary's columns: those of the coefficients' table.
constexpr FieldEdit kCount{'I', 6, 0};
constexpr FieldEdit kFigure{'W', 10, 4};
constexpr FieldEdit kProbability{'F', 7, 4};

// A column of a figure of each fit; `value` gives the figure, or nothing to
// show, and a group whose fit failed shows nothing.
template <class Real, class Value>
TableColumn number_column(std::vector<std::string> heading, const FieldEdit& edit,
                          const std::vector<FitOutcome<Real>>& fits, Value value) {
  TableColumn column{std::move(heading), edit.w, {}};
  column.cells.reserve(fits.size());
  for (const auto& g : fits) {
    const std::optional<double> v = g.fit ? std::optional<double>(value(*g.fit)) : std::nullopt;
    column.cells.push_back(v ? T1EDIT(static_cast<float>(*v), edit) : std::string());
  }
  return column;
}

template <class Real>
std::optional<Real> lack_of_fit_p(const BasicPolynomialFit<Real>& fit) {
  if (!lack_of_fit_testable(fit) || fit.degree_fitted < 1) return std::nullopt;
  return fit.lack_of_fit[static_cast<std::size_t>(fit.degree_fitted) - 1].p;
}

// The readings flagged as outliers or as influential.
template <class Real>
std::ptrdiff_t flagged(const BasicPolynomialFit<Real>& fit) {
  return std::count_if(fit.cases.begin(), fit.cases.end(),
                       [](const auto& c) { return c.outlier || c.influential; });
}

// The note of a group: its error, else its first warning (and how many more).
template <class Real>
std::string note(const FitOutcome<Real>& g) {
  // The start of the message only: the whole of it is on standard error.
  constexpr std::size_t kLimit = 40;
  if (g.error) return "failed: " + brief(g.error->text, kLimit);
  if (g.fit->warnings.empty()) return {};
  std::string text = "warning: " + brief(g.fit->warnings.front().text, kLimit);
  if (g.fit->warnings.size() > 1) {
    text += " (+" + std::to_string(g.fit->warnings.size() - 1) + ")";
  }
  return text;
}

// A column of text, left-aligned under a heading of its own.
TableColumn text_column(const std::string& heading, std::vector<std::string> cells) {
  std::size_t width = heading.size();
  for (const auto& c : cells) width = std::max(width, c.size());
  for (auto& c : cells) c.resize(width, ' ');
  std::string head = heading;
  head.resize(width, ' ');
  return {{std::move(head)}, static_cast<int>(width), std::move(cells)};
}

}  // namespace

Groups group_rows(const std::vector<std::string>& cells) {
  Groups groups;
  std::unordered_map<std::string_view, std::size_t> index;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (has_no_group(cells[i])) {
      ++groups.without_group;
      continue;
    }
    const auto [it, added] = index.try_emplace(cells[i], groups.names.size());
    if (added) {
      groups.names.push_back(cells[i]);
      groups.rows.emplace_back();
    }
    groups.rows[it->second].push_back(i);
  }
  return groups;
}

template <class Real>
BasicFitData<Real> rows_of(const BasicFitData<Real>& data, const std::vector<std::size_t>& rows) {
  BasicFitData<Real> part;
  part.x_name = data.x_name;
  part.y_name = data.y_name;
  part.separator = data.separator;
  part.has_header = data.has_header;
  take(data.x, rows, part.x);
  take(data.y, rows, part.y);
  take(data.weights, rows, part.weights);
  take(data.frequencies, rows, part.frequencies);
  take(data.lines, rows, part.lines);
  return part;
}

std::string brief(const std::string& text, std::size_t limit) {
  if (text.size() <= limit) return text;
  const std::size_t blank = text.rfind(' ', limit - 3);
  std::string_view cut(text.data(), blank == std::string::npos || blank == 0 ? limit - 3 : blank);
  while (!cut.empty() && (cut.back() == ' ' || cut.back() == '.')) cut.remove_suffix(1);
  return std::string(cut) + "...";
}

template <class Real>
void print_group_table(const RunDescription& run, const std::vector<FitOutcome<Real>>& fits,
                       std::FILE* out) {
  print_heading<Real>(run, out);
  int degree = 0;
  int failed = 0;
  for (const auto& g : fits) {
    if (g.fit) degree = std::max(degree, g.fit->degree);
    if (g.error) ++failed;
  }
  std::fprintf(out, "   groups: %s   failed: %d   degree: %s\n",
               std::to_string(fits.size()).c_str(), failed, degree_request(run, degree).c_str());
  std::fflush(out);

  using Fit = BasicPolynomialFit<Real>;
  TextTable t;
  t.title = {"", "* * * Fits by Group * * *"};
  t.label_heading = {run.by};
  for (const auto& g : fits) t.labels.push_back(g.group);
  t.columns.push_back(
      number_column({"Rows", "Used"}, kCount, fits, [](const Fit& f) { return f.n_used; }));
  t.columns.push_back(
      number_column({"Left", "Out"}, kCount, fits, [](const Fit& f) { return f.n_missing; }));
  t.columns.push_back(
      number_column({"Degree"}, kCount, fits, [](const Fit& f) { return f.degree_fitted; }));
  for (int k = 0; k <= degree; ++k) {
    std::string name(1, 'b');  // (not "b" + ...: a false -Wrestrict in GCC 12)
    name += std::to_string(k);
    t.columns.push_back(number_column({std::move(name)}, kFigure, fits, [k](const Fit& f) {
      // Nothing above the degree fitted.
      return k <= f.degree_fitted
                 ? std::optional<double>(f.coefficients[static_cast<std::size_t>(k)])
                 : std::nullopt;
    }));
  }
  t.columns.push_back(
      number_column({"R-squared", "(%)"}, kFigure, fits, [](const Fit& f) { return f.r_squared; }));
  t.columns.push_back(number_column({"SD of", "Error"}, kFigure, fits,
                                    [](const Fit& f) { return f.anova.sd_error; }));
  t.columns.push_back(
      number_column({"Lack-of-Fit", "Prob."}, kProbability, fits, &lack_of_fit_p<Real>));
  t.columns.push_back(number_column({"Flagged"}, kCount, fits, &flagged<Real>));
  std::vector<std::string> notes;
  notes.reserve(fits.size());
  for (const auto& g : fits) notes.push_back(note(g));
  if (std::any_of(notes.begin(), notes.end(), [](const auto& n) { return !n.empty(); })) {
    t.columns.push_back(text_column("Note", std::move(notes)));
  }
  print_wide(t);

  // Each group's predictions and row statistics, when asked, under its name;
  // otherwise one line counts the flagged readings.
  std::ptrdiff_t readings = 0;
  int groups = 0;
  for (const auto& g : fits) {
    if (!g.fit) continue;
    if (!g.extras.predictions.empty() || g.extras.cases) {
      std::fprintf(out, "\n %s \"%s\":\n", run.by.c_str(), g.group.c_str());
      std::fflush(out);
      print_extras(run, *g.fit, g.extras, out);
    } else if (const std::ptrdiff_t n = flagged(*g.fit); n > 0) {
      readings += n;
      ++groups;
    }
  }
  if (readings > 0) {
    std::fprintf(out, "\n %s flagged in %d %s; --cases lists every row\n",
                 (std::to_string(readings) + (readings == 1 ? " reading" : " readings")).c_str(),
                 groups, groups == 1 ? "group" : "groups");
  }
}

template FitData rows_of(const FitData&, const std::vector<std::size_t>&);
template BasicFitData<double> rows_of(const BasicFitData<double>&, const std::vector<std::size_t>&);
template void print_group_table(const RunDescription&, const std::vector<FitOutcome<float>>&,
                                std::FILE*);
template void print_group_table(const RunDescription&, const std::vector<FitOutcome<double>>&,
                                std::FILE*);

}  // namespace ksatfit::cli
