// Fill, copy, sum, dot and triple products, and extreme-value searches over
// strided vectors. The unit-increment paths handle the leading N mod k
// elements one at a time and then whole blocks of k, so the block loops need
// no remainder test. The sums carry their terms and partial sums in double
// in the order of the walk and round to float once at the end (in extended
// precision and round to double, for double vectors).
#include <cstddef>

#include "kernels/real_kernels.hpp"
#include "kernels/real_traits.hpp"
#include "ksatfit/kernels.hpp"

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

template <class Real>
void SSET(int N, Real SA, Real* SX, int INCX) {
  fill(N, SA, SX, INCX);
}

template <class Real>
void SCOPY(int N, const Real* SX, int INCX, Real* SY, int INCY) {
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

template <class Real>
Real SSUM(int N, const Real* SX, int INCX) {
  using Wide = typename RealTraits<Real>::Wide;
  typename RealTraits<Real>::WideSum sum = 0.0;
  if (N <= 0 || INCX < 1) return Real{0};
  if (INCX == 1) {
    const int m = N % 6;
    for (int i = 0; i < m; ++i) sum += Wide{SX[i]};
    for (int i = m; i < N; i += 6) {
      sum += Wide{SX[i]};
      sum += Wide{SX[i + 1]};
      sum += Wide{SX[i + 2]};
      sum += Wide{SX[i + 3]};
      sum += Wide{SX[i + 4]};
      sum += Wide{SX[i + 5]};
    }
    return static_cast<Real>(sum);
  }
  for (Index i = 0, ix = 0; i < N; ++i, ix += INCX) sum += Wide{SX[ix]};
  return static_cast<Real>(sum);
}

template <class Real>
Real SDOT(int N, const Real* SX, int INCX, const Real* SY, int INCY) {
  using Wide = typename RealTraits<Real>::Wide;
  typename RealTraits<Real>::WideSum sum = 0.0;
  if (N <= 0) return Real{0};
  if (INCX == 1 && INCY == 1) {
    const int m = N % 5;
    for (int i = 0; i < m; ++i) sum += Wide{SX[i]} * SY[i];
    for (int i = m; i < N; i += 5) {
      sum += Wide{SX[i]} * SY[i];
      sum += Wide{SX[i + 1]} * SY[i + 1];
      sum += Wide{SX[i + 2]} * SY[i + 2];
      sum += Wide{SX[i + 3]} * SY[i + 3];
      sum += Wide{SX[i + 4]} * SY[i + 4];
    }
    return static_cast<Real>(sum);
  }
  Index ix = walk_start(N, INCX);
  Index iy = walk_start(N, INCY);
  for (int i = 0; i < N; ++i, ix += INCX, iy += INCY) sum += Wide{SX[ix]} * SY[iy];
  return static_cast<Real>(sum);
}

template <class Real>
Real SXYZ(int N, const Real* SX, int INCX, const Real* SY, int INCY, const Real* SZ,
          int INCZ) {
  using Wide = typename RealTraits<Real>::Wide;
  typename RealTraits<Real>::WideSum sum = 0.0;
  if (N <= 0) return Real{0};
  if (INCX == 1 && INCY == 1 && INCZ == 1) {
    const int m = N % 3;
    for (int i = 0; i < m; ++i) sum += Wide{SX[i]} * SY[i] * SZ[i];
    for (int i = m; i < N; i += 3) {
      sum += Wide{SX[i]} * SY[i] * SZ[i];
      sum += Wide{SX[i + 1]} * SY[i + 1] * SZ[i + 1];
      sum += Wide{SX[i + 2]} * SY[i + 2] * SZ[i + 2];
    }
    return static_cast<Real>(sum);
  }
  Index ix = walk_start(N, INCX);
  Index iy = walk_start(N, INCY);
  Index iz = walk_start(N, INCZ);
  for (int i = 0; i < N; ++i, ix += INCX, iy += INCY, iz += INCZ) {
    sum += Wide{SX[ix]} * SY[iy] * SZ[iz];
  }
  return static_cast<Real>(sum);
}

#define KSATFIT_VECTOR_KERNELS(Real)                                                    \
  template void SSET<Real>(int, Real, Real*, int);                                     \
  template void SCOPY<Real>(int, const Real*, int, Real*, int);                        \
  template Real SSUM<Real>(int, const Real*, int);                                     \
  template Real SDOT<Real>(int, const Real*, int, const Real*, int);                   \
  template Real SXYZ<Real>(int, const Real*, int, const Real*, int, const Real*, int);
KSATFIT_VECTOR_KERNELS(float)
KSATFIT_VECTOR_KERNELS(double)
#undef KSATFIT_VECTOR_KERNELS

void SSET(int N, float SA, float* SX, int INCX) { SSET<float>(N, SA, SX, INCX); }

void ISET(int N, int IA, int* IX, int INCX) { fill(N, IA, IX, INCX); }

void SCOPY(int N, const float* SX, int INCX, float* SY, int INCY) {
  SCOPY<float>(N, SX, INCX, SY, INCY);
}

float SSUM(int N, const float* SX, int INCX) { return SSUM<float>(N, SX, INCX); }

float SDOT(int N, const float* SX, int INCX, const float* SY, int INCY) {
  return SDOT<float>(N, SX, INCX, SY, INCY);
}

float SXYZ(int N, const float* SX, int INCX, const float* SY, int INCY,
           const float* SZ, int INCZ) {
  return SXYZ<float>(N, SX, INCX, SY, INCY, SZ, INCZ);
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
