// The Windows side of the file operations. Every name goes through the
// wide-character API, so that a working directory such as
// C:\Prüfungen\Los 3 works whatever the ANSI code page.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "runtime/file_system.hpp"

namespace ksatfit::rt {
namespace {

std::wstring wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring text(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, text.data(), length);
  return text;
}

// The system's reason for a failure, in the words the POSIX build uses for
// the same cause, so that the front end sees one set of messages.
std::string reason(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return "No such file or directory";
    case ERROR_ACCESS_DENIED:
      return "Permission denied";
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return "the file is in use by another program";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return "No space left on device";
    case ERROR_WRITE_PROTECT:
      return "Read-only file system";
    default:
      return "Windows error " + std::to_string(error);
  }
}

// What failed, followed by the reason for the last failed call.
std::string failed(const char* what) { return std::string(what) + ": " + reason(GetLastError()); }

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Attributes that the replacement takes over from the file it replaces.
// Read-only is not among them: such a file is never replaced.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN |
                                  FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// The full path of `path`; relative names are taken in the working directory.
bool full_path(const std::wstring& path, std::wstring& full, std::string& cause) {
  const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) {
    cause = failed("cannot find the file");
    return false;
  }
  full.assign(size, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) {
    cause = failed("cannot find the file");
    return false;
  }
  full.resize(length);
  return true;
}

// Creates a new, empty file beside `target` whose name no other file has:
// the target's name followed by a dot and six hexadecimal digits.
HANDLE create_temporary(const std::wstring& target, DWORD attributes, std::wstring& temporary) {
  static unsigned serial = 0;
  const unsigned seed = GetCurrentProcessId() * 2654435761u + GetTickCount();
  for (int attempt = 0; attempt < 100; ++attempt) {
    unsigned bits = seed + ++serial * 40503u;
    temporary = target + L'.';
    for (int digit = 0; digit < 6; ++digit, bits >>= 4) temporary += L"0123456789abcdef"[bits & 15u];
    const HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                                    CREATE_NEW, attributes, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  SetLastError(ERROR_FILE_EXISTS);
  return INVALID_HANDLE_VALUE;
}

// Writes `content` to the temporary file and forces it to disk. Returns what
// failed, or an empty string.
std::string fill_temporary(HANDLE file, std::string_view content) {
  std::size_t done = 0;
  while (done < content.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(content.size() - done, 1u << 20));
    DWORD written = 0;
    if (!WriteFile(file, content.data() + done, chunk, &written, nullptr)) {
      return failed("cannot write the temporary file");
    }
    done += written;
  }
  if (!FlushFileBuffers(file)) return failed("cannot flush the temporary file to disk");
  return {};
}

}  // namespace

std::FILE* open_existing_file(const std::string& path, std::string& cause) {
  const std::wstring name = wide(path);
  // A directory would fail the open below as "access denied"; say what it is.
  const DWORD attributes = GetFileAttributesW(name.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    cause = "not a regular file";
    return nullptr;
  }
  // Others may go on reading and writing it; may_write's probe, made while
  // this handle is open, must not be refused by it either.
  const HANDLE handle = CreateFileW(name.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    cause = reason(GetLastError());
    return nullptr;
  }
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    CloseHandle(handle);
    cause = "not a regular file";
    return nullptr;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    cause = "cannot read the file: too many open files";
    return nullptr;
  }
  std::FILE* file = _fdopen(fd, "rb");
  if (file == nullptr) {
    _close(fd);
    cause = "cannot read the file: too many open files";
  }
  return file;
}

bool may_write(const std::string& path, std::string& cause) {
  const std::wstring name = wide(path);
  const DWORD attributes = GetFileAttributesW(name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    cause = failed("the file may not be written");
    return false;
  }
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    cause = "the file may not be written: it has the read-only attribute";
    return false;
  }
  // The replacement needs the right to write and to delete the file, and
  // that no other program holds it open without sharing those. Opening the
  // file this way changes nothing in it.
  const HANDLE probe = CreateFileW(name.c_str(), GENERIC_WRITE | DELETE, kShareAll, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
  if (probe == INVALID_HANDLE_VALUE) {
    cause = failed("the file may not be written");
    return false;
  }
  CloseHandle(probe);
  return true;
}

bool replace_file_content(const std::string& path, std::string_view content,
                          std::string& cause) {
  std::wstring target;
  if (!full_path(wide(path), target, cause)) return false;
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    cause = failed("cannot find the file");
    return false;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    cause = "not a regular file";
    return false;
  }
  // The move below would replace a read-only file on some systems and be
  // refused on others; it is refused here everywhere.
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    cause = "the file has the read-only attribute";
    return false;
  }
  const DWORD kept = attributes & kKeptAttributes;
  std::wstring temporary;
  const HANDLE file =
      create_temporary(target, kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL, temporary);
  if (file == INVALID_HANDLE_VALUE) {
    cause = failed("cannot create a temporary file beside the file");
    return false;
  }
  std::string problem = fill_temporary(file, content);
  if (!CloseHandle(file) && problem.empty()) problem = failed("cannot close the temporary file");
  if (problem.empty() &&
      !MoveFileExW(temporary.c_str(), target.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    problem = failed("cannot rename the temporary file over the file");
  }
  if (problem.empty()) return true;
  DeleteFileW(temporary.c_str());
  cause = problem;
  return false;
}

std::FILE* open_text_for_appending(const std::string& path) {
  return _wfopen(wide(path).c_str(), L"a");
}

}  // namespace ksatfit::rt
