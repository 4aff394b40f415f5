// Chebyshev series: evaluation by the Clenshaw recurrence and truncation of a
// coefficient table to the terms that a required accuracy needs.
#include <cmath>

#include "errors/error_layer.hpp"
#include "ksatfit/errors.hpp"
#include "ksatfit/probability.hpp"
#include "runtime/one_based.hpp"

namespace ksatfit {

float CSEVL(float X, const float* CS, int N) {
  RoutineScope guard("CSEVL");
  const float nan = AMACH(6);
  if (N < 1) {
    E1STI(1, N);
    E1MES(5, 5, "The number of terms in the series is not positive. N = %(I1).");
    return nan;
  }
  if (N > 1000) {
    E1STI(1, N);
    E1MES(5, 6, "The number of terms in the series is greater than 1000. N = %(I1).");
    return nan;
  }
  if (X < -1.1f || X > 1.1f) {
    E1STR(1, X);
    E1MES(3, 7, "The argument X = %(R1) is outside the interval (-1.1,+1.1).");
  }
  const Vec1<const float> cs(CS);
  float b0 = 0.0f;
  float b1 = 0.0f;
  float b2 = 0.0f;
  const float twox = 2.0f * X;
  for (int i = 1; i <= N; ++i) {
    b2 = b1;
    b1 = b0;
    b0 = twox * b1 - b2 + cs(N + 1 - i);
  }
  return 0.5f * (b0 - b2);
}

int INITS(const float* OS, int NOS, float ETA) {
  RoutineScope guard("INITS");
  if (NOS < 1) {
    E1STI(1, NOS);
    E1MES(5, 5, "The number of coefficients is less than 1. NOS = %(I1).");
    return 0;
  }
  // Drop trailing terms while the sum of their magnitudes stays within ETA.
  const Vec1<const float> os(OS);
  float err = 0.0f;
  int i = NOS;
  for (; i > 1; --i) {
    err = err + std::fabs(os(i));
    if (err > ETA) break;
  }
  if (i == NOS) {
    E1MES(5, 6, "Too much accuracy may be requested. ETA should be increased.");
    return 0;
  }
  return i;
}

}  // namespace ksatfit
