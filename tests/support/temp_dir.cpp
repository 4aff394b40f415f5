#include "tests/support/temp_dir.hpp"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "tests/support/transcript.hpp"

namespace ksatfit::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
  path_ = adopted_temp_dir();
  if (!path_.empty()) {
    owned_ = false;
    return;
  }
  std::mt19937_64 names(std::random_device{}() ^
                        static_cast<std::uint64_t>(
                            std::chrono::steady_clock::now().time_since_epoch().count()));
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate =
        fs::temp_directory_path() / ("ksatfit-test-" + std::to_string(names() % 1000000000));
    if (fs::create_directory(candidate)) {
      path_ = candidate.string();
      note_temp_dir(path_);
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary directory");
}

TempDir::~TempDir() {
  if (!owned_) return;
  std::error_code ignored;
  // A test may have taken the write bit from the directory or (Windows)
  // made a file in it read-only, which would keep it from being removed.
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  for (fs::recursive_directory_iterator entry(path_, ignored), end; entry != end;
       entry.increment(ignored)) {
    if (!entry->is_symlink(ignored)) {
      fs::permissions(entry->path(), fs::perms::owner_read | fs::perms::owner_write,
                      fs::perm_options::add, ignored);
    }
  }
  fs::remove_all(path_, ignored);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

}  // namespace ksatfit::test
