#include "regression/fitted_curve.hpp"

#include "runtime/one_based.hpp"

namespace ksatfit {

float fitted_value(int NDEG, const float* ALPHA, const float* BETA, float XSCALE, float XSHIFT,
                   const float* OCOEF, float X) {
  const Vec1<const float> alpha(ALPHA);
  const Vec1<const float> beta(BETA);
  const Vec1<const float> ocoef(OCOEF);
  const float z = XSCALE * X + XSHIFT;
  float previous = 0.0f;  // P_(K-2)
  float current = 1.0f;   // P_(K-1)
  float sum = ocoef(1);
  for (int K = 1; K <= NDEG; ++K) {
    const float next = (z - alpha(K)) * current - previous * beta(K);
    previous = current;
    current = next;
    sum = sum + ocoef(K + 1) * current;
  }
  return sum;
}

}  // namespace ksatfit
