#include "runtime/text_file.hpp"

#include <cerrno>
#include <cstring>

#include "runtime/file_system.hpp"

namespace ksatfit::rt {
namespace {

std::string joined_with_crlf(const std::vector<std::string>& lines) {
  std::string content;
  for (const std::string& line : lines) {
    content += line;
    content += "\r\n";
  }
  return content;
}

}  // namespace

TextFile::~TextFile() { close(); }

bool TextFile::open(const std::string& path, std::string& cause) {
  close();
  file_ = open_existing_file(path, cause);
  return file_ != nullptr;
}

ReadStatus TextFile::read_line(std::string& line, std::string& cause) {
  line.clear();
  if (file_ == nullptr) {
    cause = "the file is not open";
    return ReadStatus::error;
  }
  int c = std::getc(file_);
  if (c == EOF && !std::ferror(file_)) return ReadStatus::end;
  while (c != EOF && c != '\r' && c != '\n') {
    if (line.size() < kMaxLineKept) line.push_back(static_cast<char>(c));
    c = std::getc(file_);
  }
  // After a carriage return the line goes on, unread, up to the next line
  // feed; for CR LF that is the line feed itself.
  if (c == '\r') {
    do c = std::getc(file_);
    while (c != EOF && c != '\n');
  }
  if (std::ferror(file_)) {
    cause = std::string("cannot read the file: ") + std::strerror(errno);
    return ReadStatus::error;
  }
  ++line_number_;
  return ReadStatus::line;
}

void TextFile::rewind() {
  if (file_ != nullptr) std::rewind(file_);
  line_number_ = 0;
}

void TextFile::close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  line_number_ = 0;
}

bool replace_lines(const std::string& path, const std::vector<std::string>& lines,
                   std::string& cause) {
  return replace_file_content(path, joined_with_crlf(lines), cause);
}

}  // namespace ksatfit::rt
