// Division that never traps: NaN for a NaN operand or 0/0, a signed infinity
// when the quotient would overflow (a nonzero over zero included), zero when
// it would underflow. The tests compare |XNUM| with a product formed in
// double, where it can neither overflow nor underflow. C1F builds the F ratio
// and its upper-tail probability on it.
#include <cmath>

#include "errors/error_layer.hpp"
#include "ksatfit.hpp"

namespace ksatfit {

float C1DIV(float XNUM, float XDEN) {
  static const double tiny = AMACH(1);
  static const double huge = AMACH(2);
  if (IFNAN(XNUM) || IFNAN(XDEN)) return AMACH(6);
  const double num = std::fabs(double{XNUM});
  const double den = std::fabs(double{XDEN});
  if (den > 1.0) return num < tiny * den ? 0.0f : XNUM / XDEN;
  if (num < huge * den) return XNUM / XDEN;
  if (XNUM == 0.0f) return AMACH(6);
  // A zero denominator of either sign counts as positive.
  const bool same_sign = (XNUM > 0.0f) == (XDEN >= 0.0f);
  return same_sign ? AMACH(7) : AMACH(8);
}

void C1F(float XNUM, float XDEN, float DFN, float DFD, float& F, float& PVAL) {
  RoutineScope guard("C1F");
  PVAL = AMACH(6);
  F = C1DIV(XNUM, XDEN);
  if (IFNAN(F) || DFN <= 0.0f || DFD <= 0.0f) return;
  PVAL = F == AMACH(7) ? 0.0f : 1.0f - FDF(F, DFN, DFD);
}

}  // namespace ksatfit
