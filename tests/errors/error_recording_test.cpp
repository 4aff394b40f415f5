// The error layer's interface for callers that must not print or stop: the
// settings as a whole, messages recorded instead of printed, and a snapshot
// that puts the whole state back.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "errors/error_layer.hpp"
#include "errors/error_state.hpp"
#include "ksatfit/errors.hpp"

namespace ksatfit {
namespace {

class ErrorRecording : public testing::Test {
 protected:
  void SetUp() override { reset_error_state_for_tests(); }
  void TearDown() override { reset_error_state_for_tests(); }
};

std::string console_of(const std::function<void()>& body) {
  testing::internal::CaptureStdout();
  body();
  std::fflush(stdout);
  return testing::internal::GetCapturedStdout();
}

// A terminal error prints when it is set, with a traceback; a warning set
// two levels down reaches the console at the pop of the routine the user
// called, headed with that routine's name.
void raise_terminal_error_and_warning() {
  RoutineScope outer("RCURV");
  {
    RoutineScope inner("R2ORP");
    E1STL(1, "NOBS");
    E1MES(5, 1, "%(L1) is wrong.");
  }
  RoutineScope inner("R2URV");
  E1STI(1, 3);
  E1MES(3, 6, "Degree %(I1) fitted.");
}

TEST_F(ErrorRecording, RecordsWhatWouldBePrintedAndGoesOnAsIfPrinted) {
  ErrorSettings no_stops = initial_error_settings();
  no_stops.stops.fill(0);

  set_error_settings(no_stops);
  const std::string printed = console_of(raise_terminal_error_and_warning);
  const ErrorState after_printing = error_state();

  reset_error_state_for_tests();
  set_error_settings(no_stops);
  std::vector<PrintedMessage> recorded;
  EXPECT_EQ(record_printed_messages(&recorded), nullptr);
  const std::string console = console_of(raise_terminal_error_and_warning);
  EXPECT_EQ(record_printed_messages(nullptr), &recorded);

  EXPECT_EQ(console, "");
  ASSERT_EQ(recorded.size(), 2u);
  EXPECT_EQ(recorded[0].type, 5);
  EXPECT_EQ(recorded[0].code, 1);
  EXPECT_EQ(recorded[0].routine, "R2ORP");
  EXPECT_EQ(recorded[0].text, "NOBS is wrong.");
  EXPECT_EQ(recorded[1].type, 3);
  EXPECT_EQ(recorded[1].code, 6);
  EXPECT_EQ(recorded[1].routine, "RCURV");
  EXPECT_EQ(recorded[1].text, "Degree 3 fitted.");
  EXPECT_NE(printed.find(" *** TERMINAL ERROR 1 from R2ORP.  NOBS is wrong."), std::string::npos);
  EXPECT_NE(printed.find(" *** WARNING  ERROR 6 from RCURV.  Degree 3 fitted."), std::string::npos);
  EXPECT_TRUE(error_state() == after_printing);
}

TEST_F(ErrorRecording, SettingsHoldFromBeforeTheFirstCall) {
  EXPECT_FALSE(error_state().initialised);
  ErrorSettings settings = initial_error_settings();
  EXPECT_EQ(settings.prints, (std::array<int, 7>{0, 0, 1, 1, 1, 1, 1}));
  EXPECT_EQ(settings.stops, (std::array<int, 7>{0, 0, 0, 1, 1, 0, 1}));
  settings.stops[4] = 0;
  settings.traces[2] = 0;
  set_error_settings(settings);
  {
    RoutineScope first_call("RCURV");
  }
  const ErrorSettings now = current_error_settings();
  EXPECT_EQ(now.stops, settings.stops);
  EXPECT_EQ(now.traces, settings.traces);
}

TEST_F(ErrorRecording, SnapshotPutsTheWholeStateBack) {
  console_of([] {
    RoutineScope caller("RCURV");
    E1MES(3, 4, "Left for the caller.");
  });
  const ErrorState before = error_state();
  const ErrorStateSnapshot snapshot;

  int unit = 8;
  UMACH(-3, unit);
  ErrorSettings settings = current_error_settings();
  settings.prints.fill(1);
  set_error_settings(settings);
  E1PSH("R2ORP");
  E1STI(1, 5);
  E1MES(2, 9, "An alert %(I1).");
  snapshot.restore();

  EXPECT_TRUE(error_state() == before);
  EXPECT_EQ(N1RTY(1), 3);
  UMACH(3, unit);
  EXPECT_EQ(unit, 6);
}

}  // namespace
}  // namespace ksatfit
