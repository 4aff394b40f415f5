// Data sets with rows of weight 0 at abscissas of their own, and the figures
// of their fit worked out from the weighted rows alone (the rows of weight 0
// dropped): by hand from the group means (a line through two group means;
// pure error from the deviations within each group), and the tail
// probabilities of F(1, 2), F(1, 3) and F(1, 4) with scipy.stats.f.sf,
// offline. Shared by the tests of fit_polynomial and of the ksatfit program.
#pragma once

#include <cstddef>
#include <limits>
#include <string>
#include <vector>

namespace ksatfit::test {

struct WeightlessRowsCase {
  const char* name;
  const char* column;  // "frequency" or "weight": what `c` holds
  std::vector<double> x, y, c;
  int degree;  // asked for
  int degree_fitted;
  std::vector<double> coefficients;  // degree + 1 values
  double ss_regression, ss_error, df_error, f, p;
  double pure_error_df, pure_error_ss;
  // The lack-of-fit test of the fitted degree; without degrees of freedom
  // its F and p cannot be formed (NaN here).
  double lack_of_fit_df, lack_of_fit_ss, lack_of_fit_f, lack_of_fit_p;
  // The warning that only `NDIST` distinct abscissas allow no higher degree,
  // or 0 for none.
  int NDIST;

  // The data as a column file: x, y and f (frequencies) or w (weights).
  std::string csv() const {
    std::string text = std::string("x,y,") + column[0] + "\n";
    for (std::size_t i = 0; i < x.size(); ++i) {
      text += std::to_string(x[i]) + "," + std::to_string(y[i]) + "," + std::to_string(c[i]) +
              "\n";
    }
    return text;
  }
};

inline const std::vector<WeightlessRowsCase>& weightless_rows_cases() {
  const double NaN = std::numeric_limits<double>::quiet_NaN();
  static const std::vector<WeightlessRowsCase> cases = {
      // Two abscissas carry weight: the line through the group means 1.1 and
      // 2.45; SSE = 0.1^2 + 0.1^2 + 0.05^2 + 0.05^2, SST = 1.8475.
      {"TwoWeightedAbscissas", "frequency", {1, 1, 2, 2, 3, 4},
       {1.0, 1.2, 2.5, 2.4, 7.0, 1.0}, {1, 1, 1, 1, 0, 0}, 2, 1, {-0.25, 1.35, 0},
       1.8225, 0.025, 2, 145.8, 0.006788944750091904, 2, 0.025, 0, 0, NaN, NaN, 2},
      // The same with a weight column: a row of weight 0 and frequency 1
      // still adds its frequency to the degrees of freedom (6 - 2).
      {"TwoWeightedAbscissasByWeight", "weight", {1, 1, 2, 2, 3, 4},
       {1.0, 1.2, 2.5, 2.4, 7.0, 1.0}, {1, 1, 1, 1, 0, 0}, 2, 1, {-0.25, 1.35, 0},
       1.8225, 0.025, 4, 291.6, 6.897820577588059e-05, 4, 0.025, 0, 0, NaN, NaN, 2},
      // Six weighted rows at 1, 2, 3: slope Sxy/Sxx = 3.8/4, SST = 32.47 -
      // 13.1^2/6, SSE = SST - 3.61 = 31/120, SSPE = 0.02 + 0.005 + 0.02 on
      // 6 - 3 df, lack of fit 31/120 - 0.045 = 32/150 on 1 df: F = 128/9.
      {"LackOfFitOnWeightedGroups", "frequency", {1, 1, 2, 2, 3, 3, 4},
       {1.0, 1.2, 2.5, 2.4, 2.9, 3.1, 4.0}, {1, 1, 1, 1, 1, 1, 0}, 1, 1, {17.0 / 60, 0.95},
       3.61, 31.0 / 120, 4, 3.61 / (31.0 / 480), 0.0017111090698163681, 3, 0.045, 1,
       32.0 / 150, 128.0 / 9, 0.032638181538303224, 0},
  };
  return cases;
}

}  // namespace ksatfit::test
