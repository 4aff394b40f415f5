#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "tests/support/transcript.hpp"

namespace ksatfit::test {
namespace {

namespace fs = std::filesystem;

// What the test program tells the copy of itself that it starts: which call
// of run_in_child is to run its body, where its standard output and error
// go, and the name that the test's shared memory blocks begin with.
constexpr wchar_t kCallVariable[] = L"KSATFIT_CHILD_CALL";
constexpr wchar_t kOutVariable[] = L"KSATFIT_CHILD_OUT";
constexpr wchar_t kErrVariable[] = L"KSATFIT_CHILD_ERR";
constexpr wchar_t kRootVariable[] = L"KSATFIT_CHILD_ROOT";
constexpr wchar_t kDirsVariable[] = L"KSATFIT_CHILD_DIRS";  // separated by '|'


std::wstring wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring text(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, text.data(), length);
  return text;
}

std::string narrow(const std::wstring& text) {
  const int size = static_cast<int>(text.size());
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, bytes.data(), length, nullptr, nullptr);
  return bytes;
}

std::wstring variable(const wchar_t* name) {
  wchar_t value[32768];
  const DWORD length = GetEnvironmentVariableW(name, value, 32768);
  return length > 0 && length < 32768 ? std::wstring(value, length) : std::wstring();
}

// The count of run_in_child calls and of shared memory blocks in the current
// test; a copy of the test program counts them the same way.
struct TestCounters {
  const testing::TestInfo* test = nullptr;
  int serial = 0;  // tests seen so far
  int calls = 0;
  int blocks = 0;
  int dirs_made = 0;
  std::string dirs;  // the test's temporary directories, each followed by '|'
};

TestCounters& counters() {
  static TestCounters counts;
  const testing::TestInfo* current = testing::UnitTest::GetInstance()->current_test_info();
  if (current != counts.test) counts = {current, counts.serial + 1, 0, 0, 0, {}};
  return counts;
}

// Decided once, as the program starts: the test program sets the variables
// itself while it starts a copy.
const bool kInChildCopy = !variable(kCallVariable).empty();

bool in_child_copy() { return kInChildCopy; }

// Names the shared memory of the current test, the same in its copies.
std::wstring shared_memory_root() {
  if (in_child_copy()) return variable(kRootVariable);
  return std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(counters().serial);
}

std::wstring module_path() {
  wchar_t path[32768];
  const DWORD length = GetModuleFileNameW(nullptr, path, 32768);
  return std::wstring(path, length);
}

fs::path unique_temporary(const char* what) {
  static int serial = 0;
  return fs::temp_directory_path() / ("ksatfit-child-" + std::to_string(GetCurrentProcessId()) +
                                      "-" + std::to_string(++serial) + "-" + what + ".txt");
}

std::string slurp_and_remove(const fs::path& path) {
  std::string bytes;
  {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    bytes = text.str();
  }
  std::error_code ignored;
  fs::remove(path, ignored);
  return bytes;
}

// The transcript with each CR LF as a line feed; a line feed without its
// carriage return is shown, so that it cannot pass for a proper line end.
std::string from_text_mode(const std::string& raw) {
  std::string text;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') {
      text += '\n';
      ++i;
    } else if (raw[i] == '\n') {
      text += "<LF without CR>\n";
    } else {
      text += raw[i];
    }
  }
  return text;
}

HANDLE inheritable(const fs::path& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, TRUE};
  return CreateFileW(path.wstring().c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     &attributes, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Starts `command_line` (its program is `application`) in `dir` with no
// standard input and with standard output and error sent to the given files
// (which may be one),
// waits for it and returns its exit code, -1 for a crash.
int run_process(const std::wstring& application, std::wstring command_line, const fs::path& dir,
                const fs::path& out, const fs::path& err) {
  std::fflush(nullptr);
  const HANDLE input = inheritable(L"NUL", GENERIC_READ, OPEN_EXISTING);
  const HANDLE output = inheritable(out, GENERIC_WRITE, CREATE_ALWAYS);
  HANDLE error = output;
  if (err != out) error = inheritable(err, GENERIC_WRITE, CREATE_ALWAYS);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = output;
  startup.hStdError = error;
  PROCESS_INFORMATION process{};
  const std::wstring directory = dir.empty() ? std::wstring() : dir.wstring();
  const bool started =
      CreateProcessW(application.c_str(), command_line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                     directory.empty() ? nullptr : directory.c_str(), &startup, &process);
  CloseHandle(input);
  CloseHandle(output);
  if (error != output) CloseHandle(error);
  if (!started) return 127;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  // Exit codes from 0xC0000000 on are exceptions that ended the process.
  return code >= 0xC0000000u ? -1 : static_cast<int>(code);
}

// In a copy of the test program: runs the body of the call it was started
// for, with standard output and error sent to the files it was given.
[[noreturn]] void run_body(const std::function<void()>& body) {
  std::fflush(nullptr);
  if (_wfreopen(variable(kOutVariable).c_str(), L"w", stdout) == nullptr ||
      _wfreopen(variable(kErrVariable).c_str(), L"w", stderr) == nullptr) {
    std::_Exit(126);
  }
  body();
  std::fflush(nullptr);
  std::_Exit(0);
}

}  // namespace

std::string as_text_file(const std::string& text) {
  std::string bytes;
  for (const char c : text) {
    if (c == '\n') bytes += '\r';
    bytes += c;
  }
  return bytes;
}

ChildRun run_in_child(const std::function<void()>& body) {
  TestCounters& counts = counters();
  const int call = ++counts.calls;
  if (in_child_copy()) {
    if (call == std::stoi(variable(kCallVariable))) run_body(body);
    return {};
  }
  const testing::TestInfo* test = counts.test;
  const std::wstring filter = wide(std::string("--gtest_filter=") + test->test_suite_name() +
                                   "." + test->name());
  const fs::path out = unique_temporary("out");
  const fs::path err = unique_temporary("err");
  const fs::path log = unique_temporary("log");
  SetEnvironmentVariableW(kRootVariable, shared_memory_root().c_str());
  SetEnvironmentVariableW(kOutVariable, out.wstring().c_str());
  SetEnvironmentVariableW(kErrVariable, err.wstring().c_str());
  SetEnvironmentVariableW(kCallVariable, std::to_wstring(call).c_str());
  SetEnvironmentVariableW(kDirsVariable, wide(counts.dirs).c_str());
  const std::wstring program = module_path();
  ChildRun run;
  run.exit_status = run_process(program, L"\"" + program + L"\" " + filter, {}, log, log);
  for (const wchar_t* name :
       {kCallVariable, kOutVariable, kErrVariable, kRootVariable, kDirsVariable}) {
    SetEnvironmentVariableW(name, nullptr);
  }
  const std::string chatter = slurp_and_remove(log);
  if (!fs::exists(out)) {
    ADD_FAILURE() << "the copy of the test program never reached call " << call
                  << " of run_in_child; it wrote:\n"
                  << chatter;
  }
  run.out = from_text_mode(slurp_and_remove(out));
  run.err = from_text_mode(slurp_and_remove(err));
  return run;
}

ChildRun run_program(const std::string& program, const std::string& dir) {
  const fs::path out = unique_temporary("out");
  const fs::path err = unique_temporary("err");
  const std::wstring application = wide(program);
  ChildRun run;
  run.exit_status = run_process(application, L"\"" + application + L"\"", fs::path(wide(dir)),
                                out, err);
  run.out = from_text_mode(slurp_and_remove(out));
  run.err = from_text_mode(slurp_and_remove(err));
  return run;
}

SharedMemory::SharedMemory(std::size_t bytes) : bytes_(bytes) {
  const std::wstring name = L"Local\\ksatfit-test-" + shared_memory_root() + L"-" +
                            std::to_wstring(++counters().blocks);
  mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                static_cast<DWORD>(bytes), name.c_str());
  if (mapping_ == nullptr) throw std::runtime_error("CreateFileMapping failed");
  data_ = MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, bytes);
  if (data_ == nullptr) throw std::runtime_error("MapViewOfFile failed");
}

SharedMemory::~SharedMemory() {
  UnmapViewOfFile(data_);
  CloseHandle(mapping_);
}

std::string adopted_temp_dir() {
  if (!in_child_copy()) return {};
  const std::string dirs = narrow(variable(kDirsVariable));
  const int wanted = ++counters().dirs_made;
  std::size_t at = 0;
  for (int n = 1; at < dirs.size(); ++n) {
    const std::size_t end = dirs.find('|', at);
    if (n == wanted) return dirs.substr(at, end - at);
    at = end + 1;
  }
  return {};
}

void note_temp_dir(const std::string& path) {
  if (!in_child_copy()) counters().dirs += path + "|";
}

std::string build_tree_path(const std::string& path) {
  const fs::path given(wide(path));
  if (given.is_absolute()) return path;
  const fs::path full = fs::path(module_path()).parent_path() / given;
  return narrow(full.lexically_normal().wstring());
}

}  // namespace ksatfit::test
