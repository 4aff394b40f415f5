// Formatted conversion of numbers to fixed-width text and back, by the rules
// of the classic edit descriptors Fw.d, Ew.d, 1PEw.d and Iw.
#pragma once

#include <string>
#include <string_view>

namespace ksatfit::rt {

// Output editing. Every result is exactly w characters wide. The decimal
// digits are those of the float converted exactly to double, rounded on the
// first dropped digit (ties away from zero). No zero stands before the point
// unless no digit would appear at all; a value whose kept digits are all zero
// carries no minus sign; a value that does not fit gives w asterisks; NaN is
// "1#QNAN" and an infinity "1#INF", each followed by periods to the width.
std::string edit_F(float value, int w, int d);    // Fw.d
std::string edit_E(float value, int w, int d);    // Ew.d:   .ddddE+xx
std::string edit_1PE(float value, int w, int d);  // 1PEw.d: d.ddddE+xx
std::string edit_I(int value, int w);             // Iw

// Input editing. field_text gives the w columns that start at column `first`
// (1-based) of `line`; columns beyond the end of the line read as blanks.
std::string field_text(std::string_view line, int first, int w);

// Converts one F or E input field (both read alike): blanks are ignored, an
// all-blank field is zero, a field without a point has one implied before its
// last d digits, an optional sign, and an exponent written as E or D (either
// case) with an optionally signed integer, or a signed integer alone. Returns
// false for anything else (the field is then a conversion error).
bool read_real(std::string_view field, int d, float& value);
bool read_real(std::string_view field, int d, double& value);  // the same, in double

}  // namespace ksatfit::rt
