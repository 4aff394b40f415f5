// R2ORP, the entry of the orthogonal polynomial fit: it checks the arguments
// and hands the work areas to the screening layer. C1IND checks one column
// index.
#include "regression/orthogonal_fit.hpp"

#include <cstddef>

#include "errors/error_layer.hpp"
#include "kernels/real_traits.hpp"
#include "ksatfit/errors.hpp"
#include "ksatfit/regression.hpp"
#include "regression/argument_checks.hpp"
#include "runtime/one_based.hpp"

namespace ksatfit {

void C1IND(int IMIN, int IVAL, std::string_view NAME, int NCOL,
           std::string_view NCOLNAME, int& IER) {
  // An upper bound below the lower one means "no upper bound".
  C1IARG(IVAL, NAME, IMIN, IMIN - 1, IER);
  if (NCOL >= 1) {
    C12ILE(IVAL, NAME, NCOL, NCOLNAME, IER);
  } else {
    ++IER;
  }
}

namespace {

void check_dimensions(int NOBS, int NCOL, int LDX) {
  if (NOBS <= 1) {
    E1STI(1, NOBS);
    E1MES(5, 1, "NOBS = %(I1).  The number of observations, NOBS, must be greater than 1.");
  } else if (LDX < NOBS) {
    E1STI(1, NOBS);
    E1STI(2, LDX);
    E1MES(5, 3,
          "NOBS = %(I1) and LDX = %(I2).  The leading dimension of X, LDX, must be "
          "greater than or equal to the number of observations, NOBS.");
  }
  if (NCOL < 1) {
    E1STI(1, NCOL);
    E1MES(5, 2,
          "NCOL = %(I1).  The number of columns in X, NCOL, must be greater than or "
          "equal to 1.");
  }
}

// Codes 4 to 11. IND must name a column: there is no column 0 to read the
// abscissas from, so its least value is 1 (0 means "none" only for the
// frequency and weight columns).
void check_columns(int NCOL, int IRSP, int IND, int IFRQ, int IWT) {
  int IER = 4;
  C1IND(1, IRSP, "IRSP", NCOL, "NCOL", IER);
  C1IND(1, IND, "IND", NCOL, "NCOL", IER);
  C1IND(0, IFRQ, "IFRQ", NCOL, "NCOL", IER);
  C1IND(0, IWT, "IWT", NCOL, "NCOL", IER);
}

template <class Real>
void check_options(int MAXDEG, int ICRIT, Real CRIT, int LOF) {
  if (MAXDEG < 0) {
    E1STI(1, MAXDEG);
    E1MES(5, 4,
          "MAXDEG = %(I1).  The maximum degree of the polynomial to be fit, MAXDEG, "
          "must be greater than or equal to 0.");
  }
  if (ICRIT < 0 || ICRIT > 2) {
    E1STI(1, ICRIT);
    E1MES(5, 5, "ICRIT = %(I1).  The criterion option, ICRIT, must be either 0, 1, or 2.");
  }
  if (LOF < 0 || LOF > 1) {
    E1STI(1, LOF);
    E1MES(5, 6, "LOF = %(I1).  The lack of fit option, LOF, must be either 0 or 1.");
  }
  // A NaN CRIT fails every comparison and so passes the range checks.
  if (ICRIT == 2) {
    if (LOF != 1) {
      E1STI(1, ICRIT);
      E1STI(2, LOF);
      E1MES(5, 7,
            "ICRIT = %(I1) and LOF = %(I2).  When the criterion option, ICRIT, equals "
            "2, the lack of fit option, LOF, must be equal to 1.");
    }
    if (CRIT < 0 || CRIT > 100) {
      E1STR(1, CRIT);
      E1STI(1, ICRIT);
      E1MES(5, 8,
            "CRIT = %(R1) when ICRIT = %(I1).  The significance level for the lack of "
            "fit test, CRIT, must be greater than or equal to 0 and less than or equal "
            "to 100 when the criterion option, ICRIT, is equal  to 2.");
    }
  }
  if (ICRIT == 1 && (CRIT <= 0 || CRIT > 100)) {
    E1STR(1, CRIT);
    E1STI(1, ICRIT);
    E1MES(5, 9,
          "CRIT = %(R1) when ICRIT = %(I1).  The R-squared that the fitted polynomial "
          "must achieve, CRIT, must be greater than 0 and less than or equal to 100 "
          "when the criterion option, ICRIT, is equal to 1.");
  }
}

// Every check runs, so one call reports every bad argument; true when none
// fired.
template <class Real>
bool arguments_ok(int NOBS, int NCOL, int LDX, int IRSP, int IND, int IFRQ, int IWT,
                  int MAXDEG, int ICRIT, Real CRIT, int LOF) {
  check_dimensions(NOBS, NCOL, LDX);
  check_columns(NCOL, IRSP, IND, IFRQ, IWT);
  check_options(MAXDEG, ICRIT, CRIT, LOF);
  return N1RCD(0) == 0;
}

// WK: sorted x, y, w, f (NOBS each), then the staging and working matrix.
template <class Real>
struct WorkAreas {
  Real* XS;
  Real* Y;
  Real* W;
  Real* F;
  Real* STAGE;
};

template <class Real>
WorkAreas<Real> work_areas(int NOBS, Real* WK) {
  const std::ptrdiff_t n = NOBS;
  return WorkAreas<Real>{WK, WK + n, WK + 2 * n, WK + 3 * n, WK + 4 * n};
}

}  // namespace

template <class Real>
void R2ORP(int NOBS, int NCOL, const Real* X, int LDX, int IRSP, int IND, int IFRQ, int IWT,
           int MAXDEG, int ICRIT, Real CRIT, int LOF, int& NDEG, Real& XSCALE, Real& XSHIFT,
           Carried<Real>* ALPHA, Carried<Real>* BETA, Carried<Real>* OCOEF, Carried<Real>* D,
           Real& DFE, Real& SSE, Real& DFPE, Real& SSPE, int& NMISS, Real* WK, int* IWK) {
  RoutineScope guard("R2ORP");
  if (!arguments_ok(NOBS, NCOL, LDX, IRSP, IND, IFRQ, IWT, MAXDEG, ICRIT, CRIT, LOF)) return;
  const Mat1<const Real> x(X, LDX);
  const WorkAreas<Real> a = work_areas(NOBS, WK);
  R4ORP(NOBS, x.ptr(1, IND), x.ptr(1, IRSP), X, LDX, IFRQ, IWT, MAXDEG, ICRIT, CRIT, LOF, NDEG,
        XSCALE, XSHIFT, ALPHA, BETA, OCOEF, D, DFE, SSE, DFPE, SSPE, NMISS, a.XS, a.Y, a.W, a.F,
        IWK, a.STAGE);
}

template <class Real>
void R2ORP(int NOBS, const Real* XDATA, const Real* YDATA, int MAXDEG, int& NDEG, Real& XSCALE,
           Real& XSHIFT, Carried<Real>* ALPHA, Carried<Real>* BETA, Carried<Real>* OCOEF,
           Carried<Real>* D, Real& DFE, Real& SSE, Real& DFPE, Real& SSPE, int& NMISS, Real* WK,
           int* IWK) {
  RoutineScope guard("R2ORP");
  if (!arguments_ok(NOBS, 2, NOBS, 2, 1, 0, 0, MAXDEG, 0, Real{0}, 0)) return;
  const WorkAreas<Real> a = work_areas(NOBS, WK);
  R4ORP(NOBS, XDATA, YDATA, static_cast<const Real*>(nullptr), NOBS, 0, 0, MAXDEG, 0, Real{0}, 0,
        NDEG, XSCALE, XSHIFT, ALPHA, BETA, OCOEF, D, DFE, SSE, DFPE, SSPE, NMISS, a.XS, a.Y, a.W,
        a.F, IWK, a.STAGE);
}

#define KSATFIT_ORTHOGONAL_FIT(Real)                                                          \
  template void R2ORP<Real>(int, int, const Real*, int, int, int, int, int, int, int, Real,   \
                            int, int&, Real&, Real&, Carried<Real>*, Carried<Real>*,           \
                            Carried<Real>*, Carried<Real>*, Real&, Real&, Real&, Real&, int&,  \
                            Real*, int*);                                                      \
  template void R2ORP<Real>(int, const Real*, const Real*, int, int&, Real&, Real&,           \
                            Carried<Real>*, Carried<Real>*, Carried<Real>*, Carried<Real>*,    \
                            Real&, Real&, Real&, Real&, int&, Real*, int*);
KSATFIT_ORTHOGONAL_FIT(float)
KSATFIT_ORTHOGONAL_FIT(double)
#undef KSATFIT_ORTHOGONAL_FIT

void R2ORP(int NOBS, int NCOL, const float* X, int LDX, int IRSP, int IND, int IFRQ, int IWT,
           int MAXDEG, int ICRIT, float CRIT, int LOF, int& NDEG, float& XSCALE, float& XSHIFT,
           float* ALPHA, float* BETA, float* OCOEF, float* D, float& DFE, float& SSE,
           float& DFPE, float& SSPE, int& NMISS, float* WK, int* IWK) {
  R2ORP<float>(NOBS, NCOL, X, LDX, IRSP, IND, IFRQ, IWT, MAXDEG, ICRIT, CRIT, LOF, NDEG, XSCALE,
               XSHIFT, ALPHA, BETA, OCOEF, D, DFE, SSE, DFPE, SSPE, NMISS, WK, IWK);
}

}  // namespace ksatfit
