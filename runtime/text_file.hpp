// The scratch file as a sequence of text records.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace ksatfit::rt {

enum class ReadStatus { line, end, error };

// An existing text file read sequentially as lines. A line ends at its first
// carriage return or line feed; anything after a lone carriage return up to
// the next line feed is not part of the line; the last line may lack a
// terminator. At most kMaxLineKept characters of a line are kept (the rest up
// to the terminator is skipped), so a huge line costs no memory.
class TextFile {
 public:
  static constexpr std::size_t kMaxLineKept = 4096;

  TextFile() = default;
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;
  ~TextFile();

  // Opens an existing file for reading; never creates one. Only a regular file
  // (or a link to one) opens: a directory, for one, is refused here rather
  // than failing at the first read. On failure returns false and describes
  // the cause in `cause`.
  bool open(const std::string& path, std::string& cause);
  // Reads the next line into `line` (without its terminator): ReadStatus::line,
  // or ReadStatus::end when no characters are left, or ReadStatus::error with
  // the cause in `cause` when the system cannot read the file.
  ReadStatus read_line(std::string& line, std::string& cause);
  // Goes back to the first line.
  void rewind();
  // Number of the line last read (1-based), counted since the last rewind.
  long line_number() const { return line_number_; }
  void close();

 private:
  std::FILE* file_ = nullptr;
  long line_number_ = 0;
};

// Replaces the whole content of `path` with `lines`, each followed by CR LF,
// through the safe replacement of file_system.hpp: a symbolic link is followed
// and stays a link; on any failure the file is left as it was, and false is
// returned with the cause in `cause`.
bool replace_lines(const std::string& path, const std::vector<std::string>& lines,
                   std::string& cause);

}  // namespace ksatfit::rt
