#include "tables/edit_list.hpp"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <optional>

#include "runtime/edit_descriptors.hpp"
#include "tables/print_options.hpp"

namespace ksatfit {
namespace {

constexpr int kMaxRepeat = 999;
constexpr int kMaxSignificant = 9;

// Reads an unsigned number of at most three digits at `at`; nothing when no
// digit stands there.
std::optional<int> read_count(std::string_view text, std::size_t& at) {
  int value = 0;
  std::size_t digits = 0;
  while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) && digits < 3) {
    value = value * 10 + (text[at++] - '0');
    ++digits;
  }
  if (digits == 0) return std::nullopt;
  return value;
}

bool limits_ok(const FieldEdit& e) {
  if (e.w < 1 || e.w > kMaxFieldWidth) return false;
  switch (e.kind) {
    case 'I': return true;
    case 'F': return e.d >= 0 && e.d < e.w;
    case 'E': return e.d >= 1 && e.d < e.w;
    default: return e.d >= 1 && e.d <= kMaxSignificant;
  }
}

// One item: [count] letter w [.d], the whole of `item`.
bool parse_item(std::string_view item, std::vector<FieldEdit>& list) {
  std::size_t at = 0;
  const int repeat = read_count(item, at).value_or(1);
  if (at == item.size() || repeat < 1 || repeat > kMaxRepeat) return false;
  FieldEdit e{item[at++], 0, 0};
  if (e.kind != 'I' && e.kind != 'F' && e.kind != 'E' && e.kind != 'W') return false;
  const std::optional<int> w = read_count(item, at);
  if (!w) return false;
  e.w = *w;
  if (e.kind != 'I') {
    if (at == item.size() || item[at++] != '.') return false;
    const std::optional<int> d = read_count(item, at);
    if (!d) return false;
    e.d = *d;
  }
  if (at != item.size() || !limits_ok(e)) return false;
  list.insert(list.end(), static_cast<std::size_t>(repeat), e);
  return true;
}

std::string right_aligned(std::string_view text, int w) {
  const std::size_t width = static_cast<std::size_t>(w);
  if (text.size() > width) return std::string(width, '*');
  return std::string(width - text.size(), ' ') + std::string(text);
}

std::string_view trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  return first == std::string_view::npos ? std::string_view{} : text.substr(first);
}

bool leading_zero_wanted() { return T1OPT(kLeadingZeroOption) == 1; }

// "0.5000" for ".5000" and "-0.5000" for "-.5000"; other texts unchanged.
std::string with_leading_zero(std::string_view text) {
  const std::size_t sign = text.starts_with('-') ? 1 : 0;
  if (text.size() <= sign || text[sign] != '.') return std::string(text);
  return std::string(text.substr(0, sign)) + '0' + std::string(text.substr(sign));
}

// F and E: the zero goes in only where a blank leads the field.
std::string zero_where_room(const std::string& field) {
  if (!leading_zero_wanted() || field.empty() || field[0] != ' ') return field;
  const std::string text = with_leading_zero(trimmed(field));
  return right_aligned(text, static_cast<int>(field.size()));
}

// The decimal exponent e of X rounded to `s` significant digits, with X
// written as 0.ddd x 10^e; a carry of the rounding (9999.6 to 10000) counts.
int rounded_exponent(float X, int s) {
  const std::string text = rt::edit_E(X, kMaxFieldWidth, s);
  const std::size_t mark = text.find_first_of("E+-", text.find('.'));
  return std::atoi(text.c_str() + mark + (text[mark] == 'E' ? 1 : 0));
}

std::string significant_form(float X, int w, int s) {
  const int e = X == 0.0f ? 1 : rounded_exponent(X, s);
  const int decimals = s - e;
  if (e <= s && decimals <= w) {
    std::string fixed(trimmed(rt::edit_F(X, 2 * kMaxFieldWidth, decimals)));
    if (leading_zero_wanted()) fixed = with_leading_zero(fixed);
    if (static_cast<int>(fixed.size()) <= w) return right_aligned(fixed, w);
  }
  return rt::edit_1PE(X, w, s - 1);
}

// Rounded to a whole number by the fixed form without decimals ("3."), the
// point then dropped.
std::string whole_form(float X, int w) {
  std::string text = rt::edit_F(X, w + 1, 0);
  if (text.back() != '.') return std::string(static_cast<std::size_t>(w), '*');
  text.pop_back();
  return text;
}

std::string marker(float X, int w) {
  if (std::isnan(X)) return right_aligned("NaN", w);
  return right_aligned(X > 0.0f ? "Inf" : "-Inf", w);
}

}  // namespace

bool T1LIST(std::string_view FMT, std::vector<FieldEdit>& LIST) {
  std::string text;
  for (char c : FMT) {
    if (c != ' ') text.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  }
  if (text.size() < 2 || text.front() != '(' || text.back() != ')') return false;
  const std::string_view body = std::string_view(text).substr(1, text.size() - 2);
  LIST.clear();
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = body.find(',', start);
    if (!parse_item(body.substr(start, comma - start), LIST)) return false;
    if (comma == std::string_view::npos) return true;
    start = comma + 1;
  }
}

std::string T1EDIT(float X, const FieldEdit& EDIT) {
  if (!std::isfinite(X)) return marker(X, EDIT.w);
  switch (EDIT.kind) {
    case 'I': return whole_form(X, EDIT.w);
    case 'F': return zero_where_room(rt::edit_F(X, EDIT.w, EDIT.d));
    case 'E': return zero_where_room(rt::edit_E(X, EDIT.w, EDIT.d));
    default: return significant_form(X, EDIT.w, EDIT.d);
  }
}

}  // namespace ksatfit
