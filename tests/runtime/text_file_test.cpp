#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "runtime/file_system.hpp"
#include "runtime/text_file.hpp"
#include "tests/support/temp_dir.hpp"
#include "tests/support/transcript.hpp"

namespace ksatfit::rt {
namespace {

using test::read_file;
using test::TempDir;
using test::write_file;

std::vector<std::string> all_lines(TextFile& file) {
  std::vector<std::string> lines;
  std::string line;
  std::string cause;
  ReadStatus status;
  while ((status = file.read_line(line, cause)) == ReadStatus::line) {
    lines.push_back(line);
    EXPECT_EQ(file.line_number(), static_cast<long>(lines.size()));
  }
  EXPECT_EQ(status, ReadStatus::end) << cause;
  return lines;
}

std::vector<std::string> lines_of(const std::string& bytes) {
  TempDir dir;
  write_file(dir.file("temp3"), bytes);
  TextFile file;
  std::string cause;
  EXPECT_TRUE(file.open(dir.file("temp3"), cause)) << cause;
  return all_lines(file);
}

std::vector<std::string> entries(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

using Lines = std::vector<std::string>;

TEST(TextFileRead, LineEnds) {
  const std::string hundred(100, 'h');
  EXPECT_EQ(lines_of(""), Lines{});
  EXPECT_EQ(lines_of("a\r\nb\r\n"), (Lines{"a", "b"}));
  EXPECT_EQ(lines_of("a\nb\n"), (Lines{"a", "b"}));
  EXPECT_EQ(lines_of("a\rnot read\nb"), (Lines{"a", "b"}));
  EXPECT_EQ(lines_of("a\r\r\nb\r"), (Lines{"a", "b"}));
  EXPECT_EQ(lines_of("last line"), (Lines{"last line"}));
  EXPECT_EQ(lines_of("\n\r\n \n"), (Lines{"", "", " "}));
  EXPECT_EQ(lines_of(hundred + "\r\n1"), (Lines{hundred, "1"}));
}

TEST(TextFileRead, OverlongLineKeepsItsStartAndSkipsTheRest) {
  const std::string head(TextFile::kMaxLineKept, 'x');
  EXPECT_EQ(lines_of(head + std::string(100000, 'y') + "\r\nnext\r\n"), (Lines{head, "next"}));
}

TEST(TextFileRead, RewindStartsAgainAtLineOne) {
  TempDir dir;
  write_file(dir.file("temp3"), "one\r\ntwo\r\n");
  TextFile file;
  std::string cause;
  ASSERT_TRUE(file.open(dir.file("temp3"), cause));
  EXPECT_EQ(all_lines(file), (Lines{"one", "two"}));
  file.rewind();
  EXPECT_EQ(file.line_number(), 0);
  EXPECT_EQ(all_lines(file), (Lines{"one", "two"}));
}

TEST(TextFileOpen, FailsWithoutCreatingAnything) {
  TempDir dir;
  TextFile file;
  std::string cause;
  EXPECT_FALSE(file.open(dir.file("temp3"), cause));
  EXPECT_FALSE(cause.empty());
  EXPECT_TRUE(entries(dir.path()).empty());

  cause.clear();
  EXPECT_FALSE(file.open(dir.path(), cause));  // a directory holds no lines
  EXPECT_FALSE(cause.empty());

  // A named pipe with no writer is refused at once instead of blocking.
  ASSERT_EQ(mkfifo(dir.file("pipe").c_str(), 0600), 0);
  cause.clear();
  EXPECT_FALSE(file.open(dir.file("pipe"), cause));
  EXPECT_FALSE(cause.empty());

  std::string line;
  EXPECT_EQ(file.read_line(line, cause), ReadStatus::error);
}

struct Rewrite : testing::Test {
  TempDir dir;
  std::string target = dir.file("temp3");
  const std::string old_bytes = "old one\r\nold two, longer than the new lines\r\n";
  std::string cause;
  void SetUp() override { write_file(target, old_bytes); }
};

TEST_F(Rewrite, WritesExactlyTheNewLinesWithCrLf) {
  ASSERT_TRUE(replace_lines(target, {"", "new", "  x  "}, cause)) << cause;
  EXPECT_EQ(read_file(target), "\r\nnew\r\n  x  \r\n");
  ASSERT_TRUE(replace_lines(target, {}, cause)) << cause;
  EXPECT_EQ(read_file(target), "");
  EXPECT_EQ(entries(dir.path()), Lines{"temp3"});
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

TEST_F(Rewrite, MissingFileIsNotCreated) {
  EXPECT_FALSE(replace_lines(dir.file("temp2"), {"x"}, cause));
  EXPECT_FALSE(cause.empty());
  EXPECT_EQ(entries(dir.path()), Lines{"temp3"});
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
