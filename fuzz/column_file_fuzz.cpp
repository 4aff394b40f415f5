// The ksatfit program's data reader on any bytes: the first byte picks the
// reading (each separator's dialect is detected from the text itself, the
// scratch records are read by columns) and the columns asked for; the rest is
// the file. Bad input must come back as an InputError, never as a crash, and
// every column read has one value per row.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "cli/column_file.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t mode = data[0];
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  using namespace ksatfit::cli;
  try {
    FitData read;
    if (mode & 1) {
      read = read_scratch(text, (mode >> 1) & 3);
    } else {
      static const ColumnRequest requests[] = {
          {}, {"2", "1", "", ""}, {"x", "y", "", ""}, {"1", "2", "3", "4"}};
      read = read_columns(text, requests[(mode >> 1) & 3], (mode >> 3) & 1);
    }
    if (read.x.size() != read.y.size() ||
        (!read.weights.empty() && read.weights.size() != read.x.size()) ||
        (!read.frequencies.empty() && read.frequencies.size() != read.x.size())) {
      std::abort();
    }
  } catch (const InputError&) {
  }
  return 0;
}
