// Summary statistics of an orthogonal-polynomial fit: power-form coefficients
// with their inference, sequential sums of squares with F tests, lack-of-fit
// tests and the analysis-of-variance vector. R2TAP (ksatfit/regression.hpp) checks the
// arguments and hands the work to R5TAP.
#pragma once

#include "kernels/real_traits.hpp"

namespace ksatfit {

// The computation behind R2TAP, on arguments that passed its checks. WK1 is
// the NDEG+1 by 4 work matrix of the coefficient conversion, WK2 the NDEG+1 by
// NDEG+3 work matrix of the variance conversion. IPRINT = 1 then prints the
// analysis of variance, the inference on the coefficients, the sequential
// statistics and (LOF = 1) the tests of lack of fit on the output unit.
template <class Real>
void R5TAP(int NDEG, const Carried<Real>* ALPHA, const Carried<Real>* BETA, Real XSCALE,
           Real XSHIFT, const Carried<Real>* OCOEF, const Carried<Real>* D, Real DFE, Real SSE,
           int LOF, Real DFPE, Real SSPE, int IPRINT, Real* AOV, Real* SQSS, int LDSQSS, Real* COEF,
           int LDCOEF, Real* TLOF, int LDTLOF, Real* WK1, Real* WK2);

// R2TAP as in ksatfit/regression.hpp, for float and for double. The printed tables
// (IPRINT = 1) show four or five digits, which a float holds: a double fit
// prints its figures rounded to float.
template <class Real>
void R2TAP(int NDEG, const Carried<Real>* ALPHA, const Carried<Real>* BETA, Real XSCALE,
           Real XSHIFT, const Carried<Real>* OCOEF, const Carried<Real>* D, Real DFE, Real SSE,
           int LOF, Real DFPE, Real SSPE, int IPRINT, Real* AOV, Real* SQSS, int LDSQSS, Real* COEF,
           int LDCOEF, Real* TLOF, int LDTLOF, Real* WK);

}  // namespace ksatfit
