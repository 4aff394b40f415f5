// ln(1 + X), accurate for small X, and the complementary error function.
#include <cmath>

#include "errors/error_layer.hpp"
#include "ksatfit/errors.hpp"
#include "ksatfit/probability.hpp"
#include "probability/saved_values.hpp"
#include "probability/underflow_alert.hpp"
#include "probability/math_constants.hpp"

namespace ksatfit {
namespace {

using detail::kSqrtPi;

// (1 - ln(1 + X) / X) / X as a series in X / 0.375, |X| <= 0.375.
constexpr float kRelativeLogSeries[23] = {
    1.03786933f,      -0.133643016f,    0.0194082484f,    -0.00301075517f,
    0.000486946141f,  -8.10548809e-05f, 1.37788475e-05f,  -2.38022108e-06f,
    4.16404163e-07f,  -7.35958281e-08f, 1.31176119e-08f,  -2.3546709e-09f,
    4.25227742e-10f,  -7.71908926e-11f, 1.40757466e-11f,  -2.57690722e-12f,
    4.73424089e-13f,  -8.7249015e-14f,  1.61246155e-14f,  -2.98756525e-15f,
    5.54807004e-16f,  -1.03246189e-16f, 1.92502399e-17f};

// erf(X) / X - 1 as a series in 2 X^2 - 1, |X| <= 1.
constexpr float kErfSeries[13] = {
    -0.0490461215f,   -0.142261207f,    0.0100355819f,    -0.000576876453f,
    2.74199319e-05f,  -1.10431756e-06f, 3.84887571e-08f,  -1.1808583e-09f,
    3.23342152e-11f,  -7.99101616e-13f, 1.79907257e-14f,  -3.71863557e-16f,
    7.1035988e-18f};

// |X| exp(X^2) erfc(|X|) - 0.5 as a series in (8 / X^2 - 5) / 3, 1 < X^2 <= 4.
constexpr float kErfcSeriesMiddle[23] = {
    -0.0696013495f,   -0.0411013402f,   0.00391449593f,   -0.000490639592f,
    7.15747883e-05f,  -1.15307166e-05f, 1.99467058e-06f,  -3.6426664e-07f,
    6.9443729e-08f,   -1.37122091e-08f, 2.78838974e-09f,  -5.81416471e-10f,
    1.23892049e-10f,  -2.6906392e-11f,  5.94261446e-12f,  -1.33238678e-12f,
    3.02804683e-13f,  -6.9666488e-14f,  1.62085447e-14f,  -3.80993429e-15f,
    9.04048747e-16f,  -2.16400626e-16f, 5.22210238e-17f};

// The same as a series in 8 / X^2 - 1, X^2 > 4.
constexpr float kErfcSeriesTail[24] = {
    0.0715179294f,    -0.0265324339f,   0.00171115401f,   -0.000163751669f,
    1.98712933e-05f,  -2.84371231e-06f, 4.60616121e-07f,  -8.22775306e-08f,
    1.59214188e-08f,  -3.29507133e-09f, 7.22343962e-10f,  -1.66485575e-10f,
    4.01039271e-11f,  -1.0048162e-11f,  2.60827601e-12f,  -6.99111071e-13f,
    1.9294924e-13f,   -5.47013132e-14f, 1.58966332e-14f,  -4.72689404e-15f,
    1.43587342e-15f,  -4.44951066e-16f, 1.40481089e-16f,  -4.51381839e-17f};

}  // namespace

float ALNREL(float X) {
  RoutineScope guard("ALNREL");
  detail::RelativeLogSaved& s = detail::saved<detail::RelativeLogSaved>();
  if (s.terms == 0) {
    s.terms = INITS(kRelativeLogSeries, 23, 0.1f * AMACH(3));
    s.xmin = std::sqrt(AMACH(4)) - 1.0f;
  }
  if (X <= -1.0f || IFNAN(X)) {
    E1STR(1, X);
    E1MES(5, 5, "The argument X = %(R1) must be greater than -1.0.");
    return AMACH(6);
  }
  const float r = std::fabs(X) <= 0.375f
                      ? X * (1.0f - X * CSEVL(X * 2.6666667f, kRelativeLogSeries, s.terms))
                      : std::log(1.0f + X);
  if (X < s.xmin) {
    E1STR(1, X);
    E1STR(2, s.xmin);
    E1MES(3, 2,
          "The result is accurate to less than one half precision because X = %(R1) is "
          "too close to -1.0. X must be greater than %(R2).");
  }
  return r;
}

float ERFC(float X) {
  RoutineScope guard("ERFC");
  detail::ErfcSaved& s = detail::saved<detail::ErfcSaved>();
  if (s.terms_erf == 0) {
    const float eta = 0.1f * AMACH(3);
    s.terms_erf = INITS(kErfSeries, 13, eta);
    s.terms_erfc = INITS(kErfcSeriesTail, 24, eta);
    s.terms_erc2 = INITS(kErfcSeriesMiddle, 23, eta);
    s.xsml = -std::sqrt(-std::log(kSqrtPi * AMACH(3)));
    const float txmax = std::sqrt(-std::log(kSqrtPi * AMACH(1)));
    s.xmax = txmax - 0.5f * std::log(txmax) / txmax - 0.01f;
    s.sqeps = std::sqrt(2.0f * AMACH(3));
  }
  if (X <= s.xsml) return 2.0f;
  if (X > s.xmax) {
    return detail::underflow_above(X, s.xmax);
  }
  const float y = std::fabs(X);
  if (y <= 1.0f) {
    if (y < s.sqeps) return 1.0f + (X / kSqrtPi) * -2.0f;
    return 1.0f - X * (1.0f + CSEVL(2.0f * X * X - 1.0f, kErfSeries, s.terms_erf));
  }
  const float y2 = X * X;
  const float series = y2 <= 4.0f
                           ? CSEVL((8.0f / y2 - 5.0f) * 0.33333334f, kErfcSeriesMiddle, s.terms_erc2)
                           : CSEVL(8.0f / y2 - 1.0f, kErfcSeriesTail, s.terms_erfc);
  float r = std::exp(-y2) * (0.5f + series) / std::fabs(X);
  if (X < 0.0f) r = 2.0f - r;
  return r;
}

}  // namespace ksatfit
