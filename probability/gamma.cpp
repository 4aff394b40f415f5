// The gamma function, the logarithm of its absolute value, the correction
// term of Stirling's formula and the argument limits of the gamma function.
#include <algorithm>
#include <cmath>

#include "errors/error_layer.hpp"
#include "ksatfit/errors.hpp"
#include "ksatfit/probability.hpp"
#include "probability/saved_values.hpp"
#include "probability/underflow_alert.hpp"
#include "probability/math_constants.hpp"

namespace ksatfit {
namespace {

using detail::kLnSqrt2Pi;
using detail::kLnSqrtPiOver2;
using detail::kPi;

// Gamma(1 + f) - 0.9375 as a series in 2f - 1, 0 <= f < 1.
constexpr float kGammaSeries[23] = {
    0.00857119542f,  0.00441538123f,  0.0568504371f,   -0.00421983562f,
    0.00132680812f,  -0.00018930246f, 3.60692538e-05f, -6.05676178e-06f,
    1.05582956e-06f, -1.81196739e-07f, 3.1177251e-08f,  -5.35421973e-09f,
    9.19327559e-10f, -1.57794125e-10f, 2.70798054e-11f, -4.64681852e-12f,
    7.97335017e-13f, -1.36807815e-13f, 2.34731956e-14f, -4.02743245e-15f,
    6.9100519e-16f,  -1.18558447e-16f, 2.03414846e-17f};

// X times the log-gamma correction as a series in 2 (10/X)^2 - 1, X >= 10.
constexpr float kLogGammaCorrectionSeries[6] = {
    0.166638955f,     -1.38494815e-05f, 9.81082593e-09f,
    -1.80912004e-11f, 6.2200001e-14f,   -3.00000012e-16f};

// Relative distance of X from the nearest integer, the test for arguments
// too close to a pole of the gamma function.
float distance_from_integer(float X) { return (X - std::trunc(X - 0.5f)) / X; }

void warn_near_negative_integer(float X) {
  E1STR(1, X);
  E1MES(3, 2,
        "The result is accurate to less than one half precision because X = %(R1) "
        "is too close to a negative integer.");
}

float negative_integer_error(int code, float X) {
  E1STR(1, X);
  E1MES(5, code,
        "The argument for the function can not be a negative integer. Argument X = %(R1).");
  return AMACH(6);
}

// Newton's iteration towards a limit of the gamma function: at most ten
// steps, converged when a step moves x by less than 0.005.
template <class Step>
bool iterate_to_limit(float& x, Step step) {
  for (int i = 1; i <= 10; ++i) {
    const float xold = x;
    x = step(x);
    if (std::fabs(x - xold) < 0.005f) return true;
  }
  return false;
}

}  // namespace

void R9GAML(float& XMIN, float& XMAX) {
  RoutineScope guard("R9GAML");
  XMIN = AMACH(6);
  XMAX = AMACH(6);

  // Where Stirling's approximation of ln Gamma(-x) reaches ln AMACH(1).
  const float alnsml = std::log(AMACH(1));
  XMIN = -alnsml;
  const bool xmin_found = iterate_to_limit(XMIN, [alnsml](float x) {
    const float xln = std::log(x);
    return x * (1.0f - ((x + 0.5f) * xln - x + alnsml - 0.2258f) / (x * xln + 0.5f));
  });
  if (!xmin_found) {
    E1MES(5, 5, "Unable to determine the value of XMIN.");
    XMIN = AMACH(6);
    return;
  }
  XMIN = 0.01f - XMIN;

  // Where it reaches ln AMACH(2).
  const float alnbig = std::log(AMACH(2));
  XMAX = alnbig;
  const bool xmax_found = iterate_to_limit(XMAX, [alnbig](float x) {
    const float xln = std::log(x);
    return x * (1.0f - ((x - 0.5f) * xln - x - alnbig + 0.9189f) / (x * xln - 0.5f));
  });
  if (!xmax_found) {
    E1MES(5, 6, "Unable to determine the value of XMAX.");
    XMAX = AMACH(6);
    return;
  }
  XMAX = XMAX - 0.01f;
  XMIN = std::max(XMIN, 1.0f - XMAX);
}

float R9LGMC(float X) {
  RoutineScope guard("R9LGMC");
  detail::LogGammaCorrectionSaved& s = detail::saved<detail::LogGammaCorrectionSaved>();
  if (s.terms == 0) {
    s.terms = INITS(kLogGammaCorrectionSeries, 6, AMACH(3));
    s.xbig = 1.0f / std::sqrt(AMACH(3));
    s.xmax = std::exp(std::min(std::log(AMACH(2) * 0.083333336f), -std::log(12.0f * AMACH(1))));
  }
  if (X < 10.0f) {
    E1STR(1, X);
    E1MES(5, 5, "The argument X = %(R1) must be greater than or equal to 10.0.");
    return AMACH(6);
  }
  if (X >= s.xmax) {
    return detail::underflow_above(X, s.xmax);
  }
  if (X < s.xbig) {
    const float ratio = 10.0f / X;
    return CSEVL(2.0f * (ratio * ratio) - 1.0f, kLogGammaCorrectionSeries, s.terms) / X;
  }
  return 1.0f / (12.0f * X);
}

namespace {

// Gamma(X) for |X| <= 10: the series for Gamma(1 + f), 0 <= f < 1, then the
// recurrence upwards or downwards to X.
float gamma_by_recurrence(float X, const detail::GammaSaved& s) {
  int n = static_cast<int>(X);
  if (X < 0.0f) n = n - 1;
  const float f = X - static_cast<float>(n);
  n = n - 1;
  float g = 0.9375f + CSEVL(2.0f * f - 1.0f, kGammaSeries, s.terms);
  if (n == 0) return g;
  if (n > 0) {
    for (int i = 1; i <= n; ++i) g = (f + static_cast<float>(i)) * g;
    return g;
  }
  n = -n;
  if (X == 0.0f) {
    E1MES(5, 5, "The argument for the function can not be zero.");
    return AMACH(6);
  }
  if (f < s.xsml) {
    E1STR(1, X);
    E1MES(5, 4, "The function overflows because X = %(R1) is too close to zero.");
    return AMACH(6);
  }
  if (X < 0.0f && X + static_cast<float>(n - 2) == 0.0f) return negative_integer_error(6, X);
  if (X < -0.5f && std::fabs(distance_from_integer(X)) < s.dxrel) warn_near_negative_integer(X);
  for (int i = 1; i <= n; ++i) g = g / (X + static_cast<float>(i - 1));
  return g;
}

// Gamma(X) for |X| > 10 from Stirling's formula with its correction, and the
// reflection formula for negative X.
float gamma_by_stirling(float X, const detail::GammaSaved& s) {
  if (X > s.XMAX) {
    E1STR(1, X);
    E1STR(2, s.XMAX);
    E1MES(5, 4, "The function overflows because X = %(R1) is greater than %(R2).");
    return AMACH(6);
  }
  if (X < s.XMIN) {
    E1STR(1, X);
    E1STR(2, s.XMIN);
    E1MES(2, 1,
          "The function underflows because X = %(R1) is less than %(R2). The result is "
          "set to zero.");
    return 0.0f;
  }
  const float y = std::fabs(X);
  const float g = std::exp((y - 0.5f) * std::log(y) - y + kLnSqrt2Pi + R9LGMC(y));
  if (X > 0.0f) return g;
  if (std::fabs(distance_from_integer(X)) < s.dxrel) warn_near_negative_integer(X);
  if (X == std::trunc(X)) return negative_integer_error(7, X);
  const float sinpiy = std::sin(kPi * y);
  return -kPi / (y * sinpiy * g);
}

}  // namespace

float GAMMA(float X) {
  RoutineScope guard("GAMMA");
  detail::GammaSaved& s = detail::saved<detail::GammaSaved>();
  if (s.terms == 0) {
    s.terms = INITS(kGammaSeries, 23, 0.1f * AMACH(3));
    R9GAML(s.XMIN, s.XMAX);
    s.dxrel = std::sqrt(AMACH(4));
    s.xsml = std::exp(std::max(std::log(AMACH(1)), -std::log(AMACH(2))) + 0.01f);
  }
  if (std::fabs(X) <= 10.0f) return gamma_by_recurrence(X, s);
  return gamma_by_stirling(X, s);
}

float ALNGAM(float X) {
  RoutineScope guard("ALNGAM");
  detail::LogGammaSaved& s = detail::saved<detail::LogGammaSaved>();
  if (s.xmax == 0.0f) {
    s.xmax = AMACH(2) / std::log(AMACH(2));
    s.dxrel = std::sqrt(AMACH(4));
  }
  const float y = std::fabs(X);
  if (y <= 10.0f) return std::log(std::fabs(GAMMA(X)));
  if (y > s.xmax) {
    E1STR(1, X);
    E1STR(2, s.xmax);
    E1MES(5, 4, "The function overflows because ABS(%(R1)) is greater than %(R2).");
    return AMACH(6);
  }
  if (X > 0.0f) return (X - 0.5f) * std::log(X) + R9LGMC(y) - X + kLnSqrt2Pi;
  if (X == std::trunc(X)) return negative_integer_error(5, X);
  const float sinpiy = std::fabs(std::sin(kPi * y));
  const float r = (X - 0.5f) * std::log(y) - R9LGMC(y) - std::log(sinpiy) - X + kLnSqrtPiOver2;
  if (std::fabs(distance_from_integer(X) * r) < s.dxrel) warn_near_negative_integer(X);
  return r;
}

}  // namespace ksatfit
