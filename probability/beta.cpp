// The regularized incomplete beta function and the logarithm of the complete
// beta function.
#include <algorithm>
#include <climits>
#include <cmath>

#include "errors/error_layer.hpp"
#include "ksatfit/errors.hpp"
#include "ksatfit/probability.hpp"
#include "probability/saved_values.hpp"
#include "probability/math_constants.hpp"

namespace ksatfit {
namespace {

using detail::kLnSqrt2Pi;

// Truncation toward zero to an int that stays defined for every float: a NaN
// gives 0 and magnitudes beyond the int range saturate.
int truncate_to_int(float v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483648.0f) return INT_MAX;
  if (v <= -2147483648.0f) return INT_MIN;
  return static_cast<int>(v);
}

// After a step's R9LGMC calls: an underflow alert left by the last of them
// is no error of ALBETA's, so clear it at this level.
void clear_correction_underflow() {
  if (N1RCD(1) == 1) E1MES(0, 0, " ");
}

// The power series of the smaller tail, with the first term normalized by
// the beta function B(ps, p), ps the fractional part of q (or 1).
float infinite_sum(float y, float p, float q, const detail::IncompleteBetaSaved& s) {
  float ps = q - std::trunc(q);
  if (ps == 0.0f) ps = 1.0f;
  const float xb = p * std::log(y) - ALBETA(ps, p) - std::log(p);
  float r = 0.0f;
  if (xb >= s.alntiny) {
    r = std::exp(xb);
    float term = r * p;
    if (ps != 1.0f) {
      const int n = truncate_to_int(std::max(s.alneps / std::log(y), 4.0f));
      for (int i = 1; i <= n; ++i) {
        const float fi = static_cast<float>(i);
        term = term * (fi - ps) / fi * y;
        r = r + term / (p + fi);
      }
    }
  }
  return r;
}

// The finite sum for q > 1. Its first term may lie below tiny: it is carried
// scaled up by tiny^-ib, and only terms reached once ib is back at 0 count.
float finite_sum(float y, float p, float q, const detail::IncompleteBetaSaved& s) {
  const float xb = p * std::log(y) + q * std::log(1.0f - y) - ALBETA(p, q) - std::log(q);
  int ib = truncate_to_int(std::max(xb / s.alntiny, 0.0f));
  float term = std::exp(xb - static_cast<float>(ib) * s.alntiny);
  const float c = 1.0f / (1.0f - y);
  const float p1 = q / (q + p - 1.0f) * c;
  float finsum = 0.0f;
  int n = truncate_to_int(q);
  if (q == static_cast<float>(n)) n = n - 1;
  for (int i = 1; i <= n; ++i) {
    if (p1 <= 1.0f && term / s.eps <= finsum) break;
    const float fi = static_cast<float>(i);
    term = (q - fi + 1.0f) / (q - fi + p) * term * c;
    if (term > 1.0f) {
      ib = ib - 1;
      term = term * s.tiny;
    }
    if (ib == 0) finsum = finsum + term;
  }
  return finsum;
}

}  // namespace

float BETAI(float X, float PIN, float QIN) {
  RoutineScope guard("BETAI");
  const float nan = AMACH(6);
  detail::IncompleteBetaSaved& s = detail::saved<detail::IncompleteBetaSaved>();
  if (s.eps == 0.0f) {
    s.eps = AMACH(3);
    s.alneps = std::log(s.eps);
    s.tiny = 100.0f * AMACH(1);
    s.alntiny = std::log(s.tiny);
  }
  if (X < 0.0f || X > 1.0f) {
    E1STR(1, X);
    E1MES(5, 5, "X = %(R1) is not in the range (0.0,1.0).");
  }
  if (PIN <= 0.0f || QIN <= 0.0f) {
    E1STR(1, PIN);
    E1STR(2, QIN);
    E1MES(5, 6, "Both PIN = %(R1) and QIN = %(R2) must be greater than 0.0.");
  }
  if (N1RTY(0) == 5) return nan;

  // Work in the tail where the series converges fast.
  float y = X;
  float p = PIN;
  float q = QIN;
  if (!((q <= p && X < 0.8f) || X < 0.2f)) {
    y = 1.0f - X;
    p = QIN;
    q = PIN;
  }
  const bool swapped = y != X || p != PIN;

  if ((p + q) / (p + 1.0f) * y < s.eps) {
    // The series reduces to its first term.
    float r = 0.0f;
    const float xb = p * std::log(std::max(y, s.tiny)) - ALBETA(p, q) - std::log(p);
    if (xb > s.alntiny && y != 0.0f) r = std::exp(xb);
    return swapped ? 1.0f - r : r;
  }

  float r = infinite_sum(y, p, q, s);
  if (q > 1.0f) r = r + finite_sum(y, p, q, s);
  if (swapped) r = 1.0f - r;
  r = std::fmin(r, 1.0f);
  r = std::fmax(r, 0.0f);
  return r;
}

float ALBETA(float A, float B) {
  RoutineScope guard("ALBETA");
  const float p = std::min(A, B);
  const float q = std::max(A, B);
  if (p <= 0.0f) {
    E1MES(5, 5, "Both arguments for the function must be greater than zero.");
    return AMACH(6);
  }
  if (p >= 10.0f) {
    // Both large: Stirling's formula for all three gamma functions.
    const float corr_q = R9LGMC(q);
    const float corr_pq = R9LGMC(p + q);
    const float corr_p = R9LGMC(p);
    clear_correction_underflow();
    const float corr = corr_p + corr_q - corr_pq;
    return -0.5f * std::log(q) + kLnSqrt2Pi + corr + (p - 0.5f) * std::log(p / (p + q)) +
           q * ALNREL(-p / (p + q));
  }
  if (q >= 10.0f) {
    // p small, q large: Stirling's formula for Gamma(q) / Gamma(p + q).
    const float corr_q = R9LGMC(q);
    const float corr_pq = R9LGMC(p + q);
    clear_correction_underflow();
    const float corr = corr_q - corr_pq;
    const float lngam_p = ALNGAM(p);
    return lngam_p + corr + p * (1.0f - std::log(p + q)) + (q - 0.5f) * ALNREL(-p / (p + q));
  }
  const float gamma_p = GAMMA(p);
  const float gamma_q = GAMMA(q);
  const float gamma_pq = GAMMA(p + q);
  return std::log(gamma_p * (gamma_q / gamma_pq));
}

}  // namespace ksatfit
