// The file operations in which the operating systems differ. One
// implementation per platform (file_system_posix.cpp, file_system_windows.cpp);
// the build compiles the one for its target. Paths are UTF-8 strings.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace ksatfit::rt {

// Opens an existing regular file for reading in binary mode; never creates
// one, and never blocks (a named pipe, a directory or a device is refused as
// "not a regular file"). On failure returns null and describes the cause in
// `cause`.
std::FILE* open_existing_file(const std::string& path, std::string& cause);

// Whether the calling user may replace the file at `path`: a file its owner
// made read-only (on Windows: with the read-only attribute) or, on Windows,
// one that another program holds open without sharing it is refused. The
// replacement goes around the file's own write protection, so it is checked
// here, before any work is done.
bool may_write(const std::string& path, std::string& cause);

// Replaces the whole content of the file at `path` with `content`, safely:
// the content goes to a temporary file in the same directory, is flushed to
// disk and then moved over the file, which keeps its permissions or
// attributes. On any failure the file is left byte-identical, the temporary
// file is removed, and false is returned with the cause in `cause`.
bool replace_file_content(const std::string& path, std::string_view content,
                          std::string& cause);

// Opens the file at `path` for appending lines of text, creating it if need
// be; lines written with '\n' end the way the platform's text files end
// (CR LF on Windows). Null on failure.
std::FILE* open_text_for_appending(const std::string& path);

}  // namespace ksatfit::rt
