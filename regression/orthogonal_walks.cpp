// The walks over the sorted rows that R3ORP makes (orthogonal_walks.hpp).
// Each is written once over an accessor of the weights and made twice: for
// given weights and frequencies, and for a weight and frequency of 1, where
// the multiplications by 1 and the square roots of 1 drop out exactly.
#include "regression/orthogonal_walks.hpp"

#include <cmath>
#include <utility>
#include <vector>

#include "kernels/real_traits.hpp"
#include "regression/fitted_curve.hpp"

namespace ksatfit {
namespace {

template <class Real>
struct GivenWeights {
  Vec1<const Real> w;
  Real weight(int i) const { return w(i); }
  Real root(int i) const { return std::sqrt(w(i)); }
};

template <class Real>
struct UnitWeights {
  Real weight(int) const { return 1; }
  Real root(int) const { return 1; }
};

// Runs `walk` with the accessor that W calls for.
template <class Real, class Walk>
auto with_weights(const Real* W, Walk walk) {
  if (W == nullptr) return walk(UnitWeights<Real>{});
  return walk(GivenWeights<Real>{Vec1<const Real>(W)});
}

}  // namespace

template <class Real>
Survey<Real> survey_rows(int N, const Real* XS, const Real* Y, const Real* W, const Real* F,
                         int* IWK) {
  using Wide = typename RealTraits<Real>::Wide;
  using WideSum = typename RealTraits<Real>::WideSum;
  return with_weights(W, [&](const auto& r) {
    const Vec1<const Real> x(XS), y(Y), f(F);
    const Vec1<int> size(IWK);
    int IMAX = 1;
    int IMIN = 1;
    Real XMAX = x(1);
    Real XMIN = x(1);
    bool YCONST = true;
    int NGROUP = 1;
    int NDIST = 0;
    int first = 1;                // first row of the current group
    bool weighted_group = false;  // whether a row of the current group carries weight
    WideSum SUMF = 0.0;
    WideSum SWY = 0.0;
    WideSum SW = 0.0;
    for (int i = 1; i <= N; ++i) {
      if (i > 1) {
        if (x(i) > XMAX) {
          IMAX = i;
          XMAX = x(i);
        }
        if (x(i) < XMIN) {
          IMIN = i;
          XMIN = x(i);
        }
        if (y(i) != y(i - 1)) YCONST = false;
        if (x(i) != x(i - 1)) {
          size(NGROUP) = i - first;
          ++NGROUP;
          if (weighted_group) ++NDIST;
          first = i;
          weighted_group = false;
        }
      }
      // The weights are never negative, so a group's total is positive
      // exactly when one of its rows has a positive weight.
      if (r.weight(i) > 0) weighted_group = true;
      SUMF += Wide{F == nullptr ? Real{1} : f(i)};
      SWY += Wide{y(i)} * r.weight(i);
      SW += Wide{r.weight(i)};
    }
    size(NGROUP) = N + 1 - first;
    if (weighted_group) ++NDIST;
    if (NDIST == 0) NDIST = NGROUP;
    return Survey<Real>{IMAX, IMIN, YCONST, NGROUP, NDIST, static_cast<Real>(SUMF),
                        static_cast<Carried<Real>>(SWY), static_cast<Carried<Real>>(SW)};
  });
}

// A group whose weights are all 0 holds no observation and adds nothing (its
// mean would be 0/0 and would turn the whole sum into NaN).
template <class Real>
Real pure_error(int NGROUP, const int* IWK, const Real* Y, const Real* W) {
  using Sum = typename RealTraits<Real>::Sum;
  return with_weights(W, [&](const auto& r) {
    const Vec1<const int> size(IWK);
    const Vec1<const Real> y(Y);
    Sum SSPE = 0;
    int first = 1;
    for (int g = 1; g <= NGROUP; ++g) {
      const int last = first + size(g) - 1;
      Sum SWYG = 0;
      Sum SWG = 0;
      for (int i = first; i <= last; ++i) {
        SWYG = SWYG + r.weight(i) * y(i);
        SWG = SWG + r.weight(i);
      }
      if (SWG != 0) {
        const Real YBARG = static_cast<Real>(SWYG / SWG);
        Sum S = 0;  // sum of w (y - YBARG)^2 over the group, in row order
        for (int i = first; i <= last; ++i) {
          const Real R = y(i) - YBARG;
          S = S + r.weight(i) * (R * R);
        }
        SSPE = SSPE + S;
      }
      first = last + 1;
    }
    return static_cast<Real>(SSPE);
  });
}

template <class Real>
Basis<Real> make_basis(Real* WORK, Real* XS, int N, bool unit_weights) {
  using Traits = RealTraits<Real>;
  const int columns = unit_weights ? 2 : 4;
  std::vector<typename Traits::Work> storage;
  const auto work = Traits::work_matrix(WORK, N, columns + 1, storage);
  const Vec1 c1(work.ptr(1, 1)), c2(work.ptr(1, 2));
  const Vec1 c3 = unit_weights ? c1 : Vec1(work.ptr(1, 3));
  const Vec1 c4 = unit_weights ? c2 : Vec1(work.ptr(1, 4));
  // Moving the storage keeps its elements where the views point.
  return Basis<Real>{std::move(storage), c1, c2, c3, c4,
                     Traits::abscissa_column(XS, work, columns + 1)};
}

template <class Real>
Start<Real> start_basis(int N, Real* XS, const Real* Y, const Real* W, Real XMID, Real XSCALE,
                        Real XSHIFT, Real YBAR, const Basis<Real>& b) {
  using Traits = RealTraits<Real>;
  using Sum = typename Traits::Sum;
  using Wide = typename Traits::Wide;
  using WideSum = typename Traits::WideSum;
  return with_weights(W, [&](const auto& r) {
    const Vec1<Real> x(XS);
    const Vec1<const Real> y(Y);
    Sum RSS = 0;
    WideSum SZPP = 0.0;
    for (int i = 1; i <= N; ++i) {
      b.c4(i) = r.root(i);  // sqrt(w) P_0
      b.c1(i) = 0;          // P_{-1}
      b.c3(i) = 0;
      b.c2(i) = 1;  // P_0
      b.z(i) = Traits::scaled_abscissa(x(i), XMID, XSCALE, XSHIFT);
      x(i) = static_cast<Real>(b.z(i));  // now z
      const Real R = y(i) - YBAR;
      RSS = RSS + r.weight(i) * (R * R);
      SZPP += Wide{b.z(i)} * b.c4(i) * b.c4(i);
    }
    return Start<Real>{static_cast<Real>(RSS), static_cast<Carried<Real>>(SZPP)};
  });
}

template <class Real>
Sums<Real> next_polynomial(int N, const Real* Y, const Real* W, Real YBAR, Carried<Real> ALPHAK,
                           Carried<Real> BETAK, const Basis<Real>& b) {
  using Sum = typename RealTraits<Real>::Sum;
  using Wide = typename RealTraits<Real>::Wide;
  using WideSum = typename RealTraits<Real>::WideSum;
  using Work = typename RealTraits<Real>::Work;
  return with_weights(W, [&](const auto& r) {
    const Vec1<const Real> y(Y);
    Sum SWYP = 0;
    WideSum SWPP = 0.0;
    WideSum SZPP = 0.0;
    for (int i = 1; i <= N; ++i) {
      const Work RW = r.root(i);
      b.c1(i) = (b.z(i) - Work{ALPHAK}) * b.c2(i) - b.c1(i) * Work{BETAK};
      b.c3(i) = RW * b.c1(i);
      SWYP = SWYP + RW * Work{y(i) - YBAR} * b.c3(i);
      SWPP += Wide{b.c3(i)} * b.c3(i);
      SZPP += Wide{b.z(i)} * b.c3(i) * b.c3(i);
    }
    return Sums<Real>{static_cast<Carried<Real>>(SWYP), static_cast<Carried<Real>>(SWPP),
                      static_cast<Carried<Real>>(SZPP)};
  });
}

template <class Real>
Real residual_sum_of_squares(int N, const Real* Z, const Real* Y, const Real* W, int NDEG,
                             const Carried<Real>* ALPHA, const Carried<Real>* BETA,
                             const Carried<Real>* OCOEF) {
  using Sum = typename RealTraits<Real>::Sum;
  return with_weights(W, [&](const auto& r) {
    const Vec1<const Real> z(Z), y(Y);
    Sum SSE = 0;
    for (int i = 1; i <= N; ++i) {
      const Carried<Real> fit = orthogonal_series(NDEG, ALPHA, BETA, OCOEF, Carried<Real>{z(i)});
      const Real R = static_cast<Real>(y(i) - fit);
      SSE = SSE + r.weight(i) * (R * R);
    }
    return static_cast<Real>(SSE);
  });
}

#define KSATFIT_ORTHOGONAL_WALKS(Real)                                                        \
  template Survey<Real> survey_rows(int, const Real*, const Real*, const Real*, const Real*,  \
                                    int*);                                                    \
  template Real pure_error(int, const int*, const Real*, const Real*);                        \
  template Basis<Real> make_basis(Real*, Real*, int, bool);                                   \
  template Start<Real> start_basis(int, Real*, const Real*, const Real*, Real, Real, Real,    \
                                   Real, const Basis<Real>&);                                 \
  template Sums<Real> next_polynomial(int, const Real*, const Real*, Real, Carried<Real>,      \
                                      Carried<Real>, const Basis<Real>&);                     \
  template Real residual_sum_of_squares(int, const Real*, const Real*, const Real*, int,      \
                                        const Carried<Real>*, const Carried<Real>*,           \
                                        const Carried<Real>*);
KSATFIT_ORTHOGONAL_WALKS(float)
KSATFIT_ORTHOGONAL_WALKS(double)
#undef KSATFIT_ORTHOGONAL_WALKS

}  // namespace ksatfit
