// Accuracy of the double-precision fit on the public reference data sets for
// polynomial least squares (tests/data/nist): each file holds its data in
// decimal text and the certified coefficients, their standard deviations, the
// residual standard deviation and R-squared. Accuracy is counted in correct
// decimal digits, -log10 of the relative error (of the absolute error where
// the certified value is 0), at most 15; a set's score is its least digits
// over every certified quantity.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ksatfit/fit.hpp"

namespace {

struct Certified {
  std::vector<double> coefficients, standard_deviations;
  double residual_sd = 0;
  double r_squared = 0;
  std::vector<double> x, y;
};

std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> result;
  for (std::string word; in >> word;) result.push_back(word);
  return result;
}

double number(const std::string& text) { return std::strtod(text.c_str(), nullptr); }

// The lines read: "B<k> estimate sd", "Standard Deviation value" (of the
// residuals), "R-Squared value", then "Data: y x" and one pair a line.
Certified read_reference(const std::string& name) {
  std::ifstream in(std::string(KSATFIT_TEST_DATA_DIR) + "/nist/" + name + ".dat");
  EXPECT_TRUE(in) << name;
  Certified c;
  bool in_data = false;
  for (std::string line; std::getline(in, line);) {
    const std::vector<std::string> w = words(line);
    if (in_data && w.size() == 2) {
      c.y.push_back(number(w[0]));
      c.x.push_back(number(w[1]));
    } else if (w.size() == 3 && w[0].size() > 1 && w[0][0] == 'B' &&
               w[0].find_first_not_of("0123456789", 1) == std::string::npos) {
      c.coefficients.push_back(number(w[1]));
      c.standard_deviations.push_back(number(w[2]));
    } else if (w.size() == 3 && w[0] == "Standard" && w[1] == "Deviation") {
      c.residual_sd = number(w[2]);
    } else if (w.size() == 2 && w[0] == "R-Squared") {
      c.r_squared = number(w[1]);
    } else if (w == std::vector<std::string>{"Data:", "y", "x"}) {
      in_data = true;
    }
  }
  return c;
}

double digits(double computed, double certified) {
  const double error = certified == 0 ? std::fabs(computed)
                                      : std::fabs(computed - certified) / std::fabs(certified);
  if (std::isnan(error)) return 0;
  return error == 0 ? 15.0 : std::clamp(-std::log10(error), 0.0, 15.0);
}

// The least digits over every certified quantity of a fit in either precision.
template <class Fit>
double least_digits(const Fit& fit, const Certified& c) {
  double least = digits(fit.anova.sd_error, c.residual_sd);
  least = std::min(least, digits(fit.r_squared / 100, c.r_squared));
  for (std::size_t k = 0; k < c.coefficients.size(); ++k) {
    least = std::min(least, digits(fit.coefficients[k], c.coefficients[k]));
    least = std::min(least, digits(fit.standard_errors[k], c.standard_deviations[k]));
  }
  return least;
}

// `qr` is what a QR fit of the column-scaled power basis in double reaches,
// and so the least the double fit must reach.
struct ReferenceCase {
  const char* name;
  double qr;
};

class ReferenceData : public testing::TestWithParam<ReferenceCase> {};

TEST_P(ReferenceData, DoubleFitReachesItsDigits) {
  const ReferenceCase& rc = GetParam();
  const Certified c = read_reference(rc.name);
  ASSERT_FALSE(c.coefficients.empty());
  ASSERT_FALSE(c.x.empty());
  const int degree = static_cast<int>(c.coefficients.size()) - 1;

  const ksatfit::DoublePolynomialFit fit = ksatfit::fit_polynomial(c.x, c.y, degree);
  ASSERT_EQ(fit.degree_fitted, degree);
  const double in_double = least_digits(fit, c);

  const std::vector<float> xf(c.x.begin(), c.x.end()), yf(c.y.begin(), c.y.end());
  const double in_float = least_digits(ksatfit::fit_polynomial(xf, yf, degree), c);

  std::cout << std::fixed << std::setprecision(1) << rc.name << ": float " << in_float
            << ", double " << in_double << " digits (QR in double " << rc.qr << ")\n";
  EXPECT_GE(in_double, rc.qr) << rc.name;
}

INSTANTIATE_TEST_SUITE_P(Polynomial, ReferenceData,
                         testing::Values(ReferenceCase{"Norris", 12.2},
                                         ReferenceCase{"Pontius", 12.7},
                                         ReferenceCase{"Wampler1", 9.2},
                                         ReferenceCase{"Wampler2", 12.7},
                                         ReferenceCase{"Wampler3", 9.5},
                                         ReferenceCase{"Wampler4", 7.7},
                                         ReferenceCase{"Wampler5", 5.7},
                                         ReferenceCase{"Filip", 7.5}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
