// The ksatfit program's work on a million-row column file, in its steps:
// reading the text into columns, and reading plus fitting (degree 2). The
// whole program, file reading and output included, is timed by
// million_rows.sh.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "cli/column_file.hpp"
#include "ksatfit/fit.hpp"

namespace {

// A million rows of a curve with some scatter, as a laboratory logger writes them.
const std::string& million_rows() {
  static const std::string text = [] {
    std::string t = "depth,stress\n";
    char line[64];
    unsigned state = 12345;
    for (int i = 0; i < 1000000; ++i) {
      state = state * 1103515245u + 12345u;
      const double x = 0.5 + 0.6 * i / 1e6;
      const double y = 7.7 - 24.4 * x + 19.7 * x * x + ((state >> 16) % 1000) * 1e-4;
      t.append(line, static_cast<std::size_t>(std::snprintf(line, sizeof line, "%.6f,%.6e\n", x, y)));
    }
    return t;
  }();
  return text;
}

void BM_ReadMillionRows(benchmark::State& state) {
  const std::string& text = million_rows();
  for (auto _ : state) {
    benchmark::DoNotOptimize(ksatfit::cli::read_columns(text, {}, 0));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ReadMillionRows)->Unit(benchmark::kMillisecond);

void BM_ReadAndFitMillionRows(benchmark::State& state) {
  const std::string& text = million_rows();
  for (auto _ : state) {
    const auto data = ksatfit::cli::read_columns(text, {}, 0);
    ksatfit::FitOptions options;
    options.max_degree = 2;
    options.lack_of_fit = true;
    benchmark::DoNotOptimize(ksatfit::fit_polynomial(data.x, data.y, options));
  }
}
BENCHMARK(BM_ReadAndFitMillionRows)->Unit(benchmark::kMillisecond);

}  // namespace
