#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/regression/allocation_cap.hpp"

#if defined(__SANITIZE_ADDRESS__)
#define KSATFIT_TEST_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KSATFIT_TEST_UNDER_ASAN 1
#endif
#endif

namespace ksatfit::test {

// Normally the child caps its own address space. AddressSanitizer instead
// reserves terabytes of shadow memory at start-up and ends the process on a
// failed allocation unless its options say otherwise when the process starts;
// so under it the child re-runs this very test in a fresh copy of the test
// program whose allocator returns null above the cap, and that copy writes its
// console output to a file named in its environment.
#ifdef KSATFIT_TEST_UNDER_ASAN
namespace {

constexpr char kCappedTranscriptVariable[] = "KSATFIT_CAPPED_TRANSCRIPT";

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

ChildRun run_with_allocation_cap(const std::function<void()>& body) {
  if (const char* path = std::getenv(kCappedTranscriptVariable)) {
    std::fflush(stdout);
    const int fd = open(path, O_WRONLY | O_TRUNC);
    dup2(fd, STDOUT_FILENO);
    close(fd);
    body();
    std::fflush(stdout);
    std::_Exit(0);
  }
  char path[] = "/tmp/ksatfit-capped-XXXXXX";
  close(mkstemp(path));
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string filter =
      std::string("--gtest_filter=") + info->test_suite_name() + "." + info->name();
  const char* inherited = std::getenv("ASAN_OPTIONS");
  const std::string options = (inherited != nullptr ? std::string(inherited) + ":" : "") +
                              "allocator_may_return_null=1:max_allocation_size_mb=4096";
  ChildRun run = run_in_child([&] {
    setenv("ASAN_OPTIONS", options.c_str(), 1);
    setenv(kCappedTranscriptVariable, path, 1);
    execl("/proc/self/exe", "/proc/self/exe", filter.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  });
  run.out = slurp(path);
  std::remove(path);
  return run;
}
#else
ChildRun run_with_allocation_cap(const std::function<void()>& body) {
  return run_in_child([&] {
    constexpr rlim_t cap = rlim_t{4} << 30;
    const rlimit limit{cap, cap};
    setrlimit(RLIMIT_AS, &limit);
    body();
  });
}
#endif

}  // namespace ksatfit::test
