// Whole-program runs on scratch files that only Windows has to offer: a file
// with the read-only attribute, a file that another program (the front end)
// still holds open, and a working directory whose name is not ASCII.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "tests/e2e/hardening_cases.hpp"
#include "tests/e2e/program_run.hpp"

namespace ksatfit::test {
namespace {

namespace fs = std::filesystem;

std::wstring wide(const std::string& utf8) {
  const int size = static_cast<int>(utf8.size());
  std::wstring text(static_cast<std::size_t>(size), L'\0');
  text.resize(static_cast<std::size_t>(
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, text.data(), size)));
  return text;
}

std::string utf8(const std::wstring& text) {
  const int size = static_cast<int>(text.size());
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, bytes.data(), length, nullptr, nullptr);
  return bytes;
}

std::string read_wide(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST_P(HostileScratchFile, ReadOnlyAttributeIsRefusedAndKept) {
  const Case& c = GetParam();
  TempDir dir;
  const std::string scratch = dir.file(c.program->scratch);
  const std::string input = joined(sample_lines(c));
  write_file(scratch, input);
  ASSERT_TRUE(SetFileAttributesW(wide(scratch).c_str(), FILE_ATTRIBUTE_READONLY));
  const ChildRun run = run_program(c.program->path, dir.path());
  EXPECT_EQ(run.exit_status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, failure_line(c, "the file may not be written: it has the read-only attribute"));
  EXPECT_NE(GetFileAttributesW(wide(scratch).c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_EQ(read_file(scratch), input);
  EXPECT_EQ(entries(dir.path()), std::set<std::string>{c.program->scratch});
}

// hold_file_open holding `file` with the share mode `share` ("none" or
// "read-write") until the holder is destroyed.
class Holder {
 public:
  Holder(const std::string& file, const wchar_t* share) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE child_in = nullptr;
    HANDLE child_out = nullptr;
    CreatePipe(&child_in, &to_child_, &inherit, 0);
    CreatePipe(&from_child_, &child_out, &inherit, 0);
    SetHandleInformation(to_child_, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(from_child_, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = child_in;
    startup.hStdOutput = child_out;
    startup.hStdError = child_out;
    const std::wstring program = wide(build_tree_path(HOLD_FILE_OPEN_PATH));
    std::wstring command = L"\"" + program + L"\" \"" + wide(file) + L"\" " + share;
    started_ = CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                              nullptr, &startup, &process_);
    CloseHandle(child_in);
    CloseHandle(child_out);
    char said[64] = {};
    DWORD length = 0;
    if (started_) ReadFile(from_child_, said, sizeof said - 1, &length, nullptr);
    said_ = std::string(said, length);
  }

  ~Holder() {
    CloseHandle(to_child_);  // the holder's standard input ends: it lets go
    if (started_) {
      WaitForSingleObject(process_.hProcess, INFINITE);
      CloseHandle(process_.hThread);
      CloseHandle(process_.hProcess);
    }
    CloseHandle(from_child_);
  }

  // What the holder said once it held the file (or why it could not).
  const std::string& said() const { return said_; }

 private:
  HANDLE to_child_ = nullptr;
  HANDLE from_child_ = nullptr;
  PROCESS_INFORMATION process_{};
  bool started_ = false;
  std::string said_;
};

struct HeldCase {
  const char* name;
  const wchar_t* share;
  const char* cause;
};

void PrintTo(const HeldCase& c, std::ostream* os) { *os << c.name; }

class FileHeldByTheFrontEnd : public testing::TestWithParam<HeldCase> {};

// The front end may still hold the file when it starts the program. The run
// ends before the fit, and the file is byte-identical once it is let go.
TEST_P(FileHeldByTheFrontEnd, IsReportedAndLeftByteIdentical) {
  const HeldCase& held = GetParam();
  const Case c{"ksatcubic", &kKsatCubic, 0};
  TempDir dir;
  const std::string scratch = dir.file("temp3");
  const std::string input = joined(sample_lines(c));
  write_file(scratch, input);
  ChildRun run;
  {
    const Holder holder(scratch, held.share);
    ASSERT_EQ(holder.said(), "held\r\n");
    run = run_program(c.program->path, dir.path());
  }
  EXPECT_EQ(run.exit_status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, failure_line(c, held.cause));
  EXPECT_EQ(read_file(scratch), input);
  EXPECT_EQ(entries(dir.path()), std::set<std::string>{"temp3"});
}

INSTANTIATE_TEST_SUITE_P(
    WholeRun, FileHeldByTheFrontEnd,
    testing::Values(HeldCase{"WithoutSharing", L"none",
                             "cannot open the scratch file: the file is in use by another program"},
                    HeldCase{"SharingReadingAndWriting", L"read-write",
                             "the file may not be written: the file is in use by another program"}),
    [](const testing::TestParamInfo<HeldCase>& info) { return std::string(info.param.name); });

// The laboratory's folders carry German names (C:\Prüfungen\Los 3); the
// name here also has letters that the Western European ANSI code page
// cannot hold, which only the wide-character API gets right. The three
// programs share the code that names files, so one of them stands for all.
TEST(WholeRun, WorkingDirectoryWithNonAsciiNameWorks) {
  const Case c{"ksatcubic", &kKsatCubic, 0};
  const std::string input = joined(sample_lines(c));
  const ProgramRun plain = run_on(*c.program, input);
  ASSERT_EQ(plain.console.exit_status, 0);

  TempDir dir;
  const fs::path inner =
      fs::path(wide(dir.path())) / L"Pr\u00fcfungen" / L"Los 3 \u0141\u00f3d\u017a";
  ASSERT_TRUE(fs::create_directories(inner));
  {
    std::ofstream out(inner / wide(c.program->scratch), std::ios::binary);
    out << input;
  }
  const ChildRun run = run_program(c.program->path, utf8(inner.wstring()));
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.out, plain.console.out);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(read_wide(inner / wide(c.program->scratch)), plain.file);
  EXPECT_EQ(std::distance(fs::directory_iterator(inner), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace ksatfit::test
