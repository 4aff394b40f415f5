#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/text_file.hpp"
#include "tests/runtime/text_file_support.hpp"
#include "tests/support/temp_dir.hpp"

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
  EXPECT_EQ(cause, "No such file or directory");
  EXPECT_TRUE(entries(dir.path()).empty());

  EXPECT_FALSE(file.open(dir.path(), cause));  // a directory holds no lines
  EXPECT_EQ(cause, "not a regular file");

  std::string line;
  EXPECT_EQ(file.read_line(line, cause), ReadStatus::error);
}

TEST_F(Rewrite, WritesExactlyTheNewLinesWithCrLf) {
  ASSERT_TRUE(replace_lines(target, {"", "new", "  x  "}, cause)) << cause;
  EXPECT_EQ(read_file(target), "\r\nnew\r\n  x  \r\n");
  ASSERT_TRUE(replace_lines(target, {}, cause)) << cause;
  EXPECT_EQ(read_file(target), "");
  EXPECT_EQ(entries(dir.path()), Lines{"temp3"});
}

TEST_F(Rewrite, MissingFileIsNotCreated) {
  EXPECT_FALSE(replace_lines(dir.file("temp2"), {"x"}, cause));
  EXPECT_FALSE(cause.empty());
  EXPECT_EQ(entries(dir.path()), Lines{"temp3"});
}

}  // namespace
}  // namespace ksatfit::rt
