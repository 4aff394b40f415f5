#include "errors/characters.hpp"

#include <algorithm>
#include <cstdlib>

#include "ksatfit/errors.hpp"
#include "runtime/one_based.hpp"

namespace ksatfit {
namespace {

int length_of(std::string_view text) { return static_cast<int>(text.size()); }
int length_of(std::span<char> text) { return static_cast<int>(text.size()); }

bool is_digit(char ch) { return ch >= '0' && ch <= '9'; }

int decimal_digits(long long magnitude) {
  int digits = 1;
  while (magnitude >= 10) {
    magnitude /= 10;
    ++digits;
  }
  return digits;
}

// Position of the first character at or after `from` that is not a blank.
int skip_blanks(std::string_view text, int from) {
  while (from <= length_of(text) && text[static_cast<std::size_t>(from - 1)] == ' ') ++from;
  return from;
}

}  // namespace

void C1TIC(int NUM, std::span<char> CHRSTR, int& IER) {
  const int SLEN = length_of(CHRSTR);
  if (SLEN < 1) {
    IER = -1;
    return;
  }
  std::fill(CHRSTR.begin(), CHRSTR.end(), ' ');
  Vec1<char> field(CHRSTR.data());
  // The magnitude in a wider type, so that the most negative integer has one.
  long long magnitude = std::llabs(static_cast<long long>(NUM));
  const int digits = decimal_digits(magnitude);
  const int sign = NUM < 0 ? 1 : 0;
  int pos = SLEN;
  do {
    field(pos) = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
    --pos;
  } while (magnitude > 0 && pos >= 1);
  if (digits > SLEN) {
    IER = digits - SLEN + sign;
  } else if (sign == 1 && pos < 1) {
    IER = 1;
  } else {
    if (sign == 1) field(pos) = '-';
    IER = 0;
  }
}

void C1TCI(std::string_view CHRSTR, int& NUM, int& IER) {
  NUM = 0;
  const int SLEN = length_of(CHRSTR);
  if (SLEN < 1) {
    IER = -1;
    return;
  }
  Vec1<const char> text(CHRSTR.data());
  const int first = skip_blanks(CHRSTR, 1);
  if (first > SLEN) {
    IER = 1;
    return;
  }
  int pos = first;
  const bool negative = text(pos) == '-';
  if (text(pos) == '+' || negative) pos = skip_blanks(CHRSTR, pos + 1);
  if (pos > SLEN || !is_digit(text(pos))) {
    IER = first;
    return;
  }
  long long value = 0;
  for (; pos <= SLEN && is_digit(text(pos)); ++pos) {
    value = value * 10 + (text(pos) - '0');
    if (value > IMACH(5)) {
      IER = -2;
      return;
    }
  }
  NUM = static_cast<int>(negative ? -value : value);
  IER = pos > SLEN ? 0 : pos;
}

void M1VE(std::string_view INSTR, int INBEG, int INEND, std::span<char> OUTSTR,
          int OUTBEG, int OUTEND, int& IER) {
  if (INBEG < 1 || OUTBEG < 1 || INEND < INBEG || OUTEND < OUTBEG ||
      INEND > length_of(INSTR)) {
    IER = -2;
    return;
  }
  if (OUTEND > length_of(OUTSTR)) {
    IER = -1;
    return;
  }
  const int source_count = INEND - INBEG + 1;
  const int moved = std::min(source_count, OUTEND - OUTBEG + 1);
  Vec1<const char> source(INSTR.data());
  Vec1<char> destination(OUTSTR.data());
  for (int k = 0; k < moved; ++k) destination(OUTBEG + k) = source(INBEG + k);
  for (int pos = OUTBEG + moved; pos <= OUTEND; ++pos) destination(pos) = ' ';
  IER = moved - source_count;
}

void M1VECH(std::string_view STR1, std::span<char> STR2) {
  const std::size_t moved = std::min(STR1.size(), STR2.size());
  std::copy_n(STR1.begin(), moved, STR2.begin());
  std::fill(STR2.begin() + static_cast<std::ptrdiff_t>(moved), STR2.end(), ' ');
}

int I1X(std::string_view STR, std::string_view KEY) {
  if (KEY.empty() || KEY.size() > STR.size()) return 0;
  const std::size_t found = STR.find(KEY);
  return found == std::string_view::npos ? 0 : static_cast<int>(found) + 1;
}

int I1DX(std::string_view STR, std::string_view KEY) {
  if (KEY.empty() || KEY.size() > STR.size()) return 0;
  const auto same = [](char a, char b) { return ICASE(a) == ICASE(b); };
  const auto found = std::search(STR.begin(), STR.end(), KEY.begin(), KEY.end(), same);
  return found == STR.end() ? 0 : static_cast<int>(found - STR.begin()) + 1;
}

int I1ERIF(std::string_view STR, std::string_view SET) {
  if (STR.empty() || SET.empty()) return 1;
  const std::size_t found = STR.find_first_not_of(SET);
  return found == std::string_view::npos ? 0 : static_cast<int>(found) + 1;
}

int I1CSTR(std::string_view STR1, std::string_view STR2) {
  if (STR1.empty() || STR2.empty()) {
    const int difference = length_of(STR1) - length_of(STR2);
    return (difference > 0) - (difference < 0);
  }
  const std::size_t longer = std::max(STR1.size(), STR2.size());
  for (std::size_t k = 0; k < longer; ++k) {
    const int a = ICASE(k < STR1.size() ? STR1[k] : ' ');
    const int b = ICASE(k < STR2.size() ? STR2[k] : ' ');
    if (a != b) return a < b ? -1 : 1;
  }
  return 0;
}

int IACHAR(char CH) { return static_cast<unsigned char>(CH); }

int ICASE(char CH) {
  const int code = IACHAR(CH);
  return (CH >= 'a' && CH <= 'z') ? code - ('a' - 'A') : code;
}

void E3PRT(char& CH, int CODE) { CH = static_cast<char>(CODE < 0 ? 0 : CODE); }

}  // namespace ksatfit
