// The one procedure behind ksatcubic, ksatquad and stressquad, and the
// settings in which the three programs differ.
#pragma once

#include <string_view>

namespace ksatfit {

struct DriverVariant {
  std::string_view program;    // names the program in the file runtime's messages
  std::string_view file_name;  // scratch file in the working directory
  int NDEG;                    // degree of the fitted polynomial
  int header_lines;            // lines passed over before the first pair record
  std::string_view title;      // second line of the report
  bool pair_echo;              // echo the pairs after the copied lines

  // Intercept, then one line per power of x up to NDEG.
  constexpr int coefficient_lines() const { return NDEG + 1; }
};

inline constexpr std::string_view kKsatTitle = "          Polynomial Regression Output for ksat";
inline constexpr std::string_view kStressTitle =
    "      Quadratic Regression Output for Effective Stress";

inline constexpr DriverVariant kKsatCubic{"ksatcubic", "temp3", 3, 0, kKsatTitle, false};
inline constexpr DriverVariant kKsatQuad{"ksatquad", "temp3", 2, 12, kKsatTitle, false};
inline constexpr DriverVariant kStressQuad{"stressquad", "temp2", 2, 12, kStressTitle, true};

// Reads the scratch file, fits the polynomial and rewrites the file with the
// report, the saved lines and (if the variant asks for it) the pair echo.
// Returns the exit status of a normal run; every failure ends the process.
int run_driver(const DriverVariant& variant);

}  // namespace ksatfit
