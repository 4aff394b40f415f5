#include "runtime/edit_descriptors.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <type_traits>

namespace ksatfit::rt {
namespace {

// A finite value as sign, decimal digits and point position:
// |value| = 0.DIGITS x 10^point. The first digit is never zero, so a value
// is zero exactly when it has no digits.
struct Decimal {
  bool negative = false;
  std::string digits;
  int point = 0;
};

// The exact decimal expansion of a float. A float is an integer below 2^24
// times a power of two no smaller than 2^-149, so its expansion has at most
// 112 significant digits (just below 2^-125); the conversion of the double
// with 120 digits after the first prints every one of them.
Decimal exact_decimal(float value) {
  Decimal x;
  x.negative = std::signbit(value);
  if (value == 0.0f) return x;
  char text[160];
  std::snprintf(text, sizeof text, "%.120e", static_cast<double>(std::fabs(value)));
  const std::string_view all(text);
  const std::size_t mark = all.find('e');
  x.digits.push_back(all[0]);
  x.digits.append(all.substr(2, mark - 2));
  x.digits.erase(x.digits.find_last_not_of('0') + 1);
  x.point = std::atoi(text + mark + 1) + 1;
  return x;
}

// Keeps the first `keep` digits (none when keep <= 0) and rounds on the first
// dropped digit: 5 or more carries into the kept ones, so a tie rounds away
// from zero. A carry out of the first digit adds a digit in front.
void round_to(Decimal& x, int keep) {
  if (static_cast<int>(x.digits.size()) <= keep) return;
  const bool up = keep >= 0 && x.digits[static_cast<std::size_t>(keep)] >= '5';
  x.digits.resize(static_cast<std::size_t>(std::max(keep, 0)));
  if (!up) return;
  std::size_t i = x.digits.size();
  while (i > 0 && x.digits[i - 1] == '9') x.digits[--i] = '0';
  if (i > 0) {
    ++x.digits[i - 1];
  } else {
    x.digits.insert(x.digits.begin(), '1');
    ++x.point;
  }
}

// The k-th digit (0-based) of the expansion, zero beyond the stored ones.
char digit_at(const Decimal& x, int k) {
  return k >= 0 && k < static_cast<int>(x.digits.size()) ? x.digits[static_cast<std::size_t>(k)] : '0';
}

void append_digits(std::string& text, const Decimal& x, int from, int to) {
  for (int k = from; k < to; ++k) text.push_back(digit_at(x, k));
}

// A value whose kept digits are all zero is written without a minus sign.
std::string sign_of(const Decimal& x) { return x.negative && !x.digits.empty() ? "-" : ""; }

// Right-justifies `text` in w columns, or gives w asterisks if it is wider.
std::string fit(const std::string& text, int w) {
  const std::size_t width = static_cast<std::size_t>(std::max(w, 0));
  if (text.size() > width) return std::string(width, '*');
  return std::string(width - text.size(), ' ') + text;
}

// NaN and the infinities: a fixed text padded with periods, never a sign.
std::string edit_special(float value, int w) {
  const std::string text = std::isnan(value) ? "1#QNAN" : "1#INF";
  if (w < static_cast<int>(text.size())) return fit(text, w);
  return text + std::string(static_cast<std::size_t>(w) - text.size(), '.');
}

// "E+05", "E-12"; beyond two digits the letter gives way to the third digit.
std::string exponent_text(int exponent) {
  char text[16];
  const char sign = exponent < 0 ? '-' : '+';
  if (std::abs(exponent) <= 99) {
    std::snprintf(text, sizeof text, "E%c%02d", sign, std::abs(exponent));
  } else {
    std::snprintf(text, sizeof text, "%c%03d", sign, std::abs(exponent));
  }
  return text;
}

// Ew.d (`before` = 0) and 1PEw.d (`before` = 1): `before` digits before the
// point, d after it, and the exponent that makes the value.
std::string edit_with_exponent(float value, int w, int d, int before) {
  if (!std::isfinite(value)) return edit_special(value, w);
  Decimal x = exact_decimal(value);
  round_to(x, before + d);
  const int exponent = x.digits.empty() ? 0 : x.point - before;
  std::string text = sign_of(x);
  append_digits(text, x, 0, before);
  text.push_back('.');
  append_digits(text, x, before, before + d);
  return fit(text + exponent_text(exponent), w);
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Reads an optionally signed integer that runs to the end of `text`, starting
// at `at`. The magnitude saturates far beyond any float's range, so a long
// string of digits cannot overflow.
bool read_exponent(const std::string& text, std::size_t at, long long& exponent) {
  constexpr long long kSaturated = 1000000000;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  if (at == text.size()) return false;
  long long magnitude = 0;
  for (; at < text.size(); ++at) {
    if (!is_digit(text[at])) return false;
    magnitude = std::min(magnitude * 10 + (text[at] - '0'), kSaturated);
  }
  exponent = negative ? -magnitude : magnitude;
  return true;
}

}  // namespace

std::string edit_F(float value, int w, int d) {
  if (!std::isfinite(value)) return edit_special(value, w);
  Decimal x = exact_decimal(value);
  round_to(x, x.point + d);
  std::string text = sign_of(x);
  append_digits(text, x, 0, x.point);
  if (x.point <= 0 && d <= 0) text.push_back('0');
  text.push_back('.');
  append_digits(text, x, x.point, x.point + d);
  return fit(text, w);
}

std::string edit_E(float value, int w, int d) { return edit_with_exponent(value, w, d, 0); }

std::string edit_1PE(float value, int w, int d) { return edit_with_exponent(value, w, d, 1); }

std::string edit_I(int value, int w) { return fit(std::to_string(value), w); }

std::string field_text(std::string_view line, int first, int w) {
  std::string field(static_cast<std::size_t>(std::max(w, 0)), ' ');
  for (int k = 0; k < w; ++k) {
    const long long column = static_cast<long long>(first) + k;  // 1-based
    if (column >= 1 && column <= static_cast<long long>(line.size())) {
      field[static_cast<std::size_t>(k)] = line[static_cast<std::size_t>(column - 1)];
    }
  }
  return field;
}

// The field is parsed into a sign, its mantissa digits and a power of ten, and
// the float nearest that decimal number is then obtained from strtof, which
// rounds correctly however many digits there are.
namespace {

// The number an F or E input field holds (see read_real), in float or double.
template <class Real>
bool read_real_field(std::string_view field, int d, Real& value) {
  std::string text;
  std::copy_if(field.begin(), field.end(), std::back_inserter(text), [](char c) { return c != ' '; });
  if (text.empty()) {
    value = 0.0f;
    return true;
  }
  std::size_t at = 0;
  const bool negative = text[0] == '-';
  if (text[0] == '+' || text[0] == '-') ++at;
  std::string digits;
  bool point = false;
  long long fraction_digits = 0;
  for (; at < text.size(); ++at) {
    if (is_digit(text[at])) {
      digits.push_back(text[at]);
      if (point) ++fraction_digits;
    } else if (text[at] == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (digits.empty()) return false;
  long long exponent = 0;
  if (at < text.size()) {
    const char mark = text[at];
    if (mark == 'E' || mark == 'e' || mark == 'D' || mark == 'd') {
      ++at;
    } else if (mark != '+' && mark != '-') {
      return false;
    }
    if (!read_exponent(text, at, exponent)) return false;
  }
  exponent -= point ? fraction_digits : d;
  const std::string decimal = (negative ? "-" : "") + digits + "e" + std::to_string(exponent);
  const Real result = std::is_same_v<Real, float> ? std::strtof(decimal.c_str(), nullptr)
                                                 : std::strtod(decimal.c_str(), nullptr);
  if (std::isinf(result)) return false;
  value = result;
  return true;
}

}  // namespace

bool read_real(std::string_view field, int d, float& value) {
  return read_real_field(field, d, value);
}

bool read_real(std::string_view field, int d, double& value) {
  return read_real_field(field, d, value);
}

}  // namespace ksatfit::rt
