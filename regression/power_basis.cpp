#include "regression/power_basis.hpp"

#include <vector>

#include "kernels/real_kernels.hpp"
#include "kernels/real_traits.hpp"
#include "ksatfit/kernels.hpp"
#include "runtime/one_based.hpp"

namespace ksatfit {
namespace {

// Overwrites the diagonal and upper triangle of columns 1..NDEG+1 of w with
// the matrix that substitutes z = XSCALE * x + XSHIFT into a polynomial in z:
// G(I, J) = XSCALE^(I-1) * binom(J-1, I-1) * XSHIFT^(J-I) for J >= I.
// Each row is built with a running product; for row 1 the binomial factors
// are all 1, so its counters stay at 1.
template <class Real>
void fill_substitution(int NDEG, Real XSCALE, Real XSHIFT, const Mat1<Real>& g) {
  const int N = NDEG + 1;
  Real P = 1;
  Real T = 1;
  for (int I = 1; I <= N; ++I) {
    g(I, I) = P;
    Real NUM = static_cast<Real>(I);
    Real DEN = 1;
    for (int J = I + 1; J <= N; ++J) {
      T = ((T / DEN) * XSHIFT) * NUM;
      g(I, J) = T;
      if (I != 1) {
        NUM = NUM + 1;
        DEN = DEN + 1;
      }
    }
    P = XSCALE * P;
    T = P;
  }
}

// Upper triangle of columns 1..NDEG+1 of u: U(J, K) is the coefficient of
// z^(J-1) in the basis polynomial of degree K-1, from the three-term
// recurrence applied to the coefficient rows. Each entry is formed in the
// precision that ALPHA and BETA are carried in and stored in that of u.
template <class Real>
void fill_basis(int NDEG, const Vec1<const Carried<Real>>& alpha,
                const Vec1<const Carried<Real>>& beta, const Mat1<Real>& u) {
  const int N = NDEG + 1;
  if (NDEG > 0) u(1, 2) = static_cast<Real>(-alpha(1));
  for (int I = 1; I <= N; ++I) {
    u(I, I) = 1;
    if (I > 2) {
      u(1, I) = static_cast<Real>(-(u(1, I - 1) * alpha(I - 1) + beta(I - 1) * u(1, I - 2)));
    }
  }
  for (int J = 2; J <= NDEG; ++J) {
    u(J, J + 1) = static_cast<Real>(u(J - 1, J) - alpha(J));
    for (int K = J + 2; K <= N; ++K) {
      u(J, K) = static_cast<Real>(u(J - 1, K - 1) - beta(K - 1) * u(J, K - 2) -
                                  alpha(K - 1) * u(J, K - 1));
    }
  }
}

}  // namespace

template <class Real>
void R3TAP(int NDEG, const Carried<Real>* OCOEF, Real* C, const Carried<Real>* ALPHA,
           const Carried<Real>* BETA, Real XSCALE, Real XSHIFT, Real* WK, int LDWK) {
  // The working matrix is WK itself, or in double precision a matrix of the
  // change of basis's wider type: the recurrence and the substitution cancel
  // most of the digits they carry.
  using Work = typename RealTraits<Real>::Work;
  const int N = NDEG + 1;
  const Vec1<const Carried<Real>> ocoef(OCOEF);
  const Vec1<Real> c(C);
  const Vec1<const Carried<Real>> alpha(ALPHA);
  const Vec1<const Carried<Real>> beta(BETA);
  std::vector<Work> storage;
  const Mat1<Work> w = RealTraits<Real>::work_matrix(WK, LDWK, 4, storage);

  // Columns 1 to 3 hold three consecutive basis polynomials shifted down one
  // row (row J is the coefficient of z^(J-2), row 1 stays 0). Column 4
  // collects the fit in powers of z; it starts as the coefficients themselves,
  // which are already the contributions of each polynomial's leading term.
  // OCOEF is only read before C is written, so C may be OCOEF.
  for (int J = 1; J <= N; ++J) {
    w(J, 4) = ocoef(J);
    for (int col = 1; col <= 3; ++col) w(J, col) = 0;
  }
  for (int K = 2; K <= N; ++K) {
    w(K, 2) = 1;
    for (int J = 2; J <= K; ++J) {
      w(J, 3) = w(J - 1, 2) - w(J, 2) * Work{alpha(K - 1)} - w(J, 1) * Work{beta(K - 1)};
      w(J - 1, 4) = w(J - 1, 4) + w(J, 3) * Work{ocoef(K)};
    }
    if (K != N) {
      for (int J = 1; J <= K; ++J) {
        w(J, 1) = w(J, 2);
        w(J, 2) = w(J, 3);
      }
    }
  }

  // Substitute z = XSCALE * x + XSHIFT: the coefficient of x^(I-1) gathers
  // W(J, 4) * XSCALE^(I-1) * binom(J-1, I-1) * XSHIFT^(J-I) over J >= I.
  Work P = 1;
  Work T = 1;
  for (int I = 1; I <= N; ++I) {
    Work S = w(I, 4) * P;
    Work NUM = static_cast<Work>(I);
    Work DEN = 1;
    for (int J = I + 1; J <= N; ++J) {
      T = ((Work{XSHIFT} / DEN) * NUM) * T;
      S = T * w(J, 4) + S;
      if (I != 1) {
        NUM = NUM + 1;
        DEN = DEN + 1;
      }
    }
    c(I) = static_cast<Real>(S);
    P = Work{XSCALE} * P;
    T = P;
  }
}

template <class Real>
void R4TAP(int NDEG, Real* VAR, const Carried<Real>* ALPHA, const Carried<Real>* BETA,
           Real XSCALE, Real XSHIFT, Real* WK, int LDWK) {
  using Sum = typename RealTraits<Real>::Sum;
  const int N = NDEG + 1;
  const Vec1<Real> var(VAR);
  const Mat1<Real> w(WK, LDWK);

  // The upper triangle first holds the basis in powers of z.
  fill_basis(NDEG, Vec1<const Carried<Real>>(ALPHA), Vec1<const Carried<Real>>(BETA), w);

  // Variances of the coefficients of z^(I-1) go to column NDEG+2, their
  // covariances below the diagonal; the diagonal term U(I, I) is 1.
  for (int I = 1; I <= N; ++I) {
    w(I, NDEG + 2) = SXYZ(N - I, var.ptr(I + 1), 1, w.ptr(I, I + 1), LDWK, w.ptr(I, I + 1), LDWK) +
                     var(I);
  }
  for (int I = 1; I <= NDEG; ++I) {
    for (int J = I + 1; J <= N; ++J) {
      w(J, I) = SXYZ(N - J + 1, var.ptr(J), 1, w.ptr(I, J), LDWK, w.ptr(J, J), LDWK);
    }
  }

  // The basis is no longer needed: its place takes the substitution matrix G,
  // and Var(G z-coefficients) = G Cov G' is formed from the diagonal part
  // (column NDEG+3) and twice the covariance terms above it.
  const Mat1<Real>& g = w;
  fill_substitution(NDEG, XSCALE, XSHIFT, g);
  for (int I = 1; I <= N; ++I) {
    w(I, NDEG + 3) =
        SXYZ(N - I + 1, w.ptr(I, NDEG + 2), 1, g.ptr(I, I), LDWK, g.ptr(I, I), LDWK);
  }
  for (int I = 1; I <= NDEG; ++I) {
    Sum S = 0;
    for (int J = I; J <= NDEG; ++J) {
      for (int K = J + 1; K <= N; ++K) S = (g(I, J) * w(K, J)) * g(I, K) + S;
    }
    var(I) = static_cast<Real>(S * 2 + w(I, NDEG + 3));
  }
  var(N) = w(N, NDEG + 3);
}

#define KSATFIT_POWER_BASIS(Real)                                                            \
  template void R3TAP<Real>(int, const Carried<Real>*, Real*, const Carried<Real>*,            \
                            const Carried<Real>*, Real, Real, Real*, int);                      \
  template void R4TAP<Real>(int, Real*, const Carried<Real>*, const Carried<Real>*, Real, Real, \
                            Real*, int);
KSATFIT_POWER_BASIS(float)
KSATFIT_POWER_BASIS(double)
#undef KSATFIT_POWER_BASIS

}  // namespace ksatfit
