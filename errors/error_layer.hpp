// The error layer as the rest of the library uses it: the routine-name stack,
// the values that messages quote, the messages themselves, and the queries of
// what a called routine left behind (N1RTY, N1RCD in ksatfit.hpp).
#pragma once

#include <string_view>

namespace ksatfit {

void E1INIT();
void E1PSH(std::string_view NAME);
void E1POP(std::string_view NAME);
void E1STI(int IK, int IVAL);
void E1STR(int IK, float RVAL);
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

}  // namespace ksatfit
