// Division that never traps: NaN for a NaN operand or 0/0, a signed infinity
// when the quotient would overflow (a nonzero over zero included), zero when
// it would underflow. The tests compare |XNUM| with a product formed in a
// wider precision, where it can neither overflow nor underflow. C1F builds
// the F ratio and its upper-tail probability on it.
#include <cmath>

#include "errors/error_layer.hpp"
#include "kernels/real_kernels.hpp"
#include "kernels/real_traits.hpp"
#include "ksatfit/errors.hpp"
#include "ksatfit/kernels.hpp"

namespace ksatfit {

template <class Real>
Real C1DIV(Real XNUM, Real XDEN) {
  using Traits = RealTraits<Real>;
  using Wide = typename Traits::Wide;
  static const Wide tiny = Traits::tiny();
  static const Wide huge = Traits::huge();
  if (IFNAN(XNUM) || IFNAN(XDEN)) return Traits::missing();
  const Wide num = std::fabs(Wide{XNUM});
  const Wide den = std::fabs(Wide{XDEN});
  if (den > 1) return num < tiny * den ? Real{0} : XNUM / XDEN;
  if (num < huge * den) return XNUM / XDEN;
  if (XNUM == 0) return Traits::missing();
  // A zero denominator of either sign counts as positive.
  const bool same_sign = (XNUM > 0) == (XDEN >= 0);
  return same_sign ? Traits::plus_infinity() : Traits::minus_infinity();
}

template <class Real>
void C1F(Real XNUM, Real XDEN, Real DFN, Real DFD, Real& F, Real& PVAL) {
  using Traits = RealTraits<Real>;
  RoutineScope guard("C1F");
  PVAL = Traits::missing();
  F = C1DIV(XNUM, XDEN);
  if (IFNAN(F) || DFN <= 0 || DFD <= 0) return;
  PVAL = F == Traits::plus_infinity() ? Real{0} : Traits::f_upper_tail(F, DFN, DFD);
}

template float C1DIV<float>(float, float);
template double C1DIV<double>(double, double);
template void C1F<float>(float, float, float, float, float&, float&);
template void C1F<double>(double, double, double, double, double&, double&);

float C1DIV(float XNUM, float XDEN) { return C1DIV<float>(XNUM, XDEN); }

void C1F(float XNUM, float XDEN, float DFN, float DFD, float& F, float& PVAL) {
  C1F<float>(XNUM, XDEN, DFN, DFD, F, PVAL);
}

}  // namespace ksatfit
