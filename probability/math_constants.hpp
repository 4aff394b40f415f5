// Constants of the special functions, rounded to single precision.
#pragma once

namespace ksatfit::detail {

inline constexpr float kPi = 3.14159274f;
inline constexpr float kSqrtPi = 1.77245390f;
inline constexpr float kLnSqrt2Pi = 0.91893852f;      // ln sqrt(2 pi)
inline constexpr float kLnSqrtPiOver2 = 0.22579135f;  // ln sqrt(pi / 2)

}  // namespace ksatfit::detail
