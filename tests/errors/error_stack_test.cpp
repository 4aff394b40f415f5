// Type and code bookkeeping across pushes and pops, as callers read it back.
#include <gtest/gtest.h>

#include "errors/error_layer.hpp"
#include "ksatfit/errors.hpp"

namespace ksatfit {
namespace {

class ErrorStack : public testing::Test {
 protected:
  void SetUp() override { reset_error_state_for_tests(); }
  void TearDown() override { reset_error_state_for_tests(); }
};

TEST_F(ErrorStack, UserLevelStartsCleanWithNothingKnownAbove) {
  EXPECT_EQ(N1RTY(0), 0);
  EXPECT_EQ(N1RCD(0), 0);
  EXPECT_EQ(N1RTY(1), -1);
  EXPECT_EQ(N1RCD(1), -1);
  EXPECT_EQ(N1THRD(), 1);
}

TEST_F(ErrorStack, PushOpensACleanLevel) {
  RoutineScope guard("RCURV");
  EXPECT_EQ(N1RTY(0), 0);
  EXPECT_EQ(N1RCD(0), 0);
}

TEST_F(ErrorStack, NoteStaysWithTheCalleeAndIsForgottenWhenTheCallerReturns) {
  {
    RoutineScope caller("RCURV");
    {
      RoutineScope callee("FDF");
      E1MES(1, 4, "A note.");
      EXPECT_EQ(N1RTY(0), 1);
    }
    EXPECT_EQ(N1RTY(1), 1);
    EXPECT_EQ(N1RCD(1), 4);
    EXPECT_EQ(N1RTY(0), 0);
    EXPECT_EQ(N1RCD(0), 0);
  }
  EXPECT_EQ(N1RTY(1), 0);  // the caller's own slot stays readable
  RoutineScope caller_again("RCURV");
  EXPECT_EQ(N1RTY(1), -1);  // the callee's slot was marked unknown
  EXPECT_EQ(N1RCD(1), -1);
}

TEST_F(ErrorStack, AlertPassesDownToEveryCaller) {
  {
    RoutineScope caller("RCURV");
    {
      RoutineScope callee("R2URV");
      E1MES(2, 5, "An alert.");
    }
    EXPECT_EQ(N1RTY(0), 2);
    EXPECT_EQ(N1RCD(0), 5);
  }
  EXPECT_EQ(N1RTY(0), 2);
  EXPECT_EQ(N1RCD(0), 5);
}

TEST_F(ErrorStack, NegativeCodeKeepsTheRecordedCode) {
  RoutineScope guard("RCURV");
  E1MES(2, 3, "An alert.");
  E1MES(1, -1, "A note.");
  EXPECT_EQ(N1RTY(0), 1);
  EXPECT_EQ(N1RCD(0), 3);
}

TEST_F(ErrorStack, ResetRestoresTheStateAtLoad) {
  E1PSH("RCURV");
  E1PSH("R2URV");
  E1MES(2, 5, "An alert.");
  int unit = 9;
  UMACH(-3, unit);
  reset_error_state_for_tests();
  EXPECT_EQ(N1RTY(0), 0);
  EXPECT_EQ(N1RTY(1), -1);
  UMACH(3, unit);
  EXPECT_EQ(unit, 6);
}

}  // namespace
}  // namespace ksatfit
