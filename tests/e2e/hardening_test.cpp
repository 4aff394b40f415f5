// Whole-program runs on hostile scratch files: a directory, binary bytes
// among the pair fields and elsewhere, and abscissas that coincide once they
// are scaled. Every failure ends with exit status 2 and one line on standard
// error (bytes that are not printable shown as \xHH), and leaves the scratch
// file exactly as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "tests/e2e/hardening_cases.hpp"
#include "tests/e2e/program_run.hpp"

namespace ksatfit::test {
namespace {

namespace fs = std::filesystem;

TEST_P(HostileScratchFile, DirectoryIsRefusedAndLeftAlone) {
  const Case& c = GetParam();
  TempDir dir;
  const std::string scratch = dir.file(c.program->scratch);
  fs::create_directory(scratch);
  const ChildRun run = run_program(c.program->path, dir.path());
  EXPECT_EQ(run.exit_status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, failure_line(c, "cannot open the scratch file: not a regular file"));
  EXPECT_TRUE(fs::is_directory(scratch));
  EXPECT_TRUE(fs::is_empty(scratch));
  EXPECT_EQ(entries(dir.path()), std::set<std::string>{c.program->scratch});
}

struct NulField {
  const char* name;     // "X" or "Y"
  const char* columns;  // as the message gives them
  int pair;             // which pair record (1-based) carries the NULs
  std::size_t nul_at;   // 0-based positions of the NULs in the line
  std::size_t nuls;
  const char* shown;    // the field as the message quotes it
};

TEST_P(HostileScratchFile, NulBytesInTheFieldsAreConversionErrors) {
  const Case& c = GetParam();
  for (const NulField& f : {NulField{"X", "2-9", 3, 6, 1, R"(    1\x0050)"},
                            NulField{"Y", "11-22", 5, 12, 2, R"(  \x00\x002788E+00)"}}) {
    SCOPED_TRACE(f.name);
    std::vector<std::string> lines = sample_lines(c);
    const int line = c.header + f.pair;
    std::string& record = lines[static_cast<std::size_t>(line - 1)];
    record.replace(f.nul_at, f.nuls, std::string(f.nuls, '\0'));
    const std::string input = joined(lines);
    const ProgramRun run = run_on(*c.program, input);
    EXPECT_EQ(run.console.exit_status, 2);
    EXPECT_EQ(run.console.out, "");
    EXPECT_EQ(run.console.err,
              failure_line(c, "line " + std::to_string(line) + ": the " + f.name +
                                  " field (columns " + f.columns + ") holds \"" + f.shown +
                                  "\", which is not a number"));
    EXPECT_EQ(run.file, input);
  }
}

TEST_P(HostileScratchFile, NulBytesOutsideTheFieldsAreCopiedBack) {
  const Case& c = GetParam();
  std::vector<std::string> lines = sample_lines(c);
  lines.back() += std::string("  remark\0with a NUL", 19);
  if (c.header > 0) lines[3] = std::string("header\0\0line", 12);
  const ProgramRun with_nul = run_on(*c.program, joined(lines));
  const ProgramRun plain = run_on(*c.program, joined(sample_lines(c)));
  EXPECT_EQ(with_nul.console.exit_status, 0);
  EXPECT_EQ(with_nul.console.out, plain.console.out);
  // The same run, but with the lines copied back as they stood, NULs and all.
  std::string expected = plain.file;
  const std::string plain_copy = joined(copied(sample_lines(c)));
  const std::size_t at = expected.find(plain_copy);
  ASSERT_NE(at, std::string::npos);
  expected.replace(at, plain_copy.size(), joined(copied(lines)));
  EXPECT_EQ(with_nul.file, expected);
}

// Abscissas that differ by less than single precision resolves over their
// range become one once they are scaled to -2 .. 2: .00, .01 and .02 against
// 9999999. leave two distinct scaled values. The fit ends at the degree those
// support, with the warning for too few distinct abscissas, rather than
// handing the summary statistics a basis polynomial that vanishes (which
// stopped the program with an argument error of an internal routine).
TEST(WholeRun, AbscissasThatCoincideOnceScaledFitTheDegreeTheySupport) {
  const std::vector<std::string> lines{
      pair_line(".00", "1.00000"), pair_line(".01", "2.00000"), pair_line(".02", "3.00000"),
      pair_line("9999999.", "5.00000")};
  const ProgramRun run = run_on(kKsatCubic, joined(lines));
  EXPECT_EQ(run.console.exit_status, 0);
  EXPECT_EQ(run.console.out,
            "\n"
            " *** WARNING  ERROR 5 from RCURV.  A degree 1 polynomial is fitted.  There\n"
            " ***          are only 2 distinct abscissas, so a higher degree polynomial \n"
            " ***          fit cannot be computed.\n");
  EXPECT_EQ(run.console.err, "");
  EXPECT_NE(run.file.find("\r\n         4   No. of Observations\r\n"
                          "   1.00000 Degrees of Freedom \r\n"),
            std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(WholeRun, HostileScratchFile, testing::ValuesIn(kCases), case_name);

}  // namespace
}  // namespace ksatfit::test
