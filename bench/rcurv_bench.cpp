// A cubic curve fit against sorting its abscissas: apart from its own sort,
// the fit makes a fixed number of passes over the pairs, so for many pairs it
// should cost a small multiple of the sort.
//
//   rcurv_bench [--data=DIR] [benchmark flags]
//
// With --data the pairs of n points are read from DIR/x_<n>.f32 and
// DIR/y_<n>.f32 (raw little-endian floats), so that another program can be
// timed on exactly the same data (bench/side_by_side.py); without it they
// are generated here.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "ksatfit/regression.hpp"

namespace {

std::string data_dir;  // from --data; empty: generate the pairs

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

std::vector<float> read_floats(const std::string& path, int n) {
  std::vector<float> v(n);
  std::FILE* file = std::fopen(path.c_str(), "rb");
  const bool ok = file != nullptr && std::fread(v.data(), sizeof(float), v.size(), file) == v.size();
  if (file != nullptr) std::fclose(file);
  if (!ok) throw std::runtime_error("cannot read " + std::to_string(n) + " floats from " + path);
  return v;
}

// DIR/x_<n>.f32 or DIR/y_<n>.f32.
std::string data_file(char axis, int n) {
  std::string path = data_dir;
  path += '/';
  path += axis;
  path += '_';
  path += std::to_string(n);
  path += ".f32";
  return path;
}

Pairs load_pairs(int n) {
  if (data_dir.empty()) return make_pairs(n);
  return Pairs{read_floats(data_file('x', n), n), read_floats(data_file('y', n), n)};
}

void BM_RCURV_cubic(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const Pairs p = load_pairs(n);
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
  const Pairs p = load_pairs(n);
  std::vector<float> work(n);
  for (auto _ : state) {
    std::copy(p.x.begin(), p.x.end(), work.begin());
    std::sort(work.begin(), work.end());
    benchmark::DoNotOptimize(work.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * n);
}

// Wall-clock time: the fit may sort on more than one thread.
void sizes(benchmark::internal::Benchmark* b) {
  for (int n : {40, 1000, 100000, 1000000}) b->Arg(n);
  b->Unit(benchmark::kMicrosecond)->UseRealTime();
}

BENCHMARK(BM_RCURV_cubic)->Apply(sizes);
BENCHMARK(BM_sort_abscissas)->Apply(sizes);

}  // namespace

int main(int argc, char** argv) {
  // Take --data=DIR out of the arguments before the library sees them.
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--data=", 7) == 0) {
      data_dir = argv[i] + 7;
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
