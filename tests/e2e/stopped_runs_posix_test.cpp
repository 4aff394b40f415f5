// A rewrite that fails part way, made to fail by a limit on the size of the
// files the program may write.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "tests/e2e/program_run.hpp"

namespace ksatfit::test {
namespace {

TEST(WholeRun, FailedRewriteLeavesTheOldFileAndNoTemporary) {
  // A file-size limit below the size of the new content makes the write of
  // the replacement fail part way (root ignores permission bits, not this).
  TempDir dir;
  const std::string input = joined({pair_line("1.00", "1.00000"), pair_line("2.00", "2.50000"),
                                    pair_line("3.00", "2.00000"), pair_line("4.00", "5.00000"),
                                    pair_line("5.00", "4.00000")});
  write_file(dir.file("temp3"), input);
  const ChildRun console = run_in_child([&] {
    if (chdir(dir.path().c_str()) != 0) _exit(126);
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{200, 200};
    setrlimit(RLIMIT_FSIZE, &limit);
    execl(kKsatCubic.path.c_str(), kKsatCubic.path.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  });
  EXPECT_EQ(console.exit_status, 2);
  EXPECT_EQ(console.out, "");
  EXPECT_EQ(console.err,
            "ksatcubic: temp3: cannot rewrite the scratch file, which is left as it was: cannot "
            "write the temporary file: File too large\n");
  EXPECT_EQ(read_file(dir.file("temp3")), input);
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
    ++entries;
  EXPECT_EQ(entries, 1);
}

}  // namespace
}  // namespace ksatfit::test
