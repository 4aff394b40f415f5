#include "regression/power_basis.hpp"

#include "ksatfit.hpp"
#include "runtime/one_based.hpp"

namespace ksatfit {
namespace {

// Overwrites the diagonal and upper triangle of columns 1..NDEG+1 of w with
// the matrix that substitutes z = XSCALE * x + XSHIFT into a polynomial in z:
// G(I, J) = XSCALE^(I-1) * binom(J-1, I-1) * XSHIFT^(J-I) for J >= I.
// Each row is built with a running product; for row 1 the binomial factors
// are all 1, so its counters stay at 1.
void fill_substitution(int NDEG, float XSCALE, float XSHIFT, const Mat1<float>& g) {
  const int N = NDEG + 1;
  float P = 1.0f;
  float T = 1.0f;
  for (int I = 1; I <= N; ++I) {
    g(I, I) = P;
    float NUM = static_cast<float>(I);
    float DEN = 1.0f;
    for (int J = I + 1; J <= N; ++J) {
      T = ((T / DEN) * XSHIFT) * NUM;
      g(I, J) = T;
      if (I != 1) {
        NUM = NUM + 1.0f;
        DEN = DEN + 1.0f;
      }
    }
    P = XSCALE * P;
    T = P;
  }
}

// Upper triangle of columns 1..NDEG+1 of u: U(J, K) is the coefficient of
// z^(J-1) in the basis polynomial of degree K-1, from the three-term
// recurrence applied to the coefficient rows.
void fill_basis(int NDEG, const Vec1<const float>& alpha, const Vec1<const float>& beta,
                const Mat1<float>& u) {
  const int N = NDEG + 1;
  if (NDEG > 0) u(1, 2) = -alpha(1);
  for (int I = 1; I <= N; ++I) {
    u(I, I) = 1.0f;
    if (I > 2) u(1, I) = -(u(1, I - 1) * alpha(I - 1) + beta(I - 1) * u(1, I - 2));
  }
  for (int J = 2; J <= NDEG; ++J) {
    u(J, J + 1) = u(J - 1, J) - alpha(J);
    for (int K = J + 2; K <= N; ++K) {
      u(J, K) = u(J - 1, K - 1) - beta(K - 1) * u(J, K - 2) - alpha(K - 1) * u(J, K - 1);
    }
  }
}

}  // namespace

void R3TAP(int NDEG, float* C, const float* ALPHA, const float* BETA, float XSCALE,
           float XSHIFT, float* WK, int LDWK) {
  const int N = NDEG + 1;
  const Vec1<float> c(C);
  const Vec1<const float> alpha(ALPHA);
  const Vec1<const float> beta(BETA);
  const Mat1<float> w(WK, LDWK);

  // Columns 1 to 3 hold three consecutive basis polynomials shifted down one
  // row (row J is the coefficient of z^(J-2), row 1 stays 0). Column 4
  // collects the fit in powers of z; it starts as the coefficients themselves,
  // which are already the contributions of each polynomial's leading term.
  SCOPY(N, C, 1, w.ptr(1, 4), 1);
  for (int col = 1; col <= 3; ++col) SSET(N, 0.0f, w.ptr(1, col), 1);
  for (int K = 2; K <= N; ++K) {
    w(K, 2) = 1.0f;
    for (int J = 2; J <= K; ++J) {
      w(J, 3) = w(J - 1, 2) - w(J, 2) * alpha(K - 1) - w(J, 1) * beta(K - 1);
      w(J - 1, 4) = w(J - 1, 4) + w(J, 3) * c(K);
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
  float P = 1.0f;
  float T = 1.0f;
  for (int I = 1; I <= N; ++I) {
    float S = w(I, 4) * P;
    float NUM = static_cast<float>(I);
    float DEN = 1.0f;
    for (int J = I + 1; J <= N; ++J) {
      T = ((XSHIFT / DEN) * NUM) * T;
      S = T * w(J, 4) + S;
      if (I != 1) {
        NUM = NUM + 1.0f;
        DEN = DEN + 1.0f;
      }
    }
    c(I) = S;
    P = XSCALE * P;
    T = P;
  }
}

void R4TAP(int NDEG, float* VAR, const float* ALPHA, const float* BETA, float XSCALE,
           float XSHIFT, float* WK, int LDWK) {
  const int N = NDEG + 1;
  const Vec1<float> var(VAR);
  const Mat1<float> w(WK, LDWK);

  // The upper triangle first holds the basis in powers of z.
  fill_basis(NDEG, Vec1<const float>(ALPHA), Vec1<const float>(BETA), w);

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
  const Mat1<float>& g = w;
  fill_substitution(NDEG, XSCALE, XSHIFT, g);
  for (int I = 1; I <= N; ++I) {
    w(I, NDEG + 3) =
        SXYZ(N - I + 1, w.ptr(I, NDEG + 2), 1, g.ptr(I, I), LDWK, g.ptr(I, I), LDWK);
  }
  for (int I = 1; I <= NDEG; ++I) {
    float S = 0.0f;
    for (int J = I; J <= NDEG; ++J) {
      for (int K = J + 1; K <= N; ++K) S = (g(I, J) * w(K, J)) * g(I, K) + S;
    }
    var(I) = S * 2.0f + w(I, NDEG + 3);
  }
  var(N) = w(N, NDEG + 3);
}

}  // namespace ksatfit
