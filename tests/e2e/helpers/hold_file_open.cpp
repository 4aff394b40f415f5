// Holds a file open as a Windows front end may while one of the programs
// runs: hold_file_open FILE none|read-write opens FILE for reading and
// writing, sharing nothing or sharing reading and writing (but not deletion)
// with other programs, writes "held" on standard output, and keeps the file
// open until its standard input ends.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: hold_file_open FILE none|read-write\n");
    return 2;
  }
  const DWORD share = std::wcscmp(argv[2], L"none") == 0 ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE;
  const HANDLE file = CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, share, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "hold_file_open: cannot open the file (error %lu)\n", GetLastError());
    return 1;
  }
  std::printf("held\n");
  std::fflush(stdout);
  while (std::getchar() != EOF) {
  }
  CloseHandle(file);
  return 0;
}
