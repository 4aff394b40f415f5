#include "cli/report.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>
#include <vector>

#include "ksatfit/tables.hpp"
#include "tables/edit_list.hpp"
#include "tables/table_layout.hpp"

namespace ksatfit::cli {
namespace {

using Json = nlohmann::ordered_json;

// The JSON number of a float: the double nearest to the float's shortest
// decimal form, so that the text written is that form and a reader converting
// it to float gets the float back.
Json number(float value) {
  if (!std::isfinite(value)) return nullptr;
  const std::string text = shortest(value);
  double wide = 0;
  std::from_chars(text.data(), text.data() + text.size(), wide);
  return wide;
}

// A double is written in the shortest form that reads back as itself.
Json number(double value) {
  if (!std::isfinite(value)) return nullptr;
  return value;
}

const char* precision_name(float) { return "single"; }
const char* precision_name(double) { return "double"; }

template <class Real>
Json f_test(const BasicFTest<Real>& row, int degree) {
  return Json{{"degree", degree}, {"df", number(row.df)}, {"ss", number(row.ss)},
              {"f", number(row.f)}, {"p", number(row.p)}};
}

Json name_or_null(const std::string& name) { return name.empty() ? Json(nullptr) : Json(name); }

Json message_json(const FitMessage& m) {
  return {{"type", m.type}, {"code", m.code}, {"routine", name_or_null(m.routine)},
          {"text", m.text}};
}

// What was asked of the run, the start of every object it writes.
template <class Real>
Json description_json(const RunDescription& run) {
  Json j = {{"file", run.file}};
  if (!run.by.empty()) j["group"] = run.group;
  j["precision"] = precision_name(Real{});
  j["x"] = run.x_name;
  j["y"] = run.y_name;
  j["weight"] = name_or_null(run.weight_name);
  j["frequency"] = name_or_null(run.frequency_name);
  j["selection"] = run.selection.empty()
                       ? Json(nullptr)
                       : Json{{"rule", run.selection}, {"crit", number(run.crit)}};
  j["level"] = number(run.level);
  return j;
}

// A matrix of F tests, one row per degree, in column order for TABMAT.
template <class Real>
std::vector<float> test_matrix(const std::vector<BasicFTest<Real>>& rows) {
  const std::size_t n = rows.size();
  std::vector<float> m(4 * n);
  for (std::size_t i = 0; i < n; ++i) {
    m[i] = static_cast<float>(rows[i].df);
    m[n + i] = static_cast<float>(rows[i].ss);
    m[2 * n + i] = static_cast<float>(rows[i].f);
    m[3 * n + i] = static_cast<float>(rows[i].p);
  }
  return m;
}

constexpr std::string_view kFormat = "(2W10.4,F9.3,F7.4)";
// The same table when a t or F value would fill its F9.3 field with asterisks.
constexpr std::string_view kWideFormat = "(3W10.4,F7.4)";
constexpr FieldEdit kStatistic{'F', 9, 3};
constexpr FieldEdit kWideStatistic{'W', 10, 4};

bool fits(float value, const FieldEdit& edit) {
  const std::string text = T1EDIT(value, edit);
  return text.find_first_not_of('*') != std::string::npos;
}

// The format of a four-column table whose third column (rows n) holds t or F.
std::string_view format_of(const std::vector<float>& m, std::size_t n) {
  const bool all_fit = std::all_of(m.begin() + 2 * n, m.begin() + 3 * n,
                                   [](float v) { return fits(v, kStatistic); });
  return all_fit ? kFormat : kWideFormat;
}
constexpr std::string_view kDegreeHeading = "Degree of%/Polynomial";
constexpr std::string_view kTestHeadings[] = {"Degrees of%/Freedom", "Sum of%/Squares",
                                              "%/F-statistic", "Prob. of%/Larger F"};

}  // namespace

template <class Real>
bool lack_of_fit_testable(const BasicPolynomialFit<Real>& fit) {
  return fit.pure_error && fit.pure_error->df > 0 && !fit.lack_of_fit.empty();
}

namespace {

std::string significant_digits(double value, int digits) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.*g", digits, value);
  return buffer;
}

// A statistic to two significant digits, or its whole part when that is longer.
std::string two_digits(double value) {
  const int before_point = static_cast<int>(std::floor(std::log10(std::fabs(value)))) + 1;
  return significant_digits(value, std::max(2, before_point));
}

std::string level_text(const RunDescription& run) { return shortest(run.level) + " %"; }

const char* row_note(bool used, double weight, double frequency, bool outlier, bool influential) {
  if (!used) return "missing value";
  if (!(weight > 0)) return "weight 0";
  if (!(frequency > 0)) return "frequency 0";
  if (outlier && influential) return "outlier, influential";
  if (outlier) return "outlier";
  if (influential) return "influential";
  return "";
}

template <class Real>
void print_confidence_intervals(const RunDescription& run, const BasicPolynomialFit<Real>& fit) {
  const auto intervals = fit.confidence_intervals(static_cast<Real>(run.level / 100));
  const std::size_t n = intervals.size();
  std::vector<float> m(2 * n);
  for (std::size_t i = 0; i < n; ++i) {
    m[i] = static_cast<float>(intervals[i].lower);
    m[n + i] = static_cast<float>(intervals[i].upper);
  }
  static constexpr std::string_view kHeadings[] = {"Lower%/Limit", "Upper%/Limit"};
  const std::string title = "%/* * * Confidence intervals (" + level_text(run) + ") * * *";
  TABMAT(title, static_cast<int>(n), 2, m.data(), static_cast<int>(n), "(2W10.4)", "%/Coef.",
         nullptr, kHeadings);
}

template <class Real>
void print_predictions(const RunDescription& run,
                       const std::vector<BasicPrediction<Real>>& predictions) {
  const std::size_t n = predictions.size();
  std::vector<float> m(6 * n);
  std::vector<std::string> labels;
  for (std::size_t i = 0; i < n; ++i) {
    const BasicPrediction<Real>& p = predictions[i];
    labels.push_back(shortest(p.x));
    const Real row[] = {p.fitted,           p.se_fit,           p.confidence_lower,
                        p.confidence_upper, p.prediction_lower, p.prediction_upper};
    for (std::size_t j = 0; j < 6; ++j) m[j * n + i] = static_cast<float>(row[j]);
  }
  const std::vector<std::string_view> label_views(labels.begin(), labels.end());
  static constexpr std::string_view kHeadings[] = {
      "Fitted%/Value",     "Standard%/Error",   "Lower%/Confidence",
      "Upper%/Confidence", "Lower%/Prediction", "Upper%/Prediction"};
  const std::string title = "%/* * * Predictions (" + level_text(run) + ") * * *";
  TABMAT(title, static_cast<int>(n), 6, m.data(), static_cast<int>(n), "(6W10.4)",
         "%/" + run.x_name, label_views.data(), kHeadings);
}

// The statistics of every row, with a column of text: written through the
// table layout directly, on a page 132 columns wide for the time.
template <class Real>
void print_cases(const BasicPolynomialFit<Real>& fit, const std::vector<int>& lines) {
  static constexpr FieldEdit kValue{'W', 10, 4};
  static constexpr FieldEdit kLeverage{'F', 8, 4};
  static constexpr FieldEdit kDistance{'F', 9, 4};
  const auto all_fit = [&](Real BasicCaseStatistics<Real>::*member, const FieldEdit& edit) {
    return std::all_of(fit.cases.begin(), fit.cases.end(), [&](const auto& c) {
      return fits(static_cast<float>(c.*member), edit);
    });
  };
  const FieldEdit& statistic =
      all_fit(&BasicCaseStatistics<Real>::studentized_residual, kStatistic) ? kStatistic
                                                                            : kWideStatistic;
  const FieldEdit& distance =
      all_fit(&BasicCaseStatistics<Real>::cooks_distance, kDistance) ? kDistance : kWideStatistic;
  std::vector<std::string> notes;
  std::size_t note_width = 5;  // "Flags"
  for (const auto& c : fit.cases) {
    notes.emplace_back(row_note(c.used, c.weight, c.frequency, c.outlier, c.influential));
    note_width = std::max(note_width, notes.back().size());
  }
  TextTable t;
  t.title = T1LINES("%/* * * Statistics of the Rows * * *");
  t.label_heading = T1LINES("%/Line");
  t.labels_right = true;
  const auto column = [](std::string_view heading, int width) {
    TableColumn c;
    c.heading = T1LINES(heading);
    c.width = width;
    return c;
  };
  std::vector<TableColumn> columns = {
      column("%/x", kValue.w),           column("%/y", kValue.w),
      column("%/Fitted", kValue.w),      column("%/Residual", kValue.w),
      column("%/Leverage", kLeverage.w), column("Studentized%/Residual", statistic.w),
      column("Cook's%/Distance", distance.w), column("%/Flags", static_cast<int>(note_width))};
  for (std::size_t i = 0; i < fit.cases.size(); ++i) {
    const auto& c = fit.cases[i];
    t.labels.push_back(std::to_string(line_of(lines, c.row)));
    const std::pair<Real, const FieldEdit*> cells[] = {
        {c.x, &kValue},           {c.y, &kValue},        {c.fitted, &kValue},
        {c.residual, &kValue},    {c.leverage, &kLeverage}, {c.studentized_residual, &statistic},
        {c.cooks_distance, &distance}};
    for (std::size_t j = 0; j < std::size(cells); ++j) {
      columns[j].cells.push_back(T1EDIT(static_cast<float>(cells[j].first), *cells[j].second));
    }
    notes[i].resize(note_width, ' ');
    columns.back().cells.push_back(notes[i]);
  }
  t.columns = std::move(columns);
  print_wide(t);
}

}  // namespace

void print_wide(const TextTable& t) {
  int width = 0;
  TABGET(1, width);
  TABSET(1, 132);
  T1TAB(t);
  TABSET(1, width);
}

std::string shortest(float value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string shortest(double value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

template <class Real>
std::string equation_text(const BasicPolynomialFit<Real>& fit, const std::string& y_name,
                          int significant) {
  const auto shown = [&](Real v) {
    return significant > 0 ? significant_digits(v, significant) : shortest(v);
  };
  std::string text = y_name + " =";
  for (int k = 0; k <= fit.degree_fitted; ++k) {
    const Real c = fit.coefficients[static_cast<std::size_t>(k)];
    const std::string magnitude = shown(std::fabs(c));
    if (k == 0) {
      text += ' ';
      text += shown(c);
    } else {
      text += std::signbit(c) ? " - " : " + ";
      text += magnitude;
      text += " x";
      if (k > 1) {
        text += '^';
        text += std::to_string(k);
      }
    }
  }
  return text;
}

int line_of(std::span<const int> lines, int row) {
  const auto i = static_cast<std::size_t>(row);
  return i < lines.size() ? lines[i] : row + 1;
}

template <class Real>
std::vector<BasicCaseStatistics<Real>> flagged_cases(const BasicPolynomialFit<Real>& fit) {
  std::vector<BasicCaseStatistics<Real>> flagged;
  for (const auto& c : fit.cases) {
    if (c.outlier || c.influential) flagged.push_back(c);
  }
  return flagged;
}

template <class Real>
std::string flagged_summary(const BasicPolynomialFit<Real>& fit, const std::vector<int>& lines) {
  const auto flagged = flagged_cases(fit);
  if (flagged.empty()) return "";
  std::string text = std::to_string(flagged.size()) +
                     (flagged.size() == 1 ? " reading flagged: " : " readings flagged: ");
  for (std::size_t i = 0; i < flagged.size(); ++i) {
    const auto& c = flagged[i];
    text += (i == 0 ? "line " : ", line ") + std::to_string(line_of(lines, c.row)) + " (";
    if (c.outlier) text += "studentized residual " + two_digits(c.studentized_residual);
    if (c.outlier && c.influential) text += ", ";
    if (c.influential) text += "Cook's distance " + two_digits(c.cooks_distance);
    text += ')';
  }
  return text + "; --cases lists every row";
}

template <class Real>
void print_heading(const RunDescription& run, std::FILE* out) {
  std::fprintf(out, "\n ksatfit: %s   (%s precision)\n", run.file.c_str(), precision_name(Real{}));
  std::fprintf(out, "   x: \"%s\"   y: \"%s\"", run.x_name.c_str(), run.y_name.c_str());
  if (!run.weight_name.empty()) std::fprintf(out, "   weight: \"%s\"", run.weight_name.c_str());
  if (!run.frequency_name.empty()) {
    std::fprintf(out, "   frequency: \"%s\"", run.frequency_name.c_str());
  }
  if (!run.by.empty()) std::fprintf(out, "   by: \"%s\"", run.by.c_str());
  std::fputc('\n', out);
}

std::string degree_request(const RunDescription& run, int degree) {
  std::string text = (run.selection.empty() ? "asked for " : "at most ") + std::to_string(degree);
  if (run.selection == "r2") text += ", lowest with R-squared >= " + shortest(run.crit) + " %";
  if (run.selection == "lack-of-fit") {
    text += ", lowest without lack of fit at " + shortest(run.crit) + " %";
  }
  return text;
}

template <class Real>
void print_tables(const RunDescription& run, const BasicPolynomialFit<Real>& fit, std::FILE* out,
                  const BasicReportExtras<Real>& extras) {
  print_heading<Real>(run, out);
  std::fprintf(out, "   rows used: %d   left out (missing values): %d\n", fit.n_used,
               fit.n_missing);
  std::fprintf(out, "   degree fitted: %d (%s)\n   %s\n", fit.degree_fitted,
               degree_request(run, fit.degree).c_str(), equation_text(fit, run.y_name).c_str());
  std::fflush(out);

  static constexpr std::string_view kSources[] = {"Regression", "Residual", "Corrected Total"};
  const BasicAnova<Real>& a = fit.anova;
  const Real wide[15] = {a.df_regression, a.df_error,  a.df_total,         a.ss_regression,
                         a.ss_error,      a.ss_total,  a.ms_regression,    a.ms_error,
                         a.f,             a.p,         a.r_squared,        a.adjusted_r_squared,
                         a.sd_error,      a.mean_y,    a.cv};
  float aov[15];
  for (int i = 0; i < 15; ++i) aov[i] = static_cast<float>(wide[i]);
  TABAOV(" ", kSources, aov);

  const std::size_t n = static_cast<std::size_t>(fit.degree_fitted) + 1;
  std::vector<float> coef(4 * n);
  for (std::size_t i = 0; i < n; ++i) {
    coef[i] = static_cast<float>(fit.coefficients[i]);
    coef[n + i] = static_cast<float>(fit.standard_errors[i]);
    coef[2 * n + i] = static_cast<float>(fit.t[i]);
    coef[3 * n + i] = static_cast<float>(fit.p[i]);
  }
  static constexpr std::string_view kCoefficientHeadings[] = {
      "%/Estimate", "Standard%/Error", "%/t-statistic", "Prob. of%/Larger |t|"};
  TABMAT("%/* * * Inference on Coefficients * * *", static_cast<int>(n), 4, coef.data(),
         static_cast<int>(n), format_of(coef, n), "%/Coef.", nullptr, kCoefficientHeadings);
  print_confidence_intervals(run, fit);
  if (!fit.sequential.empty()) {
    const auto m = test_matrix(fit.sequential);
    const int rows = static_cast<int>(fit.sequential.size());
    TABMAT("%/* * * Sequential Statistics * * *", rows, 4, m.data(), rows,
           format_of(m, fit.sequential.size()), kDegreeHeading, nullptr, kTestHeadings);
  }
  if (lack_of_fit_testable(fit)) {
    const auto m = test_matrix(fit.lack_of_fit);
    const int rows = static_cast<int>(fit.lack_of_fit.size());
    TABMAT("%/* * * Tests of Lack of Fit * * *", rows, 4, m.data(), rows,
           format_of(m, fit.lack_of_fit.size()), kDegreeHeading, nullptr, kTestHeadings);
  }
  print_extras(run, fit, extras, out);
}

template <class Real>
void print_extras(const RunDescription& run, const BasicPolynomialFit<Real>& fit,
                  const BasicReportExtras<Real>& extras, std::FILE* out) {
  if (!extras.predictions.empty()) print_predictions(run, extras.predictions);
  if (extras.cases) {
    print_cases(fit, extras.lines);
  } else if (const std::string flagged = flagged_summary(fit, extras.lines); !flagged.empty()) {
    std::fprintf(out, "\n %s\n", flagged.c_str());
    std::fflush(out);
  }
}

template <class Real>
Json fit_json(const RunDescription& run, const BasicPolynomialFit<Real>& fit,
              const BasicReportExtras<Real>& extras) {
  const auto intervals = fit.confidence_intervals(static_cast<Real>(run.level / 100));
  Json coefficients = Json::array();
  for (int k = 0; k <= fit.degree_fitted; ++k) {
    const auto i = static_cast<std::size_t>(k);
    coefficients.push_back({{"power", k},
                            {"estimate", number(fit.coefficients[i])},
                            {"standard_error", number(fit.standard_errors[i])},
                            {"t", number(fit.t[i])},
                            {"p", number(fit.p[i])},
                            {"ci_lower", number(intervals[i].lower)},
                            {"ci_upper", number(intervals[i].upper)}});
  }
  const std::size_t p = intervals.size();
  Json covariance = Json::array();
  for (std::size_t i = 0; i < p; ++i) {
    Json row = Json::array();
    for (std::size_t j = 0; j < p; ++j) row.push_back(number(fit.covariance[i * p + j]));
    covariance.push_back(row);
  }
  const BasicAnova<Real>& a = fit.anova;
  Json anova = {{"df_regression", number(a.df_regression)}, {"df_error", number(a.df_error)},
                {"df_total", number(a.df_total)},           {"ss_regression", number(a.ss_regression)},
                {"ss_error", number(a.ss_error)},           {"ss_total", number(a.ss_total)},
                {"ms_regression", number(a.ms_regression)}, {"ms_error", number(a.ms_error)},
                {"f", number(a.f)},                         {"p", number(a.p)},
                {"r_squared", number(a.r_squared)},
                {"adjusted_r_squared", number(a.adjusted_r_squared)},
                {"sd_error", number(a.sd_error)},           {"mean_y", number(a.mean_y)},
                {"cv", number(a.cv)}};
  Json sequential = Json::array();
  for (std::size_t i = 0; i < fit.sequential.size(); ++i) {
    sequential.push_back(f_test(fit.sequential[i], static_cast<int>(i) + 1));
  }
  Json lack_of_fit = nullptr;
  if (lack_of_fit_testable(fit)) {
    Json tests = Json::array();
    for (std::size_t i = 0; i < fit.lack_of_fit.size(); ++i) {
      tests.push_back(f_test(fit.lack_of_fit[i], static_cast<int>(i) + 1));
    }
    lack_of_fit = {{"pure_error", {{"df", number(fit.pure_error->df)},
                                   {"ss", number(fit.pure_error->ss)}}},
                   {"tests", tests}};
  }
  Json warnings = Json::array();
  for (const auto& w : fit.warnings) warnings.push_back(message_json(w));
  Json json = description_json<Real>(run);
  json["degree_requested"] = fit.degree;
  json["degree_fitted"] = fit.degree_fitted;
  json["n_used"] = fit.n_used;
  json["n_missing"] = fit.n_missing;
  json["equation"] = equation_text(fit, run.y_name);
  json["coefficients"] = std::move(coefficients);
  json["covariance"] = std::move(covariance);
  json["r_squared"] = number(fit.r_squared);
  json["anova"] = std::move(anova);
  json["sequential"] = std::move(sequential);
  json["lack_of_fit"] = std::move(lack_of_fit);
  json["warnings"] = std::move(warnings);
  if (!extras.predictions.empty()) {
    Json predictions = Json::array();
    for (const auto& q : extras.predictions) {
      predictions.push_back({{"x", number(q.x)},
                             {"fitted", number(q.fitted)},
                             {"se_fit", number(q.se_fit)},
                             {"confidence_lower", number(q.confidence_lower)},
                             {"confidence_upper", number(q.confidence_upper)},
                             {"prediction_lower", number(q.prediction_lower)},
                             {"prediction_upper", number(q.prediction_upper)}});
    }
    json["predictions"] = predictions;
  }
  if (extras.cases) {
    Json cases = Json::array();
    for (const auto& c : fit.cases) {
      cases.push_back({{"line", line_of(extras.lines, c.row)},
                       {"row", c.row},
                       {"used", c.used},
                       {"x", number(c.x)},
                       {"y", number(c.y)},
                       {"weight", number(c.weight)},
                       {"frequency", number(c.frequency)},
                       {"fitted", number(c.fitted)},
                       {"residual", number(c.residual)},
                       {"leverage", number(c.leverage)},
                       {"standardized_residual", number(c.standardized_residual)},
                       {"studentized_residual", number(c.studentized_residual)},
                       {"cooks_distance", number(c.cooks_distance)},
                       {"outlier", c.outlier},
                       {"influential", c.influential}});
    }
    json["cases"] = cases;
  }
  Json flagged = Json::array();
  for (const auto& c : flagged_cases(fit)) flagged.push_back(line_of(extras.lines, c.row));
  json["flagged"] = flagged;
  return json;
}

template <class Real>
Json failure_json(const RunDescription& run, const FitMessage& error) {
  Json j = description_json<Real>(run);
  j["error"] = message_json(error);
  return j;
}

#define KSATFIT_REPORT(Real)                                                                   \
  template bool lack_of_fit_testable(const BasicPolynomialFit<Real>&);                          \
  template std::string equation_text(const BasicPolynomialFit<Real>&, const std::string&, int); \
  template std::vector<BasicCaseStatistics<Real>> flagged_cases(                                \
      const BasicPolynomialFit<Real>&);                                                         \
  template std::string flagged_summary(const BasicPolynomialFit<Real>&,                         \
                                       const std::vector<int>&);                                \
  template void print_heading<Real>(const RunDescription&, std::FILE*);                         \
  template void print_extras(const RunDescription&, const BasicPolynomialFit<Real>&,             \
                             const BasicReportExtras<Real>&, std::FILE*);                        \
  template void print_tables(const RunDescription&, const BasicPolynomialFit<Real>&, std::FILE*, \
                             const BasicReportExtras<Real>&);                                   \
  template Json fit_json(const RunDescription&, const BasicPolynomialFit<Real>&,                \
                         const BasicReportExtras<Real>&);                                       \
  template Json failure_json<Real>(const RunDescription&, const FitMessage&);
KSATFIT_REPORT(float)
KSATFIT_REPORT(double)
#undef KSATFIT_REPORT

}  // namespace ksatfit::cli
