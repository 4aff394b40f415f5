// The Fortran 77 entries of the library's routines (ksatfit_fortran.h):
// every argument by reference, each entry a direct call of its routine. A
// new public routine gets one line here and one in the header; a CHARACTER
// argument arrives as a char pointer with a hidden size_t length at the end
// of the argument list (see ksatfit_fortran.h).
#include "ksatfit_fortran.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "ksatfit/errors.hpp"
#include "ksatfit/kernels.hpp"
#include "ksatfit/probability.hpp"
#include "ksatfit/regression.hpp"
#include "ksatfit/tables.hpp"

static_assert(sizeof(int) == sizeof(std::int32_t), "a Fortran INTEGER is 32 bits");

using namespace ksatfit;

namespace {

// A CHARACTER value without the blanks that pad it to its declared length.
std::string_view fortran_text(const char* text, std::size_t length) {
  std::string_view view(text, length);
  const std::size_t last = view.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string_view() : view.substr(0, last + 1);
}

// The COUNT elements of a CHARACTER*(length) array, unpadded. Fortran has no
// null array, so an array whose elements are all blank stands for "none"
// (row or column numbers) and gives an empty vector.
std::vector<std::string_view> fortran_texts(const char* texts, std::size_t length, int count) {
  std::vector<std::string_view> views;
  bool all_blank = true;
  for (int k = 0; k < count; ++k) {
    views.push_back(fortran_text(texts + static_cast<std::size_t>(k) * length, length));
    all_blank = all_blank && views.back().empty();
  }
  if (all_blank) views.clear();
  return views;
}

const std::string_view* labels_or_null(const std::vector<std::string_view>& labels) {
  return labels.empty() ? nullptr : labels.data();
}

}  // namespace

extern "C" {

// machine constants and error queries
float amach_(const int* n) { return AMACH(*n); }
int imach_(const int* n) { return IMACH(*n); }
void umach_(const int* n, int* nunit) { UMACH(*n, *nunit); }
int ifnan_(const float* x) { return IFNAN(*x) ? 1 : 0; }
int n1rty_(const int* ioff) { return N1RTY(*ioff); }
int n1rcd_(const int* ioff) { return N1RCD(*ioff); }

// kernels
void sset_(const int* n, const float* sa, float* sx, const int* incx) { SSET(*n, *sa, sx, *incx); }
void iset_(const int* n, const int* ia, int* ix, const int* incx) { ISET(*n, *ia, ix, *incx); }
void scopy_(const int* n, const float* sx, const int* incx, float* sy, const int* incy) {
  SCOPY(*n, sx, *incx, sy, *incy);
}
float ssum_(const int* n, const float* sx, const int* incx) { return SSUM(*n, sx, *incx); }
float sdot_(const int* n, const float* sx, const int* incx, const float* sy, const int* incy) {
  return SDOT(*n, sx, *incx, sy, *incy);
}
float sxyz_(const int* n, const float* sx, const int* incx, const float* sy, const int* incy,
            const float* sz, const int* incz) {
  return SXYZ(*n, sx, *incx, sy, *incy, sz, *incz);
}
int ismax_(const int* n, const float* sx, const int* incx) { return ISMAX(*n, sx, *incx); }
int ismin_(const int* n, const float* sx, const int* incx) { return ISMIN(*n, sx, *incx); }
void svrgp_(const int* n, const float* ra, float* rb, int* iperm) { SVRGP(*n, ra, rb, iperm); }
float c1div_(const float* xnum, const float* xden) { return C1DIV(*xnum, *xden); }
void c1f_(const float* xnum, const float* xden, const float* dfn, const float* dfd, float* f,
          float* pval) {
  C1F(*xnum, *xden, *dfn, *dfd, *f, *pval);
}

// probability
float fdf_(const float* f, const float* dfn, const float* dfd) { return FDF(*f, *dfn, *dfd); }
float tdf_(const float* t, const float* df) { return TDF(*t, *df); }
float betai_(const float* x, const float* pin, const float* qin) { return BETAI(*x, *pin, *qin); }
float albeta_(const float* a, const float* b) { return ALBETA(*a, *b); }
float gamma_(const float* x) { return GAMMA(*x); }
float alngam_(const float* x) { return ALNGAM(*x); }
float r9lgmc_(const float* x) { return R9LGMC(*x); }
float alnrel_(const float* x) { return ALNREL(*x); }
float erfc_(const float* x) { return ERFC(*x); }
float csevl_(const float* x, const float* cs, const int* n) { return CSEVL(*x, cs, *n); }
int inits_(const float* os, const int* nos, const float* eta) { return INITS(os, *nos, *eta); }
void r9gaml_(float* xmin, float* xmax) { R9GAML(*xmin, *xmax); }

// table printing
void tabset_(const int* iopt, const int* ival) { TABSET(*iopt, *ival); }
void tabget_(const int* iopt, int* ival) { TABGET(*iopt, *ival); }
void tabmat_(const char* title, const int* nra, const int* nca, const float* a, const int* lda,
             const char* fmt, const char* rhead, const char* rlabel, const char* clabel,
             std::size_t title_len, std::size_t fmt_len, std::size_t rhead_len,
             std::size_t rlabel_len, std::size_t clabel_len) {
  const std::vector<std::string_view> rows = fortran_texts(rlabel, rlabel_len, *nra);
  const std::vector<std::string_view> columns = fortran_texts(clabel, clabel_len, *nca);
  TABMAT(fortran_text(title, title_len), *nra, *nca, a, *lda, fortran_text(fmt, fmt_len),
         fortran_text(rhead, rhead_len), labels_or_null(rows), labels_or_null(columns));
}
void tabaov_(const char* title, const char* rlabel, const float* aov, std::size_t title_len,
             std::size_t rlabel_len) {
  const std::vector<std::string_view> rows = fortran_texts(rlabel, rlabel_len, 3);
  TABAOV(fortran_text(title, title_len), labels_or_null(rows), aov);
}

// regression
void rcurv_(const int* nobs, const float* xdata, const float* ydata, const int* ndeg, float* b,
            float* sspoly, float* stat) {
  RCURV(*nobs, xdata, ydata, *ndeg, b, sspoly, stat);
}
void r2orp_(const int* nobs, const int* ncol, const float* x, const int* ldx, const int* irsp,
            const int* ind, const int* ifrq, const int* iwt, const int* maxdeg,
            const int* icrit, const float* crit, const int* lof, int* ndeg, float* xscale,
            float* xshift, float* alpha, float* beta, float* ocoef, float* d, float* dfe,
            float* sse, float* dfpe, float* sspe, int* nmiss, float* wk, int* iwk) {
  R2ORP(*nobs, *ncol, x, *ldx, *irsp, *ind, *ifrq, *iwt, *maxdeg, *icrit, *crit, *lof, *ndeg,
        *xscale, *xshift, alpha, beta, ocoef, d, *dfe, *sse, *dfpe, *sspe, *nmiss, wk, iwk);
}
void r2tap_(const int* ndeg, const float* alpha, const float* beta, const float* xscale,
            const float* xshift, const float* ocoef, const float* d, const float* dfe,
            const float* sse, const int* lof, const float* dfpe, const float* sspe,
            const int* iprint, float* aov, float* sqss, const int* ldsqss, float* coef,
            const int* ldcoef, float* tlof, const int* ldtlof, float* wk) {
  R2TAP(*ndeg, alpha, beta, *xscale, *xshift, ocoef, d, *dfe, *sse, *lof, *dfpe, *sspe, *iprint,
        aov, sqss, *ldsqss, coef, *ldcoef, tlof, *ldtlof, wk);
}
void rcoef_(const int* ncoef, const float* b, const float* stdb, const float* dfe, float* coef,
            const int* ldcoef) {
  RCOEF(*ncoef, b, stdb, *dfe, coef, *ldcoef);
}
void g1aov_(const float* dfr, const float* ssr, const float* dfe, const float* sse,
            const float* ymean, float* aov) {
  G1AOV(*dfr, *ssr, *dfe, *sse, *ymean, aov);
}

}  // extern "C"
