// Whole-program runs on hostile scratch files where POSIX permission bits,
// symbolic links and sparse files come in: an unreadable file, a file in a
// read-only directory, a symbolic link, and a file of ten million lines (and
// a 16 GiB hole after them). Every failure ends with exit status 2 and one
// line on standard error, and leaves the scratch file exactly as it was.
//
// Permission bits do not stop root. Where a case needs them to, the program
// runs as the unprivileged user 65534 (in a forked child that drops its
// privileges before it starts the program); a case that cannot be made to
// fail that way here is skipped, with the reason.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "tests/e2e/hardening_cases.hpp"
#include "tests/e2e/program_run.hpp"

namespace ksatfit::test {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kUnprivileged = 65534;
constexpr int kCannotDropPrivileges = 125;

// In the child: becomes the unprivileged user if running as root; exits with
// kCannotDropPrivileges if that fails.
void drop_privileges() {
  if (geteuid() != 0) return;
  if (setgroups(0, nullptr) != 0 || setgid(kUnprivileged) != 0 || setuid(kUnprivileged) != 0 ||
      geteuid() == 0) {
    _exit(kCannotDropPrivileges);
  }
}

// Runs the program with no arguments and no standard input in `dir`, as the
// unprivileged user when the test runs as root.
ChildRun run_unprivileged(const std::string& program, const std::string& dir) {
  return run_in_child([&] {
    const int null_fd = open("/dev/null", O_RDONLY);
    dup2(null_fd, STDIN_FILENO);
    drop_privileges();
    if (chdir(dir.c_str()) != 0) _exit(126);
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  });
}

// Whether the user that run_unprivileged runs as is refused `attempt`, that
// is, whether permission bits can make the case fail here at all.
bool refused_unprivileged(const std::function<bool()>& attempt) {
  return run_in_child([&] {
           drop_privileges();
           _exit(attempt() ? 0 : 1);
         }).exit_status == 1;
}

// A working directory that the unprivileged user owns, with the program
// copied into a directory of its own that anyone may enter (the build tree
// may sit where that user cannot go).
class Scene {
 public:
  explicit Scene(const Program& program)
      : program_(bin_.file(fs::path(program.path).filename().string())),
        scratch_(work_.file(program.scratch)) {
    fs::copy_file(program.path, program_);
    fs::permissions(bin_.path(), fs::perms::owner_all | fs::perms::group_read |
                                     fs::perms::group_exec | fs::perms::others_read |
                                     fs::perms::others_exec);
    give_away(work_.path());
    fs::permissions(work_.path(), fs::perms(0755));
  }

  const std::string& dir() const { return work_.path(); }
  const std::string& scratch() const { return scratch_; }

  // The file belongs to the unprivileged user, so that only the permission
  // bits under test stand in its way.
  void write(const std::string& bytes, fs::perms mode) const {
    write_file(scratch_, bytes);
    give_away(scratch_);
    fs::permissions(scratch_, mode);
  }

  ChildRun run() const { return run_unprivileged(program_, work_.path()); }

 private:
  static void give_away(const std::string& path) {
    if (geteuid() == 0 && chown(path.c_str(), kUnprivileged, kUnprivileged) != 0) {
      ADD_FAILURE() << "cannot hand " << path << " to the unprivileged user";
    }
  }

  TempDir bin_;
  TempDir work_;
  std::string program_;
  std::string scratch_;
};

TEST_P(HostileScratchFile, UnreadableFileIsRefusedAndLeftAlone) {
  const Case& c = GetParam();
  Scene scene(*c.program);
  const std::string input = joined(sample_lines(c));
  scene.write(input, fs::perms::none);
  if (!refused_unprivileged([&] { return open(scene.scratch().c_str(), O_RDONLY) >= 0; })) {
    GTEST_SKIP() << "no user here is refused a file of mode 000";
  }
  const ChildRun run = scene.run();
  EXPECT_EQ(run.exit_status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, failure_line(c, "cannot open the scratch file: Permission denied"));
  EXPECT_EQ(fs::status(scene.scratch()).permissions(), fs::perms::none);
  fs::permissions(scene.scratch(), fs::perms::owner_read);
  EXPECT_EQ(read_file(scene.scratch()), input);
  EXPECT_EQ(entries(scene.dir()), std::set<std::string>{c.program->scratch});
}

TEST_P(HostileScratchFile, ReadOnlyDirectoryKeepsTheFileByteIdentical) {
  const Case& c = GetParam();
  Scene scene(*c.program);
  const std::string input = joined(sample_lines(c));
  scene.write(input, fs::perms(0644));
  fs::permissions(scene.dir(), fs::perms(0555));
  const std::string probe = scene.dir() + "/probe";
  if (!refused_unprivileged([&] {
        const int fd = open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        if (fd >= 0) unlink(probe.c_str());
        return fd >= 0;
      })) {
    GTEST_SKIP() << "no user here is refused a new file in a directory of mode 555";
  }
  const ChildRun run = scene.run();
  fs::permissions(scene.dir(), fs::perms(0755));
  EXPECT_EQ(run.exit_status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, failure_line(c,
                                  "cannot rewrite the scratch file, which is left as it was: "
                                  "cannot create a temporary file beside the file: "
                                  "Permission denied"));
  EXPECT_EQ(read_file(scene.scratch()), input);
  EXPECT_EQ(fs::status(scene.scratch()).permissions(), fs::perms(0644));
  EXPECT_EQ(entries(scene.dir()), std::set<std::string>{c.program->scratch});
}

TEST_P(HostileScratchFile, SymbolicLinkTargetReceivesTheReportAndTheLinkStays) {
  const Case& c = GetParam();
  const std::string input = joined(sample_lines(c));
  const ProgramRun plain = run_on(*c.program, input);
  ASSERT_EQ(plain.console.exit_status, 0);

  TempDir dir;
  const std::string data = dir.file("data");
  const std::string target = data + "/sample-17.txt";
  const std::string link_text = "data/sample-17.txt";
  fs::create_directory(data);
  write_file(target, input);
  fs::permissions(target, fs::perms(0640));
  fs::create_symlink(link_text, dir.file(c.program->scratch));

  const ChildRun run = run_program(c.program->path, dir.path());
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.out, plain.console.out);
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(fs::is_symlink(dir.file(c.program->scratch)));
  EXPECT_EQ(fs::read_symlink(dir.file(c.program->scratch)).string(), link_text);
  EXPECT_EQ(read_file(target), plain.file);
  EXPECT_EQ(fs::status(target).permissions(), fs::perms(0640));
  EXPECT_EQ(entries(data), std::set<std::string>{"sample-17.txt"});
  EXPECT_EQ(entries(dir.path()), (std::set<std::string>{"data", c.program->scratch}));
}

TEST_P(HostileScratchFile, LinkToNothingIsReportedAndNothingIsCreated) {
  const Case& c = GetParam();
  TempDir dir;
  fs::create_symlink("data/missing", dir.file(c.program->scratch));
  const ChildRun run = run_program(c.program->path, dir.path());
  EXPECT_EQ(run.exit_status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, failure_line(c, "cannot open the scratch file: No such file or directory"));
  EXPECT_TRUE(fs::is_symlink(dir.file(c.program->scratch)));
  EXPECT_FALSE(fs::exists(dir.file("data")));
}

// Wall time and peak memory of one run of a program. On Linux a child's
// peak resident size also counts the pages it shared with this process when
// it was forked, so the test keeps itself small while it measures.
struct Cost {
  int exit_status = -1;
  double seconds = 0.0;
  long max_rss_kb = 0;
};

Cost measure_run(const std::string& program, const std::string& dir) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    const int null_fd = open("/dev/null", O_RDWR);
    dup2(null_fd, STDIN_FILENO);
    dup2(null_fd, STDOUT_FILENO);
    if (chdir(dir.c_str()) != 0) _exit(126);
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  wait4(pid, &status, 0, &usage);
  Cost cost;
  cost.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  cost.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  cost.max_rss_kb = usage.ru_maxrss;
  return cost;
}

// `head`, then short lines up to `total` lines in all, written a block at a
// time so that the file never sits in this process's memory, then a hole of
// 16 GiB (NUL bytes that take no disk space): a program that read on past
// the lines it needs would take minutes over it.
void write_long_file(const std::string& path, const std::string& head, long head_lines,
                     long total) {
  const std::string two_lines = " 7\n9\n";
  std::string block;
  for (int i = 0; i < 16384; ++i) block += two_lines;
  const long lines_per_block = 2 * 16384;
  std::FILE* out = std::fopen(path.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  std::fwrite(head.data(), 1, head.size(), out);
  long left = total - head_lines;
  for (; left >= lines_per_block; left -= lines_per_block) {
    std::fwrite(block.data(), 1, block.size(), out);
  }
  std::fwrite(block.data(), 1, static_cast<std::size_t>(left / 2) * two_lines.size(), out);
  if (left % 2 != 0) std::fwrite(two_lines.data(), 1, 3, out);
  ASSERT_EQ(std::fflush(out), 0);
  const off_t lines_end = ftello(out);
  ASSERT_EQ(ftruncate(fileno(out), lines_end + (off_t{16} << 30)), 0);
  ASSERT_EQ(std::fclose(out), 0);
}

TEST_P(HostileScratchFile, HugeFileCostsNoMoreThanItsFirstFiftyTwoLines) {
  const Case& c = GetParam();
  constexpr long kLines = 10'000'000;
  // The first 52 lines are all that any of the programs reads: 40 saved
  // lines, and 40 pair records after a header of at most 12 lines.
  std::vector<std::string> head = header_lines(c.header);
  for (int i = 1; head.size() < 52; ++i) {
    head.push_back(pair_line(fixed(25 * i, 2, 8), fixed(1000 * i + 37 * (i * i % 11), 5, 12)));
  }
  TempDir short_dir;
  write_file(short_dir.file(c.program->scratch), joined(head));
  const Cost short_run = measure_run(c.program->path, short_dir.path());
  ASSERT_EQ(short_run.exit_status, 0);

  TempDir long_dir;
  const std::string scratch = long_dir.file(c.program->scratch);
  ASSERT_NO_FATAL_FAILURE(
      write_long_file(scratch, joined(head), static_cast<long>(head.size()), kLines));
  const Cost long_run = measure_run(c.program->path, long_dir.path());
  EXPECT_EQ(long_run.exit_status, 0);
  EXPECT_LT(long_run.seconds, 5.0);
  EXPECT_LT(long_run.max_rss_kb, 64 * 1024);
  // Nothing past line 52 is read: not even its memory shows.
  EXPECT_LT(long_run.max_rss_kb, short_run.max_rss_kb + 8 * 1024);
  // The lines past the 40th are gone from the rewritten file, as always.
  EXPECT_EQ(read_file(scratch), read_file(short_dir.file(c.program->scratch)));
}

}  // namespace
}  // namespace ksatfit::test
