// TABAOV: the analysis-of-variance table of a 15-element AOV vector, then the
// statistics of the fit that the vector carries below it.
#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

#include "errors/error_layer.hpp"
#include "ksatfit/tables.hpp"
#include "runtime/one_based.hpp"
#include "tables/edit_list.hpp"
#include "tables/table_layout.hpp"

namespace ksatfit {
namespace {

constexpr FieldEdit kNumber{'W', 10, 4};
constexpr FieldEdit kProbability{'F', 7, 4};
constexpr FieldEdit kWholeNumber{'I', 10, 0};

// Degrees of freedom print as whole numbers when they are (frequencies may
// make them fractional).
bool whole_numbers(const Vec1<const float>& aov) {
  for (int k = 1; k <= 3; ++k) {
    const float v = aov(k);
    if (std::isfinite(v) && (v != std::trunc(v) || std::fabs(v) >= 1.0e9f)) return false;
  }
  return true;
}

// A column of the table; element 0 leaves its row blank.
TableColumn column(std::string_view heading, const FieldEdit& edit, const Vec1<const float>& aov,
                   std::initializer_list<int> elements) {
  TableColumn c;
  c.heading = T1LINES(heading);
  c.width = edit.w;
  for (int k : elements) c.cells.push_back(k == 0 ? std::string() : T1EDIT(aov(k), edit));
  return c;
}

}  // namespace

void TABAOV(std::string_view TITLE, const std::string_view* RLABEL, const float* AOV) {
  RoutineScope guard("TABAOV");
  const Vec1<const float> aov(AOV);

  TextTable sources;
  sources.title = T1LINES(TITLE);
  sources.label_heading = T1LINES("%/Source");
  sources.labels.assign(RLABEL, RLABEL + 3);
  const FieldEdit& df = whole_numbers(aov) ? kWholeNumber : kNumber;
  sources.columns = {
      column("Degrees of%/Freedom", df, aov, {1, 2, 3}),
      column("Sum of%/Squares", kNumber, aov, {4, 5, 6}),
      column("Mean%/Square", kNumber, aov, {7, 8, 0}),
      column("%/F-statistic", kNumber, aov, {9, 0, 0}),
      column("Prob. of%/Larger F", kProbability, aov, {10, 0, 0}),
  };
  T1TAB(sources);

  TextTable fit;
  fit.title = {""};
  fit.labels = {"R-squared (%)", "Adjusted R-squared (%)", "Std. dev. of model error",
                "Mean of response", "Coefficient of variation (%)"};
  fit.columns = {column("", kNumber, aov, {11, 12, 13, 14, 15})};
  T1TAB(fit);
}

}  // namespace ksatfit
