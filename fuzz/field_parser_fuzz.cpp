// Field conversions both ways on hostile input.
//
// Input: any bytes in a pair record's X (F8.2) or Y (E12.5) field, cut out
// of the line as the record reader cuts it, and the same bytes as one field
// of any width. A conversion either succeeds with a finite value or refuses
// the field, never reads outside it, and what it accepts is written back by
// the report and echo edits as text that reads back as nearly the same value.
//
// Output: any float bit pattern (NaN, infinities, subnormals, huge values)
// through every edit the report and the pair echo use: the result always has
// exactly the field's width.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "runtime/edit_descriptors.hpp"

namespace {

struct Field {
  int first;  // first column in the pair record, 1-based
  int w;
  int d;
};

constexpr Field kX{2, 8, 2};
constexpr Field kY{11, 12, 5};

void check(bool holds) {
  if (!holds) std::abort();
}

// Every edit is exactly as wide as its field.
void check_widths(float value) {
  check(ksatfit::rt::edit_F(value, 10, 2).size() == 10);
  check(ksatfit::rt::edit_F(value, 10, 5).size() == 10);
  check(ksatfit::rt::edit_F(value, 8, 2).size() == 8);
  check(ksatfit::rt::edit_E(value, 12, 5).size() == 12);
  check(ksatfit::rt::edit_1PE(value, 12, 5).size() == 12);
}

bool all_asterisks(const std::string& text) {
  return text.find_first_not_of('*') == std::string::npos;
}

// An accepted value written with an output edit reads back within the
// edit's rounding (`allowed`, half a unit of the last written digit) plus the
// rounding of the text back to a float.
void check_reads_back(const std::string& text, int d, float value, float allowed) {
  if (all_asterisks(text)) return;
  float again = 0.0f;
  check(ksatfit::rt::read_real(text, d, again));
  check(std::fabs(static_cast<double>(again) - value) <=
        allowed + 1e-6 * std::fabs(static_cast<double>(value)));
}

void check_input_field(std::string_view line, const Field& field) {
  const std::string text = ksatfit::rt::field_text(line, field.first, field.w);
  check(text.size() == static_cast<std::size_t>(field.w));
  float value = 0.0f;
  if (!ksatfit::rt::read_real(text, field.d, value)) return;
  check(std::isfinite(value));
  check_widths(value);
  check_reads_back(ksatfit::rt::edit_F(value, 8, 2), 2, value, 0.005f);
  // Five significant digits, the first of them at least 1: half a unit of
  // the last is at most 5e-5 of the value (and a subnormal's spacing).
  check_reads_back(ksatfit::rt::edit_E(value, 12, 5), 5, value, 5e-5f * std::fabs(value) + 1e-44f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t mode = data[0];
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  if ((mode & 2) != 0 && rest.size() >= 4) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, rest.data(), sizeof bits);
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof value);
    check_widths(value);
    return 0;
  }
  check_input_field(rest, (mode & 1) != 0 ? kY : kX);
  // The same bytes as one field of their own width.
  float value = 0.0f;
  if (ksatfit::rt::read_real(rest, (mode & 1) != 0 ? kY.d : kX.d, value)) {
    check(std::isfinite(value));
  }
  return 0;
}
