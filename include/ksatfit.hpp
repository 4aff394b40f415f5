// ksatfit: least-squares polynomial fitting through orthogonal polynomials,
// with summary statistics, probability functions and an error layer that
// reports on the console.
//
// Arrays are pointers to their first element, column-major, with lengths and
// leading dimensions passed explicitly. Scalars that are only read are passed
// by value, scalars that are written by reference. Texts are string views;
// in titles and headings "%/" starts a new line.
//
// The routines keep their error state and intermediate values in static
// storage and are not reentrant: call them from one thread at a time.
// ksatfit/fit.hpp offers the fit to applications without printing or
// stopping, safe to call from several threads; ksatfit_fortran.h declares
// these routines as Fortran 77 programs call them.
#pragma once

#include <bit>
#include <cstdint>
#include <string_view>

namespace ksatfit {

// machine constants and error queries
float AMACH(int N);
int   IMACH(int N);
void  UMACH(int N, int& NUNIT);
inline bool IFNAN(float X);  // defined at the end
int   N1RTY(int IOFF);
int   N1RCD(int IOFF);

// kernels
void  SSET(int N, float SA, float* SX, int INCX);
void  ISET(int N, int IA, int* IX, int INCX);
void  SCOPY(int N, const float* SX, int INCX, float* SY, int INCY);
float SSUM(int N, const float* SX, int INCX);
float SDOT(int N, const float* SX, int INCX, const float* SY, int INCY);
float SXYZ(int N, const float* SX, int INCX, const float* SY, int INCY,
           const float* SZ, int INCZ);
int   ISMAX(int N, const float* SX, int INCX);
int   ISMIN(int N, const float* SX, int INCX);
void  SVRGP(int N, const float* RA, float* RB, int* IPERM);   // RB may equal RA
float C1DIV(float XNUM, float XDEN);
void  C1F(float XNUM, float XDEN, float DFN, float DFD, float& F, float& PVAL);

// probability
float FDF(float F, float DFN, float DFD);
float TDF(float T, float DF);
float BETAI(float X, float PIN, float QIN);
float ALBETA(float A, float B);
float GAMMA(float X);
float ALNGAM(float X);
float R9LGMC(float X);
float ALNREL(float X);
float ERFC(float X);
float CSEVL(float X, const float* CS, int N);
int   INITS(const float* OS, int NOS, float ETA);
void  R9GAML(float& XMIN, float& XMAX);

// table printing, on the unit of UMACH entry 2
// Print options: 1 page width (40 to 255 columns, initially 78), 2 page length
// (0 = no page breaks, the initial value, or at least 10 lines), 3 a zero
// before the decimal point (1, initially, or 0).
void  TABSET(int IOPT, int IVAL);
void  TABGET(int IOPT, int& IVAL);
// A labelled matrix: FMT is a list such as "(2W10.4,F9.3,F7.4)" whose entries
// edit the columns in turn; RHEAD heads the row labels, which are RLABEL's NRA
// texts or, when RLABEL is null, the row numbers; CLABEL holds NCA column
// headings, or is null for the column numbers.
void  TABMAT(std::string_view TITLE, int NRA, int NCA, const float* A, int LDA,
             std::string_view FMT, std::string_view RHEAD, const std::string_view* RLABEL,
             const std::string_view* CLABEL);
// The analysis-of-variance table of the 15-element AOV vector of G1AOV, rows
// labelled by RLABEL's three texts, and the statistics of the fit below it.
void  TABAOV(std::string_view TITLE, const std::string_view* RLABEL, const float* AOV);

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

// Whether X is NaN: every exponent bit set and a nonzero fraction. Inline, as
// the library asks it of every row of its data, in loops that keep running
// sums in registers.
inline bool IFNAN(float X) {
  const std::uint32_t bits = std::bit_cast<std::uint32_t>(X);
  return (bits & 0x7F800000u) == 0x7F800000u && (bits & 0x007FFFFFu) != 0;
}

}  // namespace ksatfit
