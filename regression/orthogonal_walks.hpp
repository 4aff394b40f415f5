// The walks over the sorted rows that R3ORP makes: one to survey them, one to
// set up the basis, one per degree, one for the pure error and, in double
// precision, one for the residuals of the finished fit. Each walk carries
// several sums side by side, but every sum adds its terms in row order and in
// its own precision (RealTraits: Sum, or WideSum where a vector kernel would
// carry it), so each comes out exactly as from a walk of its own.
//
// W and F are the combined weights and frequencies of the rows, or both null
// for a weight and frequency of 1 in every row.
#pragma once

#include <utility>
#include <vector>

#include "kernels/real_traits.hpp"
#include "runtime/one_based.hpp"

namespace ksatfit {

// The positions of the first largest and the first smallest abscissa (as
// ISMAX and ISMIN find them), whether all y are equal, the number of groups
// of equal abscissas (their sizes go to IWK(1..NGROUP)), how many of them
// carry weight, and the sums of f, w y and w, each carried wide in row order
// and rounded once (as SSUM and SDOT carry them): the last two only to the
// precision that the fit carries OCOEF and D in (RealTraits: Carried).
//
// NDIST counts the groups whose total weight is positive: a row of weight 0
// holds no observation, so an abscissa that only such rows share determines
// nothing and cannot raise the degree, the pure error's or the lack of fit's
// degrees of freedom. When no row carries weight at all, NDIST counts every
// group, and such a data set meets the fit as it always has.
template <class Real>
struct Survey {
  int IMAX;
  int IMIN;
  bool YCONST;
  int NGROUP;
  int NDIST;
  Real SUMF;
  Carried<Real> SWY;
  Carried<Real> SW;
};
template <class Real>
Survey<Real> survey_rows(int N, const Real* XS, const Real* Y, const Real* W, const Real* F,
                         int* IWK);

// Within-group weighted sum of squares about each group's weighted mean, the
// groups' sizes in IWK(1..NGROUP).
template <class Real>
Real pure_error(int NGROUP, const int* IWK, const Real* Y, const Real* W);

// The working matrix: columns whose roles rotate from one degree to the next
// instead of being copied. Entering degree K, c2 holds P_{K-1}, c1 P_{K-2}
// and c4 sqrt(w) P_{K-1}; c1 and c3 then receive P_K and sqrt(w) P_K. With
// unit weights sqrt(w) P is P itself: c3 is then c1 and c4 is c2, and WORK
// needs two columns of N rows instead of four. z holds the scaled abscissas.
// In float the columns are those of WORK and z is XS; in double they are
// carried wider (RealTraits: Work) in storage of their own, which the views
// point into: a Basis is moved, never copied.
template <class Real>
struct Basis {
  using Work = typename RealTraits<Real>::Work;
  std::vector<Work> storage;
  Vec1<Work> c1, c2, c3, c4, z;
  void rotate() {
    std::swap(c1, c2);
    std::swap(c3, c4);
  }
};
template <class Real>
Basis<Real> make_basis(Real* WORK, Real* XS, int N, bool unit_weights);

// Sets up the working matrix for degree 1 and replaces x by z = XSCALE * x +
// XSHIFT (RealTraits: scaled_abscissa), in b.z and in XS. The same walk forms
// the residual sum of squares of the degree-0 fit, the sum of w (y - YBAR)^2
// (Sum), and the sum of z (sqrt(w) P_0)^2 (WideSum, as SXYZ), which is
// ALPHA(1) times the sum of the weights.
template <class Real>
struct Start {
  Real RSS;
  Carried<Real> SZPP;
};
template <class Real>
Start<Real> start_basis(int N, Real* XS, const Real* Y, const Real* W, Real XMID, Real XSCALE,
                        Real XSHIFT, Real YBAR, const Basis<Real>& b);

// Values of P_K = (z - ALPHAK) P_{K-1} - BETAK P_{K-2} into c1 and of sqrt(w) P_K
// into c3, and in the same walk the sums for P_K.
template <class Real>
struct Sums {
  Carried<Real> SWYP;  // sum of sqrt(w) (y - YBAR) sqrt(w) P_K (Sum): gives OCOEF(K+1)
  Carried<Real> SWPP;  // sum of (sqrt(w) P_K)^2 (WideSum, as SDOT): D(K+1)
  Carried<Real> SZPP;  // sum of z (sqrt(w) P_K)^2 (WideSum, as SXYZ): ALPHA(K+1) times SWPP
};
template <class Real>
Sums<Real> next_polynomial(int N, const Real* Y, const Real* W, Real YBAR, Carried<Real> ALPHAK,
                           Carried<Real> BETAK, const Basis<Real>& b);

// The sum of w (y - fit)^2 over the rows (Sum), the degree-NDEG fit evaluated
// at each row's z on the orthogonal basis (ALPHA, BETA, OCOEF as R3ORP
// leaves them).
template <class Real>
Real residual_sum_of_squares(int N, const Real* Z, const Real* Y, const Real* W, int NDEG,
                             const Carried<Real>* ALPHA, const Carried<Real>* BETA,
                             const Carried<Real>* OCOEF);

}  // namespace ksatfit
