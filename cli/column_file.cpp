#include "cli/column_file.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <type_traits>

#include "runtime/edit_descriptors.hpp"

namespace ksatfit::cli {
namespace {


// Hands out the lines of a text one by one with their 1-based numbers; a
// carriage return before the line feed is dropped.
class LineCursor {
 public:
  explicit LineCursor(std::string_view text) : rest_(text) {}
  bool next(std::string_view& line) {
    if (done_) return false;
    const std::size_t end = rest_.find('\n');
    line = rest_.substr(0, end);
    if (end == std::string_view::npos) {
      done_ = true;
      if (line.empty()) return false;  // no line after the last line feed
    } else {
      rest_.remove_prefix(end + 1);
    }
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    ++number_;
    return true;
  }
  int number() const { return number_; }

 private:
  std::string_view rest_;
  int number_ = 0;
  bool done_ = false;
};

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

// A line that holds no data: blank, or a comment.
bool is_ignored(std::string_view line) {
  const std::string_view t = trim(line);
  return t.empty() || t.front() == '#';
}

char detect_separator(std::string_view line) {
  if (line.find('\t') != std::string_view::npos) return '\t';
  if (line.find(';') != std::string_view::npos) return ';';
  if (line.find(',') != std::string_view::npos) return ',';
  return ' ';
}

// Splits a line into its cells, each without surrounding blanks or quotes.
// Blank-separated cells are runs of non-blank characters.
void split(std::string_view line, char separator, std::vector<std::string_view>& cells) {
  cells.clear();
  if (separator == ' ') {
    std::size_t i = 0;
    while (i < line.size()) {
      while (i < line.size() && is_blank(line[i])) ++i;
      const std::size_t start = i;
      while (i < line.size() && !is_blank(line[i])) ++i;
      if (i > start) cells.push_back(line.substr(start, i - start));
    }
    return;
  }
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = line.find(separator, start);
    std::string_view cell = trim(line.substr(start, end - start));
    if (cell.size() >= 2 && cell.front() == '"' && cell.back() == '"') {
      cell = cell.substr(1, cell.size() - 2);
    }
    cells.push_back(cell);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
}

bool equals_ignoring_case(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char p, char q) {
    return (p | 0x20) == (q | 0x20);
  });
}

bool is_missing(std::string_view cell) {
  return cell.empty() || cell == "NA" || equals_ignoring_case(cell, "nan");
}

enum class Conversion { ok, not_a_number, not_finite, out_of_range };

// A cell's number, correctly rounded to float or double. With ';' as the
// separator a decimal comma stands for the point.
template <class Real>
Conversion convert(std::string_view cell, char separator, Real& value) {
  if (is_missing(cell)) {
    value = std::numeric_limits<Real>::quiet_NaN();
    return Conversion::ok;
  }
  char buffer[64] = {};
  if (cell.size() >= sizeof buffer) return Conversion::not_a_number;
  std::size_t n = 0;
  for (char c : cell) buffer[n++] = (separator == ';' && c == ',') ? '.' : c;
  const char* first = buffer;
  const char* last = buffer + n;
  if (first != last && *first == '+') ++first;  // from_chars takes no plus sign
  if (first != last && (*first == '+' || *first == '-') && first != buffer) {
    return Conversion::not_a_number;
  }
  const auto [end, error] = std::from_chars(first, last, value);
  if (end != last || n == 0) return Conversion::not_a_number;
  if (error == std::errc::result_out_of_range) return Conversion::out_of_range;
  if (error != std::errc{}) return Conversion::not_a_number;
  if (!std::isfinite(value)) return Conversion::not_finite;
  return Conversion::ok;
}

template <class Real>
bool looks_like_data(const std::vector<std::string_view>& cells, char separator) {
  Real value;
  return std::all_of(cells.begin(), cells.end(), [&](std::string_view cell) {
    return convert(cell, separator, value) == Conversion::ok;
  });
}

// A text in quotes as it stands in the file, with control characters
// written as escapes: a stray carriage return would otherwise send the
// terminal's cursor back and hide what came before it.
std::string quoted(std::string_view s) {
  std::string out = "\"";
  for (char c : s) {
    const auto code = static_cast<unsigned char>(c);
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (code < 0x20 || code == 0x7f) {
      static constexpr char kHex[] = "0123456789abcdef";
      out += "\\x";
      out += kHex[code >> 4];
      out += kHex[code & 15];
    } else {
      out += c;
    }
  }
  return out + '"';
}

struct Layout {
  char separator = ' ';
  std::vector<std::string> names;  // empty without a header
  std::size_t columns = 0;
};

// The 0-based index of a requested column, by number or header name.
std::size_t resolve(const std::string& request, const Layout& layout) {
  const bool numeric = !request.empty() &&
      std::all_of(request.begin(), request.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (numeric) {
    std::size_t number = 0;
    std::from_chars(request.data(), request.data() + request.size(), number);
    if (number >= 1 && number <= layout.columns) return number - 1;
    throw InputError("there is no column " + request + " (the file has " +
                     std::to_string(layout.columns) + ")");
  }
  const auto it = std::find(layout.names.begin(), layout.names.end(), request);
  if (it != layout.names.end()) return static_cast<std::size_t>(it - layout.names.begin());
  std::string known;
  for (const auto& name : layout.names) known += (known.empty() ? "" : ", ") + quoted(name);
  throw InputError("there is no column " + quoted(request) +
                   (known.empty() ? std::string(" (the file has no header line)")
                                  : " (the columns are " + known + ")"));
}

std::string column_label(const Layout& layout, std::size_t index) {
  return layout.names.empty() ? std::to_string(index + 1) : layout.names[index];
}

template <class Real>
[[noreturn]] void bad_cell(int line, const std::string& column, std::string_view cell,
                           Conversion why) {
  const char* out_of_range = std::is_same_v<Real, float>
                                 ? "is out of the range of single precision"
                                 : "is out of the range of double precision";
  const char* reason = why == Conversion::not_finite     ? "is not a finite number"
                       : why == Conversion::out_of_range ? out_of_range
                                                         : "is not a number";
  throw InputError("line " + std::to_string(line) + ", column " + quoted(column) + ": " +
                   quoted(cell) + " " + reason);
}

}  // namespace

template <class Real>
BasicFitData<Real> read_columns(std::string_view text, const ColumnRequest& request, int skip) {
  // Spreadsheets often start a CSV file with a byte-order mark; left in, it
  // would turn a first row of numbers into a header.
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  LineCursor cursor(text);
  std::string_view line;
  while (cursor.number() < skip && cursor.next(line)) {
  }
  bool found = false;
  while (cursor.next(line)) {
    if (!is_ignored(line)) {
      found = true;
      break;
    }
  }
  if (!found) throw InputError("no data (the file is empty or holds only comments)");

  Layout layout;
  layout.separator = detect_separator(line);
  std::vector<std::string_view> cells;
  split(line, layout.separator, cells);
  layout.columns = cells.size();
  BasicFitData<Real> data;
  data.separator = layout.separator;
  data.has_header = !looks_like_data<Real>(cells, layout.separator);
  if (data.has_header) {
    for (auto cell : cells) layout.names.emplace_back(cell);
  }

  struct Target {
    std::size_t index;
    std::string name;
    std::vector<Real>* values;
  };
  std::vector<Target> targets;
  auto add = [&](const std::string& requested, const char* fallback, std::vector<Real>& values) {
    const std::string which = requested.empty() ? fallback : requested;
    if (which.empty()) return std::string();
    const std::size_t index = resolve(which, layout);
    targets.push_back({index, column_label(layout, index), &values});
    return targets.back().name;
  };
  data.x_name = add(request.x, "1", data.x);
  data.y_name = add(request.y, "2", data.y);
  add(request.weight, "", data.weights);
  add(request.frequency, "", data.frequencies);
  std::size_t group_index = 0;
  if (!request.group.empty()) {
    group_index = resolve(request.group, layout);
    data.group_name = column_label(layout, group_index);
  }

  auto take_row = [&](int number) {
    if (cells.size() != layout.columns) {
      throw InputError("line " + std::to_string(number) + ": " + std::to_string(cells.size()) +
                       (cells.size() == 1 ? " value" : " values") + " where the file has " +
                       std::to_string(layout.columns) + " columns");
    }
    for (auto& target : targets) {
      Real value;
      const std::string_view cell = cells[target.index];
      const Conversion result = convert(cell, layout.separator, value);
      if (result != Conversion::ok) bad_cell<Real>(number, target.name, cell, result);
      target.values->push_back(value);
    }
    if (!request.group.empty()) data.groups.emplace_back(cells[group_index]);
    data.lines.push_back(number);
  };
  if (!data.has_header) take_row(cursor.number());
  while (cursor.next(line)) {
    if (is_ignored(line)) continue;
    split(line, layout.separator, cells);
    take_row(cursor.number());
  }
  if (data.x.empty()) throw InputError("no data rows below the header line");
  return data;
}

template <class Real>
BasicFitData<Real> read_scratch(std::string_view text, int skip) {
  LineCursor cursor(text);
  std::string_view line;
  BasicFitData<Real> data;
  data.x_name.push_back('x');  // (assigning "x" trips a false -Wrestrict in GCC 12)
  data.y_name.push_back('y');
  auto field = [&](int first, int width, int decimals) {
    const std::string cell = rt::field_text(line, first, width);
    Real value;
    if (!rt::read_real(cell, decimals, value)) {
      throw InputError("line " + std::to_string(cursor.number()) + ", columns " +
                       std::to_string(first) + "-" + std::to_string(first + width - 1) + ": " +
                       quoted(cell) + " is not a number");
    }
    return value;
  };
  while (cursor.next(line)) {
    if (cursor.number() <= skip || trim(line).empty()) continue;
    data.x.push_back(field(2, 8, 2));
    data.y.push_back(field(11, 12, 5));
    data.lines.push_back(cursor.number());
  }
  if (data.x.empty()) throw InputError("no pair records (the file is empty)");
  return data;
}

template FitData read_columns<float>(std::string_view, const ColumnRequest&, int);
template BasicFitData<double> read_columns<double>(std::string_view, const ColumnRequest&, int);
template FitData read_scratch<float>(std::string_view, int);
template BasicFitData<double> read_scratch<double>(std::string_view, int);

}  // namespace ksatfit::cli
