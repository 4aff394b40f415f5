// SVRGP: sorts a real vector ascending and carries an integer vector along,
// by quicksort with a median-of-three pivot, a stack of pending segments and
// straight insertion for short segments that do not start at position 1.
#include <string_view>

#include "errors/error_layer.hpp"
#include "ksatfit.hpp"
#include "runtime/one_based.hpp"

namespace ksatfit {
namespace {

// The larger part of every split is stacked and the smaller one sorted first,
// so the stack never holds more than log2(N) pairs; 64 covers any int N.
constexpr int kStackPairs = 64;

// Segments this short (J - I <= 10) are left to straight insertion.
constexpr int kInsertionSpan = 10;

struct Sorting {
  Vec1<float> RB;
  Vec1<int> IPERM;

  void exchange(int p, int q) const {
    const float t = RB(p);
    RB(p) = RB(q);
    RB(q) = t;
    const int it = IPERM(p);
    IPERM(p) = IPERM(q);
    IPERM(q) = it;
  }

  // Splits [I, J] around the value at I + trunc((J - I) * R), after ordering
  // the first, middle and last elements. On return every element of [I, L] is
  // at most the pivot, every element of [K, J] at least, and K > L.
  void partition(int I, int J, float R, int& K, int& L) const {
    K = I;
    const int IJ = I + static_cast<int>(static_cast<float>(J - I) * R);
    float T = RB(IJ);
    if (RB(I) > T) {
      exchange(I, IJ);
      T = RB(IJ);
    }
    L = J;
    if (RB(J) < T) {
      exchange(J, IJ);
      T = RB(IJ);
      if (RB(I) > T) {
        exchange(I, IJ);
        T = RB(IJ);
      }
    }
    for (;;) {
      do --L; while (RB(L) > T);
      do ++K; while (RB(K) < T);
      if (K > L) return;
      if (RB(L) != RB(K)) exchange(L, K);
    }
  }

  // Straight insertion over [I, J]; the element at I - 1 is not larger than
  // any element of the segment and stops every search.
  void insertion(int I, int J) const {
    for (int P = I + 1; P <= J; ++P) {
      if (!(RB(P) < RB(P - 1))) continue;
      const float T = RB(P);
      const int IT = IPERM(P);
      int Q = P - 1;
      do {
        RB(Q + 1) = RB(Q);
        IPERM(Q + 1) = IPERM(Q);
        --Q;
      } while (T < RB(Q));
      RB(Q + 1) = T;
      IPERM(Q + 1) = IT;
    }
  }
};

struct Segment {
  int I;
  int J;
};

}  // namespace

void SVRGP(int N, const float* RA, float* RB, int* IPERM) {
  RoutineScope guard("SVRGP");
  SCOPY(N, RA, 1, RB, 1);
  if (N < 1) {
    E1STI(1, N);
    E1MES(5, 1,
          "The length of vectors RA, RB and IPERM must be greater than or equal to "
          "one.  On input the length, N, is given as %(I1).");
  }
  if (N1RTY(0) != 0) return;

  const Sorting s{Vec1<float>(RB), Vec1<int>(IPERM)};
  Segment stack[kStackPairs];
  int M = 0;  // pairs on the stack
  int I = 1;
  int J = N;
  float R = 0.375f;

  // Takes the most recently stacked segment; false when none is left.
  auto pop = [&]() {
    if (M == 0) return false;
    --M;
    I = stack[M].I;
    J = stack[M].J;
    return true;
  };

  // At a segment start the pivot fraction moves on; a segment that is split
  // again or taken from the stack keeps it. A segment that starts at position
  // 1 has no smaller element in front of it to stop an insertion, so it is
  // partitioned all the way down, each part coming back as a segment start.
  bool segment_start = true;
  for (;;) {
    if (segment_start) {
      if (I == J) {
        if (!pop()) return;
        segment_start = false;
        continue;
      }
      R = R > 0.58984375f ? R - 0.21875f : R + 0.0390625f;
    } else if (J - I <= kInsertionSpan) {
      if (I == 1) {
        segment_start = true;
        continue;
      }
      s.insertion(I, J);
      if (!pop()) return;
      continue;
    }
    int K = 0;
    int L = 0;
    s.partition(I, J, R, K, L);
    if (J - K < L - I) {
      stack[M++] = Segment{I, L};
      I = K;
    } else {
      stack[M++] = Segment{K, J};
      J = L;
    }
    segment_start = false;
  }
}

}  // namespace ksatfit
