// SVRGP on random floats, on every thread and on one, beside std::sort of
// (value, index) pairs, the nearest standard equivalent of a sort that
// carries a permutation along. Wall-clock times.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <utility>
#include <vector>

#include "kernels/sort_with_permutation.hpp"
#include "ksatfit/kernels.hpp"

namespace {

std::vector<float> random_values(int n) {
  std::mt19937 rng(12345);
  std::uniform_real_distribution<float> value(-1000.0f, 1000.0f);
  std::vector<float> v(n);
  for (float& x : v) x = value(rng);
  return v;
}

void BM_SVRGP(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<float> RA = random_values(n);
  std::vector<float> RB(n);
  std::vector<int> IPERM(n);
  for (auto _ : state) {
    std::iota(IPERM.begin(), IPERM.end(), 1);
    ksatfit::SVRGP(n, RA.data(), RB.data(), IPERM.data());
    benchmark::DoNotOptimize(RB.data());
    benchmark::DoNotOptimize(IPERM.data());
  }
  state.SetItemsProcessed(state.iterations() * n);
}

void BM_SVRGP_one_thread(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<float> RA = random_values(n);
  std::vector<float> RB(n);
  std::vector<int> IPERM(n);
  for (auto _ : state) {
    std::copy(RA.begin(), RA.end(), RB.begin());
    std::iota(IPERM.begin(), IPERM.end(), 1);
    ksatfit::sort_with_permutation(n, RB.data(), IPERM.data(), 1);
    benchmark::DoNotOptimize(RB.data());
    benchmark::DoNotOptimize(IPERM.data());
  }
  state.SetItemsProcessed(state.iterations() * n);
}

void BM_StdSortPairs(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<float> RA = random_values(n);
  std::vector<std::pair<float, int>> pairs(n);
  for (auto _ : state) {
    for (int i = 0; i < n; ++i) pairs[i] = {RA[i], i + 1};
    std::sort(pairs.begin(), pairs.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    benchmark::DoNotOptimize(pairs.data());
  }
  state.SetItemsProcessed(state.iterations() * n);
}

void sizes(benchmark::internal::Benchmark* b) {
  for (int n : {1000, 100000, 1000000}) b->Arg(n);
  b->Unit(benchmark::kMicrosecond)->UseRealTime();
}

BENCHMARK(BM_SVRGP)->Apply(sizes);
BENCHMARK(BM_SVRGP_one_thread)->Apply(sizes);
BENCHMARK(BM_StdSortPairs)->Apply(sizes);

}  // namespace
