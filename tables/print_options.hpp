// The print options of the table writers (set and queried by the user through
// TABSET and TABGET in ksatfit/tables.hpp) and the writers' place on the current page.
// Both last for the life of the process.
#pragma once

namespace ksatfit {

// Option numbers of TABSET and TABGET.
inline constexpr int kPageWidthOption = 1;   // columns per line, 40 to 255 (78)
inline constexpr int kPageLengthOption = 2;  // lines per page, 0 = no page breaks (0)
inline constexpr int kLeadingZeroOption = 3; // 1: 0.5000, 0: .5000 (1)

// The value of a valid option number, without checks.
int T1OPT(int IOPT);

// Lines the writers have written on the current page since its start; setting
// the page length starts a new count.
int& lines_on_page();

// Puts every option back to its initial value and the page count to 0. For
// tests only.
void reset_print_options_for_tests();

}  // namespace ksatfit
