// Summary statistics of an orthogonal-polynomial fit: power-form coefficients
// with their inference, sequential sums of squares with F tests, lack-of-fit
// tests and the analysis-of-variance vector. R2TAP (ksatfit.hpp) checks the
// arguments and hands the work to R5TAP.
#pragma once

namespace ksatfit {

// The computation behind R2TAP, on arguments that passed its checks. WK1 is
// the NDEG+1 by 4 work matrix of the coefficient conversion, WK2 the NDEG+1 by
// NDEG+3 work matrix of the variance conversion. IPRINT = 1 then prints the
// analysis of variance, the inference on the coefficients, the sequential
// statistics and (LOF = 1) the tests of lack of fit on the output unit.
void R5TAP(int NDEG, const float* ALPHA, const float* BETA, float XSCALE, float XSHIFT,
           const float* OCOEF, const float* D, float DFE, float SSE, int LOF, float DFPE,
           float SSPE, int IPRINT, float* AOV, float* SQSS, int LDSQSS, float* COEF,
           int LDCOEF, float* TLOF, int LDTLOF, float* WK1, float* WK2);

}  // namespace ksatfit
