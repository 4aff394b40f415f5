#include "regression/summary_statistics.hpp"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <vector>

#include "errors/error_layer.hpp"
#include "kernels/real_kernels.hpp"
#include "kernels/real_traits.hpp"
#include "ksatfit/errors.hpp"
#include "ksatfit/kernels.hpp"
#include "ksatfit/regression.hpp"
#include "ksatfit/tables.hpp"
#include "regression/inference.hpp"
#include "regression/power_basis.hpp"
#include "runtime/one_based.hpp"

namespace ksatfit {
namespace {

// Every check runs, in this order, so one call reports every bad argument;
// each message's code is fixed by its check.
template <class Real>
void check_summary_arguments(int NDEG, const Carried<Real>* D, Real DFE, Real SSE, int LOF,
                             Real DFPE, Real SSPE, int IPRINT, int LDSQSS, int LDCOEF, int LDTLOF) {
  if (NDEG < 0) {
    E1STI(1, NDEG);
    E1MES(5, 1,
          "NDEG = %(I1).  The degree of the polynomial regression, NDEG, must be greater than "
          "or equal to 0.");
  } else {
    const Vec1<const Carried<Real>> d(D);
    for (int I = 1; I <= NDEG + 1; ++I) {
      if (d(I) <= 0) {
        E1STI(1, I);
        E1STR(1, static_cast<Real>(d(I)));
        E1MES(5, 2,
              "D(%(I1)) = %(R1).  Each element of D, the vector containing the diagonal "
              "elements of the sum of squares and cross-products matrix, must be positive.");
      }
    }
  }
  if (DFE < 0) {
    E1STR(1, DFE);
    E1MES(5, 3,
          "DFE = %(R1).  The degrees of freedom for error, DFE, must be greater than or equal "
          "to 0.");
  }
  if (SSE < 0) {
    E1STR(1, SSE);
    E1MES(5, 4,
          "SSE = %(R1).  The sum of squares for error, SSE, must be greater than or equal to 0.");
  }
  if (LOF != 0 && LOF != 1) {
    E1STI(1, LOF);
    E1MES(5, 5, "LOF = %(I1).  The lack of fit test option, LOF, must be either 0 or 1.");
  }
  if (LOF == 1 && DFPE < 0) {
    E1STR(1, DFPE);
    E1MES(5, 6,
          "DFPE = %(R1).  The degrees of freedom for pure error, DFPE, must be greater than or "
          "equal to 0.");
  }
  if (LOF == 1 && SSPE < 0) {
    E1STR(1, SSPE);
    E1MES(5, 7,
          "SSPE = %(R1).  The sums of squares for pure error, SSPE, must be greater than or "
          "equal to 0.");
  }
  if (IPRINT != 0 && IPRINT != 1) {
    E1STI(1, IPRINT);
    E1MES(5, 8, "IPRINT = %(I1).  The printing option, IPRINT, must be equal to either 0 or 1.");
  }
  if (NDEG > 0 && LDSQSS < NDEG) {
    E1STI(1, NDEG);
    E1STI(2, LDSQSS);
    E1MES(5, 9,
          "NDEG = %(I1) and LDSQSS = %(I2).  The leading dimension of SQSS, LDSQSS, must be "
          "greater than or equal to the degree of the polynomial regression, NDEG.");
  }
  if (NDEG > 0 && LOF == 1 && LDTLOF < NDEG) {
    E1STI(1, NDEG);
    E1STI(2, LDTLOF);
    E1MES(5, 11,
          "NDEG = %(I1) and LDTLOF = %(I2).  The leading dimension of TLOF, LDTLOF, must be "
          "greater than or equal to the degree of the polynomial regression, NDEG.");
  }
  // NDEG + 1 > LDCOEF, written so that it cannot overflow.
  if (NDEG >= 0 && NDEG >= LDCOEF) {
    E1STI(1, NDEG);
    E1STI(2, LDCOEF);
    E1MES(5, 10,
          "NDEG = %(I1) and LDCOEF = %(I2).  The leading dimension of COEF, LDCOEF, must be "
          "greater than or equal to 1 plus the degree of the polynomial regression, NDEG.");
  }
}

// Columns 2 to 4 of COEF: standard errors from the orthogonal coefficients'
// variances MSE / D(I) carried into powers of x, then t statistics and
// p-values. Without an error mean square nothing of it can be formed.
template <class Real>
void coefficient_inference(int NDEG, const Carried<Real>* ALPHA, const Carried<Real>* BETA,
                           Real XSCALE, Real XSHIFT, const Carried<Real>* D, Real DFE, Real SSE,
                           const Mat1<Real>& coef, Real* WK2) {
  const int N = NDEG + 1;
  const Real MSE = C1DIV(SSE, DFE);
  if (IFNAN(MSE)) {
    for (int col = 2; col <= 4; ++col) SSET(N, RealTraits<Real>::missing(), coef.ptr(1, col), 1);
    return;
  }
  const Vec1<const Carried<Real>> d(D);
  for (int I = 1; I <= N; ++I) coef(I, 2) = static_cast<Real>(Real{1} / d(I)) * MSE;
  R4TAP(NDEG, coef.ptr(1, 2), ALPHA, BETA, XSCALE, XSHIFT, WK2, N);
  // Rounding can leave a tiny variance zero or negative; its standard error is 0.
  for (int I = 1; I <= N; ++I) coef(I, 2) = coef(I, 2) > 0 ? std::sqrt(coef(I, 2)) : Real{0};
  RCOEF(N, coef.ptr(1, 1), coef.ptr(1, 2), DFE, coef.ptr(1, 1), coef.ld());
}

// Columns 1, 3 and 4 of SQSS: one degree of freedom per power, and the F test
// of each sequential sum of squares against the error mean square.
template <class Real>
void sequential_tests(int NDEG, Real DFE, Real SSE, const Mat1<Real>& sqss) {
  SSET(NDEG, Real{1}, sqss.ptr(1, 1), 1);
  const Real MSE = C1DIV(SSE, DFE);
  for (int I = 1; I <= NDEG; ++I) {
    C1F(C1DIV(sqss(I, 2), sqss(I, 1)), MSE, sqss(I, 1), DFE, sqss(I, 3), sqss(I, 4));
  }
}

// Row I tests the fit of degree I: its lack of fit is the residual beyond pure
// error plus the sequential sums of squares of every higher power, added from
// the highest power down.
template <class Real>
void lack_of_fit_tests(int NDEG, Real DFE, Real SSE, Real DFPE, Real SSPE,
                       const Mat1<Real>& sqss, const Mat1<Real>& tlof) {
  tlof(NDEG, 1) = DFE - DFPE;
  tlof(NDEG, 2) = SSE - SSPE;
  for (int I = NDEG - 1; I >= 1; --I) {
    tlof(I, 1) = tlof(I + 1, 1) + 1;
    tlof(I, 2) = tlof(I + 1, 2) + sqss(I + 1, 2);
  }
  const Real MSPE = C1DIV(SSPE, DFPE);
  for (int I = 1; I <= NDEG; ++I) {
    C1F(C1DIV(tlof(I, 2), tlof(I, 1)), MSPE, tlof(I, 1), DFPE, tlof(I, 3), tlof(I, 4));
  }
}

// The printed tables, on the output unit, in the order of the computation.
// The sequential and lack-of-fit tables share their headings and the
// coefficient table's format.
void print_summary_tables(int NDEG, int LOF, const float* AOV, const float* SQSS, int LDSQSS,
                          const float* COEF, int LDCOEF, const float* TLOF, int LDTLOF) {
  static constexpr std::string_view kSources[] = {"Regression", "Residual", "Corrected Total"};
  static constexpr std::string_view kFormat = "(2W10.4,F9.3,F7.4)";
  static constexpr std::string_view kCoefficientHeadings[] = {
      "%/Estimate", "Standard%/Error", "%/t-statistic", "Prob. of%/Larger |t|"};
  static constexpr std::string_view kDegreeHeading = "Degree of%/Polynomial";
  static constexpr std::string_view kTestHeadings[] = {"Degrees of%/Freedom", "Sum of%/Squares",
                                                       "%/F-statistic", "Prob. of%/Larger F"};
  TABAOV(" ", kSources, AOV);
  TABMAT("%/* * * Inference on Coefficients * * *", NDEG + 1, 4, COEF, LDCOEF, kFormat,
         "%/Coef.", nullptr, kCoefficientHeadings);
  if (NDEG == 0) return;
  TABMAT("%/* * * Sequential Statistics * * *", NDEG, 4, SQSS, LDSQSS, kFormat, kDegreeHeading,
         nullptr, kTestHeadings);
  if (LOF == 1) {
    TABMAT("%/* * * Tests of Lack of Fit * * *", NDEG, 4, TLOF, LDTLOF, kFormat, kDegreeHeading,
           nullptr, kTestHeadings);
  }
}

// The tables of a double fit, from its figures rounded to float.
void print_summary_tables(int NDEG, int LOF, const double* AOV, const double* SQSS, int LDSQSS,
                          const double* COEF, int LDCOEF, const double* TLOF, int LDTLOF) {
  const auto rounded = [](const double* first, std::ptrdiff_t count) {
    std::vector<float> values(static_cast<std::size_t>(std::max<std::ptrdiff_t>(count, 0)));
    std::transform(first, first + count, values.begin(),
                   [](double v) { return static_cast<float>(v); });
    return values;
  };
  const std::ptrdiff_t columns = 4;
  const std::vector<float> aov = rounded(AOV, 15);
  const std::vector<float> coef = rounded(COEF, columns * LDCOEF);
  const std::vector<float> sqss = rounded(SQSS, NDEG > 0 ? columns * LDSQSS : 0);
  const std::vector<float> tlof = rounded(TLOF, NDEG > 0 && LOF == 1 ? columns * LDTLOF : 0);
  print_summary_tables(NDEG, LOF, aov.data(), sqss.data(), LDSQSS, coef.data(), LDCOEF,
                       tlof.data(), LDTLOF);
}

}  // namespace

template <class Real>
void R2TAP(int NDEG, const Carried<Real>* ALPHA, const Carried<Real>* BETA, Real XSCALE,
           Real XSHIFT, const Carried<Real>* OCOEF, const Carried<Real>* D, Real DFE, Real SSE,
           int LOF, Real DFPE, Real SSPE, int IPRINT, Real* AOV, Real* SQSS, int LDSQSS, Real* COEF,
           int LDCOEF, Real* TLOF, int LDTLOF, Real* WK) {
  RoutineScope guard("R2TAP");
  check_summary_arguments(NDEG, D, DFE, SSE, LOF, DFPE, SSPE, IPRINT, LDSQSS, LDCOEF, LDTLOF);
  if (N1RCD(0) != 0) return;
  R5TAP(NDEG, ALPHA, BETA, XSCALE, XSHIFT, OCOEF, D, DFE, SSE, LOF, DFPE, SSPE, IPRINT, AOV,
        SQSS, LDSQSS, COEF, LDCOEF, TLOF, LDTLOF, WK, WK + 4 * (NDEG + 1));
}

template <class Real>
void R5TAP(int NDEG, const Carried<Real>* ALPHA, const Carried<Real>* BETA, Real XSCALE,
           Real XSHIFT, const Carried<Real>* OCOEF, const Carried<Real>* D, Real DFE, Real SSE,
           int LOF, Real DFPE, Real SSPE, int IPRINT, Real* AOV, Real* SQSS, int LDSQSS, Real* COEF,
           int LDCOEF, Real* TLOF, int LDTLOF, Real* WK1, Real* WK2) {
  const int N = NDEG + 1;
  const Vec1<const Carried<Real>> ocoef(OCOEF);
  const Vec1<const Carried<Real>> d(D);
  const Mat1<Real> sqss(SQSS, LDSQSS);
  const Mat1<Real> coef(COEF, LDCOEF);

  for (int I = 1; I <= NDEG; ++I) {
    sqss(I, 2) = static_cast<Real>(ocoef(I + 1) * ocoef(I + 1) * d(I + 1));
  }
  const Real SSR = SSUM(NDEG, sqss.ptr(1, 2), 1);
  G1AOV(static_cast<Real>(NDEG), SSR, DFE, SSE, static_cast<Real>(ocoef(1)), AOV);

  R3TAP(NDEG, OCOEF, coef.ptr(1, 1), ALPHA, BETA, XSCALE, XSHIFT, WK1, N);
  coefficient_inference(NDEG, ALPHA, BETA, XSCALE, XSHIFT, D, DFE, SSE, coef, WK2);

  if (NDEG > 0) sequential_tests(NDEG, DFE, SSE, sqss);
  if (LOF == 1 && NDEG > 0) {
    lack_of_fit_tests(NDEG, DFE, SSE, DFPE, SSPE, sqss, Mat1<Real>(TLOF, LDTLOF));
  }
  if (IPRINT == 1) {
    print_summary_tables(NDEG, LOF, AOV, SQSS, LDSQSS, COEF, LDCOEF, TLOF, LDTLOF);
  }
}

#define KSATFIT_SUMMARY_STATISTICS(Real)                                                     \
  template void R2TAP<Real>(int, const Carried<Real>*, const Carried<Real>*, Real, Real,       \
                            const Carried<Real>*, const Carried<Real>*, Real, Real, int, Real,   \
                            Real, int, Real*, Real*, int, Real*, int, Real*, int, Real*);        \
  template void R5TAP<Real>(int, const Carried<Real>*, const Carried<Real>*, Real, Real,       \
                            const Carried<Real>*, const Carried<Real>*, Real, Real, int, Real,   \
                            Real, int, Real*, Real*, int, Real*, int, Real*, int, Real*, Real*);
KSATFIT_SUMMARY_STATISTICS(float)
KSATFIT_SUMMARY_STATISTICS(double)
#undef KSATFIT_SUMMARY_STATISTICS

void R2TAP(int NDEG, const float* ALPHA, const float* BETA, float XSCALE, float XSHIFT,
           const float* OCOEF, const float* D, float DFE, float SSE, int LOF, float DFPE,
           float SSPE, int IPRINT, float* AOV, float* SQSS, int LDSQSS, float* COEF,
           int LDCOEF, float* TLOF, int LDTLOF, float* WK) {
  R2TAP<float>(NDEG, ALPHA, BETA, XSCALE, XSHIFT, OCOEF, D, DFE, SSE, LOF, DFPE, SSPE, IPRINT,
               AOV, SQSS, LDSQSS, COEF, LDCOEF, TLOF, LDTLOF, WK);
}

}  // namespace ksatfit
