#include "drivers/driver.hpp"

#include <array>
#include <string>
#include <vector>

#include "drivers/driver_records.hpp"
#include "ksatfit/regression.hpp"
#include "runtime/console.hpp"
#include "runtime/file_system.hpp"
#include "runtime/text_file.hpp"

namespace ksatfit {
namespace {

// The scratch file on its reading side. Every failure of the file runtime
// ends the program with one line on standard error that names the program,
// the file and, where there is one, the line.
class ScratchReader {
 public:
  explicit ScratchReader(const DriverVariant& variant) : variant_(variant) {
    std::string cause;
    if (!file_.open(std::string(variant.file_name), cause)) {
      fail("cannot open the scratch file: " + cause);
    }
    if (!rt::may_write(std::string(variant.file_name), cause)) fail(cause);
  }

  // Reads the next line into `line`; false at end of file.
  bool next(std::string& line) {
    std::string cause;
    switch (file_.read_line(line, cause)) {
      case rt::ReadStatus::line:
        return true;
      case rt::ReadStatus::end:
        return false;
      case rt::ReadStatus::error:
        break;
    }
    fail_at(file_.line_number() + 1, cause);
  }

  void rewind() { file_.rewind(); }
  void close() { file_.close(); }
  long line_number() const { return file_.line_number(); }

  [[noreturn]] void fail_at(long line, const std::string& what) const {
    fail("line " + std::to_string(line) + ": " + what);
  }

  [[noreturn]] void fail(const std::string& what) const {
    rt::fail_program(std::string(variant_.program) + ": " + std::string(variant_.file_name) + ": " +
                     what);
  }

 private:
  const DriverVariant& variant_;
  rt::TextFile file_;
};

// The first lines of the file as text, cut or padded to 80 columns.
std::vector<std::string> read_saved_lines(ScratchReader& reader) {
  std::vector<std::string> CHALINE;
  std::string line;
  while (static_cast<int>(CHALINE.size()) < kDriverCapacity && reader.next(line)) {
    CHALINE.push_back(saved_line(line));
  }
  return CHALINE;
}

// Passes over the header lines; the file must hold all of them.
void skip_header(ScratchReader& reader, int header_lines) {
  std::string line;
  for (int i = 1; i <= header_lines; ++i) {
    if (!reader.next(line)) {
      reader.fail_at(i, "end of file within the " + std::to_string(header_lines) + "-line header");
    }
  }
}

// Reads pair records up to end of file or up to the capacity; returns IC.
int read_pairs(ScratchReader& reader, float* XDATA, float* YDATA) {
  int IC = 0;
  std::string line;
  std::string problem;
  while (IC < kDriverCapacity && reader.next(line)) {
    if (!read_pair(line, XDATA[IC], YDATA[IC], problem)) {
      reader.fail_at(reader.line_number(), problem);
    }
    ++IC;
  }
  return IC;
}

}  // namespace

int run_driver(const DriverVariant& variant) {
  ScratchReader reader(variant);
  const std::vector<std::string> CHALINE = read_saved_lines(reader);
  reader.rewind();
  skip_header(reader, variant.header_lines);
  std::array<float, kDriverCapacity> XDATA{};
  std::array<float, kDriverCapacity> YDATA{};
  const int IC = read_pairs(reader, XDATA.data(), YDATA.data());
  reader.close();

  std::array<float, kMaxCoefficients> B{};
  std::array<float, kMaxCoefficients> SSPOLY{};
  std::array<float, 10> STAT{};
  RCURV(IC, XDATA.data(), YDATA.data(), variant.NDEG, B.data(), SSPOLY.data(), STAT.data());

  std::vector<std::string> lines = report_lines(variant, STAT.data(), B.data(), IC);
  lines.insert(lines.end(), CHALINE.begin(), CHALINE.end());
  if (variant.pair_echo) {
    for (int I = 0; I < IC; ++I) lines.push_back(echo_line(XDATA[I], YDATA[I]));
  }
  std::string cause;
  if (!rt::replace_lines(std::string(variant.file_name), lines, cause)) {
    reader.fail("cannot rewrite the scratch file, which is left as it was: " + cause);
  }
  return 0;
}

}  // namespace ksatfit
