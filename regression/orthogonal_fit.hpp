// The layers beneath the orthogonal polynomial fit R2ORP (ksatfit/regression.hpp): the
// screening and sorting of the rows, the three-term recurrence that fits one
// degree at a time, and the checks of a row's frequency and weight and of a
// column index.
#pragma once

#include <string_view>

#include "kernels/real_traits.hpp"

namespace ksatfit {

// The routines below are templates on the real type, made for float (the
// library's routines) and double (the double-precision fit). R2ORP with the
// whole data matrix, as in ksatfit/regression.hpp, for either precision:
template <class Real>
void R2ORP(int NOBS, int NCOL, const Real* X, int LDX, int IRSP, int IND, int IFRQ, int IWT,
           int MAXDEG, int ICRIT, Real CRIT, int LOF, int& NDEG, Real& XSCALE, Real& XSHIFT,
           Carried<Real>* ALPHA, Carried<Real>* BETA, Carried<Real>* OCOEF, Carried<Real>* D,
           Real& DFE, Real& SSE, Real& DFPE, Real& SSPE, int& NMISS, Real* WK, int* IWK);

// The orthogonal polynomial fit as the curve fit calls it: R2ORP with two
// columns, y in column 2 and x in column 1, unit frequencies and weights, no
// criterion (ICRIT = 0) and no lack-of-fit test (LOF = 0), on a data matrix
// whose two columns are the arrays XDATA and YDATA as they are, so that they
// need not first be copied into one matrix.
template <class Real>
void R2ORP(int NOBS, const Real* XDATA, const Real* YDATA, int MAXDEG, int& NDEG, Real& XSCALE,
           Real& XSHIFT, Carried<Real>* ALPHA, Carried<Real>* BETA, Carried<Real>* OCOEF,
           Carried<Real>* D, Real& DFE, Real& SSE, Real& DFPE, Real& SSPE, int& NMISS, Real* WK,
           int* IWK);

// Screens the rows (NaN values, frequencies, weights), gathers the usable
// ones sorted by abscissa into XS, Y, W (frequency times weight) and F, and
// fits them with R3ORP. XCOL and YCOL are the columns X(*,IND) and X(*,IRSP)
// of the data matrix, of NOBS rows; C1WFR reads the frequency and weight
// columns IFRQ and IWT of X (leading dimension LDX), and without them
// (IFRQ = IWT = 0) X is not read and W and F are not written. STAGE holds
// the weight and frequency of each row (NOBS rows by 2 columns, only with such
// columns) while the rows are gathered, and then serves as the working matrix
// of R3ORP (n rows by 4 columns, or by 2 with unit weights); IWK holds NOBS
// integers.
template <class Real>
void R4ORP(int NOBS, const Real* XCOL, const Real* YCOL, const Real* X, int LDX, int IFRQ, int IWT,
           int MAXDEG, int ICRIT, Real CRIT, int LOF, int& NDEG, Real& XSCALE, Real& XSHIFT,
           Carried<Real>* ALPHA, Carried<Real>* BETA, Carried<Real>* OCOEF, Carried<Real>* D,
           Real& DFE, Real& SSE, Real& DFPE, Real& SSPE, int& NMISS, Real* XS, Real* Y, Real* W,
           Real* F, int* IWK, Real* STAGE);

// Fits the N rows (XS ascending, combined weights W, frequencies F) degree by
// degree and reports the conditions it meets. W and F are both given or both
// null, which stands for a weight and frequency of 1 in every row. XS is
// overwritten with the scaled abscissas z in [-2, 2]; WORK holds N rows by 4
// columns (by 2 with unit weights) and IWK N integers.
template <class Real>
void R3ORP(int N, Real* XS, const Real* Y, const Real* W, const Real* F, int MAXDEG, int ICRIT,
           Real CRIT, int LOF, int& NDEG, Real& XSCALE, Real& XSHIFT, Carried<Real>* ALPHA,
           Carried<Real>* BETA, Carried<Real>* OCOEF, Carried<Real>* D, Real& DFE, Real& SSE,
           Real& DFPE, Real& SSPE, int* IWK, Real* WORK);

// Reads and checks the frequency and weight of row IROW of X (column 0: every
// value is 1). IRET: 0 usable, 1 zero frequency (the weight is not read and
// comes back as 1), 2 NaN frequency or weight (NMISS advanced by ISIGN),
// 3 negative frequency or weight (fatal error raised). With ISIGN = -1 the
// frequency comes back negated. INVOKE > 0 quotes NCALL as the invocation
// number in the messages. The real before NMISS is not used.
template <class Real>
void C1WFR(int INVOKE, int NCALL, const Real* X, int LDX, int IROW, int ISIGN, int IFRQ,
           int IWT, Real UNUSED, int& NMISS, Real& FRQ, Real& WT, int& IRET);

// Checks that the column index IVAL is at least IMIN and, when NCOL >= 1, at
// most NCOL. Each of the two checks takes IER as its code and advances it.
void C1IND(int IMIN, int IVAL, std::string_view NAME, int NCOL,
           std::string_view NCOLNAME, int& IER);

}  // namespace ksatfit
