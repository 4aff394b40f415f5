#include <gtest/gtest.h>

#include <limits>

#include "errors/error_layer.hpp"
#include "ksatfit/errors.hpp"
#include "regression/argument_checks.hpp"
#include "tests/support/transcript.hpp"

namespace ksatfit {
namespace {

class ArgumentChecks : public testing::Test {
 protected:
  void SetUp() override { reset_error_state_for_tests(); }
};

// Checks that pass raise nothing and still advance the counter: C1DIM by
// exactly 3 on every path, the others by 1.
TEST_F(ArgumentChecks, PassingChecksAdvanceTheCounter) {
  struct Case {
    const char* what;
    void (*check)(int& IER);
    int advance;
  };
  const Case cases[] = {
      {"C1DIM in range", [](int& IER) { C1DIM(1, 4, "N", 4, "LD", IER); }, 3},
      {"C1DIM starred name skips the least-value check",
       [](int& IER) { C1DIM(5, 0, "*N", 3, "LD", IER); }, 3},
      {"C1IARG at the lower bound", [](int& IER) { C1IARG(1, "I", 1, 5, IER); }, 1},
      {"C1IARG at the upper bound", [](int& IER) { C1IARG(5, "I", 1, 5, IER); }, 1},
      {"C1IARG without upper bound", [](int& IER) { C1IARG(1 << 30, "I", 2, 1, IER); }, 1},
      {"C12ILE equal", [](int& IER) { C12ILE(3, "N", 3, "LD", IER); }, 1},
      {"C1GE0 zero", [](int& IER) { C1GE0(0.0f, "X", IER); }, 1},
      {"C1GE0 negative zero", [](int& IER) { C1GE0(-0.0f, "X", IER); }, 1},
      {"C1GE0 NaN", [](int& IER) { C1GE0(std::numeric_limits<float>::quiet_NaN(), "X", IER); },
       1},
  };
  for (const Case& c : cases) {
    RoutineScope scope("TEST");
    int IER = 7;
    c.check(IER);
    EXPECT_EQ(IER, 7 + c.advance) << c.what;
    EXPECT_EQ(N1RTY(0), 0) << c.what;
  }
}

// Every message of the checks, several in one routine; the codes show that
// the counter advanced past the checks that did not fire (C1DIM's third check
// is skipped when LD is not positive; the starred name loses its star).
TEST_F(ArgumentChecks, FailingChecksPrintTheirMessagesWithTheCounterAsCode) {
  const test::ChildRun run = test::run_in_child([] {
    reset_error_state_for_tests();
    RoutineScope outer("TEST");
    int IER = 1;
    C1DIM(1, 0, "N", 0, "LD", IER);          // codes 1, 2 fire; 3 skipped
    C1GE0(-1.0f, "X", IER);                  // code 4
    C1IARG(7, "IRSP", 1, 5, IER);            // code 5
    C1DIM(2, 5, "*NOBS", 3, "LDX", IER);     // code 8 fires
  });
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.out,
            "\n"
            " *** TERMINAL ERROR 1 from TEST.  N = 0.  N must be greater than or equal to\n"
            " ***          1.\n"
            "\n"
            " *** TERMINAL ERROR 2 from TEST.  LD = 0.  LD must be greater than or equal\n"
            " ***          to 1.\n"
            "\n"
            " *** TERMINAL ERROR 4 from TEST.  X = -1.000000E+00.  X must be greater than\n"
            " ***          or equal to zero.\n"
            "\n"
            " *** TERMINAL ERROR 5 from TEST.  IRSP = 7.  IRSP must be greater than or\n"
            " ***          equal to 1 and less than or equal to 5.\n"
            "\n"
            " *** TERMINAL ERROR 8 from TEST.  NOBS = 5 and LDX = 3.  NOBS must be less\n"
            " ***          than or equal to LDX.\n"
            "Stop - Program terminated.\n");
}

}  // namespace
}  // namespace ksatfit
