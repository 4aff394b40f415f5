// Cost of a cubic orthogonal polynomial fit against the cost of sorting the
// same abscissas with std::sort: the fit sorts once and then makes a fixed
// number of passes per degree, so beyond small n it should stay within a
// small factor of the sort.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "ksatfit/regression.hpp"

namespace {

struct Data {
  int n;
  std::vector<float> X;  // column 1: y, column 2: x
  explicit Data(int n_) : n(n_), X(2 * static_cast<size_t>(n_)) {
    std::mt19937 rng(12345);
    std::uniform_real_distribution<float> u(0.5f, 1.2f);
    std::normal_distribution<float> noise(0.0f, 0.05f);
    for (int i = 0; i < n; ++i) {
      const float x = u(rng);
      X[n + i] = x;
      X[i] = 1e-8f * (1.0f + x * (2.0f + x * (-1.5f + x))) * (1.0f + noise(rng));
    }
  }
};

void BM_R2ORP_cubic(benchmark::State& state) {
  const Data d(static_cast<int>(state.range(0)));
  std::vector<float> WK(8 * static_cast<size_t>(d.n));
  std::vector<int> IWK(d.n);
  float ALPHA[3], BETA[3], OCOEF[4], D[4];
  int NDEG = 0, NMISS = 0;
  float XSCALE = 0, XSHIFT = 0, DFE = 0, SSE = 0, DFPE = 0, SSPE = 0;
  for (auto _ : state) {
    ksatfit::R2ORP(d.n, 2, d.X.data(), d.n, 1, 2, 0, 0, 3, 0, 0.0f, 0, NDEG, XSCALE, XSHIFT,
                   ALPHA, BETA, OCOEF, D, DFE, SSE, DFPE, SSPE, NMISS, WK.data(), IWK.data());
    benchmark::DoNotOptimize(OCOEF);
    benchmark::ClobberMemory();
  }
  if (NDEG != 3) state.SkipWithError("the cubic was not fitted");
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The same abscissas copied and sorted, as the fit copies and sorts them.
void BM_std_sort_abscissas(benchmark::State& state) {
  const Data d(static_cast<int>(state.range(0)));
  std::vector<float> xs(d.n);
  for (auto _ : state) {
    std::copy(d.X.begin() + d.n, d.X.end(), xs.begin());
    std::sort(xs.begin(), xs.end());
    benchmark::DoNotOptimize(xs.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

}  // namespace

// Wall-clock time: the fit may sort on more than one thread.
BENCHMARK(BM_R2ORP_cubic)->Arg(40)->Arg(1000)->Arg(100000)->Arg(1000000)
    ->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_std_sort_abscissas)->Arg(40)->Arg(1000)->Arg(100000)->Arg(1000000)
    ->Unit(benchmark::kMicrosecond)->UseRealTime();
