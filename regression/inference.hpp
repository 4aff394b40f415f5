// Coefficient inference and the analysis of variance. RCOEF and G1AOV are
// public (ksatfit/regression.hpp); the pieces they are built from live here.
#pragma once

#include "ksatfit/regression.hpp"

namespace ksatfit {

// Templates on the real type, made for float and double. RCOEF and G1AOV
// as in ksatfit/regression.hpp:
template <class Real>
void RCOEF(int NCOEF, const Real* B, const Real* STDB, Real DFE, Real* COEF, int LDCOEF);
template <class Real>
void G1AOV(Real DFR, Real SSR, Real DFE, Real SSE, Real YMEAN, Real* AOV);

// T = B/SE (guarded) and the two-sided p-value of T with DFE degrees of
// freedom; PVAL is NaN when T is NaN or DFE is zero or NaN, 0 when T is infinite.
template <class Real>
void C1T(Real B, Real SE, Real DFE, Real& T, Real& PVAL);

// Fills AOV(1)..AOV(10): degrees of freedom, sums of squares, mean squares,
// the F statistic and its upper-tail probability. Checks nothing.
template <class Real>
void G3AOV(Real DFR, Real SSR, Real DFE, Real SSE, Real* AOV);

}  // namespace ksatfit
