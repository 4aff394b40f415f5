// Runs a piece of code in a child process and collects what it wrote on
// standard output and standard error and how it ended, so that tests can
// compare whole console transcripts, stops included.
#pragma once

#include <functional>
#include <string>

namespace ksatfit::test {

struct ChildRun {
  int exit_status = -1;  // exit status, or -1 when the child was killed by a signal
  std::string out;       // everything written on standard output
  std::string err;       // everything written on standard error
};

// Forks; the child runs `body` with standard output and standard error sent
// to files, flushes and exits with status 0 if `body` returns.
ChildRun run_in_child(const std::function<void()>& body);

// Runs a program in `dir` with no arguments and no standard input.
ChildRun run_program(const std::string& program, const std::string& dir);

}  // namespace ksatfit::test
