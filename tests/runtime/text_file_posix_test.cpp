// The scratch file where POSIX permission bits, owners, symbolic links,
// named pipes and resource limits come in.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "runtime/file_system.hpp"
#include "runtime/text_file.hpp"
#include "tests/runtime/text_file_support.hpp"
#include "tests/support/temp_dir.hpp"
#include "tests/support/transcript.hpp"

namespace ksatfit::rt {
namespace {

using test::read_file;
using test::TempDir;

TEST(TextFileOpen, NamedPipeIsRefusedAtOnceInsteadOfBlocking) {
  TempDir dir;
  ASSERT_EQ(mkfifo(dir.file("pipe").c_str(), 0600), 0);
  TextFile file;
  std::string cause;
  EXPECT_FALSE(file.open(dir.file("pipe"), cause));
  EXPECT_EQ(cause, "not a regular file");
}

TEST_F(Rewrite, KeepsPermissionBits) {
  for (const mode_t mode : {0640, 0604, 0755}) {
    ASSERT_EQ(chmod(target.c_str(), mode), 0);
    ASSERT_TRUE(replace_lines(target, {"x"}, cause)) << cause;
    struct stat info {};
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, mode);
  }
}

TEST_F(Rewrite, ReplacesTheTargetOfASymbolicLink) {
  const std::string link = dir.file("link");
  ASSERT_EQ(symlink("temp3", link.c_str()), 0);
  ASSERT_TRUE(replace_lines(link, {"via link"}, cause)) << cause;
  struct stat info {};
  ASSERT_EQ(lstat(link.c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  EXPECT_EQ(read_file(target), "via link\r\n");
  EXPECT_EQ(entries(dir.path()), (Lines{"link", "temp3"}));
}

// The failing cases run in a child: it may give up root (whom a read-only
// directory does not stop) or limit the size of the files it writes.
void expect_failure_leaves_file_intact(const Rewrite& rewrite, const std::function<void()>& setup) {
  const Lines lines(500, std::string(70, 'n'));
  const test::ChildRun run = test::run_in_child([&] {
    setup();
    std::string cause;
    const bool replaced = replace_lines(rewrite.target, lines, cause);
    std::printf("%s", cause.c_str());
    std::exit(replaced ? 0 : 3);
  });
  EXPECT_EQ(run.exit_status, 3);
  EXPECT_FALSE(run.out.empty());
  EXPECT_EQ(read_file(rewrite.target), rewrite.old_bytes);
  EXPECT_EQ(entries(rewrite.dir.path()), Lines{"temp3"});
}

TEST_F(Rewrite, ReadOnlyDirectoryLeavesTheFileByteIdentical) {
  ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
  expect_failure_leaves_file_intact(*this, [] {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) std::exit(4);
  });
}

TEST_F(Rewrite, KeepsTheOwnerWhereTheCallerMaySetIt) {
  if (geteuid() != 0) GTEST_SKIP() << "only root may give a file to another user";
  ASSERT_EQ(chown(target.c_str(), 65534, 65534), 0);
  ASSERT_TRUE(replace_lines(target, {"new"}, cause)) << cause;
  struct stat info {};
  ASSERT_EQ(stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 65534u);
  EXPECT_EQ(info.st_gid, 65534u);
}

TEST_F(Rewrite, ReadOnlyFileIsReportedAsNotWritable) {
  EXPECT_TRUE(may_write(target, cause));
  ASSERT_EQ(chmod(target.c_str(), 0444), 0);
  ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);  // only the file stops the writer
  const test::ChildRun run = test::run_in_child([this] {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) std::exit(4);
    std::string why;
    std::exit(may_write(target, why) || why.empty() ? 5 : 3);
  });
  EXPECT_EQ(run.exit_status, 3);
  EXPECT_FALSE(may_write(dir.file("missing"), cause));
}

TEST_F(Rewrite, WriteFailingPartWayLeavesTheFileByteIdentical) {
  expect_failure_leaves_file_intact(*this, [] {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{1000, 1000};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) std::exit(4);
  });
}

}  // namespace
}  // namespace ksatfit::rt
