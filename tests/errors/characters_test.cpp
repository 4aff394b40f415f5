// Results and statuses of the character routines.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "errors/characters.hpp"

namespace ksatfit {
namespace {

TEST(Characters, IntegerToText) {
  struct Case {
    int num;
    int width;
    std::string field;
    int status;
  };
  const Case cases[] = {
      {0, 5, "    0", 0},       {123, 5, "  123", 0},     {-123, 5, " -123", 0},
      {-123, 3, "123", 1},      {12345, 3, "345", 2},     {-12345, 3, "345", 3},
      {7, 0, "", -1},           {-2147483647 - 1, 14, "   -2147483648", 0},
  };
  for (const Case& c : cases) {
    std::string field(static_cast<std::size_t>(c.width), '?');
    int status = 99;
    C1TIC(c.num, field, status);
    EXPECT_EQ(status, c.status) << c.num << " in " << c.width;
    EXPECT_EQ(field, c.field) << c.num << " in " << c.width;
  }
}

TEST(Characters, TextToInteger) {
  struct Case {
    std::string_view text;
    int num;
    int status;
  };
  const Case cases[] = {
      {"  42", 42, 0},   {"- 7", -7, 0},       {"+12x4", 12, 4}, {"   ", 0, 1},
      {"", 0, -1},       {"2147483648", 0, -2}, {"2147483647", 2147483647, 0},
      {"  x1", 0, 3},    {"  -", 0, 3},         {" - x", 0, 2},
  };
  for (const Case& c : cases) {
    int num = 99;
    int status = 99;
    C1TCI(c.text, num, status);
    EXPECT_EQ(status, c.status) << '"' << c.text << '"';
    EXPECT_EQ(num, c.num) << '"' << c.text << '"';
  }
}

TEST(Characters, MoveRanges) {
  struct Case {
    int inbeg, inend, outbeg, outend;
    std::string out;
    int status;
  };
  // Source "ABCDE" into "........".
  const Case cases[] = {
      {1, 3, 2, 6, ".ABC  ..", 0},  {1, 5, 2, 3, ".AB.....", -3}, {2, 2, 8, 8, ".......B", 0},
      {0, 2, 1, 2, "........", -2}, {3, 2, 1, 2, "........", -2}, {1, 6, 1, 2, "........", -2},
      {1, 2, 0, 2, "........", -2}, {1, 2, 8, 9, "........", -1},
  };
  for (const Case& c : cases) {
    std::string out = "........";
    int status = 99;
    M1VE("ABCDE", c.inbeg, c.inend, out, c.outbeg, c.outend, status);
    EXPECT_EQ(status, c.status) << c.inbeg << ":" << c.inend << " -> " << c.outbeg << ":" << c.outend;
    EXPECT_EQ(out, c.out) << c.inbeg << ":" << c.inend << " -> " << c.outbeg << ":" << c.outend;
  }
  std::string padded = "xxxx";
  M1VECH("AB", padded);
  EXPECT_EQ(padded, "AB  ");
  std::string cut = "xxx";
  M1VECH("ABCDEF", cut);
  EXPECT_EQ(cut, "ABC");
}

TEST(Characters, Searches) {
  EXPECT_EQ(I1X("ABCDCD", "CD"), 3);
  EXPECT_EQ(I1X("ABCDEF", "cd"), 0);
  EXPECT_EQ(I1DX("ABCDEF", "cd"), 3);
  EXPECT_EQ(I1X("AB", "ABC"), 0);
  EXPECT_EQ(I1DX("AB", ""), 0);
  EXPECT_EQ(I1X("", "A"), 0);
  EXPECT_EQ(I1ERIF("   AB", " "), 4);
  EXPECT_EQ(I1ERIF("   ", " "), 0);
  EXPECT_EQ(I1ERIF("", " "), 1);
  EXPECT_EQ(I1ERIF("AB", ""), 1);
}

TEST(Characters, Comparison) {
  struct Case {
    std::string_view a, b;
    int result;
  };
  const Case cases[] = {
      {"abc", "ABC", 0}, {"ABC", "abd", -1}, {"ABD", "abc", 1}, {"AB", "AB  ", 0},
      {"AB!", "AB", 1},  {"AB", "AB!", -1},  {"", "A", -1},     {"A", "", 1}, {"", "", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(I1CSTR(c.a, c.b), c.result) << c.a << " vs " << c.b;
}

TEST(Characters, Codes) {
  EXPECT_EQ(IACHAR('A'), 65);
  EXPECT_EQ(IACHAR('a'), 97);
  EXPECT_EQ(ICASE('a'), 65);
  EXPECT_EQ(ICASE('z'), 90);
  EXPECT_EQ(ICASE('A'), 65);
  EXPECT_EQ(ICASE('{'), 123);
  char ch = 'x';
  E3PRT(ch, 66);
  EXPECT_EQ(ch, 'B');
  E3PRT(ch, -5);
  EXPECT_EQ(ch, '\0');
}

}  // namespace
}  // namespace ksatfit
