#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "tests/support/transcript.hpp"

namespace ksatfit::test {
namespace {

std::string slurp_and_remove(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  std::remove(path.c_str());
  return text.str();
}

int make_temp(std::string& path) {
  char name[] = "/tmp/ksatfit-child-XXXXXX";
  const int fd = mkstemp(name);
  path = name;
  return fd;
}

ChildRun run_forked(const std::function<void()>& child) {
  std::fflush(nullptr);
  std::string out_path;
  std::string err_path;
  const int out_fd = make_temp(out_path);
  const int err_fd = make_temp(err_path);
  ChildRun run;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out_fd, STDOUT_FILENO);
    dup2(err_fd, STDERR_FILENO);
    close(out_fd);
    close(err_fd);
    child();
    std::fflush(nullptr);
    _exit(0);
  }
  close(out_fd);
  close(err_fd);
  int status = 0;
  waitpid(pid, &status, 0);
  run.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = slurp_and_remove(out_path);
  run.err = slurp_and_remove(err_path);
  return run;
}

}  // namespace

std::string as_text_file(const std::string& text) { return text; }

ChildRun run_in_child(const std::function<void()>& body) { return run_forked(body); }

ChildRun run_program(const std::string& program, const std::string& dir) {
  return run_forked([&] {
    const int null_fd = open("/dev/null", O_RDONLY);
    dup2(null_fd, STDIN_FILENO);
    if (chdir(dir.c_str()) != 0) _exit(126);
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  });
}

SharedMemory::SharedMemory(std::size_t bytes) : bytes_(bytes) {
  data_ = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (data_ == MAP_FAILED) throw std::runtime_error("mmap failed");
}

SharedMemory::~SharedMemory() { munmap(data_, bytes_); }

std::string adopted_temp_dir() { return {}; }

void note_temp_dir(const std::string&) {}

std::string build_tree_path(const std::string& path) {
  if (std::filesystem::path(path).is_absolute()) return path;
  return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / path).string();
}

}  // namespace ksatfit::test
