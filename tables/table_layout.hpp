// The layout shared by the table writers: a title, a column of row labels and
// columns of edited cells, each under a heading of one or more lines, written
// on the output unit (UMACH entry 2) within the page width and length.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ksatfit {

struct TableColumn {
  std::vector<std::string> heading;  // heading lines, top to bottom
  int width = 0;                     // field width of the cells
  std::vector<std::string> cells;    // one per row, `width` wide or empty
};

struct TextTable {
  std::vector<std::string> title;          // title lines, centred over the table
  std::vector<std::string> label_heading;  // heading lines over the row labels
  std::vector<std::string> labels;         // one per row
  bool labels_right = false;               // right-aligned (row numbers) or left
  std::vector<TableColumn> columns;
};

// The lines of a title or heading: TEXT split at its "%/" marks, each line
// without leading and trailing blanks; none at all for a blank TEXT.
std::vector<std::string> T1LINES(std::string_view TEXT);

// Writes T. Columns stand two blanks apart, headings right-aligned over them
// and bottom-aligned with each other. Columns that do not fit the page width
// continue in further blocks of whole columns, each with the row labels and
// separated by an empty line; row labels and heading lines too long for any
// page are cut, title lines wrapped. With a page length, a new page starts
// with a form feed and repeats the column headings; a title, its headings and
// the first row are kept on one page.
void T1TAB(const TextTable& T);

}  // namespace ksatfit
