#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "ksatfit/kernels.hpp"

namespace ksatfit {
namespace {

constexpr float kUntouched = -777.0f;

TEST(FillKernels, StridedFillSetsOnlyTheWalkedElements) {
  std::vector<float> x(30, kUntouched);
  std::vector<int> ix(30, -7);
  SSET(10, 2.5f, x.data(), 3);
  ISET(10, 4, ix.data(), 3);
  for (int s = 0; s < 30; ++s) {
    const bool walked = s % 3 == 0 && s <= 27;
    EXPECT_EQ(x[s], walked ? 2.5f : kUntouched) << s;
    EXPECT_EQ(ix[s], walked ? 4 : -7) << s;
  }
}

TEST(CopyKernel, NegativeIncrementWalksFromTheFarEnd) {
  const float x[3] = {1.0f, 2.0f, 3.0f};
  float y[3] = {0.0f, 0.0f, 0.0f};
  SCOPY(3, x, 1, y, -1);
  EXPECT_EQ(y[0], 3.0f);
  EXPECT_EQ(y[1], 2.0f);
  EXPECT_EQ(y[2], 1.0f);

  const float xs[5] = {10.0f, 0.0f, 20.0f, 0.0f, 30.0f};  // elements 30, 20, 10
  float z[3] = {0.0f, 0.0f, 0.0f};
  SCOPY(3, xs, -2, z, 1);
  EXPECT_EQ(z[0], 30.0f);
  EXPECT_EQ(z[1], 20.0f);
  EXPECT_EQ(z[2], 10.0f);
}

// Every remainder of the unrolled blocks (8 for the fills, 7 for the copy),
// with one element past the end that must stay untouched.
TEST(UnitIncrementPaths, FillAndCopyStopAtTheLastElement) {
  for (int n = 0; n <= 17; ++n) {
    std::vector<float> x(n + 1, kUntouched), y(n + 1, kUntouched), source(n + 1);
    std::vector<int> ix(n + 1, -7);
    for (int s = 0; s <= n; ++s) source[s] = static_cast<float>(s + 2);
    SSET(n, 1.0f, x.data(), 1);
    ISET(n, 1, ix.data(), 1);
    SCOPY(n, source.data(), 1, y.data(), 1);
    for (int s = 0; s <= n; ++s) {
      const bool inside = s < n;
      EXPECT_EQ(x[s], inside ? 1.0f : kUntouched) << n << " " << s;
      EXPECT_EQ(ix[s], inside ? 1 : -7) << n << " " << s;
      EXPECT_EQ(y[s], inside ? source[s] : kUntouched) << n << " " << s;
    }
  }
}

TEST(SumKernels, EmptyVectorsGiveZeroAndAreNotRead) {
  EXPECT_EQ(SSUM(0, nullptr, 1), 0.0f);
  EXPECT_EQ(SDOT(0, nullptr, 1, nullptr, 1), 0.0f);
  EXPECT_EQ(SXYZ(-3, nullptr, 1, nullptr, -1, nullptr, 2), 0.0f);
}

TEST(SumKernels, PartialSumsAreCarriedWiderThanSingle) {
  // In single precision 1e8 + 1 rounds back to 1e8 and the sum would be 0.
  const float x[3] = {1.0e8f, 1.0f, -1.0e8f};
  const float one[3] = {1.0f, 1.0f, 1.0f};
  EXPECT_EQ(SSUM(3, x, 1), 1.0f);
  EXPECT_EQ(SDOT(3, x, 1, one, 1), 1.0f);
  EXPECT_EQ(SXYZ(3, x, 1, one, 1, one, 1), 1.0f);
}

// The unrolled unit-increment paths and the plain strided loops walk the
// elements in the same order, so they must agree to the last bit.
TEST(SumKernels, UnrolledAndStridedPathsGiveTheSameSums) {
  const float gap = std::numeric_limits<float>::quiet_NaN();  // never walked
  for (int n = 1; n <= 40; ++n) {
    std::vector<float> x(n), y(n), z(n);
    std::vector<float> xs(2 * n, gap), ys(3 * n, gap), zs(2 * n, gap);
    for (int i = 0; i < n; ++i) {
      x[i] = 1.0f / static_cast<float>(i + 3) - 0.1f * static_cast<float>(i % 4);
      y[i] = static_cast<float>(i * i % 7) + 0.3f;
      z[i] = 0.7f - 1.0f / static_cast<float>(i + 1);
      xs[2 * i] = x[i];
      ys[3 * i] = y[i];
      zs[2 * i] = z[i];
    }
    EXPECT_EQ(SSUM(n, x.data(), 1), SSUM(n, xs.data(), 2)) << n;
    EXPECT_EQ(SDOT(n, x.data(), 1, y.data(), 1), SDOT(n, xs.data(), 2, ys.data(), 3)) << n;
    EXPECT_EQ(SDOT(n, x.data(), 1, y.data(), 1), SDOT(n, x.data(), 1, ys.data(), 3)) << n;
    EXPECT_EQ(SXYZ(n, x.data(), 1, y.data(), 1, z.data(), 1),
              SXYZ(n, xs.data(), 2, ys.data(), 3, zs.data(), 2)) << n;
    EXPECT_EQ(SXYZ(n, x.data(), 1, y.data(), 1, z.data(), 1),
              SXYZ(n, x.data(), 1, y.data(), 1, zs.data(), 2)) << n;
  }
}

TEST(SumKernels, NegativeIncrementsPairElementsFromTheFarEnd) {
  const float x[3] = {1.0f, 2.0f, 3.0f};
  const float y[3] = {10.0f, 100.0f, 1000.0f};
  const float z[5] = {2.0f, 0.0f, 3.0f, 0.0f, 5.0f};  // elements 5, 3, 2
  EXPECT_EQ(SDOT(3, x, 1, y, -1), 1.0f * 1000.0f + 2.0f * 100.0f + 3.0f * 10.0f);
  EXPECT_EQ(SDOT(3, x, -1, y, -1), SDOT(3, x, 1, y, 1));
  EXPECT_EQ(SXYZ(3, x, 1, y, 1, z, -2), 1.0f * 10.0f * 5.0f + 2.0f * 100.0f * 3.0f +
                                            3.0f * 1000.0f * 2.0f);
}

struct ExtremeCase {
  std::vector<float> storage;
  int n;
  int inc;
  int max_position;
  int min_position;
};

TEST(ExtremeSearch, FirstExtremeWinsAndPositionsCountElements) {
  const ExtremeCase cases[] = {
      {{1.0f, 5.0f, 5.0f, 2.0f}, 4, 1, 2, 1},
      {{4.0f, 1.0f, 1.0f}, 3, 1, 1, 2},
      {{1.0f, 99.0f, 2.0f, -99.0f, 7.0f}, 3, 2, 3, 1},  // elements 1, 2, 7
      {{3.0f}, 1, 1, 1, 1},
      {{3.0f}, 0, 1, 0, 0},
      {{3.0f}, -2, 1, 0, 0},
  };
  for (const ExtremeCase& c : cases) {
    EXPECT_EQ(ISMAX(c.n, c.storage.data(), c.inc), c.max_position) << c.n;
    EXPECT_EQ(ISMIN(c.n, c.storage.data(), c.inc), c.min_position) << c.n;
  }
}

}  // namespace
}  // namespace ksatfit
