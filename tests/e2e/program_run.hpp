// Running one of the programs on a scratch file in a fresh working directory,
// and the pieces from which the tests build input files and expected output.
#pragma once

#include <string>
#include <vector>

#include "tests/support/temp_dir.hpp"
#include "tests/support/transcript.hpp"

namespace ksatfit::test {

struct Program {
  std::string path;
  const char* scratch;  // name of the scratch file it reads and rewrites
};

inline const Program kKsatCubic{build_tree_path(KSATCUBIC_PATH), "temp3"};
inline const Program kKsatQuad{build_tree_path(KSATQUAD_PATH), "temp3"};
inline const Program kStressQuad{build_tree_path(STRESSQUAD_PATH), "temp2"};

struct ProgramRun {
  ChildRun console;
  bool file_exists = false;
  std::string file;  // the scratch file's bytes after the run
};

// Writes `input` as the scratch file (unless `input` is null: no file at
// all), runs the program in its own temporary directory and collects the
// console transcript and the scratch file afterwards.
ProgramRun run_on(const Program& program, const std::string* input);
ProgramRun run_on(const Program& program, const std::string& input);

// The lines joined, each followed by the given terminator.
std::string joined(const std::vector<std::string>& lines, const std::string& end = "\r\n");

// A pair record: blank, X right-justified in columns 2-9, blank, Y
// right-justified in columns 11-22, then `rest` from column 23 on.
std::string pair_line(const std::string& x, const std::string& y, const std::string& rest = "");

// A value given in units of 10^-decimals, written with its point and
// right-justified in `width` columns: fixed(-175, 2, 8) is "   -1.75".
std::string fixed(long long units, int decimals, int width);

// What the programs write back for the lines they saved: the first 40
// lines, each cut or blank-padded to 80 columns.
std::vector<std::string> copied(const std::vector<std::string>& lines);

std::vector<std::string> concat(std::vector<std::string> a, const std::vector<std::string>& b);

// Header lines of the kind a front end writes above the pairs.
std::vector<std::string> header_lines(int count);

}  // namespace ksatfit::test
