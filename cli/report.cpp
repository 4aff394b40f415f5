#include "cli/report.hpp"

#include <charconv>
#include <cmath>
#include <string_view>
#include <vector>

#include "ksatfit/tables.hpp"

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
constexpr std::string_view kDegreeHeading = "Degree of%/Polynomial";
constexpr std::string_view kTestHeadings[] = {"Degrees of%/Freedom", "Sum of%/Squares",
                                              "%/F-statistic", "Prob. of%/Larger F"};

}  // namespace

template <class Real>
bool lack_of_fit_testable(const BasicPolynomialFit<Real>& fit) {
  return fit.pure_error && fit.pure_error->df > 0 && !fit.lack_of_fit.empty();
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
std::string equation_text(const BasicPolynomialFit<Real>& fit, const std::string& y_name) {
  std::string text = y_name + " =";
  for (int k = 0; k <= fit.degree_fitted; ++k) {
    const Real c = fit.coefficients[static_cast<std::size_t>(k)];
    const std::string magnitude = shortest(std::fabs(c));
    if (k == 0) {
      text += ' ';
      text += shortest(c);
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
void print_tables(const RunDescription& run, const BasicPolynomialFit<Real>& fit, std::FILE* out) {
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
         static_cast<int>(n), kFormat, "%/Coef.", nullptr, kCoefficientHeadings);
  if (!fit.sequential.empty()) {
    const auto m = test_matrix(fit.sequential);
    const int rows = static_cast<int>(fit.sequential.size());
    TABMAT("%/* * * Sequential Statistics * * *", rows, 4, m.data(), rows, kFormat,
           kDegreeHeading, nullptr, kTestHeadings);
  }
  if (lack_of_fit_testable(fit)) {
    const auto m = test_matrix(fit.lack_of_fit);
    const int rows = static_cast<int>(fit.lack_of_fit.size());
    TABMAT("%/* * * Tests of Lack of Fit * * *", rows, 4, m.data(), rows, kFormat,
           kDegreeHeading, nullptr, kTestHeadings);
  }
}

template <class Real>
Json fit_json(const RunDescription& run, const BasicPolynomialFit<Real>& fit) {
  Json coefficients = Json::array();
  for (int k = 0; k <= fit.degree_fitted; ++k) {
    const auto i = static_cast<std::size_t>(k);
    coefficients.push_back({{"power", k},
                            {"estimate", number(fit.coefficients[i])},
                            {"standard_error", number(fit.standard_errors[i])},
                            {"t", number(fit.t[i])},
                            {"p", number(fit.p[i])}});
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
  Json j = description_json<Real>(run);
  j["degree_requested"] = fit.degree;
  j["degree_fitted"] = fit.degree_fitted;
  j["n_used"] = fit.n_used;
  j["n_missing"] = fit.n_missing;
  j["equation"] = equation_text(fit, run.y_name);
  j["coefficients"] = std::move(coefficients);
  j["r_squared"] = number(fit.r_squared);
  j["anova"] = std::move(anova);
  j["sequential"] = std::move(sequential);
  j["lack_of_fit"] = std::move(lack_of_fit);
  j["warnings"] = std::move(warnings);
  return j;
}

template <class Real>
Json failure_json(const RunDescription& run, const FitMessage& error) {
  Json j = description_json<Real>(run);
  j["error"] = message_json(error);
  return j;
}

template bool lack_of_fit_testable(const PolynomialFit&);
template bool lack_of_fit_testable(const DoublePolynomialFit&);
template std::string equation_text(const PolynomialFit&, const std::string&);
template std::string equation_text(const DoublePolynomialFit&, const std::string&);
template void print_tables(const RunDescription&, const PolynomialFit&, std::FILE*);
template void print_tables(const RunDescription&, const DoublePolynomialFit&, std::FILE*);
template Json fit_json(const RunDescription&, const PolynomialFit&);
template Json fit_json(const RunDescription&, const DoublePolynomialFit&);
template Json failure_json<float>(const RunDescription&, const FitMessage&);
template Json failure_json<double>(const RunDescription&, const FitMessage&);
template void print_heading<float>(const RunDescription&, std::FILE*);
template void print_heading<double>(const RunDescription&, std::FILE*);

}  // namespace ksatfit::cli
