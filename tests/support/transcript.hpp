// Runs a piece of code in a child process and collects what it wrote on
// standard output and standard error and how it ended, so that tests can
// compare whole console transcripts, stops included.
//
// On POSIX systems the child is a fork. Windows has no fork: there the test
// program starts a copy of itself that runs only the current test, and in
// that copy the n-th call of run_in_child runs its body (the calls before it
// return an empty ChildRun without running theirs). The copy works in the
// test's own temporary directories and shared memory: its n-th TempDir and
// SharedMemory are the test's n-th. Standard output and
// error are text streams on Windows, so each line ends with CR LF there; the
// transcripts are handed back with each CR LF as a line feed, and a line feed
// without its carriage return shows as the text "<LF without CR>".
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace ksatfit::test {

struct ChildRun {
  int exit_status = -1;  // exit status, or -1 when the child was killed by a signal
  std::string out;       // everything written on standard output
  std::string err;       // everything written on standard error
};

// Runs `body` in a child process with standard output and standard error
// sent to files; the child flushes and exits with status 0 if `body` returns.
ChildRun run_in_child(const std::function<void()>& body);

// Runs a program in `dir` with no arguments and no standard input.
ChildRun run_program(const std::string& program, const std::string& dir);

// Memory that the test shares with the children of its run_in_child calls:
// what a child writes there is seen by the test after the child has ended,
// however it ended. Zero-filled when the test creates it.
class SharedMemory {
 public:
  explicit SharedMemory(std::size_t bytes);
  ~SharedMemory();
  SharedMemory(const SharedMemory&) = delete;
  SharedMemory& operator=(const SharedMemory&) = delete;
  void* data() const { return data_; }

 private:
  void* data_ = nullptr;
  std::size_t bytes_ = 0;
  void* mapping_ = nullptr;  // the Windows file mapping behind the memory
};

// For TempDir. In a copy of the test program started by run_in_child: the
// path of the temporary directory that the test made in the place of the one
// now being made (empty if there is none); elsewhere always empty.
std::string adopted_temp_dir();
// For TempDir: notes a temporary directory that the current test has made.
void note_temp_dir(const std::string& path);

// A path in the build tree as the build gave it to the test program; a
// relative one is taken from the directory that holds the test program.
std::string build_tree_path(const std::string& path);

// The bytes of a text file that the library writes (a unit file "fort.N")
// with the lines of `text`: each line feed as this platform ends a line.
std::string as_text_file(const std::string& text);

}  // namespace ksatfit::test
