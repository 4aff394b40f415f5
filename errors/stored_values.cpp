// The stored-value list: the values that the next message quotes, kept as
// entries "*", kind letter, key digit, "*", value length, "%", value text.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "errors/characters.hpp"
#include "errors/error_layer.hpp"
#include "errors/error_state.hpp"
#include "ksatfit/errors.hpp"
#include "runtime/edit_descriptors.hpp"
#include "runtime/one_based.hpp"

namespace ksatfit {
namespace {

constexpr int kMaxLiteral = 255;
constexpr int kNumberField = 14;
constexpr int kEntryOverhead = 8;  // "*", kind, key, "*", up to 3 digits, "%"

bool is_key(int key) { return key >= 1 && key <= 9; }
// A literal's key may be negative (keep trailing blanks).
bool is_signed_key(int key) { return is_key(key) || (key >= -9 && key <= -1); }

// Stores a number's field from its first non-blank character on.
void store_number_field(char kind, int key, std::string_view field) {
  const int first = std::max(I1ERIF(field, " "), 1);
  const std::string_view value = field.substr(static_cast<std::size_t>(first - 1));
  E1INPL(kind, key, static_cast<int>(value.size()), value);
}

// Position of the last non-blank character, 1 when all are blanks.
int trimmed_length(std::string_view text) {
  const std::size_t last = text.find_last_not_of(' ');
  return last == std::string_view::npos ? 1 : static_cast<int>(last) + 1;
}

}  // namespace

void E1STI(int IK, int IVAL) {
  E1INIT();
  std::array<char, kNumberField> field;
  int IER = 0;
  C1TIC(IVAL, field, IER);
  if (is_key(IK) && IER == 0) store_number_field('I', IK, {field.data(), field.size()});
}

void E1STR(int IK, float RVAL) {
  E1INIT();
  E1LOCK(1);
  const std::string field = (RVAL == 0.0f || IFNAN(RVAL))
                                ? rt::edit_E(RVAL, kNumberField, 6)
                                : rt::edit_1PE(RVAL, kNumberField, 6);
  E1LOCK(0);
  if (is_key(IK)) store_number_field('R', IK, field);
}

// A double is quoted with the 17 significant digits that identify it, in the
// layout of the float's 1PE field (d.dddE+xx, and d.ddd+xxx for a
// three-digit exponent). Zero, NaN and the infinities read as in float.
void E1STR(int IK, double RVAL) {
  if (RVAL == 0.0 || !std::isfinite(RVAL)) {
    E1STR(IK, static_cast<float>(RVAL));
    return;
  }
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), "%.16E", RVAL);
  std::string field(text.data());
  const std::size_t e = field.find('E');
  if (field.size() - e > 4) field.erase(e, 1);  // E+xxx becomes +xxx
  E1INIT();
  if (is_key(IK)) store_number_field('R', IK, field);
}

void E1STL(int IK, std::string_view STR) {
  E1INIT();
  const std::string_view value = STR.substr(0, kMaxLiteral);
  if (is_signed_key(IK)) E1INPL('L', IK, static_cast<int>(value.size()), value);
}

void E1INPL(char KIND, int KEY, int LENGTH, std::string_view TEXT) {
  ErrorState& s = error_state();
  if (!is_signed_key(KEY)) return;
  if (static_cast<long long>(s.PLEN) + kEntryOverhead + LENGTH > kValueListSize) return;
  const int first = s.PLEN + 1 == 2 ? 1 : s.PLEN + 1;
  // A negative key keeps the value's trailing blanks.
  std::string value(TEXT.substr(0, static_cast<std::size_t>(std::max(LENGTH, 0))));
  value.resize(static_cast<std::size_t>(KEY < 0 ? std::max(LENGTH, 0)
                                                : trimmed_length(value)),
               ' ');
  const std::string entry = std::string{'*', KIND, static_cast<char>('0' + std::abs(KEY)), '*'} +
                            std::to_string(value.size()) + '%' + value;
  Vec1<char> list(s.PLIST.data());
  for (std::size_t k = 0; k < entry.size(); ++k) list(first + static_cast<int>(k)) = entry[k];
  s.PLEN = first + static_cast<int>(entry.size()) - 1;
}

std::optional<std::string_view> find_stored_value(const ErrorState& state, char kind,
                                                  char key) {
  // Entries fill characters 1 to PLEN; PLEN 1 is the empty list.
  if (state.PLEN <= 1) return std::nullopt;
  const std::string_view list(state.PLIST.data(), static_cast<std::size_t>(state.PLEN));
  std::size_t at = 0;
  while (at < list.size()) {
    const std::size_t percent = list.find('%', at + 4);
    int length = 0;
    int IER = 0;
    C1TCI(list.substr(at + 4, percent - at - 4), length, IER);
    const std::string_view value = list.substr(percent + 1, static_cast<std::size_t>(length));
    if (ICASE(list[at + 1]) == ICASE(kind) && list[at + 2] == key) return value;
    at = percent + 1 + static_cast<std::size_t>(length);
  }
  return std::nullopt;
}

}  // namespace ksatfit
