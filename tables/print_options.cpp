// Print options: one table of rules (initial value and allowed values) behind
// the setting and the query, with the checks in the error layer's style.
#include "tables/print_options.hpp"

#include <array>
#include <climits>
#include <string_view>

#include "errors/error_layer.hpp"
#include "ksatfit/tables.hpp"

namespace ksatfit {
namespace {

struct OptionRule {
  int initial;
  int low;           // allowed: low to high, and also `also` when it is not -1
  int high;
  int also;
  std::string_view message;  // the type 5 message for a value that is not allowed
};

constexpr int kOptions = 3;

constexpr std::array<OptionRule, kOptions> kRules = {{
    {78, 40, 255, -1,
     "IOPT = %(I1) and IVAL = %(I2).  The page width, IVAL, must be greater than or equal to "
     "40 and less than or equal to 255."},
    {0, 10, INT_MAX, 0,
     "IOPT = %(I1) and IVAL = %(I2).  The page length, IVAL, must be 0 (no page breaks) or "
     "greater than or equal to 10."},
    {1, 0, 1, -1,
     "IOPT = %(I1) and IVAL = %(I2).  The leading zero option, IVAL, must be either 0 (no "
     "zero before the decimal point) or 1 (a zero before it)."},
}};

const OptionRule& rule(int IOPT) { return kRules[static_cast<std::size_t>(IOPT - 1)]; }

struct PrintState {
  std::array<int, kOptions> values;
  int lines_on_page = 0;
  PrintState() {
    for (int k = 1; k <= kOptions; ++k) values[static_cast<std::size_t>(k - 1)] = rule(k).initial;
  }
};

PrintState& print_state() {
  static PrintState state;
  return state;
}

// Check 1 of both routines; false (and a message raised) for a bad number.
bool option_number_ok(int IOPT) {
  if (IOPT >= 1 && IOPT <= kOptions) return true;
  E1STI(1, IOPT);
  E1MES(5, 1,
        "IOPT = %(I1).  The print option number, IOPT, must be greater than or equal to 1 and "
        "less than or equal to 3.");
  return false;
}

}  // namespace

void TABSET(int IOPT, int IVAL) {
  RoutineScope guard("TABSET");
  if (!option_number_ok(IOPT)) return;
  const OptionRule& r = rule(IOPT);
  if (IVAL != r.also && (IVAL < r.low || IVAL > r.high)) {
    E1STI(1, IOPT);
    E1STI(2, IVAL);
    E1MES(5, 2, r.message);
    return;
  }
  print_state().values[static_cast<std::size_t>(IOPT - 1)] = IVAL;
  if (IOPT == kPageLengthOption) print_state().lines_on_page = 0;
}

void TABGET(int IOPT, int& IVAL) {
  RoutineScope guard("TABGET");
  if (!option_number_ok(IOPT)) return;
  IVAL = T1OPT(IOPT);
}

int T1OPT(int IOPT) { return print_state().values[static_cast<std::size_t>(IOPT - 1)]; }

int& lines_on_page() { return print_state().lines_on_page; }

void reset_print_options_for_tests() { print_state() = PrintState{}; }

}  // namespace ksatfit
