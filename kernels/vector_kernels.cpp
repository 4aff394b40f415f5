// Fill, copy, sum, dot and triple products, and extreme-value searches over
// strided vectors. The unit-increment paths handle the leading N mod k
// elements one at a time and then whole blocks of k, so the block loops need
// no remainder test. The sums carry their terms and partial sums in double
// in the order of the walk and round to float once at the end.
#include <cstddef>

#include "ksatfit.hpp"

namespace ksatfit {
namespace {

using Index = std::ptrdiff_t;

// Storage offset (0-based) of the first element that a walk of N elements
// with increment INC visits: the far end when INC is negative.
Index walk_start(int N, int INC) {
  return INC < 0 ? static_cast<Index>(1 - N) * INC : 0;
}

// The fills of SSET and ISET: blocks of 8 on the unit-increment path.
template <class T>
void fill(int N, T value, T* SX, int INCX) {
  if (N <= 0 || INCX < 1) return;
  if (INCX == 1) {
    const int m = N % 8;
    for (int i = 0; i < m; ++i) SX[i] = value;
    for (int i = m; i < N; i += 8) {
      SX[i] = value;
      SX[i + 1] = value;
      SX[i + 2] = value;
      SX[i + 3] = value;
      SX[i + 4] = value;
      SX[i + 5] = value;
      SX[i + 6] = value;
      SX[i + 7] = value;
    }
    return;
  }
  for (Index i = 0, ix = 0; i < N; ++i, ix += INCX) SX[ix] = value;
}

}  // namespace

void SSET(int N, float SA, float* SX, int INCX) { fill(N, SA, SX, INCX); }

void ISET(int N, int IA, int* IX, int INCX) { fill(N, IA, IX, INCX); }

void SCOPY(int N, const float* SX, int INCX, float* SY, int INCY) {
  if (N <= 0) return;
  if (INCX == 1 && INCY == 1) {
    const int m = N % 7;
    for (int i = 0; i < m; ++i) SY[i] = SX[i];
    for (int i = m; i < N; i += 7) {
      SY[i] = SX[i];
      SY[i + 1] = SX[i + 1];
      SY[i + 2] = SX[i + 2];
      SY[i + 3] = SX[i + 3];
      SY[i + 4] = SX[i + 4];
      SY[i + 5] = SX[i + 5];
      SY[i + 6] = SX[i + 6];
    }
    return;
  }
  Index ix = walk_start(N, INCX);
  Index iy = walk_start(N, INCY);
  for (int i = 0; i < N; ++i, ix += INCX, iy += INCY) SY[iy] = SX[ix];
}

float SSUM(int N, const float* SX, int INCX) {
  double sum = 0.0;
  if (N <= 0 || INCX < 1) return 0.0f;
  if (INCX == 1) {
    const int m = N % 6;
    for (int i = 0; i < m; ++i) sum += SX[i];
    for (int i = m; i < N; i += 6) {
      sum += SX[i];
      sum += SX[i + 1];
      sum += SX[i + 2];
      sum += SX[i + 3];
      sum += SX[i + 4];
      sum += SX[i + 5];
    }
    return static_cast<float>(sum);
  }
  for (Index i = 0, ix = 0; i < N; ++i, ix += INCX) sum += SX[ix];
  return static_cast<float>(sum);
}

float SDOT(int N, const float* SX, int INCX, const float* SY, int INCY) {
  double sum = 0.0;
  if (N <= 0) return 0.0f;
  if (INCX == 1 && INCY == 1) {
    const int m = N % 5;
    for (int i = 0; i < m; ++i) sum += double{SX[i]} * SY[i];
    for (int i = m; i < N; i += 5) {
      sum += double{SX[i]} * SY[i];
      sum += double{SX[i + 1]} * SY[i + 1];
      sum += double{SX[i + 2]} * SY[i + 2];
      sum += double{SX[i + 3]} * SY[i + 3];
      sum += double{SX[i + 4]} * SY[i + 4];
    }
    return static_cast<float>(sum);
  }
  Index ix = walk_start(N, INCX);
  Index iy = walk_start(N, INCY);
  for (int i = 0; i < N; ++i, ix += INCX, iy += INCY) sum += double{SX[ix]} * SY[iy];
  return static_cast<float>(sum);
}

float SXYZ(int N, const float* SX, int INCX, const float* SY, int INCY,
           const float* SZ, int INCZ) {
  double sum = 0.0;
  if (N <= 0) return 0.0f;
  if (INCX == 1 && INCY == 1 && INCZ == 1) {
    const int m = N % 3;
    for (int i = 0; i < m; ++i) sum += double{SX[i]} * SY[i] * SZ[i];
    for (int i = m; i < N; i += 3) {
      sum += double{SX[i]} * SY[i] * SZ[i];
      sum += double{SX[i + 1]} * SY[i + 1] * SZ[i + 1];
      sum += double{SX[i + 2]} * SY[i + 2] * SZ[i + 2];
    }
    return static_cast<float>(sum);
  }
  Index ix = walk_start(N, INCX);
  Index iy = walk_start(N, INCY);
  Index iz = walk_start(N, INCZ);
  for (int i = 0; i < N; ++i, ix += INCX, iy += INCY, iz += INCZ) {
    sum += double{SX[ix]} * SY[iy] * SZ[iz];
  }
  return static_cast<float>(sum);
}

namespace {

// Position (1-based) of the first element that no later element beats;
// `beats(a, b)` tells whether a strictly improves on b.
template <class Beats>
int first_extreme(int N, const float* SX, int INCX, Beats beats) {
  if (N < 1 || INCX < 1) return 0;
  int best = 1;
  float best_value = SX[0];
  Index ix = INCX;
  for (int i = 2; i <= N; ++i, ix += INCX) {
    if (beats(SX[ix], best_value)) {
      best = i;
      best_value = SX[ix];
    }
  }
  return best;
}

}  // namespace

int ISMAX(int N, const float* SX, int INCX) {
  return first_extreme(N, SX, INCX, [](float a, float b) { return a > b; });
}

int ISMIN(int N, const float* SX, int INCX) {
  return first_extreme(N, SX, INCX, [](float a, float b) { return a < b; });
}

}  // namespace ksatfit
