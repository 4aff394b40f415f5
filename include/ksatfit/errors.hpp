// ksatfit/errors.hpp: the error layer's routines for callers: the machine
// constants, the output units, the test for a missing value and the queries
// of what the last routine left behind.
//
// Like every routine of the library, these keep their state in static
// storage and are not reentrant: call them from one thread at a time.
#pragma once

#include <bit>
#include <cstdint>

namespace ksatfit {

// machine constants and error queries
float AMACH(int N);
int   IMACH(int N);
void  UMACH(int N, int& NUNIT);
inline bool IFNAN(float X);  // defined at the end
int   N1RTY(int IOFF);
int   N1RCD(int IOFF);

// Whether X is NaN: every exponent bit set and a nonzero fraction. Inline, as
// the library asks it of every row of its data, in loops that keep running
// sums in registers.
inline bool IFNAN(float X) {
  const std::uint32_t bits = std::bit_cast<std::uint32_t>(X);
  return (bits & 0x7F800000u) == 0x7F800000u && (bits & 0x007FFFFFu) != 0;
}

}  // namespace ksatfit
