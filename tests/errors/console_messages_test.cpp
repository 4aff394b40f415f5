// Whole console transcripts of the error layer: what is printed when, in
// which layout, and when the program stops.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

#include "errors/error_layer.hpp"
#include "ksatfit/errors.hpp"
#include "runtime/console.hpp"
#include "tests/support/temp_dir.hpp"
#include "tests/support/transcript.hpp"

namespace ksatfit {
namespace {

const std::string kStop = "Stop - Program terminated.\n";
const std::string kReturned = "returned\n";

std::string lines(std::initializer_list<std::string> texts) {
  std::string joined;
  for (const std::string& text : texts) joined += text + "\n";
  return joined;
}

std::string blanks(int n) { return std::string(static_cast<std::size_t>(n), ' '); }

std::string repeat(std::string_view text, int times) {
  std::string out;
  for (int k = 0; k < times; ++k) out += text;
  return out;
}

void in_routine(std::string_view name, const std::function<void()>& body) {
  RoutineScope guard(name);
  body();
}

void say(std::string_view text) { rt::write_line(6, text); }

// Runs `body` on a fresh error state in a child process; a body that returns
// writes "returned" last.
test::ChildRun run_fresh(const std::function<void()>& body) {
  return test::run_in_child([&body] {
    reset_error_state_for_tests();
    body();
    say("returned");
  });
}

struct TranscriptCase {
  std::string name;
  std::function<void()> body;
  int exit_status;
  std::string out;
};

void PrintTo(const TranscriptCase& c, std::ostream* os) { *os << c.name; }

class Transcript : public testing::TestWithParam<TranscriptCase> {};

TEST_P(Transcript, IsExact) {
  const TranscriptCase& c = GetParam();
  const test::ChildRun run = run_fresh(c.body);
  EXPECT_EQ(run.exit_status, c.exit_status);
  EXPECT_EQ(run.out, c.out);
}

std::string case_name(const testing::TestParamInfo<TranscriptCase>& info) {
  return info.param.name;
}

// Types set at some depth: printed and acted on when the routine that the user
// called returns; terminal errors printed at once, with a traceback below it.
INSTANTIATE_TEST_SUITE_P(
    PopDecisions, Transcript,
    testing::Values(
        TranscriptCase{"WarningAtLevel2PrintsAtItsPopAndGoesOn",
                       [] {
                         in_routine("RCURV", [] {
                           E1STI(1, 3);
                           E1MES(3, 1, "The fit is perfect at degree %(I1).");
                         });
                       },
                       0,
                       lines({"", " *** WARNING  ERROR 1 from RCURV.  The fit is perfect at degree 3."}) +
                           kReturned},
        TranscriptCase{"WarningAtLevel3PrintsAtLevel2PopWithLevel2Name",
                       [] {
                         in_routine("RCURV", [] {
                           in_routine("R2URV", [] { E1MES(3, 4, "Too few distinct abscissas."); });
                           say("back in RCURV");
                         });
                       },
                       0,
                       lines({"back in RCURV", "",
                              " *** WARNING  ERROR 4 from RCURV.  Too few distinct abscissas."}) +
                           kReturned},
        TranscriptCase{"FatalAtLevel3StopsAtLevel2Pop",
                       [] {
                         in_routine("RCURV", [] {
                           in_routine("R2ORP", [] { E1MES(4, 2, "The abscissas are all equal."); });
                           say("back in RCURV");
                         });
                       },
                       1,
                       lines({"back in RCURV", "",
                              " *** FATAL    ERROR 2 from RCURV.  The abscissas are all equal."}) +
                           kStop},
        TranscriptCase{"TerminalAtLevel2PrintsAtOnceWithoutTracebackAndStopsAtPop",
                       [] {
                         in_routine("RCURV", [] {
                           E1STI(1, 0);
                           E1MES(5, 1,
                                 "The number of observations must be at least 1 while NOBS = "
                                 "%(I1) is given.");
                           say("still in RCURV");
                         });
                       },
                       1,
                       lines({"",
                              " *** TERMINAL ERROR 1 from RCURV.  The number of observations must be at",
                              " ***          least 1 while NOBS = 0 is given.", "still in RCURV"}) +
                           kStop},
        TranscriptCase{"TerminalAtLevel3PrintsTracebackAndStopsAtItsPop",
                       [] {
                         in_routine("RCURV", [] {
                           in_routine("R2URV", [] {
                             E1STI(1, 0);
                             E1MES(5, 1,
                                   "The number of observations must be at least 1 while NOBS = "
                                   "%(I1) is given.");
                           });
                           say("back in RCURV");
                         });
                       },
                       1,
                       lines({"",
                              " *** TERMINAL ERROR 1 from R2URV.  The number of observations must be at",
                              " ***          least 1 while NOBS = 0 is given.",
                              "     Here is a traceback of subprogram calls in reverse order:",
                              "     Routine name                    Error type  Error code",
                              "     ------------                    ----------  ----------",
                              "     R2URV" + blanks(32) + "5" + blanks(11) + "1    (Called internally)",
                              "     RCURV" + blanks(32) + "0" + blanks(11) + "0",
                              "     USER" + blanks(33) + "0" + blanks(11) + "0"}) +
                           kStop},
        TranscriptCase{"NotesAndAlertsAreNeverPrinted",
                       [] {
                         in_routine("RCURV", [] {
                           in_routine("FDF", [] { E1MES(1, 1, "A note."); });
                           in_routine("BETAI", [] { E1MES(2, 1, "An alert."); });
                           E1MES(1, 2, "A note of RCURV.");
                         });
                       },
                       0, kReturned},
        TranscriptCase{"Type6PrintsAtOnceAndDoesNotStop",
                       [] {
                         in_routine("RCURV", [] {
                           E1MES(6, 3, "Six.");
                           say("after");
                         });
                       },
                       0, lines({"", " *** WARNING  ERROR 3 from RCURV.  Six.", "after"}) + kReturned},
        TranscriptCase{"Type7PrintsAtOnceAndStopsAtLevel2Pop",
                       [] {
                         in_routine("RCURV", [] {
                           in_routine("R2URV", [] { E1MES(7, 3, "Seven."); });
                           say("after");
                         });
                       },
                       1,
                       lines({"", " *** FATAL    ERROR 3 from R2URV.  Seven.",
                              "     Here is a traceback of subprogram calls in reverse order:",
                              "     Routine name                    Error type  Error code",
                              "     ------------                    ----------  ----------",
                              "     R2URV" + blanks(32) + "7" + blanks(11) + "3    (Called internally)",
                              "     RCURV" + blanks(32) + "0" + blanks(11) + "0",
                              "     USER" + blanks(33) + "0" + blanks(11) + "0", "after"}) +
                           kStop}),
    case_name);

// Message text: substitution of stored values, which call wins, and what a
// new call does to a pending text.
INSTANTIATE_TEST_SUITE_P(
    Composition, Transcript,
    testing::Values(
        TranscriptCase{"MarksInEitherCaseAreReplacedOthersStayLiteral",
                       [] {
                         in_routine("R2", [] {
                           E1STI(1, -42);
                           E1STL(2, "abc");
                           E1MES(3, 1, "%(i1) %(l2) %(x1) %(I0) %(A1).");
                         });
                       },
                       0, lines({"", " *** WARNING  ERROR 1 from R2.  -42 abc %(x1) %(I0) %(A1)."}) + kReturned},
        TranscriptCase{"NumbersAreStoredTrimmedAndTheFirstStoredWins",
                       [] {
                         in_routine("R2", [] {
                           E1STI(1, 7);
                           E1STI(1, 8);
                           E1STR(2, 2.5f);
                           E1STR(3, 0.0f);
                           E1STR(4, -1.0e-10f);
                           E1STR(5, AMACH(6));
                           E1STR(6, AMACH(7));
                           E1MES(3, 1, "%(I1) %(R2) %(R3) %(R4) %(R5) %(R6)");
                         });
                       },
                       0,
                       lines({"", " *** WARNING  ERROR 1 from R2.  7 2.500000E+00 .000000E+00 -1.000000E-10",
                              " ***          1#QNAN........ 1#INF........."}) +
                           kReturned},
        TranscriptCase{"LiteralsKeepTrailingBlanksOnlyUnderNegativeKeys",
                       [] {
                         in_routine("R2", [] {
                           E1STL(-1, "ab  ");
                           E1STL(2, "   ");
                           E1STL(3, "cd  ");
                           E1MES(3, 1, "[%(L1)][%(L2)][%(L3)]");
                         });
                       },
                       0, lines({"", " *** WARNING  ERROR 1 from R2.  [ab  ][ ][cd]"}) + kReturned},
        TranscriptCase{"ValueBeyondTheListIsDroppedAndItsMarkPrintedLiterally",
                       [] {
                         in_routine("R2", [] {
                           E1STL(1, std::string(255, 'v'));        // list now holds 263 characters
                           E1STL(2, "AB" + std::string(38, ' '));  // 263 + 8 + 40 > 300: dropped
                           E1STL(3, "CD" + std::string(27, ' '));  // 263 + 8 + 29 = 300: kept
                           E1MES(3, 1, "%(L2)/%(L3).");
                         });
                       },
                       0, lines({"", " *** WARNING  ERROR 1 from R2.  %(L2)/CD."}) + kReturned},
        TranscriptCase{"TypeMinus1KeepsTheTypeAndReplacesTheText",
                       [] {
                         in_routine("R2", [] {
                           E1MES(3, 7, "First text.");
                           E1MES(-1, -1, "Second text.");
                         });
                       },
                       0, lines({"", " *** WARNING  ERROR 7 from R2.  Second text."}) + kReturned},
        TranscriptCase{"Type0ClearsThePendingMessage",
                       [] {
                         in_routine("R2", [] {
                           E1MES(4, 7, "First text.");
                           E1MES(0, 0, "Ignored.");
                         });
                       },
                       0, kReturned},
        TranscriptCase{"Code0RecordsTheTypeWithoutText",
                       [] { in_routine("R2", [] { E1MES(3, 0, "Not kept."); }); }, 0, kReturned},
        TranscriptCase{"BlankTextKeepsThePendingText",
                       [] {
                         in_routine("R2", [] {
                           E1MES(3, 7, "First text.");
                           E1MES(4, 8, " ");
                         });
                       },
                       1, lines({"", " *** FATAL    ERROR 8 from R2.  First text."}) + kStop},
        TranscriptCase{"NoteWhileAWarningIsPendingLeavesTheWarningText",
                       [] {
                         in_routine("RCURV", [] {
                           in_routine("R2URV", [] {
                             E1STI(1, 2);
                             E1MES(3, 6, "Only %(I1) distinct abscissas.");
                           });
                           in_routine("FDF", [] {
                             E1STR(1, -0.5f);
                             E1MES(1, 1,
                                   "Since F = %(R1) is not positive, the distribution function "
                                   "is zero at F.");
                           });
                         });
                       },
                       0, lines({"", " *** WARNING  ERROR 6 from RCURV.  Only 2 distinct abscissas."}) + kReturned},
        TranscriptCase{"NoteWithNothingPendingComposesItsText",
                       [] {
                         in_routine("R2", [] {
                           E1MES(1, 1, "Noted.");
                           E1MES(3, 2, " ");
                         });
                       },
                       0, lines({"", " *** WARNING  ERROR 2 from R2.  Noted."}) + kReturned}),
    case_name);

// Line layout: the first line's room, forced breaks, word wrap, long words,
// the 1024-character limit.
INSTANTIATE_TEST_SUITE_P(
    Layout, Transcript,
    testing::Values(
        TranscriptCase{"MessageFillingTheFirstLineExactlyTakes78Columns",
                       [] { in_routine("R2", [] { E1MES(3, 1, "This message is just as long as its line room."); }); },
                       0,
                       lines({"", " *** WARNING  ERROR 1 from R2.  This message is just as long as its line room."}) +
                           kReturned},
        TranscriptCase{"OneCharacterMoreWrapsAtTheLastBlank",
                       [] { in_routine("R2", [] { E1MES(3, 1, "This message is just as long as its line rooms."); }); },
                       0,
                       lines({"", " *** WARNING  ERROR 1 from R2.  This message is just as long as its line",
                              " ***          rooms."}) +
                           kReturned},
        TranscriptCase{"ForcedBreak",
                       [] { in_routine("R2", [] { E1MES(3, 1, "First part.%/Second part."); }); },
                       0,
                       lines({"", " *** WARNING  ERROR 1 from R2.  First part.", " ***          Second part."}) +
                           kReturned},
        TranscriptCase{"BlankFreeStretchLongerThanALineIsSplitAtTheWidth",
                       [] { in_routine("R2", [] { E1MES(3, 1, "Name " + std::string(70, 'x') + " ends."); }); },
                       0,
                       lines({"", " *** WARNING  ERROR 1 from R2.  Name", " ***          " + std::string(64, 'x'),
                              " ***          xxxxxx ends."}) +
                           kReturned},
        TranscriptCase{"MessageOf1100CharactersIsCutAt1024",
                       [] { in_routine("R2", [] { E1MES(3, 1, repeat("abcdefghi ", 110)); }); },
                       0,
                       "\n *** WARNING  ERROR 1 from R2.  " + repeat("abcdefghi ", 3) + "abcdefghi\n" +
                           repeat(" ***          " + repeat("abcdefghi ", 6) + "\n", 16) +
                           " ***          abcdefghi abcdefghi a\n" + kReturned}),
    case_name);

// Misuse of the stack and of the queries, and the constant tables' own
// messages: each stops the program.
INSTANTIATE_TEST_SUITE_P(
    Stops, Transcript,
    testing::Values(
        TranscriptCase{"PopWithAWrongName",
                       [] {
                         E1PSH("RCURV");
                         E1POP("R2URV");
                       },
                       1,
                       lines({"",
                              " *** TERMINAL ERROR 2 from RCURV.  Error condition in E1POP.  R2URV does not",
                              " ***          match the name RCURV in the stack."}) +
                           kStop},
        TranscriptCase{"PopWithOnlyTheUserLeft",
                       [] {
                         in_routine("RCURV", [] {});
                         E1POP("RCURV");
                       },
                       1,
                       lines({"",
                              " *** TERMINAL ERROR 1 from E1POP.  Error condition in E1POP.  Cannot pop from",
                              " ***          RCURV because stack is empty."}) +
                           kStop},
        TranscriptCase{"N1RTYWithOffset2",
                       [] { in_routine("RCURV", [] { N1RTY(2); }); },
                       1,
                       lines({"",
                              " *** TERMINAL ERROR 1 from RCURV.  The argument passed to N1RTY must be 0 or",
                              " ***          1."}) +
                           kStop},
        TranscriptCase{"N1RCDWithOffsetMinus1AtUserLevel",
                       [] { N1RCD(-1); },
                       1,
                       lines({"", " *** TERMINAL ERROR 1 from USER.  The argument passed to N1RCD must be 0 or 1."}) +
                           kStop},
        TranscriptCase{"IllegalErrorType",
                       [] { in_routine("R2", [] { E1MES(8, 1, "Never composed."); }); },
                       1,
                       lines({"", " *** UNKNOWN  ERROR 0 from R2.  Error from E1MES.  Illegal error type",
                              " ***          specified."}) +
                           kStop},
        TranscriptCase{"AMACHOutOfRange",
                       [] { AMACH(0); },
                       1,
                       lines({"", " *** TERMINAL ERROR 5 from AMACH.  The argument must be between 1 and 8",
                              " ***          inclusive. N = 0"}) +
                           kStop},
        TranscriptCase{"IMACHOutOfRange",
                       [] { IMACH(13); },
                       1,
                       lines({"", " *** TERMINAL ERROR 5 from IMACH.  The argument",
                              " ***          must be between 1 and 12 inclusive.", " ***          N =     13.",
                              ""}) +
                           kStop},
        TranscriptCase{"UMACHReadOutOfRange",
                       [] {
                         int unit = 0;
                         UMACH(4, unit);
                       },
                       1,
                       lines({"", " *** TERMINAL ERROR 5 from UMACH.  The absolute",
                              " ***          value of the index variable must be",
                              " ***          1, 2, or 3.  IABS(N) =      4.", ""}) +
                           kStop},
        TranscriptCase{"UMACHSetOutOfRange",
                       [] {
                         int unit = 7;
                         UMACH(-4, unit);
                       },
                       1,
                       lines({"", " *** TERMINAL ERROR 5 from UMACH.  The absolute",
                              " ***          value of the index variable must be",
                              " ***          1, 2, or 3.  IABS(N) =      4.", ""}) +
                           kStop}),
    case_name);

TEST(StackDepth, FortyNinePushesSucceedAndTheFiftiethStops) {
  const auto name = [](int level) { return std::string("S").append(std::to_string(100 + level), 1); };
  const test::ChildRun run = run_fresh([&name] {
    for (int level = 2; level <= 50; ++level) E1PSH(name(level));
    say("49 pushed");
    E1PSH("S51");
  });
  std::string expected = lines({"49 pushed", "",
                                " *** TERMINAL ERROR 1 from S50.  Error condition in E1PSH.  Push would cause",
                                " ***          stack level to exceed 50.",
                                "     Here is a traceback of subprogram calls in reverse order:",
                                "     Routine name                    Error type  Error code",
                                "     ------------                    ----------  ----------",
                                "     S50" + blanks(34) + "5" + blanks(11) + "1    (Called internally)"});
  for (int level = 49; level >= 3; --level) {
    expected += "     " + name(level) + blanks(34) + "0" + blanks(11) + "0    (Called internally)\n";
  }
  expected += lines({"     S02" + blanks(34) + "0" + blanks(11) + "0", "     USER" + blanks(33) + "0" + blanks(11) + "0"});
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.out, expected + kStop);
}

TEST(MessageUnit, UMACHRedirectsMessagesToAFile) {
  test::TempDir dir;
  const test::ChildRun run = run_fresh([&dir] {
    std::error_code failed;
    std::filesystem::current_path(dir.path(), failed);
    if (failed) return;
    int unit = 7;
    UMACH(-3, unit);
    AMACH(0);
  });
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.out, kStop);
  EXPECT_EQ(test::read_file(dir.file("fort.7")),
            test::as_text_file(lines(
                {"", " *** TERMINAL ERROR 5 from AMACH.  The argument must be between 1 and 8",
                 " ***          inclusive. N = 0"})));
}

}  // namespace
}  // namespace ksatfit
