// The process-wide error state behind the error layer's routines: integer
// bookkeeping per stack level and per error type, the pending message, the
// stored-value list and the routine names. Only the error layer includes this.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace ksatfit {

// A fixed table indexed from 1, as stack levels and error types are.
template <class T, int N>
class Table1 {
 public:
  T& operator()(int i) { return items_[static_cast<std::size_t>(i - 1)]; }
  const T& operator()(int i) const { return items_[static_cast<std::size_t>(i - 1)]; }
  void fill(const T& value) { items_.fill(value); }
  friend bool operator==(const Table1&, const Table1&) = default;

 private:
  std::array<T, N> items_{};
};

inline constexpr int kLevelSlots = 51;     // one more than the depth limit
inline constexpr int kErrorTypes = 7;
inline constexpr int kMessageSize = 1024;
inline constexpr int kValueListSize = 300;
inline constexpr int kNameSize = 32;

using RoutineName = std::array<char, kNameSize>;

struct ErrorState {
  ErrorState();
  // The values that E1INIT establishes (all but MSGLEN, which only
  // messages and prints change).
  void apply_initial_values();

  // integer state
  int LEVEL;
  int MAXLEV;
  int MSGLEN = 0;
  Table1<int, kLevelSlots> ERTYPE;
  Table1<int, kLevelSlots> ERCODE;
  Table1<int, kErrorTypes> PRINTS;
  Table1<int, kErrorTypes> STOPS;
  int PLEN;
  int PEND6;
  int PEND7;
  Table1<int, kErrorTypes> TRACES;

  // character state
  std::array<char, kMessageSize> MSGTXT{};
  std::array<char, kValueListSize> PLIST{};
  Table1<RoutineName, kLevelSlots> RNAME;

  // whether the routine at each level is the user's own
  Table1<bool, kLevelSlots> USRLVL;

  bool initialised = false;

  // Lets a test tell that a call left no trace in the state.
  friend bool operator==(const ErrorState&, const ErrorState&) = default;
};

ErrorState& error_state();

// The routine name at a level as a view of its 32 blank-padded characters.
std::string_view routine_name(const ErrorState& state, int level);

// Makes `text` (cut to 1024 characters) the pending message.
void set_pending_text(ErrorState& state, std::string_view text);

// The value text stored under a kind letter and key digit (the kind compared
// without regard to case); the first stored entry counts.
std::optional<std::string_view> find_stored_value(const ErrorState& state, char kind,
                                                  char key);

}  // namespace ksatfit
