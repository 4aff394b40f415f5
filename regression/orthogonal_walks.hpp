// The walks over the sorted rows that R3ORP makes: one to survey them, one to
// set up the basis, one per degree, and one for the pure error. Each walk
// carries several sums side by side, but every sum adds its terms in row
// order and in its own precision (float, or double where a vector kernel
// would carry it), so each comes out exactly as from a walk of its own.
//
// W and F are the combined weights and frequencies of the rows, or both null
// for a weight and frequency of 1 in every row.
#pragma once

#include <utility>

#include "runtime/one_based.hpp"

namespace ksatfit {

// The positions of the first largest and the first smallest abscissa (as
// ISMAX and ISMIN find them), whether all y are equal, the number of groups
// of equal abscissas (their sizes go to IWK(1..NDIST)), and the sums of f,
// w y and w, each carried in double in row order and rounded once (as SSUM
// and SDOT carry them).
struct Survey {
  int IMAX;
  int IMIN;
  bool YCONST;
  int NDIST;
  float SUMF;
  float SWY;
  float SW;
};
Survey survey_rows(int N, const float* XS, const float* Y, const float* W, const float* F,
                   int* IWK);

// Within-group weighted sum of squares about each group's weighted mean, the
// groups' sizes in IWK(1..NDIST).
float pure_error(int NDIST, const int* IWK, const float* Y, const float* W);

// The working matrix: columns whose roles rotate from one degree to the next
// instead of being copied. Entering degree K, c2 holds P_{K-1}, c1 P_{K-2}
// and c4 sqrt(w) P_{K-1}; c1 and c3 then receive P_K and sqrt(w) P_K. With
// unit weights sqrt(w) P is P itself: c3 is then c1 and c4 is c2, and WORK
// needs two columns of N rows instead of four.
struct Basis {
  Vec1<float> c1, c2, c3, c4;
  void rotate() {
    std::swap(c1, c2);
    std::swap(c3, c4);
  }
};
Basis make_basis(float* WORK, int N, bool unit_weights);

// Sets up the working matrix for degree 1 and replaces x by z = (x - XMID) *
// XSCALE. The same walk forms the residual sum of squares of the degree-0
// fit, the sum of w (y - YBAR)^2 in float, and the sum of z (sqrt(w) P_0)^2 in
// double (as SXYZ), which is ALPHA(1) times the sum of the weights.
struct Start {
  float RSS;
  float SZPP;
};
Start start_basis(int N, float* XS, const float* Y, const float* W, float XMID, float XSCALE,
                  float YBAR, const Basis& b);

// Values of P_K = (z - ALPHAK) P_{K-1} - BETAK P_{K-2} into c1 and of sqrt(w) P_K
// into c3, and in the same walk the sums for P_K.
struct Sums {
  float SWYP;  // sum of sqrt(w) (y - YBAR) sqrt(w) P_K, in float: gives OCOEF(K+1)
  float SWPP;  // sum of (sqrt(w) P_K)^2, in double (as SDOT): D(K+1)
  float SZPP;  // sum of z (sqrt(w) P_K)^2, in double (as SXYZ): ALPHA(K+1) times SWPP
};
Sums next_polynomial(int N, const float* Z, const float* Y, const float* W, float YBAR,
                     float ALPHAK, float BETAK, const Basis& b);

}  // namespace ksatfit
