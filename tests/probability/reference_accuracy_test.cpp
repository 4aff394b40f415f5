// Accuracy of the probability functions against reference values computed
// in 40-digit arithmetic by tests/probability/make_reference.py (mpmath).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>

#include "errors/error_layer.hpp"
#include "ksatfit/probability.hpp"

namespace ksatfit {
namespace {

enum class Fn { GAMMA, ALNGAM, R9LGMC, ALNREL, ERFC, ALBETA, BETAI, FDF, TDF };

struct ReferenceRow {
  Fn fn;
  float a;
  float b;
  float c;
  double ref;
};

constexpr ReferenceRow kReference[] = {
#include "tests/probability/data/reference.inc"
};

const char* name_of(Fn fn) {
  switch (fn) {
    case Fn::GAMMA: return "GAMMA";
    case Fn::ALNGAM: return "ALNGAM";
    case Fn::R9LGMC: return "R9LGMC";
    case Fn::ALNREL: return "ALNREL";
    case Fn::ERFC: return "ERFC";
    case Fn::ALBETA: return "ALBETA";
    case Fn::BETAI: return "BETAI";
    case Fn::FDF: return "FDF";
    case Fn::TDF: return "TDF";
  }
  return "?";
}

float evaluate(const ReferenceRow& row) {
  switch (row.fn) {
    case Fn::GAMMA: return GAMMA(row.a);
    case Fn::ALNGAM: return ALNGAM(row.a);
    case Fn::R9LGMC: return R9LGMC(row.a);
    case Fn::ALNREL: return ALNREL(row.a);
    case Fn::ERFC: return ERFC(row.a);
    case Fn::ALBETA: return ALBETA(row.a, row.b);
    case Fn::BETAI: return BETAI(row.a, row.b, row.c);
    case Fn::FDF: return FDF(row.a, row.b, row.c);
    case Fn::TDF: return TDF(row.a, row.b);
  }
  return NAN;
}

constexpr double kEps = 1.0 / 8388608.0;  // 2^-23, the spacing of floats in [1, 2)

// Error of a computed value in units of kEps relative to the reference.
double relative_error(float computed, double ref) {
  const double diff = std::fabs(static_cast<double>(computed) - ref);
  if (ref == 0.0) return diff == 0.0 ? 0.0 : INFINITY;
  return diff / std::fabs(ref) / kEps;
}

double absolute_error(float computed, double ref) {
  return std::fabs(static_cast<double>(computed) - ref) / kEps;
}

std::string arguments(const ReferenceRow& row) {
  char text[96];
  std::snprintf(text, sizeof text, "(%.9g, %.9g, %.9g)", row.a, row.b, row.c);
  return text;
}

// The error bound of a class of rows, in units of kEps, on the relative or
// the absolute error.
struct Bound {
  std::string group;
  double units;
  bool absolute;
};

// Special functions: relative error. GAMMA above 10 takes exp() of Stirling's
// sum, whose terms reach about 100 in magnitude, so their rounding becomes a
// relative error of tens of units; the logarithms ALNGAM and ALBETA lose
// relative accuracy only next to their zeros (ALNGAM at 1 and 2, ln B near 1).
//
// Distribution functions: absolute error, since an upper tail formed as 1
// minus the function (and BETAI's other tail, complemented) carries an error
// of the size of 1's spacing whatever the size of the value.
// - Shapes in the hundreds: the finite sum runs a recurrence over up to q
//   terms, one rounding each, and the log of its first term adds terms of
//   several hundred; together about 100 units.
// - FDF forms DFD + DFN F in single precision; when DFN F is below 1e-3 DFD
//   few of its bits survive, and 1 - X, which the result depends on, carries
//   a relative error of up to eps DFD / (2 DFN F).
// - TDF for DF below 20 and not whole uses the normal approximation of the
//   transformed t, good to about 1e-3 there.
Bound bound_for(const ReferenceRow& row) {
  const std::string name = name_of(row.fn);
  switch (row.fn) {
    case Fn::GAMMA: return {name, 64.0, false};
    case Fn::ALNGAM: return {name, 8.0, false};
    case Fn::R9LGMC: return {name, 4.0, false};
    case Fn::ALNREL: return {name, 2.0, false};
    case Fn::ERFC: return {name, 2.0, false};
    case Fn::ALBETA: return {name, 16.0, false};
    case Fn::BETAI:
      if (std::max(row.b, row.c) <= 20.0f) return {"BETAI shapes <= 20", 8.0, true};
      return {"BETAI shapes > 20", 256.0, true};
    case Fn::FDF:
      if (static_cast<double>(row.b) * row.a >= 1e-3 * row.c) return {name, 256.0, true};
      return {"FDF DFN*F < 1e-3 DFD", 8192.0, true};
    case Fn::TDF:
      if (row.b < 20.0f && std::trunc(row.b) != row.b) return {"TDF DF < 20 not whole", 10000.0, true};
      return {name, 2.0, true};
  }
  return {name, 0.0, false};
}

struct Summary {
  Bound bound;
  int rows = 0;
  double relative = -1.0;
  const ReferenceRow* at_relative = nullptr;
  double absolute = -1.0;
  const ReferenceRow* at_absolute = nullptr;
};

class ReferenceAccuracy : public ::testing::Test {
 protected:
  void SetUp() override { reset_error_state_for_tests(); }
};

TEST_F(ReferenceAccuracy, EveryFunctionStaysWithinItsBoundOverTheReferenceTable) {
  std::map<std::string, Summary> groups;
  for (const ReferenceRow& row : kReference) {
    const float computed = evaluate(row);
    const double rel = relative_error(computed, row.ref);
    const double abs = absolute_error(computed, row.ref);
    const Bound bound = bound_for(row);
    EXPECT_LE(bound.absolute ? abs : rel, bound.units)
        << name_of(row.fn) << arguments(row) << " = " << computed << ", reference " << row.ref;

    Summary& g = groups[bound.group];
    g.bound = bound;
    ++g.rows;
    if (rel > g.relative) {
      g.relative = rel;
      g.at_relative = &row;
    }
    if (abs > g.absolute) {
      g.absolute = abs;
      g.at_absolute = &row;
    }
  }

  std::printf("Largest errors in units of 2^-23 against the reference table\n");
  std::printf("%-21s %5s %7s %10s  %-34s %8s  %s\n", "group", "rows", "bound", "relative", "at",
              "absolute", "at");
  for (const auto& [name, g] : groups) {
    std::printf("%-21s %5d %4.0f %s %10.4g  %-34s", name.c_str(), g.rows, g.bound.units,
                g.bound.absolute ? "ab" : "re", g.relative, arguments(*g.at_relative).c_str());
    if (g.bound.absolute) {
      std::printf(" %8.1f  %s", g.absolute, arguments(*g.at_absolute).c_str());
    }
    std::printf("\n");
    RecordProperty("max_relative_error " + name, std::to_string(g.relative));
    RecordProperty("max_absolute_error " + name, std::to_string(g.absolute));
  }
}

}  // namespace
}  // namespace ksatfit
