// Properties of the arithmetic (AMACH, IMACH; IFNAN is inline in ksatfit/errors.hpp)
// and the unit table (UMACH) for 32-bit integers and IEEE single and double
// precision.
#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <string>

#include "errors/error_layer.hpp"
#include "errors/machine_constants.hpp"
#include "ksatfit/errors.hpp"
#include "runtime/console.hpp"
#include "runtime/edit_descriptors.hpp"

namespace ksatfit {
namespace {

constexpr std::array<int, 3> kInitialUnits = {5, 6, 6};  // input, output, messages

std::array<int, 3>& unit_table() {
  static std::array<int, 3> units = kInitialUnits;
  return units;
}

int& unit_entry(int index) { return unit_table()[static_cast<std::size_t>(index - 1)]; }

// A fixed message of the constant tables, framed by empty lines.
void write_fixed_message(int unit, std::initializer_list<std::string> lines) {
  E1LOCK(1);
  rt::write_line(unit, "");
  for (const std::string& line : lines) rt::write_line(unit, line);
  rt::write_line(unit, "");
  E1LOCK(0);
}

}  // namespace

float AMACH(int N) {
  static constexpr std::array<std::uint32_t, 8> kBits = {
      0x00800000u,  // smallest positive normalised number, 2**-126
      0x7F7FFFFFu,  // largest finite number
      0x33800000u,  // smallest relative spacing, 2**-24
      0x34000000u,  // largest relative spacing, 2**-23
      0x3E9A209Bu,  // log10(2)
      0x7FFFFFFFu,  // the missing-value NaN: every bit set but the sign
      0x7F800000u,  // +infinity
      0xFF800000u,  // -infinity
  };
  if (N >= 1 && N <= 8) return std::bit_cast<float>(kBits[static_cast<std::size_t>(N - 1)]);
  RoutineScope guard("AMACH");
  E1STI(1, N);
  E1MES(5, 5, "The argument must be between 1 and 8 inclusive. N = %(I1)");
  return AMACH(6);
}

int IMACH(int N) {
  static constexpr std::array<int, 12> kTable = {
      32, 4, 2, 31, INT_MAX,  // integers: bits, characters, base, digits, largest
      2, 24, -125, 128,       // single precision: base, digits, exponent range
      53, -1021, 1024,        // double precision: digits, exponent range
  };
  if (N >= 1 && N <= 12) return kTable[static_cast<std::size_t>(N - 1)];
  write_fixed_message(unit_entry(2), {" *** TERMINAL ERROR 5 from IMACH.  The argument",
                                      " ***          must be between 1 and 12 inclusive.",
                                      " ***          N = " + rt::edit_I(N, 6) + "."});
  rt::stop_program();
}

void UMACH(int N, int& NUNIT) {
  if (N >= 1 && N <= 3) {
    NUNIT = unit_entry(N);
    return;
  }
  if (N >= -3 && N <= -1) {
    unit_entry(-N) = NUNIT;
    return;
  }
  // |N| of the most negative integer does not fit; it prints as overflow anyway.
  const int magnitude = static_cast<int>(std::min<long long>(std::llabs(N), INT_MAX));
  write_fixed_message(unit_entry(3),
                      {" *** TERMINAL ERROR 5 from UMACH.  The absolute",
                       " ***          value of the index variable must be",
                       " ***          1, 2, or 3.  IABS(N) = " + rt::edit_I(magnitude, 6) + "."});
  rt::stop_program();
}

void restore_initial_units() { unit_table() = kInitialUnits; }

}  // namespace ksatfit
