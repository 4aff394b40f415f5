// The error state, the routine-name stack with its print-and-stop decision at
// each pop, and the queries of what a called routine left behind.
#include "errors/error_state.hpp"

#include <algorithm>
#include <string>

#include "errors/characters.hpp"
#include "errors/error_layer.hpp"
#include "errors/machine_constants.hpp"
#include "ksatfit/errors.hpp"
#include "runtime/console.hpp"

namespace ksatfit {
namespace {

constexpr int kDepthLimit = 50;
constexpr int kFatal = 4;
constexpr int kTerminal = 5;

// Blank-padded comparison: the shorter text counts as followed by blanks.
bool same_padded(std::string_view a, std::string_view b) {
  const std::size_t longer = std::max(a.size(), b.size());
  for (std::size_t k = 0; k < longer; ++k) {
    if ((k < a.size() ? a[k] : ' ') != (k < b.size() ? b[k] : ' ')) return false;
  }
  return true;
}

// Reports a query index other than 0 or 1 from the routine on top of the
// stack, and stops.
[[noreturn]] void reject_query_offset(std::string_view query) {
  ErrorState& s = error_state();
  s.ERTYPE(s.LEVEL) = kTerminal;
  s.ERCODE(s.LEVEL) = 1;
  set_pending_text(s, ".  The argument passed to " + std::string(query) +
                          " must be 0 or 1.");
  E1PRT();
  rt::stop_program();
}

int checked_level_slot(int IOFF, std::string_view query) {
  if (IOFF != 0 && IOFF != 1) reject_query_offset(query);
  return error_state().LEVEL + IOFF;
}

// Print and stop at the pop of a routine whose level records type T (1 to 7).
// Types up to 4 act only when the user called the routine; a terminal error
// stops wherever it was set; types 6 and 7 stop through their pending marks.
void act_on_popped_type(ErrorState& s, int T) {
  const bool called_by_user = s.USRLVL(s.LEVEL - 1);
  const bool print = T <= kFatal ? called_by_user && s.PRINTS(T) == 1 : s.PRINTS(T) == 1;
  if (print) E1PRT();
  bool stop = false;
  if (T <= kFatal) {
    stop = called_by_user && s.STOPS(T) == 1;
  } else if (T == kTerminal) {
    stop = s.STOPS(kTerminal) == 1;
  } else {
    stop = called_by_user && N1RGB() != 0;
  }
  if (stop) rt::stop_program();
}

}  // namespace

ErrorState::ErrorState() {
  MSGTXT.fill(' ');
  PLIST.fill(' ');
  apply_initial_values();
}

void ErrorState::apply_initial_values() {
  LEVEL = 1;
  MAXLEV = kDepthLimit;
  ERTYPE.fill(-1);
  ERCODE.fill(-1);
  ERTYPE(1) = 0;
  ERCODE(1) = 0;
  const ErrorSettings initial = initial_error_settings();
  for (int T = 1; T <= kErrorTypes; ++T) {
    PRINTS(T) = initial.prints[static_cast<std::size_t>(T - 1)];
    STOPS(T) = initial.stops[static_cast<std::size_t>(T - 1)];
    TRACES(T) = initial.traces[static_cast<std::size_t>(T - 1)];
  }
  PLEN = 1;
  PEND6 = 0;
  PEND7 = 0;
  RoutineName blanks;
  blanks.fill(' ');
  RNAME.fill(blanks);
  M1VECH("USER", RNAME(1));
  USRLVL.fill(false);
  USRLVL(1) = true;
}

ErrorState& error_state() {
  static ErrorState state;
  return state;
}

std::string_view routine_name(const ErrorState& state, int level) {
  const RoutineName& name = state.RNAME(level);
  return {name.data(), name.size()};
}

void set_pending_text(ErrorState& state, std::string_view text) {
  const std::size_t length = std::min<std::size_t>(text.size(), kMessageSize);
  std::copy_n(text.begin(), length, state.MSGTXT.begin());
  state.MSGLEN = static_cast<int>(length);
}

void E1INIT() {
  ErrorState& s = error_state();
  if (s.initialised) return;
  s.apply_initial_values();
  s.initialised = true;
}

void E1PSH(std::string_view NAME) {
  E1INIT();
  ErrorState& s = error_state();
  if (s.MAXLEV <= s.LEVEL) {
    E1STI(1, s.MAXLEV);
    E1MES(kTerminal, 1,
          "Error condition in E1PSH.  Push would cause stack level to exceed %(I1).");
    rt::stop_program();
  }
  ++s.LEVEL;
  M1VECH(NAME, s.RNAME(s.LEVEL));
  s.ERTYPE(s.LEVEL) = 0;
  s.ERCODE(s.LEVEL) = 0;
}

void E1POP(std::string_view NAME) {
  ErrorState& s = error_state();
  if (s.LEVEL <= 1) {
    E1PSH("E1POP");
    E1STL(1, NAME);
    E1MES(kTerminal, 1,
          "Error condition in E1POP.  Cannot pop from %(L1) because stack is empty.");
    rt::stop_program();
  }
  if (!same_padded(NAME, routine_name(s, s.LEVEL))) {
    E1STL(1, NAME);
    E1STL(2, routine_name(s, s.LEVEL));
    E1MES(kTerminal, 2,
          "Error condition in E1POP.  %(L1) does not match the name %(L2) in the stack.");
    rt::stop_program();
  }
  const int T = s.ERTYPE(s.LEVEL);
  if (T != 0) {
    // A note stays with the routine that set it; everything else is passed on.
    if (T >= 2 && T <= kErrorTypes) {
      s.ERTYPE(s.LEVEL - 1) = T;
      s.ERCODE(s.LEVEL - 1) = s.ERCODE(s.LEVEL);
    }
    act_on_popped_type(s, T);
  }
  // What the popped routine's own callees left is forgotten; its own result
  // stays readable by its caller.
  if (s.LEVEL < s.MAXLEV) {
    s.ERTYPE(s.LEVEL + 1) = -1;
    s.ERCODE(s.LEVEL + 1) = -1;
  }
  --s.LEVEL;
}

int N1RTY(int IOFF) { return error_state().ERTYPE(checked_level_slot(IOFF, "N1RTY")); }

int N1RCD(int IOFF) { return error_state().ERCODE(checked_level_slot(IOFF, "N1RCD")); }

int N1RGB() {
  ErrorState& s = error_state();
  int result = 0;
  if (s.PEND6 > 0) {
    result = s.STOPS(6);
    s.PEND6 = 0;
  }
  if (s.PEND7 > 0) {
    result = s.STOPS(7);
    s.PEND7 = 0;
  }
  return result;
}

// The library runs on one thread.
int N1THRD() { return 1; }

void E1LOCK(int /*FLAG*/) {}

void reset_error_state_for_tests() {
  error_state() = ErrorState{};
  restore_initial_units();
}

}  // namespace ksatfit
