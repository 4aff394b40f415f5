// ksatfit/regression.hpp: the least-squares polynomial fit through
// orthogonal polynomials, its summary statistics, the inference on its
// coefficients and the analysis of variance.
//
// Arrays are pointers to their first element, column-major, with lengths and
// leading dimensions passed explicitly. Scalars that are only read are passed
// by value, scalars that are written by reference. Messages go through the
// error layer (ksatfit/errors.hpp) to the console, and a fatal error stops
// the program; ksatfit/fit.hpp offers the same fit without printing or
// stopping. The routines keep intermediate values in static storage and are
// not reentrant: call them from one thread at a time.
#pragma once

namespace ksatfit {

// regression
void RCURV(int NOBS, const float* XDATA, const float* YDATA, int NDEG,
           float* B, float* SSPOLY, float* STAT);
void R2ORP(int NOBS, int NCOL, const float* X, int LDX, int IRSP, int IND,
           int IFRQ, int IWT, int MAXDEG, int ICRIT, float CRIT, int LOF,
           int& NDEG, float& XSCALE, float& XSHIFT, float* ALPHA, float* BETA,
           float* OCOEF, float* D, float& DFE, float& SSE, float& DFPE,
           float& SSPE, int& NMISS, float* WK, int* IWK);
void R2TAP(int NDEG, const float* ALPHA, const float* BETA, float XSCALE,
           float XSHIFT, const float* OCOEF, const float* D, float DFE, float SSE,
           int LOF, float DFPE, float SSPE, int IPRINT, float* AOV, float* SQSS,
           int LDSQSS, float* COEF, int LDCOEF, float* TLOF, int LDTLOF, float* WK);
void RCOEF(int NCOEF, const float* B, const float* STDB, float DFE, float* COEF,
           int LDCOEF);               // B and STDB may be columns of COEF
void G1AOV(float DFR, float SSR, float DFE, float SSE, float YMEAN, float* AOV);

}  // namespace ksatfit
