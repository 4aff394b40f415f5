#include "runtime/console.hpp"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/file_system.hpp"

namespace ksatfit::rt {
namespace {

void put_line(std::FILE* out, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), out);
  std::fputc('\n', out);
}

// The one way the process ends early: everything written so far reaches its
// destination first.
[[noreturn]] void end_process(int status) {
  std::fflush(nullptr);
  std::exit(status);
}

// The innermost redirection of this thread, if any.
thread_local const UnitRedirection* current_redirection = nullptr;

}  // namespace

UnitRedirection::UnitRedirection(int unit, std::FILE* file)
    : unit_(unit), file_(file), enclosing_(current_redirection) {
  current_redirection = this;
}

UnitRedirection::~UnitRedirection() { current_redirection = enclosing_; }

void write_line(int unit, std::string_view text) {
  for (const UnitRedirection* r = current_redirection; r != nullptr; r = r->enclosing_) {
    if (r->unit_ == unit) {
      put_line(r->file_, text);
      return;
    }
  }
  if (unit == 6) {
    // Each line leaves at once: a calling program written in another
    // language buffers its own standard output separately (gfortran's unit 6
    // does), and only this keeps the two in the order they were written.
    put_line(stdout, text);
    std::fflush(stdout);
  } else if (unit == 0) {
    std::fflush(stdout);  // keeps the two streams in order on a shared terminal
    put_line(stderr, text);
  } else {
    const std::string name = "fort." + std::to_string(unit);
    std::FILE* file = open_text_for_appending(name);
    if (file == nullptr) return;
    put_line(file, text);
    std::fclose(file);
  }
}

void stop_program() {
  std::fflush(nullptr);
  put_line(stdout, "Stop - Program terminated.");
  end_process(1);
}

void fail_program(std::string_view message) {
  std::fflush(stdout);
  put_line(stderr, message);
  end_process(2);
}

}  // namespace ksatfit::rt
