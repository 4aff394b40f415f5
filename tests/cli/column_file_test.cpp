// The data reader: every dialect, missing values, column selection, scratch
// records, and the one-line message of each kind of bad input.
#include "cli/column_file.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace ksatfit::cli {
namespace {

struct Dialect {
  const char* name;
  std::string text;
  ColumnRequest columns;
  char separator;
  bool header;
  std::vector<float> x, y;  // NaN where missing
};

constexpr float kNaN = NAN;

void expect_same(const std::vector<float>& got, const std::vector<float>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    if (std::isnan(want[i])) {
      EXPECT_TRUE(std::isnan(got[i])) << i;
    } else {
      EXPECT_EQ(got[i], want[i]) << i;
    }
  }
}

TEST(ColumnFile, ReadsEveryDialect) {
  const Dialect cases[] = {
      {"comma with header", "x,y\n1,2\n3,4.5\n", {}, ',', true, {1, 3}, {2, 4.5f}},
      {"comma, CRLF, quotes", "\"a\",\"b\"\r\n1,2\r\n3,4\r\n", {"b", "a", "", ""}, ',', true,
       {2, 4}, {1, 3}},
      {"semicolon, decimal comma", "# lab run\nx;y\n0,5;1,25\n-1,5e2;+2\n", {}, ';', true,
       {0.5f, -150}, {1.25f, 2}},
      {"tab, no header", "1\t2\t3\n4\t5\t6\n", {"3", "1", "", ""}, '\t', false, {3, 6}, {1, 4}},
      {"blanks, no header", "  .52   .17448E+00\n\n  .54   .19423E+00  \n", {}, ' ', false,
       {.52f, .54f}, {.17448f, .19423f}},
      {"blanks with header and comments", "# depth stress\n d  s\n#x\n1 2\n", {}, ' ', true, {1},
       {2}},
      {"missing cells", "x,y\n1,\n,2\nNA,3\n4,NaN\n5,6\n", {}, ',', true,
       {1, kNaN, kNaN, 4, 5}, {kNaN, 2, 3, kNaN, 6}},
      {"byte-order mark", "\xEF\xBB\xBF" "1,2\n3,4\n", {}, ',', false, {1, 3}, {2, 4}},
      {"text in an unused column", "id,x,y\nA7,1,2\nB2,3,4\n", {"x", "y", "", ""}, ',', true,
       {1, 3}, {2, 4}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const FitData data = read_columns(c.text, c.columns, 0);
    EXPECT_EQ(data.separator, c.separator);
    EXPECT_EQ(data.has_header, c.header);
    expect_same(data.x, c.x);
    expect_same(data.y, c.y);
  }
}

TEST(ColumnFile, NamesWeightsAndSkip) {
  const FitData data =
      read_columns("title line\nskip me\nx,y,w,f\n1,2,0.5,3\n2,3,,1\n", {"", "", "w", "f"}, 2);
  EXPECT_EQ(data.x_name, "x");
  EXPECT_EQ(data.y_name, "y");
  expect_same(data.weights, {0.5f, kNaN});
  expect_same(data.frequencies, {3, 1});
  EXPECT_EQ(data.lines, (std::vector<int>{4, 5}));  // the file's own line numbers
  EXPECT_EQ(read_columns("x,y\n# note\n\n1,2\n3,4\n", {}, 0).lines, (std::vector<int>{4, 5}));
  EXPECT_EQ(read_columns("1 2\n", {}, 0).x_name, "1");
}

// The group column is text, by name or number, cell by cell as written
// (without the blanks and quotes around it).
TEST(ColumnFile, GroupColumnIsReadAsText) {
  const std::string text = "x,lot,y\n1, A-7 ,2\n2,\"B\",3\n3,,4\n4,07,5\n";
  for (const char* column : {"lot", "2"}) {
    ColumnRequest request;
    request.y = "y";
    request.group = column;
    const FitData data = read_columns(text, request, 0);
    EXPECT_EQ(data.group_name, "lot");
    EXPECT_EQ(data.groups, (std::vector<std::string>{"A-7", "B", "", "07"}));
    expect_same(data.y, {2, 3, 4, 5});
  }
}

TEST(ColumnFile, BadInputNamesLineAndColumn) {
  const struct {
    std::string text;
    ColumnRequest columns;
    std::string message;
  } cases[] = {
      {"", {}, "no data (the file is empty or holds only comments)"},
      {"# only\n\n", {}, "no data (the file is empty or holds only comments)"},
      {"x,y\n", {}, "no data rows below the header line"},
      {"x,y\n1,2\n1.2.3,4\n", {}, "line 3, column \"x\": \"1.2.3\" is not a number"},
      {"x,y\n1,2\n\n3\n", {}, "line 4: 1 value where the file has 2 columns"},
      {"x,y\n1,2,3\n", {}, "line 2: 3 values where the file has 2 columns"},
      {"x,y\n1,inf\n", {}, "line 2, column \"y\": \"inf\" is not a finite number"},
      {"x,y\n1,1e39\n", {}, "line 2, column \"y\": \"1e39\" is out of the range of single precision"},
      {"1,2\n", {"", "3", "", ""}, "there is no column 3 (the file has 2)"},
      {"x,y\n1,2\n", {"z", "", "", ""}, "there is no column \"z\" (the columns are \"x\", \"y\")"},
      {"1,2\n", {"x", "", "", ""}, "there is no column \"x\" (the file has no header line)"},
      {"x,y\n1,2\n1,2\n", {"", "", "", "0"}, "there is no column 0 (the file has 2)"},
      {"x;y\n1,2,3;4\n", {}, "line 2, column \"x\": \"1,2,3\" is not a number"},
      {"x,y\n1,--2\n", {}, "line 2, column \"y\": \"--2\" is not a number"},
      {"x,y\n1,+-2\n", {}, "line 2, column \"y\": \"+-2\" is not a number"},
      // A stray carriage return is shown, not sent to the terminal.
      {"x,y\r\n1,0\r\r\n", {}, "line 2, column \"y\": \"0\\r\" is not a number"},
      {"x,y\n1\r,2\n", {}, "line 2, column \"x\": \"1\\r\" is not a number"},
      {"x,y\n1,2\x01\n", {}, "line 2, column \"y\": \"2\\x01\" is not a number"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      read_columns(c.text, c.columns, 0);
      ADD_FAILURE() << "no error";
    } catch (const InputError& e) {
      EXPECT_EQ(e.what(), c.message);
    }
  }
}

TEST(ScratchFile, ReadsPairRecordsInTheirColumns) {
  const FitData data = read_scratch("header 1\nheader 2\n      .52   .17448E+00\n   12345    12345\n\n", 2);
  // Without a point, F8.2 and E12.5 imply one before the last 2 and 5 digits.
  expect_same(data.x, {.52f, 123.45f});
  expect_same(data.y, {.17448f, .12345f});
  EXPECT_EQ(data.lines, (std::vector<int>{3, 4}));
  try {
    read_scratch("      .52   .17448E+00\n      x.5   1\n", 0);
    ADD_FAILURE() << "no error";
  } catch (const InputError& e) {
    EXPECT_STREQ(e.what(), "line 2, columns 2-9: \"     x.5\" is not a number");
  }
  EXPECT_THROW(read_scratch("\n\n", 0), InputError);
}

}  // namespace
}  // namespace ksatfit::cli
