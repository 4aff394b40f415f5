// The scratch file where Windows attributes, share modes and wide-character
// names come in.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "runtime/file_system.hpp"
#include "runtime/text_file.hpp"
#include "tests/runtime/text_file_support.hpp"
#include "tests/support/temp_dir.hpp"

namespace ksatfit::rt {
namespace {

using test::read_file;

// Paths are handed to the file runtime in UTF-8.
std::wstring wide(const std::string& path) {
  const int size = static_cast<int>(path.size());
  std::wstring text(static_cast<std::size_t>(size), L'\0');
  text.resize(static_cast<std::size_t>(
      MultiByteToWideChar(CP_UTF8, 0, path.data(), size, text.data(), size)));
  return text;
}

std::string read_wide(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

DWORD attributes_of(const std::string& path) { return GetFileAttributesW(wide(path).c_str()); }

// A handle on the file, held by this process with the given share mode as
// another program (the front end) may hold it.
struct HeldFile {
  HANDLE handle;
  HeldFile(const std::string& path, DWORD share)
      : handle(CreateFileW(wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr,
                           OPEN_EXISTING, 0, nullptr)) {}
  ~HeldFile() { CloseHandle(handle); }
};

TEST_F(Rewrite, KeepsTheHiddenAndArchiveAttributes) {
  ASSERT_TRUE(SetFileAttributesW(wide(target).c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
  ASSERT_TRUE(replace_lines(target, {"new"}, cause)) << cause;
  EXPECT_EQ(read_file(target), "new\r\n");
  EXPECT_EQ(attributes_of(target) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE),
            static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(entries(dir.path()), Lines{"temp3"});
}

// Some systems move a file over a read-only one without complaint.
TEST_F(Rewrite, ReadOnlyAttributeIsRefusedAndKept) {
  ASSERT_TRUE(SetFileAttributesW(wide(target).c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(may_write(target, cause));
  EXPECT_EQ(cause, "the file may not be written: it has the read-only attribute");
  EXPECT_FALSE(replace_lines(target, {"new"}, cause));
  EXPECT_EQ(cause, "the file has the read-only attribute");
  EXPECT_EQ(read_file(target), old_bytes);
  EXPECT_NE(attributes_of(target) & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_EQ(entries(dir.path()), Lines{"temp3"});
}

TEST_F(Rewrite, FileHeldWithoutSharingItsDeletionStaysByteIdentical) {
  {
    const HeldFile held(target, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_NE(held.handle, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(may_write(target, cause));
    EXPECT_EQ(cause, "the file may not be written: the file is in use by another program");
    // Past the check, the move over the file fails and the temporary goes.
    EXPECT_FALSE(replace_lines(target, Lines(500, std::string(70, 'n')), cause));
    EXPECT_EQ(cause.rfind("cannot rename the temporary file over the file: ", 0), 0u) << cause;
    EXPECT_EQ(entries(dir.path()), Lines{"temp3"});
  }
  EXPECT_EQ(read_file(target), old_bytes);
}

TEST_F(Rewrite, FileHeldWithoutAnySharingCannotBeOpened) {
  const HeldFile held(target, 0);
  ASSERT_NE(held.handle, INVALID_HANDLE_VALUE);
  TextFile file;
  EXPECT_FALSE(file.open(target, cause));
  EXPECT_EQ(cause, "the file is in use by another program");
}

TEST_F(Rewrite, NonAsciiDirectoryNamesWork) {
  // UTF-8, as paths are given; the letters of "Łódź" are outside the ANSI code page.
  const std::string inner = dir.path() + "/Pr\u00fcfungen/Los 3 \u0141\u00f3d\u017a";
  ASSERT_TRUE(std::filesystem::create_directories(wide(inner)));
  const std::string scratch = inner + "/temp3";
  ASSERT_TRUE(CopyFileW(wide(target).c_str(), wide(scratch).c_str(), TRUE));
  TextFile file;
  ASSERT_TRUE(file.open(scratch, cause)) << cause;
  file.close();
  EXPECT_TRUE(may_write(scratch, cause)) << cause;
  ASSERT_TRUE(replace_lines(scratch, {"umlaut"}, cause)) << cause;
  EXPECT_EQ(read_wide(wide(scratch)), "umlaut\r\n");
}

}  // namespace
}  // namespace ksatfit::rt
