#include "tables/table_layout.hpp"

#include <algorithm>
#include <cstddef>

#include "ksatfit/errors.hpp"
#include "runtime/console.hpp"
#include "tables/print_options.hpp"

namespace ksatfit {
namespace {

constexpr int kGap = 2;  // blanks before each column

int length_of(std::string_view text) { return static_cast<int>(text.size()); }

std::string_view trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// `text` cut to w characters and padded with blanks on the left or right.
std::string padded(std::string_view text, int w, bool right) {
  const std::string_view cut = text.substr(0, static_cast<std::size_t>(w));
  const std::string blanks(static_cast<std::size_t>(w) - cut.size(), ' ');
  return right ? blanks + std::string(cut) : std::string(cut) + blanks;
}

int longest(const std::vector<std::string>& lines) {
  int n = 0;
  for (const std::string& line : lines) n = std::max(n, length_of(line));
  return n;
}

// Line k of `lines` when they stand at the bottom of `total` lines.
std::string_view bottom_aligned(const std::vector<std::string>& lines, int k, int total) {
  const int i = k - (total - static_cast<int>(lines.size()));
  return i >= 0 ? std::string_view(lines[static_cast<std::size_t>(i)]) : std::string_view{};
}

// A title line longer than the page, broken at its last blank that fits (or
// cut where there is none).
std::vector<std::string> wrapped(std::string_view line, int page_width) {
  std::vector<std::string> out;
  const std::size_t width = static_cast<std::size_t>(page_width);
  while (line.size() > width) {
    const std::size_t blank = line.rfind(' ', width);
    const std::size_t end = blank == std::string_view::npos || blank == 0 ? width : blank;
    out.emplace_back(trimmed(line.substr(0, end)));
    line = trimmed(line.substr(end));
  }
  out.emplace_back(line);
  return out;
}

// Column widths and the blocks of whole columns that fit the page. The row
// labels are cut where even the widest field would not fit beside them, and a
// heading widens its column only as far as the page allows.
struct Layout {
  int label_width = 0;
  std::vector<int> widths;
  std::vector<std::size_t> block_starts;  // first column of each block
  int heading_lines = 0;
};

Layout lay_out(const TextTable& t, int page_width) {
  Layout lay;
  int widest_field = 0;
  for (const TableColumn& c : t.columns) widest_field = std::max(widest_field, c.width);
  const int room = t.columns.empty() ? page_width : page_width - kGap - widest_field;
  lay.label_width = std::min(std::max(longest(t.labels), longest(t.label_heading)), room);
  lay.heading_lines = static_cast<int>(t.label_heading.size());
  int used = page_width;  // so that the first column opens a block
  for (std::size_t j = 0; j < t.columns.size(); ++j) {
    const TableColumn& c = t.columns[j];
    const int width =
        std::max(c.width, std::min(longest(c.heading), page_width - kGap - lay.label_width));
    lay.widths.push_back(width);
    lay.heading_lines = std::max(lay.heading_lines, static_cast<int>(c.heading.size()));
    if (used + kGap + width > page_width) {
      lay.block_starts.push_back(j);
      used = lay.label_width;
    }
    used += kGap + width;
  }
  if (lay.block_starts.empty()) lay.block_starts.push_back(0);
  return lay;
}

// The lines of a table go through one writer, which counts them on the page.
class PageWriter {
 public:
  PageWriter() : length_(T1OPT(kPageLengthOption)) { UMACH(2, unit_); }

  void line(std::string_view text) {
    rt::write_line(unit_, text.substr(0, text.find_last_not_of(' ') + 1));
    ++lines_on_page();
  }

  // Starts a new page unless `needed` more lines fit on this one (or nothing
  // has been written on it yet); true when it did.
  bool new_page_unless_room(int needed) {
    if (length_ == 0 || lines_on_page() == 0 || lines_on_page() + needed <= length_) {
      return false;
    }
    lines_on_page() = 0;
    line("\f");
    return true;
  }

 private:
  int unit_ = 6;
  int length_;
};

class BlockWriter {
 public:
  BlockWriter(const TextTable& t, const Layout& lay, std::size_t first, std::size_t last)
      : t_(t), lay_(lay), first_(first), last_(last) {}

  int width() const {
    int w = lay_.label_width;
    for (std::size_t j = first_; j < last_; ++j) w += kGap + lay_.widths[j];
    return w;
  }

  std::vector<std::string> headings() const {
    std::vector<std::string> lines;
    for (int k = 0; k < lay_.heading_lines; ++k) {
      std::string line = label(bottom_aligned(t_.label_heading, k, lay_.heading_lines));
      for (std::size_t j = first_; j < last_; ++j) {
        line += cell(j, bottom_aligned(t_.columns[j].heading, k, lay_.heading_lines));
      }
      lines.push_back(line);
    }
    return lines;
  }

  std::string row(std::size_t i) const {
    std::string line = label(t_.labels[i]);
    for (std::size_t j = first_; j < last_; ++j) line += cell(j, t_.columns[j].cells[i]);
    return line;
  }

 private:
  std::string label(std::string_view text) const {
    return padded(text, lay_.label_width, t_.labels_right);
  }
  std::string cell(std::size_t j, std::string_view text) const {
    return std::string(kGap, ' ') + padded(text, lay_.widths[j], true);
  }

  const TextTable& t_;
  const Layout& lay_;
  std::size_t first_, last_;
};

std::vector<std::string> centred_title(const TextTable& t, int over, int page_width) {
  std::vector<std::string> lines;
  for (const std::string& line : t.title) {
    for (const std::string& part : wrapped(line, page_width)) {
      const int indent = std::max(0, (over - length_of(part)) / 2);
      lines.push_back(std::string(static_cast<std::size_t>(indent), ' ') + part);
    }
  }
  return lines;
}

}  // namespace

std::vector<std::string> T1LINES(std::string_view TEXT) {
  std::vector<std::string> lines;
  if (trimmed(TEXT).empty()) return lines;
  std::size_t start = 0;
  while (true) {
    const std::size_t mark = TEXT.find("%/", start);
    lines.emplace_back(trimmed(TEXT.substr(start, mark - start)));
    if (mark == std::string_view::npos) return lines;
    start = mark + 2;
  }
}

void T1TAB(const TextTable& T) {
  const int page_width = T1OPT(kPageWidthOption);
  const Layout lay = lay_out(T, page_width);
  const int rows = static_cast<int>(T.labels.size());
  PageWriter page;
  for (std::size_t b = 0; b < lay.block_starts.size(); ++b) {
    const std::size_t last =
        b + 1 < lay.block_starts.size() ? lay.block_starts[b + 1] : T.columns.size();
    const BlockWriter block(T, lay, lay.block_starts[b], last);
    const std::vector<std::string> headings = block.headings();
    const std::vector<std::string> opening =
        b == 0 ? centred_title(T, block.width(), page_width) : std::vector<std::string>{""};
    const int needed = static_cast<int>(opening.size() + headings.size()) + std::min(rows, 1);
    if (!page.new_page_unless_room(needed) || b == 0) {
      for (const std::string& line : opening) page.line(line);
    }
    for (const std::string& line : headings) page.line(line);
    for (int i = 0; i < rows; ++i) {
      if (page.new_page_unless_room(1)) {
        for (const std::string& line : headings) page.line(line);
      }
      page.line(block.row(static_cast<std::size_t>(i)));
    }
  }
}

}  // namespace ksatfit
