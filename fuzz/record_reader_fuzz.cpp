// Any bytes as a whole scratch file, read the way the programs read it: up to
// 40 saved lines, then, with no header and with the 12-line header, up to 40
// pair records. The lines read must be exactly those of a plain model of the
// line rules (a line ends at its first carriage return or line feed, the next
// one begins after the next line feed, a last line may lack its terminator),
// every saved line must be cut or padded to 80 columns, and every pair record
// must either convert to finite numbers or be refused with a reason made of
// printable characters only.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

#include "drivers/driver_records.hpp"
#include "runtime/text_file.hpp"

namespace {

using ksatfit::rt::ReadStatus;
using ksatfit::rt::TextFile;

void check(bool holds) {
  if (!holds) std::abort();
}

// The lines of `bytes` by the rules above, each cut to what a read keeps.
std::vector<std::string> model_lines(std::string_view bytes) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < bytes.size()) {
    std::size_t end = bytes.find('\n', at);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view line = bytes.substr(at, end - at);
    line = line.substr(0, line.find('\r'));
    lines.emplace_back(line.substr(0, TextFile::kMaxLineKept));
    at = end + 1;
  }
  return lines;
}

// Reads the next line and checks it against the model's line number `index`
// (0-based); false at end of file, which must come where the model ends.
bool next_line(TextFile& file, const std::vector<std::string>& model, std::size_t index,
               std::string& line) {
  std::string cause;
  const ReadStatus status = file.read_line(line, cause);
  check(status != ReadStatus::error);
  if (status == ReadStatus::end) {
    check(index == model.size());
    return false;
  }
  check(index < model.size() && line == model[index]);
  check(file.line_number() == static_cast<long>(index) + 1);
  return true;
}

void read_as_program(const std::string& path, const std::vector<std::string>& model,
                     std::size_t header_lines) {
  TextFile file;
  std::string cause;
  check(file.open(path, cause));
  std::string line;
  std::size_t saved = 0;
  while (saved < ksatfit::kDriverCapacity && next_line(file, model, saved, line)) {
    std::string expected = line.substr(0, ksatfit::kSavedLineWidth);
    expected.resize(ksatfit::kSavedLineWidth, ' ');
    check(ksatfit::saved_line(line) == expected);
    ++saved;
  }
  file.rewind();
  std::size_t index = 0;
  for (; index < header_lines; ++index) {
    if (!next_line(file, model, index, line)) return;  // the header is cut short
  }
  for (int pairs = 0; pairs < ksatfit::kDriverCapacity && next_line(file, model, index, line);
       ++pairs, ++index) {
    float x = 0.0f;
    float y = 0.0f;
    std::string problem;
    if (!ksatfit::read_pair(line, x, y, problem)) {
      // The reason goes to the console as one readable line.
      check(!problem.empty());
      for (const char c : problem) check(c >= 0x20 && c < 0x7F);
      return;  // the programs stop at the first record that is not a pair
    }
    check(std::isfinite(x) && std::isfinite(y));
  }
}

// The scratch file lives in memory (a memfd, opened by name through /proc),
// so that a run costs no disk traffic.
int scratch_fd() {
  static const int fd = memfd_create("ksatfit-record-fuzz", MFD_CLOEXEC);
  check(fd >= 0);
  return fd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const int fd = scratch_fd();
  static const std::string path = "/proc/self/fd/" + std::to_string(fd);
  check(ftruncate(fd, 0) == 0);
  check(pwrite(fd, data, size, 0) == static_cast<ssize_t>(size));
  const std::vector<std::string> model =
      model_lines(std::string_view(reinterpret_cast<const char*>(data), size));
  read_as_program(path, model, 0);
  read_as_program(path, model, 12);
  return 0;
}
