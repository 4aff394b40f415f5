#include "drivers/driver_records.hpp"

#include <array>

#include "runtime/edit_descriptors.hpp"
#include "runtime/one_based.hpp"

namespace ksatfit {
namespace {

struct InputField {
  const char* name;
  int first;  // first column, 1-based
  int w;
  int d;
};

constexpr InputField kXField{"X", 2, 8, 2};
constexpr InputField kYField{"Y", 11, 12, 5};

// A field's text as a message quotes it: a byte that is not a printable
// character (a NUL from a binary file, a terminal control) appears as \xHH,
// so that the message stays one readable line.
std::string quoted(const std::string& text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string shown;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F) {
      shown.push_back(c);
    } else {
      shown.append("\\x").push_back(kHex[byte >> 4]);
      shown.push_back(kHex[byte & 0x0F]);
    }
  }
  return shown;
}

bool read_field(std::string_view line, const InputField& field, float& value,
                std::string& problem) {
  const std::string text = rt::field_text(line, field.first, field.w);
  if (rt::read_real(text, field.d, value)) return true;
  problem = std::string("the ") + field.name + " field (columns " + std::to_string(field.first) +
            "-" + std::to_string(field.first + field.w - 1) + ") holds \"" + quoted(text) +
            "\", which is not a number";
  return false;
}

constexpr std::array<std::string_view, kMaxCoefficients> kCoefficientLabels{
    " Intercept          ", " Coefficient of first term", " Coefficient of second term",
    " Coefficient of third term"};

}  // namespace

std::string saved_line(std::string_view line) {
  std::string saved(line.substr(0, kSavedLineWidth));
  saved.resize(kSavedLineWidth, ' ');
  return saved;
}

bool read_pair(std::string_view line, float& X, float& Y, std::string& problem) {
  return read_field(line, kXField, X, problem) && read_field(line, kYField, Y, problem);
}

std::vector<std::string> report_lines(const DriverVariant& variant, const float* STAT,
                                      const float* B, int IC) {
  const Vec1<const float> stat(STAT);
  const Vec1<const float> b(B);
  std::vector<std::string> lines{"", std::string(variant.title),
                                 rt::edit_F(stat(5), 10, 2) + " R^2  (in percent)       "};
  for (int i = 1; i <= variant.coefficient_lines(); ++i) {
    lines.push_back(rt::edit_F(b(i), 10, 5) + std::string(kCoefficientLabels[i - 1]));
  }
  lines.push_back(rt::edit_I(IC, 10) + "   No. of Observations");
  lines.push_back(rt::edit_F(stat(6), 10, 5) + " Degrees of Freedom ");
  lines.insert(lines.end(), 2, "");
  return lines;
}

std::string echo_line(float X, float Y) {
  return " X=" + rt::edit_F(X, 8, 2) + "  Y=" + rt::edit_E(Y, 12, 5) + "    ";
}

}  // namespace ksatfit
