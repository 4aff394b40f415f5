// The C++ interfaces of the installed library: fit_polynomial, which reports
// its messages instead of printing them and throws instead of stopping, then
// the routines of ksatfit.hpp on the data of the C and Fortran examples
// (curve.c, curve.f), printing the same lines as they do.
#include <cstdio>
#include <vector>

#include "ksatfit.hpp"
#include "ksatfit/fit.hpp"

namespace {

void print_fit(const ksatfit::PolynomialFit& fit) {
  std::printf(" fit_polynomial: degree %d fitted, %d pairs used, R^2 = %.2f%%\n", fit.degree_fitted,
              fit.n_used, static_cast<double>(fit.r_squared));
  for (std::size_t k = 0; k < fit.coefficients.size(); ++k) {
    std::printf(" coefficient of x^%zu =%16.8E\n", k, static_cast<double>(fit.coefficients[k]));
  }
  std::printf(" fitted curve at x = 2.5 =%16.8E\n", static_cast<double>(fit.evaluate(2.5f)));
  for (const ksatfit::FitMessage& w : fit.warnings) {
    std::printf(" warning (type %d, code %d, %s): %s\n", w.type, w.code, w.routine.c_str(),
                w.text.c_str());
  }
}

}  // namespace

int main() {
  const std::vector<float> x = {1.0f, 2.0f, 3.0f};
  const std::vector<float> y = {1.0f, 0.0f, 1.0f};
  const std::vector<float> xc = {2.0f, 2.0f, 2.0f};

  print_fit(ksatfit::fit_polynomial(x, y, 2));
  try {
    ksatfit::fit_polynomial(xc, y, 2);
  } catch (const ksatfit::FitError& e) {
    std::printf(" FitError (type %d, code %d, %s): %s\n", e.type(), e.code(),
                e.routine().c_str(), e.what());
  }

  int nout = 0;
  ksatfit::UMACH(2, nout);
  std::printf(" Unit%3d: RCURV on x = (1, 2, 3), y = (1, 0, 1)\n", nout);
  float b[3];
  float sspoly[3];
  float stat[10];
  ksatfit::RCURV(3, x.data(), y.data(), 2, b, sspoly, stat);
  for (int i = 1; i <= 3; ++i) std::printf(" B(%1d)      =%16.8E\n", i, static_cast<double>(b[i - 1]));
  for (int i = 1; i <= 3; ++i) {
    std::printf(" SSPOLY(%1d) =%16.8E\n", i, static_cast<double>(sspoly[i - 1]));
  }
  for (int i = 1; i <= 10; ++i) {
    std::printf(" STAT(%2d)   =%16.8E\n", i, static_cast<double>(stat[i - 1]));
  }
  std::printf(" FDF(2.5, 2, 10) =%16.8E\n", static_cast<double>(ksatfit::FDF(2.5f, 2.0f, 10.0f)));
  std::printf(" RCURV on x = (2, 2, 2)\n");
  ksatfit::RCURV(3, xc.data(), y.data(), 2, b, sspoly, stat);
  std::printf(" Not reached: the fit above stops the program\n");
  return 0;
}
