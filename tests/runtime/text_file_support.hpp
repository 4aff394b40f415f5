// Pieces shared by the scratch-file tests of every platform.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "runtime/text_file.hpp"
#include "tests/support/temp_dir.hpp"

namespace ksatfit::rt {

using Lines = std::vector<std::string>;

// The names in a directory, sorted.
inline Lines entries(const std::string& dir) {
  Lines names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// A scratch file "temp3" with two old lines, alone in a fresh directory.
struct Rewrite : testing::Test {
  test::TempDir dir;
  std::string target = dir.file("temp3");
  const std::string old_bytes = "old one\r\nold two, longer than the new lines\r\n";
  std::string cause;
  void SetUp() override { test::write_file(target, old_bytes); }
};

}  // namespace ksatfit::rt
