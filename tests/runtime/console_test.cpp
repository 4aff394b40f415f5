#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "runtime/console.hpp"
#include "tests/support/temp_dir.hpp"
#include "tests/support/transcript.hpp"

namespace ksatfit::rt {
namespace {

TEST(Console, UnitsGoToTheirStreamsAndFiles) {
  test::TempDir dir;
  const test::ChildRun run = test::run_in_child([&] {
    std::error_code failed;
    std::filesystem::current_path(dir.path(), failed);
    if (failed) std::exit(4);
    write_line(6, " *** WARNING");
    write_line(0, "to standard error");
    write_line(7, "first");
    write_line(7, "second");
    write_line(6, "");
  });
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.out, " *** WARNING\n\n");
  EXPECT_EQ(run.err, "to standard error\n");
  EXPECT_EQ(test::read_file(dir.file("fort.7")), test::as_text_file("first\nsecond\n"));
}

// A program in another language writes its own output past the C streams;
// only lines that leave at once keep their place among its lines.
TEST(Console, EveryLineOnStandardOutputLeavesAtOnce) {
  const test::ChildRun run = test::run_in_child([] {
    write_line(6, "first");
    if (write(STDOUT_FILENO, "written around the C streams\n", 29) != 29) std::_Exit(4);
    write_line(6, "second");
    std::_Exit(0);  // ends without flushing the C streams
  });
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.out, "first\nwritten around the C streams\nsecond\n");
}

// A redirection takes only its unit's lines, only on its own thread and only
// while it lasts; an inner one wins over an outer one for the same unit.
TEST(Console, RedirectedUnitWritesToTheFileGiven) {
  test::TempDir dir;
  const test::ChildRun run = test::run_in_child([&] {
    std::error_code failed;
    std::filesystem::current_path(dir.path(), failed);
    if (failed) std::exit(4);
    std::FILE* outer = std::fopen("outer.txt", "w");
    std::FILE* inner = std::fopen("inner.txt", "w");
    {
      const UnitRedirection to_outer(6, outer);
      write_line(6, "outer 1");
      {
        const UnitRedirection to_inner(6, inner);
        write_line(6, "inner");
        std::thread([] { write_line(6, "other thread"); }).join();
        write_line(0, "standard error");
        write_line(7, "unit 7");
      }
      write_line(6, "outer 2");
    }
    write_line(6, "after");
    std::fclose(outer);
    std::fclose(inner);
  });
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.out, "other thread\nafter\n");
  EXPECT_EQ(run.err, "standard error\n");
  EXPECT_EQ(test::read_file(dir.file("outer.txt")), test::as_text_file("outer 1\nouter 2\n"));
  EXPECT_EQ(test::read_file(dir.file("inner.txt")), test::as_text_file("inner\n"));
  EXPECT_EQ(test::read_file(dir.file("fort.7")), test::as_text_file("unit 7\n"));
}

TEST(Console, StopFlushesAndEndsWithStatusOne) {
  const test::ChildRun run = test::run_in_child([] {
    write_line(6, "message line");
    std::printf("pending output\n");
    stop_program();
  });
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.out, "message line\npending output\nStop - Program terminated.\n");
  EXPECT_EQ(run.err, "");
}

TEST(Console, FileRuntimeFailureEndsWithStatusTwo) {
  const test::ChildRun run = test::run_in_child([] {
    write_line(6, "before");
    fail_program("ksatquad: temp3: No such file or directory");
  });
  EXPECT_EQ(run.exit_status, 2);
  EXPECT_EQ(run.out, "before\n");
  EXPECT_EQ(run.err, "ksatquad: temp3: No such file or directory\n");
}

TEST(ConsoleDeathTest, StopsAreObservableAsExits) {
  EXPECT_EXIT(stop_program(), testing::ExitedWithCode(1), "");
  EXPECT_EXIT(fail_program("temp3: cannot read"), testing::ExitedWithCode(2), "temp3: cannot read");
}

}  // namespace
}  // namespace ksatfit::rt
