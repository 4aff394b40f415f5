// The walks over the sorted rows that R3ORP makes (orthogonal_walks.hpp).
// Each is written once over an accessor of the weights and made twice: for
// given weights and frequencies, and for a weight and frequency of 1, where
// the multiplications by 1 and the square roots of 1 drop out exactly.
#include "regression/orthogonal_walks.hpp"

#include <cmath>

namespace ksatfit {
namespace {

struct GivenWeights {
  Vec1<const float> w;
  float weight(int i) const { return w(i); }
  float root(int i) const { return std::sqrt(w(i)); }
};

struct UnitWeights {
  float weight(int) const { return 1.0f; }
  float root(int) const { return 1.0f; }
};

// Runs `walk` with the accessor that W calls for.
template <class Walk>
auto with_weights(const float* W, Walk walk) {
  if (W == nullptr) return walk(UnitWeights{});
  return walk(GivenWeights{Vec1<const float>(W)});
}

}  // namespace

Survey survey_rows(int N, const float* XS, const float* Y, const float* W, const float* F,
                   int* IWK) {
  return with_weights(W, [&](const auto& r) {
    const Vec1<const float> x(XS), y(Y), f(F);
    const Vec1<int> size(IWK);
    int IMAX = 1;
    int IMIN = 1;
    float XMAX = x(1);
    float XMIN = x(1);
    bool YCONST = true;
    int NDIST = 1;
    int first = 1;  // first row of the current group
    double SUMF = 0.0;
    double SWY = 0.0;
    double SW = 0.0;
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
          size(NDIST) = i - first;
          ++NDIST;
          first = i;
        }
      }
      SUMF += F == nullptr ? 1.0f : f(i);
      SWY += double{y(i)} * r.weight(i);
      SW += r.weight(i);
    }
    size(NDIST) = N + 1 - first;
    return Survey{IMAX, IMIN, YCONST, NDIST, static_cast<float>(SUMF), static_cast<float>(SWY),
                  static_cast<float>(SW)};
  });
}

// A group whose weights are all 0 holds no observation and adds nothing (its
// mean would be 0/0 and would turn the whole sum into NaN).
float pure_error(int NDIST, const int* IWK, const float* Y, const float* W) {
  return with_weights(W, [&](const auto& r) {
    const Vec1<const int> size(IWK);
    const Vec1<const float> y(Y);
    float SSPE = 0.0f;
    int first = 1;
    for (int g = 1; g <= NDIST; ++g) {
      const int last = first + size(g) - 1;
      float SWYG = 0.0f;
      float SWG = 0.0f;
      for (int i = first; i <= last; ++i) {
        SWYG = SWYG + r.weight(i) * y(i);
        SWG = SWG + r.weight(i);
      }
      if (SWG != 0.0f) {
        const float YBARG = SWYG / SWG;
        float S = 0.0f;  // sum of w (y - YBARG)^2 over the group, in row order
        for (int i = first; i <= last; ++i) {
          const float R = y(i) - YBARG;
          S = S + r.weight(i) * (R * R);
        }
        SSPE = SSPE + S;
      }
      first = last + 1;
    }
    return SSPE;
  });
}

Basis make_basis(float* WORK, int N, bool unit_weights) {
  const Mat1<float> work(WORK, N);
  const Vec1<float> c1(work.ptr(1, 1)), c2(work.ptr(1, 2));
  if (unit_weights) return Basis{c1, c2, c1, c2};
  return Basis{c1, c2, Vec1<float>(work.ptr(1, 3)), Vec1<float>(work.ptr(1, 4))};
}

Start start_basis(int N, float* XS, const float* Y, const float* W, float XMID, float XSCALE,
                  float YBAR, const Basis& b) {
  return with_weights(W, [&](const auto& r) {
    const Vec1<float> x(XS);
    const Vec1<const float> y(Y);
    float RSS = 0.0f;
    double SZPP = 0.0;
    for (int i = 1; i <= N; ++i) {
      b.c4(i) = r.root(i);  // sqrt(w) P_0
      b.c1(i) = 0.0f;       // P_{-1}
      b.c3(i) = 0.0f;
      b.c2(i) = 1.0f;                 // P_0
      x(i) = (x(i) - XMID) * XSCALE;  // now z
      const float R = y(i) - YBAR;
      RSS = RSS + r.weight(i) * (R * R);
      SZPP += double{x(i)} * b.c4(i) * b.c4(i);
    }
    return Start{RSS, static_cast<float>(SZPP)};
  });
}

Sums next_polynomial(int N, const float* Z, const float* Y, const float* W, float YBAR,
                     float ALPHAK, float BETAK, const Basis& b) {
  return with_weights(W, [&](const auto& r) {
    const Vec1<const float> z(Z), y(Y);
    float SWYP = 0.0f;
    double SWPP = 0.0;
    double SZPP = 0.0;
    for (int i = 1; i <= N; ++i) {
      const float RW = r.root(i);
      b.c1(i) = (z(i) - ALPHAK) * b.c2(i) - b.c1(i) * BETAK;
      b.c3(i) = RW * b.c1(i);
      SWYP = SWYP + RW * (y(i) - YBAR) * b.c3(i);
      SWPP += double{b.c3(i)} * b.c3(i);
      SZPP += double{z(i)} * b.c3(i) * b.c3(i);
    }
    return Sums{SWYP, static_cast<float>(SWPP), static_cast<float>(SZPP)};
  });
}

}  // namespace ksatfit
