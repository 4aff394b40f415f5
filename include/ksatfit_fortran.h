/* ksatfit_fortran.h: the library's routines as Fortran 77 programs call them,
 * declared for C callers.
 *
 * Each routine of ksatfit.hpp has an entry named in lower case with a
 * trailing underscore (the convention of gfortran and most Unix Fortran
 * compilers), without C++ name mangling, taking every argument by reference:
 *
 *     Fortran                 C
 *     INTEGER                 int (32 bits)
 *     REAL                    float
 *     LOGICAL (default kind)  int: 1 true, 0 false (a LOGICAL function returns it)
 *     REAL FUNCTION           returns float (not double, as with f2c or -ff2c)
 *     array                   pointer to its first element, column-major
 *
 * So `CALL RCURV(NOBS, X, Y, NDEG, B, SSPOLY, STAT)` is
 * `rcurv_(&nobs, x, y, &ndeg, b, sspoly, stat)` and `F = FDF(F0, DFN, DFD)` is
 * `f = fdf_(&f0, &dfn, &dfd)`. The entries behave exactly as the C++
 * routines: messages on standard output (unit 6), units set with UMACH, and a
 * fatal or terminal error ends the program with "Stop - Program terminated."
 * and exit status 1.
 *
 * A CHARACTER argument is passed by gfortran as a pointer to its first
 * character (blank-padded, not terminated by a zero), and its length follows
 * as a hidden argument of type size_t (gfortran 8 and later) after all the
 * declared arguments, one for each CHARACTER argument in their order:
 * `CALL PRT(TITLE, N)` is `prt_(const char* title, const int* n, size_t title_len)`.
 *
 * The library's routines are not reentrant: call them from one thread. */
#ifndef KSATFIT_FORTRAN_H
#define KSATFIT_FORTRAN_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* machine constants and error queries */
float amach_(const int* n);
int imach_(const int* n);
void umach_(const int* n, int* nunit);
int ifnan_(const float* x);
int n1rty_(const int* ioff);
int n1rcd_(const int* ioff);

/* kernels */
void sset_(const int* n, const float* sa, float* sx, const int* incx);
void iset_(const int* n, const int* ia, int* ix, const int* incx);
void scopy_(const int* n, const float* sx, const int* incx, float* sy, const int* incy);
float ssum_(const int* n, const float* sx, const int* incx);
float sdot_(const int* n, const float* sx, const int* incx, const float* sy, const int* incy);
float sxyz_(const int* n, const float* sx, const int* incx, const float* sy, const int* incy,
            const float* sz, const int* incz);
int ismax_(const int* n, const float* sx, const int* incx);
int ismin_(const int* n, const float* sx, const int* incx);
void svrgp_(const int* n, const float* ra, float* rb, int* iperm);
float c1div_(const float* xnum, const float* xden);
void c1f_(const float* xnum, const float* xden, const float* dfn, const float* dfd, float* f,
          float* pval);

/* probability */
float fdf_(const float* f, const float* dfn, const float* dfd);
float tdf_(const float* t, const float* df);
float betai_(const float* x, const float* pin, const float* qin);
float albeta_(const float* a, const float* b);
float gamma_(const float* x);
float alngam_(const float* x);
float r9lgmc_(const float* x);
float alnrel_(const float* x);
float erfc_(const float* x);
float csevl_(const float* x, const float* cs, const int* n);
int inits_(const float* os, const int* nos, const float* eta);
void r9gaml_(float* xmin, float* xmax);

/* table printing. CHARACTER values lose their padding blanks; a label array
 * whose elements are all blank prints row (or column) numbers instead. */
void tabset_(const int* iopt, const int* ival);
void tabget_(const int* iopt, int* ival);
void tabmat_(const char* title, const int* nra, const int* nca, const float* a, const int* lda,
             const char* fmt, const char* rhead, const char* rlabel, const char* clabel,
             size_t title_len, size_t fmt_len, size_t rhead_len, size_t rlabel_len,
             size_t clabel_len);
void tabaov_(const char* title, const char* rlabel, const float* aov, size_t title_len,
             size_t rlabel_len);

/* regression */
void rcurv_(const int* nobs, const float* xdata, const float* ydata, const int* ndeg, float* b,
            float* sspoly, float* stat);
void r2orp_(const int* nobs, const int* ncol, const float* x, const int* ldx, const int* irsp,
            const int* ind, const int* ifrq, const int* iwt, const int* maxdeg,
            const int* icrit, const float* crit, const int* lof, int* ndeg, float* xscale,
            float* xshift, float* alpha, float* beta, float* ocoef, float* d, float* dfe,
            float* sse, float* dfpe, float* sspe, int* nmiss, float* wk, int* iwk);
void r2tap_(const int* ndeg, const float* alpha, const float* beta, const float* xscale,
            const float* xshift, const float* ocoef, const float* d, const float* dfe,
            const float* sse, const int* lof, const float* dfpe, const float* sspe,
            const int* iprint, float* aov, float* sqss, const int* ldsqss, float* coef,
            const int* ldcoef, float* tlof, const int* ldtlof, float* wk);
void rcoef_(const int* ncoef, const float* b, const float* stdb, const float* dfe, float* coef,
            const int* ldcoef);
void g1aov_(const float* dfr, const float* ssr, const float* dfe, const float* sse,
            const float* ymean, float* aov);

#ifdef __cplusplus
}
#endif

#endif /* KSATFIT_FORTRAN_H */
