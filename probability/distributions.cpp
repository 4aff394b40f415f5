// The lower-tail distribution functions of the F and Student t distributions.
#include <cmath>

#include "errors/error_layer.hpp"
#include "ksatfit/errors.hpp"
#include "ksatfit/probability.hpp"

namespace ksatfit {

float FDF(float F, float DFN, float DFD) {
  RoutineScope guard("FDF");
  if (DFN <= 0.0f) {
    E1STR(1, DFN);
    E1MES(5, 1, "DFN = %(R1) must be greater than 0.0.");
    return AMACH(6);
  }
  if (DFD <= 0.0f) {
    E1STR(1, DFD);
    E1MES(5, 2, "DFD = %(R1) must be greater than 0.0.");
    return AMACH(6);
  }
  if (F <= 0.0f) {
    E1STR(1, F);
    E1MES(1, 3, "Since F = %(R1) is not positive, the distribution function is zero at F.");
    return 0.0f;
  }
  const float X = DFD / (DFD + DFN * F);
  return 1.0f - BETAI(X, DFD / 2.0f, DFN / 2.0f);
}

namespace {

// The two-sided tail Q for 0 <= T*T < DF by the normal approximation to a
// transformed t (for DF of 20 or more, or not a whole number).
float normalizing_transformation(float DF, float Y, float B) {
  const float L = (B - 1.0f == 0.0f) ? Y : Y * std::log(B) / (B - 1.0f);
  const float A = DF - 0.5f;
  const float D = 48.0f * A * A;
  const float Z = A * L;
  const float W =
      (((((-0.4f * Z - 3.3f) * Z - 24.0f) * Z - 85.5f) / (0.8f * Z * Z + D + 100.0f) + Z + 3.0f) /
           D +
       1.0f) *
      std::sqrt(Z);
  if (W < 18.8125f) return ERFC(W * std::sqrt(0.5f));
  return 0.0f;
}

// Q for whole N below 20 and T*T < 4: the finite cosine series.
float cosine_series(int N, float Y, float B, float two_over_pi) {
  const float S = std::sqrt(Y);
  float A = N == 1 ? 0.0f : S;
  int n = N - 2;
  while (n > 1) {
    A = static_cast<float>(n - 1) / (B * static_cast<float>(n)) * A + S;
    n = n - 2;
  }
  if (n == 0) {
    A = A / std::sqrt(B);
  } else {
    A = (std::atan(S) + A / B) * two_over_pi;
  }
  return 1.0f - A;
}

// Q for whole N below 20 and 4 <= T*T < DF: the tail series.
float tail_series(int N, float B, float two_over_pi) {
  const float fN = static_cast<float>(N);
  float A = 1.0f;
  float V = fN;
  float Z = 0.0f;
  float J = 0.0f;
  for (;;) {
    Z = Z + 2.0f * B;
    J = J + 2.0f;
    V = V * (J - 1.0f) / Z;
    const float sum = A + V / (J + fN);
    if (sum == A) break;
    A = sum;
  }
  int n = N;
  while (n > 1) {
    if (A < 1.0E-30f) break;
    A = A * static_cast<float>(n - 1) / (B * static_cast<float>(n));
    n = n - 2;
  }
  if (n != 0) A = A * two_over_pi / std::sqrt(B);
  return A;
}

}  // namespace

float TDF(float T, float DF) {
  RoutineScope guard("TDF");
  const float nan = AMACH(6);
  if (!(DF >= 1.0f)) {
    E1STR(1, DF);
    E1MES(5, 1, "The input number of degrees of freedom, DF = %(R1), must be at least 1.");
    return nan;
  }
  static bool first = true;
  static float two_over_pi = 0.0f;
  if (first) {
    two_over_pi = 1.0f / std::asin(1.0f);
    first = false;
  }
  // A NaN point has no probability (and would never end the tail series).
  if (IFNAN(T)) return nan;

  const float T2 = T * T;
  float Q;
  if (T2 >= DF) {
    Q = BETAI(DF / (DF + T2), DF / 2.0f, 0.5f);
  } else {
    const float Y = T2 / DF;
    const float B = 1.0f + Y;
    if (DF >= 20.0f || std::trunc(DF) != DF) {
      Q = normalizing_transformation(DF, Y, B);
    } else if (T2 < 4.0f) {
      Q = cosine_series(static_cast<int>(DF), Y, B, two_over_pi);
    } else {
      Q = tail_series(static_cast<int>(DF), B, two_over_pi);
    }
  }
  return T > 0.0f ? 1.0f - Q / 2.0f : Q / 2.0f;
}

}  // namespace ksatfit
