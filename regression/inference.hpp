// Coefficient inference and the analysis of variance. RCOEF and G1AOV are
// public (ksatfit.hpp); the pieces they are built from live here.
#pragma once

#include "ksatfit.hpp"

namespace ksatfit {

// T = B/SE (guarded) and the two-sided p-value of T with DFE degrees of
// freedom; PVAL is NaN when T is NaN or DFE is zero or NaN, 0 when T is infinite.
void C1T(float B, float SE, float DFE, float& T, float& PVAL);

// Fills AOV(1)..AOV(10): degrees of freedom, sums of squares, mean squares,
// the F statistic and its upper-tail probability. Checks nothing.
void G3AOV(float DFR, float SSR, float DFE, float SSE, float* AOV);

}  // namespace ksatfit
