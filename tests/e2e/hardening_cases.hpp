// The three programs with an input on which each runs normally, for the
// whole-program runs on hostile scratch files.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "tests/e2e/program_run.hpp"

namespace ksatfit::test {

// One program with an input on which it runs normally.
struct Case {
  const char* name;
  const Program* program;
  int header;  // lines before the first pair record
};

inline void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

inline std::vector<std::string> sample_pairs() {
  return {pair_line("0.50", ".17448E+00"), pair_line("1.00", ".19423E+00"),
          pair_line("1.50", ".25342E+00"), pair_line("2.00", ".40723E+00"),
          pair_line("2.50", ".52788E+00"), pair_line("3.00", ".73618E+00"),
          pair_line("3.50", ".10984E+01")};
}

inline std::vector<std::string> sample_lines(const Case& c) {
  return concat(header_lines(c.header), sample_pairs());
}

inline std::set<std::string> entries(const std::string& dir) {
  std::set<std::string> names;
  for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator(dir)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// The one line on standard error with which a program reports a file problem.
inline std::string failure_line(const Case& c, const std::string& what) {
  return std::filesystem::path(c.program->path).stem().string() + ": " + c.program->scratch +
         ": " + what + "\n";
}

inline const Case kCases[] = {
    {"ksatcubic", &kKsatCubic, 0},
    {"ksatquad", &kKsatQuad, 12},
    {"stressquad", &kStressQuad, 12},
};

// The runs on hostile files, over the three programs (instantiated once, in
// hardening_test.cpp, for the cases of every platform's files).
class HostileScratchFile : public testing::TestWithParam<Case> {};

inline std::string case_name(const testing::TestParamInfo<Case>& info) {
  return std::string(info.param.name);
}

}  // namespace ksatfit::test
