#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "runtime/file_system.hpp"

namespace ksatfit::rt {
namespace {

// What failed, followed by the system's reason for the last failed call.
std::string failed(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// Follows symbolic links to the file that is to be replaced, so that the
// rename replaces the file itself and a link to it stays a link.
bool resolve_target(const std::string& path, std::string& target, struct stat& info,
                    std::string& cause) {
  char* resolved = realpath(path.c_str(), nullptr);
  if (resolved == nullptr) {
    cause = failed("cannot find the file");
    return false;
  }
  target = resolved;
  std::free(resolved);
  if (stat(target.c_str(), &info) != 0) {
    cause = failed("cannot examine the file");
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    cause = "not a regular file";
    return false;
  }
  return true;
}

// Gives the temporary file the original's permission bits and its content,
// and forces it to disk. Returns what failed, or an empty string.
std::string fill_temporary(int fd, const struct stat& original, std::string_view content) {
  // The original's owner and group are kept wherever the caller may set them
  // (always for root); a caller who may not keeps the file as its own.
  if (fchown(fd, original.st_uid, original.st_gid) != 0 && errno != EPERM) {
    return failed("cannot set the owner of the temporary file");
  }
  if (fchmod(fd, original.st_mode & 07777) != 0) {
    return failed("cannot set the permissions of the temporary file");
  }
  std::size_t done = 0;
  while (done < content.size()) {
    const ssize_t written = write(fd, content.data() + done, content.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return failed("cannot write the temporary file");
    done += static_cast<std::size_t>(written);
  }
  if (fsync(fd) != 0) return failed("cannot flush the temporary file to disk");
  return {};
}

}  // namespace

std::FILE* open_existing_file(const std::string& path, std::string& cause) {
  // Opened without blocking, so that a named pipe cannot hang the open; a
  // directory opens for reading too. Only a regular file holds lines.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    cause = std::strerror(errno);
    return nullptr;
  }
  struct stat info {};
  const bool examined = fstat(fd, &info) == 0;
  if (!examined || !S_ISREG(info.st_mode)) {
    cause = examined ? "not a regular file" : failed("cannot examine the file");
    ::close(fd);
    return nullptr;
  }
  std::FILE* file = fdopen(fd, "rb");
  if (file == nullptr) {
    cause = failed("cannot read the file");
    ::close(fd);
  }
  return file;
}

bool may_write(const std::string& path, std::string& cause) {
  if (access(path.c_str(), W_OK) == 0) return true;
  cause = failed("the file may not be written");
  return false;
}

bool replace_file_content(const std::string& path, std::string_view content,
                          std::string& cause) {
  std::string target;
  struct stat original {};
  if (!resolve_target(path, target, original, cause)) return false;
  std::string temporary = target + ".XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0) {
    cause = failed("cannot create a temporary file beside the file");
    return false;
  }
  std::string problem = fill_temporary(fd, original, content);
  if (::close(fd) != 0 && problem.empty()) problem = failed("cannot close the temporary file");
  if (problem.empty() && std::rename(temporary.c_str(), target.c_str()) != 0) {
    problem = failed("cannot rename the temporary file over the file");
  }
  if (problem.empty()) return true;
  ::unlink(temporary.c_str());
  cause = problem;
  return false;
}

std::FILE* open_text_for_appending(const std::string& path) {
  return std::fopen(path.c_str(), "ab");
}

}  // namespace ksatfit::rt
