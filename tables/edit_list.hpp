// Edit-descriptor lists of the table writers, such as "(2W10.4,F9.3,F7.4)",
// and the editing of one value by one descriptor.
//
//   Iw    the value rounded to a whole number
//   Fw.d  fixed form with d decimals
//   Ew.d  exponent form with d digits after the point (0.1234E+05)
//   Ww.d  the narrowest fixed form that shows d significant digits, or the
//         exponent form d.ddd...E+xx when no fixed form of width w does
//
// A count before a descriptor repeats it; blanks are ignored and letters may be
// lower case. Widths are 1 to 30; F takes 0 to w-1 decimals, E 1 to w-1, W 1
// to 9 significant digits. A NaN prints as "NaN" and the infinities as "Inf"
// and "-Inf", right-aligned; a value that does not fit gives w asterisks.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ksatfit {

struct FieldEdit {
  char kind;  // 'I', 'F', 'E' or 'W'
  int w;
  int d;      // decimals (F, E), significant digits (W), 0 (I)
};

inline constexpr int kMaxFieldWidth = 30;

// Parses FMT into one entry per field (repeats expanded); false when FMT is
// not a valid list (LIST is then unspecified).
bool T1LIST(std::string_view FMT, std::vector<FieldEdit>& LIST);

// X edited by EDIT in exactly EDIT.w characters. A zero stands before the
// decimal point when the leading zero option is 1: always in W's fixed form,
// in F and E form when the field has room for it.
std::string T1EDIT(float X, const FieldEdit& EDIT);

}  // namespace ksatfit
