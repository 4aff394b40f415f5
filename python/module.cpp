// ksatfit._ksatfit: the fit of ksatfit/fit.hpp for the Python package, in
// float and in double. The package (python/ksatfit) turns the caller's
// array-likes into contiguous arrays of the precision asked for and shapes
// what comes back; this module only runs the fit (without the interpreter's
// lock: the library serialises its callers), hands its figures out as numpy
// arrays and renders the command-line tool's tables and JSON for it.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <utility>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "api/captured_call.hpp"
#include "cli/report.hpp"
#include "ksatfit/errors.hpp"
#include "ksatfit/fit.hpp"
#include "runtime/console.hpp"

namespace py = pybind11;

namespace {

using namespace ksatfit;

template <class Real>
using Array = py::array_t<Real, py::array::c_style | py::array::forcecast>;

template <class Real>
std::span<const Real> view(const Array<Real>& a) {
  return {a.data(), static_cast<std::size_t>(a.size())};
}

template <class Real>
Array<Real> to_array(const std::vector<Real>& values) {
  return Array<Real>(static_cast<py::ssize_t>(values.size()), values.data());
}

template <class Real>
BasicPolynomialFit<Real> run_fit(const Array<Real>& x, const Array<Real>& y,
                                 const std::optional<Array<Real>>& weights,
                                 const std::optional<Array<Real>>& frequencies, int max_degree,
                                 int selection, double crit, bool lack_of_fit,
                                 bool case_statistics) {
  BasicFitOptions<Real> options;
  if (weights) options.weights = view(*weights);
  if (frequencies) options.frequencies = view(*frequencies);
  options.max_degree = max_degree;
  options.selection = static_cast<DegreeSelection>(selection);
  options.crit = static_cast<Real>(crit);
  options.lack_of_fit = lack_of_fit;
  options.case_statistics = case_statistics;
  py::gil_scoped_release unlocked;
  return fit_polynomial(view(x), view(y), options);
}

template <class Real>
py::tuple f_test(const BasicFTest<Real>& t) {
  return py::make_tuple(t.df, t.ss, t.f, t.p);
}

// Every figure of the fit as plain Python values and numpy arrays, for the
// package's Fit to take apart.
template <class Real>
py::dict figures(const BasicPolynomialFit<Real>& fit) {
  const BasicAnova<Real>& a = fit.anova;
  py::list sequential, lack_of_fit, warnings;
  for (const auto& t : fit.sequential) sequential.append(f_test(t));
  for (const auto& t : fit.lack_of_fit) lack_of_fit.append(f_test(t));
  for (const auto& w : fit.warnings) warnings.append(py::make_tuple(w.type, w.code, w.routine, w.text));
  py::dict d;
  d["degree"] = fit.degree;
  d["degree_fitted"] = fit.degree_fitted;
  d["coefficients"] = to_array(fit.coefficients);
  d["standard_errors"] = to_array(fit.standard_errors);
  d["t"] = to_array(fit.t);
  d["p"] = to_array(fit.p);
  d["r_squared"] = fit.r_squared;
  d["n_used"] = fit.n_used;
  d["n_missing"] = fit.n_missing;
  d["anova"] = py::make_tuple(a.df_regression, a.df_error, a.df_total, a.ss_regression,
                              a.ss_error, a.ss_total, a.ms_regression, a.ms_error, a.f, a.p,
                              a.r_squared, a.adjusted_r_squared, a.sd_error, a.mean_y, a.cv);
  d["sequential"] = sequential;
  d["lack_of_fit"] = lack_of_fit;
  d["pure_error"] = fit.pure_error ? py::object(py::make_tuple(fit.pure_error->df,
                                                               fit.pure_error->ss))
                                   : py::object(py::none());
  const auto p = static_cast<py::ssize_t>(fit.degree_fitted) + 1;
  d["covariance"] = to_array(fit.covariance).reshape({p, p});
  d["warnings"] = warnings;
  return d;
}

// The confidence intervals of the fitted coefficients, one (lower, upper) row each.
template <class Real>
Array<Real> confidence_intervals(const BasicPolynomialFit<Real>& fit, Real level) {
  const std::vector<BasicInterval<Real>> intervals = fit.confidence_intervals(level);
  Array<Real> limits({static_cast<py::ssize_t>(intervals.size()), py::ssize_t{2}});
  auto out = limits.template mutable_unchecked<2>();
  for (py::ssize_t i = 0; i < out.shape(0); ++i) {
    out(i, 0) = intervals[static_cast<std::size_t>(i)].lower;
    out(i, 1) = intervals[static_cast<std::size_t>(i)].upper;
  }
  return limits;
}

// One array for each column of BasicPrediction (x apart), in the order
// fitted, se_fit, confidence lower and upper, prediction lower and upper.
template <class Real>
py::tuple predictions(const BasicPolynomialFit<Real>& fit, const Array<Real>& x, Real level,
                      Real weight) {
  using P = BasicPrediction<Real>;
  std::vector<P> rows;
  {
    py::gil_scoped_release unlocked;
    rows = fit.predict(view(x), level, weight);
  }
  py::list columns;
  for (Real P::*member : {&P::fitted, &P::se_fit, &P::confidence_lower, &P::confidence_upper,
                          &P::prediction_lower, &P::prediction_upper}) {
    Array<Real> column(static_cast<py::ssize_t>(rows.size()));
    Real* out = column.mutable_data();
    for (const P& row : rows) *out++ = row.*member;
    columns.append(column);
  }
  return py::tuple(columns);
}

template <class Value, class Member, class Row>
py::array_t<Value> case_column(const std::vector<Row>& rows, Member member) {
  py::array_t<Value> column(static_cast<py::ssize_t>(rows.size()));
  Value* out = column.mutable_data();
  for (const Row& row : rows) *out++ = static_cast<Value>(row.*member);
  return column;
}

// The statistics of the rows (a fit made with case_statistics), a column
// array for each member, in the order of BasicCaseStatistics.
template <class Real>
py::dict cases(const BasicPolynomialFit<Real>& fit) {
  using C = BasicCaseStatistics<Real>;
  py::dict d;
  d["row"] = case_column<std::int64_t>(fit.cases, &C::row);
  d["used"] = case_column<bool>(fit.cases, &C::used);
  const std::pair<const char*, Real C::*> reals[] = {
      {"x", &C::x}, {"y", &C::y}, {"weight", &C::weight}, {"frequency", &C::frequency},
      {"fitted", &C::fitted}, {"residual", &C::residual}, {"leverage", &C::leverage},
      {"standardized_residual", &C::standardized_residual},
      {"studentized_residual", &C::studentized_residual}, {"cooks_distance", &C::cooks_distance}};
  for (const auto& [name, member] : reals) d[name] = case_column<Real>(fit.cases, member);
  d["outlier"] = case_column<bool>(fit.cases, &C::outlier);
  d["influential"] = case_column<bool>(fit.cases, &C::influential);
  return d;
}

template <class Real>
Array<Real> evaluate(const BasicPolynomialFit<Real>& fit, const Array<Real>& x) {
  Array<Real> values(x.size());
  Real* out = values.mutable_data();
  const Real* in = x.data();
  for (py::ssize_t i = 0; i < x.size(); ++i) out[i] = fit.evaluate(in[i]);
  return values;
}

// What the tool's report is asked to show: the run's description (file and
// column names, selection, level in percent) and the extras (predictions at
// the given x, the table of the rows; the rows numbered from 1).
template <class Real>
struct Report {
  cli::RunDescription run;
  cli::BasicReportExtras<Real> extras;
};

template <class Real>
Report<Real> report(const BasicPolynomialFit<Real>& fit, const std::string& file,
                    const std::vector<std::string>& names, const std::string& selection,
                    double crit, double level, const std::optional<Array<Real>>& predict_at,
                    bool cases) {
  Report<Real> r;
  r.run.file = file;
  r.run.x_name = names.at(0);
  r.run.y_name = names.at(1);
  r.run.weight_name = names.at(2);
  r.run.frequency_name = names.at(3);
  r.run.selection = selection;
  r.run.crit = crit;
  r.run.level = level;
  if (predict_at) {
    r.extras.predictions = fit.predict(view(*predict_at), static_cast<Real>(level / 100));
  }
  r.extras.cases = cases;
  return r;
}

// The tables that `ksatfit fit` prints, as text. The table writers print on
// the unit of UMACH entry 2 and use the library's error layer: they run as
// the fit does, one caller at a time with the error state restored after,
// and this thread's lines on that unit go to a temporary file instead of the
// process's standard output.
template <class Real>
std::string tables_text(const BasicPolynomialFit<Real>& fit, const Report<Real>& r) {
  py::gil_scoped_release unlocked;
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::tmpfile(), &std::fclose);
  if (!file) throw std::runtime_error("summary: cannot create a temporary file");
  {
    const CapturedCall call;
    int unit = 0;
    UMACH(2, unit);
    const rt::UnitRedirection to_file(unit, file.get());
    cli::print_tables(r.run, fit, file.get(), r.extras);
  }
  std::string text;
  std::rewind(file.get());
  char block[4096];
  std::size_t got;
  while ((got = std::fread(block, 1, sizeof block, file.get())) > 0) text.append(block, got);
  if (std::ferror(file.get())) throw std::runtime_error("summary: cannot read the temporary file");
  return text;
}

template <class Real>
void bind_fit(py::module_& m, const char* class_name, const char* fit_name) {
  using Fit = BasicPolynomialFit<Real>;
  py::class_<Fit>(m, class_name)
      .def("figures", &figures<Real>)
      .def("evaluate", &evaluate<Real>, py::arg("x"))
      .def("confidence_intervals", &confidence_intervals<Real>, py::arg("level"))
      .def("predict", &predictions<Real>, py::arg("x"), py::arg("level"), py::arg("weight"))
      .def("cases", &cases<Real>)
      .def(
          "tables",
          [](const Fit& fit, const std::string& file, const std::vector<std::string>& names,
             const std::string& selection, double crit, double level,
             const std::optional<Array<Real>>& predict_at, bool cases) {
            return tables_text(
                fit, report(fit, file, names, selection, crit, level, predict_at, cases));
          },
          py::arg("file"), py::arg("names"), py::arg("selection"), py::arg("crit"),
          py::arg("level"), py::arg("predict_at"), py::arg("cases"))
      .def(
          "json",
          [](const Fit& fit, const std::string& file, const std::vector<std::string>& names,
             const std::string& selection, double crit, double level,
             const std::optional<Array<Real>>& predict_at, bool cases) {
            const Report<Real> r =
                report(fit, file, names, selection, crit, level, predict_at, cases);
            return cli::fit_json(r.run, fit, r.extras).dump();
          },
          py::arg("file"), py::arg("names"), py::arg("selection"), py::arg("crit"),
          py::arg("level"), py::arg("predict_at"), py::arg("cases"));
  m.def(fit_name, &run_fit<Real>, py::arg("x"), py::arg("y"), py::arg("weights"),
        py::arg("frequencies"), py::arg("max_degree"), py::arg("selection"), py::arg("crit"),
        py::arg("lack_of_fit"), py::arg("case_statistics") = false);
}

}  // namespace

PYBIND11_MODULE(_ksatfit, m) {
  m.doc() = "The fit of the ksatfit library in single and double precision (internal).";
  bind_fit<float>(m, "SingleFit", "fit_single");
  bind_fit<double>(m, "DoubleFit", "fit_double");
  // A fatal or terminal condition of the fit becomes the package's FitError,
  // with the library's type, code, routine and text.
  py::register_exception_translator([](std::exception_ptr raised) {
    try {
      if (raised) std::rethrow_exception(raised);
    } catch (const FitError& e) {
      const py::object error_class = py::module_::import("ksatfit._messages").attr("FitError");
      const py::object error = error_class(e.what(), e.type(), e.code(), e.routine());
      PyErr_SetObject(error_class.ptr(), error.ptr());
    }
  });
}
