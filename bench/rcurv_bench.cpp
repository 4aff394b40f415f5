// A cubic curve fit against sorting its abscissas: apart from its own sort,
// the fit makes a fixed number of passes over the pairs, so for many pairs it
// should cost a small multiple of the sort.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "ksatfit.hpp"

namespace {

struct Pairs {
  std::vector<float> x;
  std::vector<float> y;
};

// Abscissas in random order over a laboratory-like range, a cubic trend and noise.
Pairs make_pairs(int n) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> abscissa(0.1f, 500.0f);
  std::normal_distribution<float> noise(0.0f, 5.0f);
  Pairs p;
  p.x.resize(n);
  p.y.resize(n);
  for (int i = 0; i < n; ++i) {
    const float t = abscissa(rng) / 500.0f;
    p.x[i] = 500.0f * t;
    p.y[i] = ((30.0f * t - 45.0f) * t + 20.0f) * t + 100.0f + noise(rng);
  }
  return p;
}

void BM_RCURV_cubic(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const Pairs p = make_pairs(n);
  float B[4];
  float SSPOLY[4];
  float STAT[10];
  for (auto _ : state) {
    ksatfit::RCURV(n, p.x.data(), p.y.data(), 3, B, SSPOLY, STAT);
    benchmark::DoNotOptimize(B);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * n);
}

// Copy and sort, as the fit must copy its pairs before it sorts them.
void BM_sort_abscissas(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const Pairs p = make_pairs(n);
  std::vector<float> work(n);
  for (auto _ : state) {
    std::copy(p.x.begin(), p.x.end(), work.begin());
    std::sort(work.begin(), work.end());
    benchmark::DoNotOptimize(work.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * n);
}

void sizes(benchmark::internal::Benchmark* b) {
  for (int n : {40, 1000, 100000, 1000000}) b->Arg(n);
  b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_RCURV_cubic)->Apply(sizes);
BENCHMARK(BM_sort_abscissas)->Apply(sizes);

}  // namespace
