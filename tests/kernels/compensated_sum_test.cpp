// The compensated running sum that stands in for an extended-precision
// accumulator where long double is no wider than double.
#include <gtest/gtest.h>

#include <vector>

#include "kernels/real_traits.hpp"

namespace ksatfit {
namespace {

TEST(CompensatedSum, KeepsWhatAPlainDoubleSumLoses) {
  const struct {
    std::vector<double> terms;
    double sum;
  } cases[] = {
      {{1e16, 1.0, -1e16}, 1.0},
      {{1.0, 1e100, 1.0, -1e100}, 2.0},
      {{0.1, 0.2, 0.3, -0.6}, 2.7755575615628914e-17},  // the four doubles' exact sum
  };
  for (const auto& c : cases) {
    CompensatedSum by_terms;
    CompensatedSum by_halves, second;
    for (std::size_t i = 0; i < c.terms.size(); ++i) {
      by_terms += c.terms[i];
      (i < c.terms.size() / 2 ? by_halves : second) += c.terms[i];
    }
    EXPECT_EQ(double(by_terms), c.sum);
    EXPECT_EQ(double(by_halves + second), c.sum);
  }
}

}  // namespace
}  // namespace ksatfit
