// The error layer as the rest of the library uses it: the routine-name stack,
// the values that messages quote, the messages themselves, and the queries of
// what a called routine left behind (N1RTY, N1RCD in ksatfit/errors.hpp).
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ksatfit {

void E1INIT();
void E1PSH(std::string_view NAME);
void E1POP(std::string_view NAME);
void E1STI(int IK, int IVAL);
void E1STR(int IK, float RVAL);
void E1STR(int IK, double RVAL);  // quoted with a double's 17 digits
void E1STL(int IK, std::string_view STR);
void E1INPL(char KIND, int KEY, int LENGTH, std::string_view TEXT);
int  N1RGB();
int  N1THRD();
void E1LOCK(int FLAG);
void E1MES(int ITYPE, int ICODE, std::string_view TEXT);
void E1PRT();

// Pushes a routine's name on construction and pops it on destruction, so that
// no return path can forget the pop. The pop may print and may stop.
class RoutineScope {
 public:
  explicit RoutineScope(std::string_view name) : name_(name) { E1PSH(name_); }
  ~RoutineScope() { E1POP(name_); }
  RoutineScope(const RoutineScope&) = delete;
  RoutineScope& operator=(const RoutineScope&) = delete;

 private:
  std::string_view name_;
};

// Puts the whole error state (stack, pending message, stored values, unit
// table) back to its state at load. For tests only.
void reset_error_state_for_tests();

struct ErrorState;

// The per-type print, stop and traceback settings, element T-1 for error type
// T; 1 means on. Whether a message is printed and whether the program stops
// is decided from these alone, so a caller that must go on after a fatal
// error (the application interface) turns the stops off here.
struct ErrorSettings {
  std::array<int, 7> prints;
  std::array<int, 7> stops;
  std::array<int, 7> traces;
};

// The settings that the first library call of the process establishes.
ErrorSettings initial_error_settings();
ErrorSettings current_error_settings();
void set_error_settings(const ErrorSettings& settings);

// A message as the error layer prints it: the type and code of the level it
// is printed from, the routine named in its heading, and its text with the
// values substituted (without the leading ".  ").
struct PrintedMessage {
  int type = 0;
  int code = 0;
  std::string routine;
  std::string text;
};

// While a recorder is set, every message that the error layer would print is
// appended to it instead of being written on the unit (and no traceback
// follows). Everything else, the state included, goes as if it had been
// printed. Returns the recorder set before (null: messages are written).
std::vector<PrintedMessage>* record_printed_messages(std::vector<PrintedMessage>* recorder);

// A copy of the whole error state (stack level, each level's name, type and
// code, settings, pending message, stored values) and of the unit table,
// taken on construction, which restore() puts back exactly.
class ErrorStateSnapshot {
 public:
  ErrorStateSnapshot();
  ~ErrorStateSnapshot();
  ErrorStateSnapshot(const ErrorStateSnapshot&) = delete;
  ErrorStateSnapshot& operator=(const ErrorStateSnapshot&) = delete;
  void restore() const;

 private:
  std::unique_ptr<const ErrorState> state_;
  std::array<int, 3> units_{};
};

}  // namespace ksatfit
