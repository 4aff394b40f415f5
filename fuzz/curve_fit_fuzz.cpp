// RCURV on arbitrary float bit patterns (NaN, infinities, subnormals, huge
// values) for 0 to 40 pairs and degrees 0 to 5.
//
// Input: byte 0 gives NOBS (mod 41), byte 1 NDEG (mod 6), then the bits of
// x and y for each pair in turn, little-endian; missing bytes are zero.
//
// Data sets that the library rejects by design with a stop (fewer than two
// pairs, no two pairs without NaN at distinct abscissas) are passed over: a
// stop ends the process, which the fuzzer takes for a crash, so any other
// stop is a finding. Every other data set must leave the pairs untouched,
// write every output, and give outputs that agree with one another: no
// coefficient above the fitted degree, the NaN pairs counted, and the error
// degrees of freedom n - 1 - degree.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "errors/error_layer.hpp"
#include "ksatfit/errors.hpp"
#include "ksatfit/regression.hpp"

namespace {

constexpr int kMaxPairs = 40;
constexpr std::uint32_t kUnwritten = 0x7fa5a5a5;  // a NaN that no routine produces

void check(bool holds) {
  if (!holds) std::abort();
}

float take_float(const std::uint8_t*& data, std::size_t& size) {
  std::uint32_t bits = 0;
  const std::size_t n = size < sizeof bits ? size : sizeof bits;
  std::memcpy(&bits, data, n);
  data += n;
  size -= n;
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

bool unwritten(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits == kUnwritten;
}

struct Pairs {
  int nobs = 0;
  std::vector<float> x = std::vector<float>(kMaxPairs);
  std::vector<float> y = std::vector<float>(kMaxPairs);

  bool has_nan(int i) const { return ksatfit::IFNAN(x[i]) || ksatfit::IFNAN(y[i]); }

  int with_nan() const {
    int count = 0;
    for (int i = 0; i < nobs; ++i) count += has_nan(i) ? 1 : 0;
    return count;
  }

  bool stops_by_design() const {
    int valid = 0;
    bool distinct = false;
    float first_x = 0.0f;
    for (int i = 0; i < nobs; ++i) {
      if (has_nan(i)) continue;
      if (valid == 0) first_x = x[i];
      else if (x[i] != first_x) distinct = true;
      ++valid;
    }
    return nobs < 2 || !distinct;
  }
};

void check_outputs(const Pairs& pairs, int ndeg, const std::vector<float>& b,
                   const std::vector<float>& sspoly, const std::vector<float>& stat) {
  for (float value : b) check(!unwritten(value));
  for (float value : sspoly) check(!unwritten(value));
  for (float value : stat) check(!unwritten(value));
  const float fitted = stat[5];
  check(fitted >= 0.0f && fitted <= static_cast<float>(ndeg));
  const int degree = static_cast<int>(fitted);
  check(static_cast<float>(degree) == fitted);
  for (int k = degree + 1; k <= ndeg; ++k) check(b[k] == 0.0f && sspoly[k] == 0.0f);
  const int nan_pairs = pairs.with_nan();
  check(stat[9] == static_cast<float>(nan_pairs));
  check(stat[7] == static_cast<float>(pairs.nobs - nan_pairs - 1 - degree));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The library's console messages are not what is being tested here.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  Pairs pairs;
  pairs.nobs = data[0] % (kMaxPairs + 1);
  const int ndeg = data[1] % 6;
  data += 2;
  size -= 2;
  for (int i = 0; i < pairs.nobs; ++i) {
    pairs.x[i] = take_float(data, size);
    pairs.y[i] = take_float(data, size);
  }
  if (pairs.stops_by_design()) return 0;

  ksatfit::reset_error_state_for_tests();
  Pairs passed = pairs;
  float sentinel;
  std::memcpy(&sentinel, &kUnwritten, sizeof sentinel);
  std::vector<float> b(ndeg + 1, sentinel);
  std::vector<float> sspoly(ndeg + 1, sentinel);
  std::vector<float> stat(10, sentinel);
  ksatfit::RCURV(passed.nobs, passed.x.data(), passed.y.data(), ndeg, b.data(), sspoly.data(),
                 stat.data());
  check(std::memcmp(passed.x.data(), pairs.x.data(), kMaxPairs * sizeof(float)) == 0);
  check(std::memcmp(passed.y.data(), pairs.y.data(), kMaxPairs * sizeof(float)) == 0);
  check_outputs(pairs, ndeg, b, sspoly, stat);
  return 0;
}
