// The least a program can do with the scratch file: read its lines and write
// them back, as safely as the programs do (a temporary file beside it, forced
// to disk, renamed over it). A yardstick for the cost of a whole ksatcubic run.
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

int main() {
  std::vector<std::string> lines;
  if (std::FILE* in = std::fopen("temp3", "rb")) {
    char buffer[4096];
    while (lines.size() < 40 && std::fgets(buffer, sizeof buffer, in) != nullptr) {
      std::string line(buffer);
      while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
      lines.push_back(line);
    }
    std::fclose(in);
  }
  std::string content;
  for (const std::string& line : lines) content += line + "\r\n";
  char temporary[] = "temp3.XXXXXX";
  const int fd = mkstemp(temporary);
  if (fd < 0) return 2;
  const bool written = write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
  const bool synced = fsync(fd) == 0;
  close(fd);
  if (written && synced && std::rename(temporary, "temp3") == 0) return 0;
  unlink(temporary);
  return 2;
}
