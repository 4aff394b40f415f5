// The console blocks the library prints in whole-program runs, laid out by
// hand: an empty line, the heading with its word-wrapped message, the
// continuation lines and, for messages raised below the curve fit's entry,
// the traceback of the routine-name stack.
#pragma once

#include <string>

namespace ksatfit::test {

inline std::string perfect_fit_with_traceback(int degree) {
  return "\n"
         " *** WARNING  ERROR 11 from R3ORP.  The degree " +
         std::to_string(degree) +
         " polynomial fit is a perfect\n"
         " ***          fit within machine precision.\n"
         "     Here is a traceback of subprogram calls in reverse order:\n"
         "     Routine name                    Error type  Error code\n"
         "     ------------                    ----------  ----------\n"
         "     R3ORP                                6          11    (Called internally)\n"
         "     R4ORP                                0           0    (Called internally)\n"
         "     R2ORP                                0           0    (Called internally)\n"
         "     R2URV                                0           0    (Called internally)\n"
         "     RCURV                                0           0\n"
         "     USER                                 0           0\n";
}

inline const std::string kTooFewAbscissas =
    "\n"
    " *** WARNING  ERROR 5 from RCURV.  A degree 2 polynomial is fitted.  There\n"
    " ***          are only 3 distinct abscissas, so a higher degree polynomial \n"
    " ***          fit cannot be computed.\n";

inline const std::string kConstantY =
    "\n"
    " *** WARNING  ERROR 4 from RCURV.  The y values are constant.  A zero order\n"
    " ***          polynomial is fit.  High order coefficients are set to zero.\n";

inline const std::string kNoObservations =
    "\n"
    " *** TERMINAL ERROR 1 from RCURV.  The number of observations must be at\n"
    " ***          least 1 while NOBS = 0 is given.\n";

inline const std::string kOnePairWithTraceback =
    "\n"
    " *** TERMINAL ERROR 1 from R2ORP.  NOBS = 1.  The number of observations,\n"
    " ***          NOBS, must be greater than 1.\n"
    "     Here is a traceback of subprogram calls in reverse order:\n"
    "     Routine name                    Error type  Error code\n"
    "     ------------                    ----------  ----------\n"
    "     R2ORP                                5           1    (Called internally)\n"
    "     R2URV                                0           0    (Called internally)\n"
    "     RCURV                                0           0\n"
    "     USER                                 0           0\n";

inline const std::string kConstantX =
    "\n"
    " *** FATAL    ERROR 7 from RCURV.  The x values are constant.  At least two\n"
    " ***          distinct x values are needed.\n";

inline const std::string kStop = "Stop - Program terminated.\n";

}  // namespace ksatfit::test
