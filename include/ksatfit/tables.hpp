// ksatfit/tables.hpp: the table writers, which print a labelled matrix or an
// analysis-of-variance table on the unit of UMACH entry 2 (ksatfit/errors.hpp).
//
// Matrices are column-major, a pointer to the first element and a leading
// dimension. Texts are string views; in titles and headings "%/" starts a new
// line. The writers are not reentrant: call them from one thread at a time.
#pragma once

#include <string_view>

namespace ksatfit {

// table printing, on the unit of UMACH entry 2
// Print options: 1 page width (40 to 255 columns, initially 78), 2 page length
// (0 = no page breaks, the initial value, or at least 10 lines), 3 a zero
// before the decimal point (1, initially, or 0).
void  TABSET(int IOPT, int IVAL);
void  TABGET(int IOPT, int& IVAL);
// A labelled matrix: FMT is a list such as "(2W10.4,F9.3,F7.4)" whose entries
// edit the columns in turn; RHEAD heads the row labels, which are RLABEL's NRA
// texts or, when RLABEL is null, the row numbers; CLABEL holds NCA column
// headings, or is null for the column numbers.
void  TABMAT(std::string_view TITLE, int NRA, int NCA, const float* A, int LDA,
             std::string_view FMT, std::string_view RHEAD, const std::string_view* RLABEL,
             const std::string_view* CLABEL);
// The analysis-of-variance table of the 15-element AOV vector of G1AOV, rows
// labelled by RLABEL's three texts, and the statistics of the fit below it.
void  TABAOV(std::string_view TITLE, const std::string_view* RLABEL, const float* AOV);

}  // namespace ksatfit
