// The fixed-column records of the scratch file: the saved text lines, the
// pair records, the report and the pair echo.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "drivers/driver.hpp"

namespace ksatfit {

// At most this many lines are saved and this many pairs are fitted.
inline constexpr int kDriverCapacity = 40;
// Width of a saved text line (A80).
inline constexpr std::size_t kSavedLineWidth = 80;
// Coefficients of the cubic, the highest degree any program fits.
inline constexpr int kMaxCoefficients = 4;

static_assert(kKsatCubic.coefficient_lines() <= kMaxCoefficients &&
              kKsatQuad.coefficient_lines() <= kMaxCoefficients &&
              kStressQuad.coefficient_lines() <= kMaxCoefficients);

// A line as it is saved and copied back: cut or blank-padded to 80 columns.
std::string saved_line(std::string_view line);

// Reads the pair record 1X, F8.2, 1X, E12.5. On a conversion error returns
// false and says which field failed, quoting its text, in `problem`.
bool read_pair(std::string_view line, float& X, float& Y, std::string& problem);

// The report lines, from the empty first line to the two empty last ones:
// R-squared in percent STAT(5), the coefficients B, the number of pairs IC
// and the degrees of freedom for regression STAT(6).
std::vector<std::string> report_lines(const DriverVariant& variant, const float* STAT,
                                      const float* B, int IC);

// One line of the pair echo: " X=", F8.2, "  Y=", E12.5, four blanks.
std::string echo_line(float X, float Y);

}  // namespace ksatfit
