// Console output and the ends of the process.
#pragma once

#include <cstdio>
#include <string_view>

namespace ksatfit::rt {

// Writes one line (a line feed is appended) on an output unit: unit 6 is
// standard output, flushed after every line, unit 0 standard error; any other
// unit N appends to the file "fort.N" in the working directory. All three are
// text streams, so on Windows each line ends with CR LF, as a console
// program's lines do there.
void write_line(int unit, std::string_view text);

// While it exists, the lines that this thread writes on `unit` go to `file`
// instead: how an application collects the tables that the library prints
// as text, without touching the process's standard output. Redirections
// nest; each one ends with its scope.
class UnitRedirection {
 public:
  UnitRedirection(int unit, std::FILE* file);
  ~UnitRedirection();
  UnitRedirection(const UnitRedirection&) = delete;
  UnitRedirection& operator=(const UnitRedirection&) = delete;

 private:
  friend void write_line(int unit, std::string_view text);
  int unit_;
  std::FILE* file_;
  const UnitRedirection* enclosing_;
};

// The program stop of the error layer: writes "Stop - Program terminated."
// on standard output and ends the process with exit status 1.
[[noreturn]] void stop_program();

// A failure of the file runtime: writes `message` as one line on standard
// error and ends the process with exit status 2.
[[noreturn]] void fail_program(std::string_view message);

}  // namespace ksatfit::rt
